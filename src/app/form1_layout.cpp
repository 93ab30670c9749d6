// The main window's design: every control with its kind, place (in twips, 15 per pixel),
// caption, font and tool tip. This file is the window's one geometry table.

#include "app/form1_controls.h"
#include "common/captions.h"
#include "gui/pictures.h"

#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <cmath>

namespace {

int px(int twips) {
    return static_cast<int>(std::lround(twips / 15.0));
}

QRect twips(int left, int top, int width, int height) {
    return {px(left), px(top), px(width), px(height)};
}

// The client area, and where its upper part (all the normal mode shows) ends and the lower
// part (the debug mode's inspection panel and debug view) begins.
constexpr int kClientWidth = 9705;
constexpr int kClientHeight = 10785;
constexpr int kFrame2Height = 5415; // the upper part's lowest frame, from the top
constexpr int kLowerPartTop = 5520;

template <typename W> W* place(W* widget, const QString& name, QRect rect) {
    widget->setObjectName(name);
    widget->setGeometry(rect);
    return widget;
}

QString indexed(const char* name, int index) {
    return QString("%1_%2").arg(name).arg(index);
}

QLabel* label(QWidget* parent, const QString& name, const QString& caption, QRect rect) {
    auto* w = place(new QLabel(caption, parent), name, rect);
    w->setTextFormat(Qt::PlainText); // no rich-text guess at every change of a progress caption
    w->setWordWrap(true);
    w->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return w;
}

ClickLabel* click_label(QWidget* parent, const QString& name, const QString& caption, QRect rect) {
    auto* w = place(new ClickLabel(caption, parent), name, rect);
    w->setWordWrap(true);
    w->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    w->setCursor(Qt::PointingHandCursor);
    return w;
}

QLineEdit* text(QWidget* parent, const QString& name, const QString& initial, QRect rect) {
    auto* w = place(new QLineEdit(initial, parent), name, rect);
    w->setTextMargins(1, 0, 1, 0);
    return w;
}

QPlainTextEdit* multiline(QWidget* parent, const QString& name, QRect rect) {
    auto* w = place(new QPlainTextEdit(parent), name, rect);
    w->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    w->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    return w;
}

QPushButton* button(QWidget* parent, const QString& name, const QString& caption, QRect rect) {
    return place(new QPushButton(caption, parent), name, rect);
}

WrapButton* wrap_button(QWidget* parent, const QString& name, const QString& caption, QRect rect) {
    return place(new WrapButton(caption, parent), name, rect);
}

QToolButton* picture_button(QWidget* parent, const QString& name, const char* icon,
                            const QString& tooltip, QRect rect) {
    auto* w = place(new PictureButton(parent), name, rect);
    w->setIcon(QIcon(picture_resource(icon)));
    w->setIconSize(QSize(16, 16));
    w->setToolTip(tooltip);
    w->setAutoRaise(false);
    return w;
}

QGroupBox* frame(QWidget* parent, const QString& name, const QString& caption, QRect rect) {
    return place(new DesignFrame(caption, parent), name, rect);
}

DesignProgressBar* progress(QWidget* parent, const QString& name, int value, QRect rect) {
    auto* w = place(new DesignProgressBar(parent), name, rect);
    w->setRange(0, 1000);
    w->setValue(value);
    return w;
}

QLabel* picture(QWidget* parent, const QString& name, const char* resource, QRect rect) {
    auto* w = place(new QLabel(parent), name, rect);
    w->setPixmap(QPixmap(picture_resource(resource)));
    w->setScaledContents(true);
    return w;
}

void set_font(QWidget* w, double points, bool bold, bool italic = false) {
    QFont f = w->font();
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setItalic(italic);
    w->setFont(f);
}

void set_red(QLabel* w) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, QColor(255, 0, 0));
    w->setPalette(p);
}

