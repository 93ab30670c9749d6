#include "app/form1.h"

#include "app/field_markers.h"
#include "app/form1_waveform.h"
#include "app/keyboard.h"
#include "app/sound_drop.h"
#include "common/version.h"
#include "flash/sound_budget.h"
#include "gui/prompts.h"
#include "gui/qt_text.h"
#include "tools/info_form.h"
#include "tools/listen_playback.h"
#include "tools/qt_audio.h"

#include <QApplication>
#include <QCloseEvent>
#include <QTimer>
#include <algorithm>
#include <vector>

Form1::Form1(AppEnvironment& env, QWidget* parent) : QWidget(parent), m_env(env) {
    setObjectName("Form1");
    m_c = build_form1(this);
    m_markers = new FieldMarkers(
        m_c, [this] { return m_projfiledir; }, this);
    m_sound.decimal_separator = decimal_separator();
    m_sndfiledir = startDir();
    m_lastvalidsndfile = startDir();
    // The designed size; start-up shrinks it to the upper part outside the debug mode.
    setFixedSize(form1_metrics::clientWidth(), form1_metrics::debugHeight());
    // A fixed size: the title bar offers no maximize button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    wireSignals();
    install_keyboard(*this, m_c);
    install_context_menu_keys();
    SoundDrop::install(
        m_c, [this] { return m_projfiledir; }, [this] { return projectFields(); },
        [this]() -> Prompts& { return prompts(); },
        [this](QLineEdit* field) { return freeSamplesFor({field}); });

    m_timer1.setInterval(100);
    connect(&m_timer1, &QTimer::timeout, this, &Form1::timer1Tick);
    m_timer1.start();
    install_waveform_entries(*this);
    install_loop_workshop_entries(*this);
}

std::int64_t Form1::freeSamplesFor(std::initializer_list<const QLineEdit*> fields) const {
    // The parts in `fields` are about to be replaced: they do not count as used.
    std::vector<int> skip;
    for (int i = 0; i < 12; ++i) {
        if (std::ranges::find(fields, partField(i / 3, i % 3)) != fields.end()) {
            skip.push_back(i);
        }
    }
    return melo::free_samples(
        melo::project_image_size(projectFields(), file_path(m_projfiledir), skip));
}

Form1::~Form1() {
    delete m_infoform;
}

AudioSystem& Form1::audio() {
    if (m_env.audio != nullptr) {
        return *m_env.audio;
    }
    if (!m_ownAudio) {
        m_ownAudio = std::make_unique<QtAudioSystem>();
    }
    return *m_ownAudio;
}

Prompts& Form1::prompts() {
    if (m_env.prompts != nullptr) {
        return *m_env.prompts;
    }
    if (!m_ownPrompts) {
        m_ownPrompts = std::make_unique<QtPrompts>(this);
    }
    return *m_ownPrompts;
}

void Form1::wireSignals() {
    for (int r = 0; r < 4; ++r) {
        connect(m_c.lab_useranf[r], &ClickLabel::clicked, this, [this, r] { assignWav(r, 0); });
        connect(m_c.lab_userloop[r], &ClickLabel::clicked, this, [this, r] { assignWav(r, 1); });
        connect(m_c.lab_userend[r], &ClickLabel::clicked, this, [this, r] { assignWav(r, 2); });
        connect(m_c.cmd_listen[r], &QToolButton::pressed, this,
                [this, r] { emit listenPressed(r); });
        connect(m_c.cmd_listen[r], &QToolButton::released, this,
                [this, r] { emit listenReleased(r); });
    }
    for (int i = 0; i < 12; ++i) {
        connect(m_c.Picture1[i], &QToolButton::clicked, this,
                [this, i] { assignWav(i / 3, i % 3); });
    }
    connect(m_c.pic_diskloadDSD, &QToolButton::clicked, this, &Form1::assignDsd);
    connect(m_c.Command3, &QPushButton::pressed, this, [this] { emit listenPressed(2); });
    connect(m_c.Command3, &QPushButton::released, this, [this] { emit listenReleased(2); });
    connect(this, &Form1::listenPressed, this, &Form1::listenPress);
    connect(this, &Form1::listenReleased, this, [this] {
        if (m_listenPlayback) {
            m_listenPlayback->release();
        }
    });
    connect(m_c.cmd_play, &QPushButton::clicked, this, [this] {
        audio().filePlayer().setFile(m_c.txt_sndfilename->text());
        audio().filePlayer().play();
    });
    connect(m_c.cmd_stop, &QPushButton::clicked, this, [this] { audio().filePlayer().stop(); });
    connect(m_c.Image1, &ClickLabel::doubleClicked, this, &Form1::showInfoForm);
    connect(m_c.cmd_EXIT, &QPushButton::clicked, this, &Form1::cmd_EXIT_Click);
    connect(m_c.Picture2, &QToolButton::clicked, this, &Form1::loadOrCreateProject);
    connect(m_c.Picture3, &QToolButton::clicked, this, &Form1::saveProject);
    connect(m_c.cmd_konvertieren, &QPushButton::clicked, this, &Form1::cmd_konvertieren_Click);
    // The result line is longer than its field: its whole text is the tool tip.
    connect(m_c.txt_genstatus, &QLineEdit::textChanged, m_c.txt_genstatus, &QWidget::setToolTip);

    // Every change of a project field, typed or set by the program, marks the project changed
    // and the last run's results as old.
    auto changed = [this] {
        m_projchanged = true;
        markResultsOld();
    };
    for (int r = 0; r < 4; ++r) {
        for (QLineEdit* field : {m_c.txt_useranf[r], m_c.txt_userloop[r], m_c.txt_userend[r]}) {
            connect(field, &QLineEdit::textChanged, this, changed);
        }
    }
    connect(m_c.txt_DSDfilename, &QLineEdit::textChanged, this, changed);
    connect(m_c.txt_projektfile, &QLineEdit::textChanged, this, changed);

    connect(m_c.cmd_loadsndfile, &QPushButton::clicked, this, &Form1::cmd_loadsndfile_Click);
    connect(m_c.cmd_testsndfile, &QPushButton::clicked, this, &Form1::cmd_testsndfile_Click);
    connect(m_c.txt_epromadr, &QLineEdit::textChanged, this, &Form1::sampleViewerUpdate);
    connect(m_c.UpDown1, &UpDown::valueChanged, this,
            [this](int value) { m_c.txt_epromadr->setText(QString::number(value)); });
}