void build_genfile(Form1Controls& c) {
    QWidget* f = c.GenFile;
    c.Label13 = label(f, "Label13", "Name:", twips(120, 240, 615, 255));
    c.txt_projektfile = text(f, "txt_projektfile", "noproject.dsp", twips(1440, 240, 3135, 285));
    c.Picture2 = picture_button(f, "Picture2", ":/icons/project_open",
                                "Projekt laden oder neu anlegen", twips(1080, 240, 300, 300));
    c.Picture3 = picture_button(f, "Picture3", ":/icons/project_save", "Projekt speichern",
                                twips(720, 240, 300, 300));
    c.Label16 = label(f, "Label16", "DIR:", twips(120, 600, 975, 255));
    c.txt_projektdir = text(f, "txt_projektdir", "", twips(120, 840, 4455, 285));
    c.txt_projektdir->setReadOnly(true);
    QPalette grey = c.txt_projektdir->palette();
    grey.setColor(QPalette::Base, grey.color(QPalette::Button));
    c.txt_projektdir->setPalette(grey);
    c.txt_genstatus = text(f, "txt_genstatus", "", twips(120, 1320, 4455, 285));
    c.ProgressBar1 = progress(f, "ProgressBar1", 1000, twips(120, 1680, 4455, 330));
    c.lbl_pb1 = label(f, "lbl_pb1", "0 %", twips(1920, 2040, 615, 255));
    c.lbl_pb1->setWordWrap(false); // one short line, set at every step of a run
    c.txt_log = multiline(f, "txt_log", twips(120, 2280, 4455, 975));
    c.cmd_konvertieren =
        wrap_button(f, "cmd_konvertieren", "DSU-File erzeugen", twips(120, 3360, 855, 495));
    c.chk_soundon =
        place(new StateCheckBox("Warntöne", f), "chk_soundon", twips(1800, 3480, 1215, 255));
    c.chk_log_enable =
        place(new StateCheckBox("Logfile", f), "chk_log_enable", twips(3240, 3480, 975, 255));
}

void build_frame2(Form1Controls& c) {
    QWidget* f = c.Frame2;
    for (int r = 0; r < 4; ++r) {
        const int top = 240 + 1200 * r;
        c.Label14[r] = place(new FocusLabel(QString::fromStdString(melo::row_title(r)), f),
                             indexed("Label14", r), twips(120, top, 745, 615));
        c.Label14[r]->setWordWrap(true);
        c.Label14[r]->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        set_font(c.Label14[r], 8.25, true);
        c.cmd_listen[r] = place(new PictureButton(f), indexed("cmd_listen", r),
                                twips(120, 720 + 1200 * r, 615, 615));
        c.cmd_listen[r]->setIcon(QIcon(picture_resource(":/icons/listen")));
        c.cmd_listen[r]->setIconSize(QSize(32, 32));
        c.cmd_listen[r]->setVisible(false);

        const auto part = [](int p) { return QString::fromStdString(melo::part_title(p)); };
        c.lab_useranf[r] =
            click_label(f, indexed("lab_useranf", r), part(0), twips(960, top, 555, 255));
        c.lab_userloop[r] =
            click_label(f, indexed("lab_userloop", r), part(1), twips(960, top + 360, 555, 255));
        c.lab_userend[r] =
            click_label(f, indexed("lab_userend", r), part(2), twips(960, top + 720, 555, 255));
        for (int k = 0; k < 3; ++k) {
            const int i = 3 * r + k;
            c.Picture1[i] = picture_button(f, indexed("Picture1", i), ":/icons/wav_load",
                                           "WAV-File laden", twips(1560, top + 360 * k, 300, 300));
        }
        c.txt_useranf[r] =
            text(f, indexed("txt_useranf", r), "AnfWAV", twips(1920, top, 2655, 285));
        c.txt_userloop[r] =
            text(f, indexed("txt_userloop", r), "LoopWAV", twips(1920, top + 360, 2655, 285));
        c.txt_userend[r] =
            text(f, indexed("txt_userend", r), "EndWAV", twips(1920, top + 720, 2655, 285));
    }
    c.lab_DSDfile = label(f, "lab_DSDfile", "Basis-Soundfile:", twips(120, 5040, 1455, 255));
    set_font(c.lab_DSDfile, 8.25, true);
    c.pic_diskloadDSD = picture_button(f, "pic_diskloadDSD", ":/icons/dsd_load", "DSD-File laden",
                                       twips(1560, 5040, 300, 300));
    c.txt_DSDfilename = text(f, "txt_DSDfilename", "", twips(1920, 5040, 2655, 285));
}