void Form1::timer1Tick() {
    setBackground(m_c.txt_projektfile, m_projchanged ? QColor(255, 255, 0) : windowBackground());
}

namespace {
const QString kOldRun = "(vorheriger Lauf) ";

// The text colour of the run's result views: greyed while they tell of an earlier run.
void setResultsTextColour(const Form1Controls& c, const QColor& colour) {
    for (QWidget* view : {static_cast<QWidget*>(c.txt_genstatus), static_cast<QWidget*>(c.txt_log),
                          static_cast<QWidget*>(c.txt_debug)}) {
        QPalette p = view->palette();
        p.setColor(QPalette::Text, colour);
        view->setPalette(p);
    }
}
} // namespace

void Form1::markResultsOld() {
    if (m_resultsOld || busy() || m_c.txt_genstatus->text().isEmpty()) {
        return;
    }
    m_resultsOld = true;
    setResultsTextColour(m_c, QApplication::palette().color(QPalette::Disabled, QPalette::Text));
    m_c.txt_genstatus->setToolTip(kOldRun + m_c.txt_genstatus->toolTip());
    const QString since = kOldRun + "Das Projekt hat sich seit diesem Lauf geändert.";
    m_c.txt_log->setToolTip(since);
    m_c.txt_debug->setToolTip(since);
}

void Form1::markResultsCurrent() {
    if (!m_resultsOld) {
        return;
    }
    m_resultsOld = false;
    setResultsTextColour(m_c, QApplication::palette().color(QPalette::Text));
    m_c.txt_log->setToolTip({});
    m_c.txt_debug->setToolTip({});
}

void Form1::beginBusy() {
    if (m_busy++ == 0) {
        m_c.cmd_loadsndfile->setEnabled(false);
        m_c.cmd_testsndfile->setEnabled(false);
        m_c.cmd_konvertieren->setEnabled(false);
    }
}

void Form1::endBusy() {
    if (--m_busy == 0) {
        m_c.cmd_loadsndfile->setEnabled(true);
        m_c.cmd_testsndfile->setEnabled(true);
        m_c.cmd_konvertieren->setEnabled(true);
        if (m_closeRequested) {
            QTimer::singleShot(0, this, &QWidget::close);
        }
    }
}

void Form1::letEventsRun(bool now) {
    constexpr qint64 kFrameMs = 16;
    if (now || !m_sinceEvents.isValid() || m_sinceEvents.elapsed() >= kFrameMs) {
        QApplication::processEvents();
        m_sinceEvents.start();
    }
}

void Form1::closeEvent(QCloseEvent* event) {
    // A close during long work waits for its end, so nothing is torn down under it.
    if (busy()) {
        m_closeRequested = true;
        event->ignore();
        return;
    }
    hide(); // gone at once for the user; the settings and the sound are put away behind it
    shutDown();
    QWidget::closeEvent(event);
}

void Form1::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && m_started) {
        m_markers->recheckSoon();
    }
    QWidget::changeEvent(event);
}

InfoForm* Form1::infoform() const {
    return m_infoform.data();
}

void Form1::showInfoForm() {
    if (m_infoform.isNull()) {
        m_infoform =
            new InfoForm(windowTitle(), this); // a child window: it never outlives the main window
    }
    m_infoform->show();
    m_infoform->raise();
    m_infoform->activateWindow();
}

void setBackground(QWidget* field, const QColor& colour) {
    QPalette p = field->palette();
    if (p.color(QPalette::Base) != colour) {
        p.setColor(QPalette::Base, colour);
        field->setPalette(p);
    }
}

QColor windowBackground() {
    return QApplication::palette().color(QPalette::Base);
}