void build_sndframe(Form1Controls& c) {
    QWidget* f = c.SNDframe;
    // Label left of or above its field; the design gives the places, the sizes follow the
    // columns (left column fields end before the right column's labels).
    auto row = [f](QLabel*& lab, const char* lname, const QString& caption, int lx, int ly,
                   QLineEdit*& field, const char* fname, int fx, int fy, int fw) {
        lab = label(f, lname, caption, twips(lx, ly, fx - lx - 60, 255));
        field = text(f, fname, "", twips(fx, fy, fw, 285));
    };
    const melo::PanelCaptions& cap = melo::kPanelCaptions;
    row(c.Label3, "Label3", cap.filelaenge, 120, 285, c.txt_filelaenge, "txt_filelaenge", 1440, 240,
        1575);
    row(c.Label5, "Label5", cap.samples, 120, 765, c.txt_samples, "txt_samples", 1440, 720, 1575);
    row(c.Label10, "Label10", cap.bytesjesek, 120, 1245, c.txt_bytesjesek, "txt_bytesjesek", 1440,
        1200, 1575);
    row(c.Label1, "Label1", cap.bits, 3240, 285, c.txt_bits, "txt_bits", 4680, 240, 1455);
    row(c.Label2, "Label2", cap.freq, 3240, 645, c.txt_freq, "txt_freq", 4680, 600, 1455);
    row(c.Label4, "Label4", cap.kanaele, 3240, 1005, c.txt_kanaele, "txt_kanaele", 4680, 960, 1455);
    row(c.Label6, "Label6", cap.time, 3240, 1365, c.txt_time, "txt_time", 4680, 1320, 1455);
    row(c.Label9, "Label9", cap.dataanf, 3240, 1725, c.txt_dataanf, "txt_dataanf", 4680, 1680,
        1455);
    row(c.Label15, "Label15", cap.fmtlen, 3240, 2085, c.txt_fmtlen, "txt_fmtlen", 4680, 2040, 1455);
    row(c.Label17, "Label17", cap.wavformat, 3240, 2445, c.txt_WAVformat, "txt_WAVformat", 4680,
        2400, 1455);
    c.txt_WAVformattext = text(f, "txt_WAVformattext", "", twips(4080, 2760, 2055, 375));

    c.Label7 = label(f, "Label7", "WAVdata", twips(120, 2520, 1215, 255));
    c.ProgressBar2 = progress(f, "ProgressBar2", 0, twips(120, 2760, 3015, 375));
    c.lbl_pb2 = label(f, "lbl_pb2", "", twips(1440, 2520, 1095, 255));
    c.lbl_pb2->setWordWrap(false);
    c.Label8 = label(f, "Label8", "WAVsamp", twips(120, 3120, 1215, 255));
    c.txt_epromwert = text(f, "txt_epromwert", "", twips(120, 3360, 3015, 375));
    c.txt_epromadr = text(f, "txt_epromadr", "0", twips(3360, 3360, 615, 375));
    c.UpDown1 = place(new UpDown(f), "UpDown1", twips(3960, 3360, 240, 375));

    c.Command3 = button(f, "Command3", "ActiveX-Play", twips(1200, 1680, 1215, 375));
    c.Command2 = button(f, "Command2", "Command2", twips(120, 1680, 975, 375));
    c.Command1 = button(f, "Command1", "Command1", twips(120, 2160, 975, 375));
    c.cmd_play = wrap_button(f, "cmd_play", "Play", twips(4320, 3240, 855, 495));
    c.cmd_stop = wrap_button(f, "cmd_stop", "Stop", twips(5280, 3240, 855, 495));
}

void build_sndfile(Form1Controls& c) {
    QWidget* f = c.SndFile;
    c.txt_sndfilename = text(f, "txt_sndfilename", "", twips(120, 240, 6255, 375));
    c.txt_sndstatus = text(f, "txt_sndstatus", "", twips(120, 720, 4335, 375));
    c.cmd_loadsndfile =
        wrap_button(f, "cmd_loadsndfile", "Soundfile     laden", twips(4560, 720, 855, 495));
    c.cmd_testsndfile =
        wrap_button(f, "cmd_testsndfile", "Soundfile      info", twips(5520, 720, 855, 495));
    c.SNDframe = frame(f, "SNDframe", "WAV-Info", twips(120, 1210, 6255, 3840));
    build_sndframe(c);
}

// The fields that show results (the run's status and log, the bottom status field, the
// inspection panel's values, the debug view): selectable and copyable, never typed into, and
// Tab leaves them for the next control.
void make_outputs(const Form1Controls& c) {
    for (QLineEdit* w :
         {c.txt_genstatus, c.Text1, c.txt_sndstatus, c.txt_filelaenge, c.txt_samples,
          c.txt_bytesjesek, c.txt_bits, c.txt_freq, c.txt_kanaele, c.txt_time, c.txt_dataanf,
          c.txt_fmtlen, c.txt_WAVformat, c.txt_WAVformattext, c.txt_epromwert}) {
        w->setReadOnly(true);
    }
    for (QPlainTextEdit* w : {c.txt_log, c.txt_debug}) {
        w->setReadOnly(true);
        w->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        w->setTabChangesFocus(true);
    }
}

} // namespace

Form1Controls build_form1(QWidget* client) {
    Form1Controls c;
    c.Image1 = place(new ClickLabel(client), "Image1", twips(120, 40, 2130, 675));
    c.Image1->setPixmap(QPixmap(picture_resource(":/pictures/logo")));
    c.Image1->setScaledContents(true);
    c.Image2 = picture(client, "Image2", ":/pictures/title", twips(2280, 110, 2505, 615));
    c.Image2->setVisible(false);
    c.Label11 = label(client, "Label11", "MELO", twips(3000, 240, 855, 495));
    set_font(c.Label11, 18, true);
    set_red(c.Label11);
    c.Label12 = label(client, "Label12", "sound", twips(3840, 360, 975, 375));
    set_font(c.Label12, 12, true, true);
    set_red(c.Label12);
    c.Picture4 = picture(client, "Picture4", ":/icons/app", twips(2400, 120, 615, 615));

    c.GenFile = frame(client, "GenFile", "Projekt:", twips(120, 840, 4695, 3975));
    build_genfile(c);
    c.Frame2 = frame(client, "Frame2", "WAV-Files", twips(4920, 0, 4695, kFrame2Height));
    build_frame2(c);

    c.cmd_EXIT = button(client, "cmd_EXIT", "Ende", twips(240, 4920, 855, 375));
    set_font(c.cmd_EXIT, 9.75, true);
    c.Text1 = text(client, "Text1", "", twips(1200, 4920, 3615, 375));

    c.SndFile = frame(client, "SndFile", "SndFile", twips(120, kLowerPartTop, 6495, 5175));
    build_sndfile(c);
    c.txt_debug = multiline(client, "txt_debug", twips(6720, 5640, 2895, 5055));
    make_outputs(c);
    return c;
}

namespace form1_metrics {
int clientWidth() {
    return px(kClientWidth);
}
int debugHeight() {
    return px(kClientHeight);
}
int normalHeight() {
    return px((kFrame2Height + kLowerPartTop) / 2);
}
} // namespace form1_metrics
