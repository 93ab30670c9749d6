#include "app/form1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QTimer>

#include "app/prompts.h"
#include "common/version.h"
#include "tools/about_box.h"

Form1::Form1(AppEnvironment& env, QWidget* parent) : QWidget(parent), m_env(env) {
    setObjectName("Form1");
    m_c = build_form1(this);
    m_debugMode = env.debugMode;
    m_sound.decimal_separator = QLocale().decimalPoint().at(0).toLatin1();
    m_sndfiledir = env.appDir;
    m_lastvalidsndfile = env.appDir;

    setWindowTitle(QString::fromStdString(melo::window_title()));
    setWindowIcon(QIcon(":/icons/app.svg"));
    // The normal mode shows the upper part only; the inspection panel and the debug view
    // lie below the window's edge but keep working.
    setFixedSize(form1_metrics::kClientWidth,
                 m_debugMode ? form1_metrics::kDebugHeight : form1_metrics::kNormalHeight);

    wireSignals();

    // The design's placeholder texts never reach the user.
    for (int r = 0; r < 4; ++r) {
        m_c.txt_useranf[r]->setText("(leer)");
        m_c.txt_userloop[r]->setText("(leer)");
        m_c.txt_userend[r]->setText("(leer)");
        m_c.cmd_listen[r]->setVisible(env.listenMode);
    }
    m_c.Image2->setVisible(true);
    m_c.Picture4->setVisible(false);
    m_c.Label11->setVisible(false);
    m_c.Label12->setVisible(false);
    m_c.txt_epromwert->clear();
    m_c.txt_epromadr->clear();
    m_c.lbl_pb1->setText("0 %");
    m_c.ProgressBar1->setValue(1000);
}

Form1::~Form1() {
    delete m_infoform;
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
        connect(m_c.lab_useranf[r], &ClickLabel::clicked, this, [this, r] { emit partLabelClicked(r, 0); });
        connect(m_c.lab_userloop[r], &ClickLabel::clicked, this, [this, r] { emit partLabelClicked(r, 1); });
        connect(m_c.lab_userend[r], &ClickLabel::clicked, this, [this, r] { emit partLabelClicked(r, 2); });
        connect(m_c.cmd_listen[r], &QToolButton::pressed, this, [this, r] { emit listenPressed(r); });
        connect(m_c.cmd_listen[r], &QToolButton::released, this, [this, r] { emit listenReleased(r); });
    }
    for (int i = 0; i < 12; ++i) {
        connect(m_c.Picture1[i], &QToolButton::clicked, this, [this, i] { emit partPictureClicked(i); });
    }
    connect(m_c.pic_diskloadDSD, &QToolButton::clicked, this, &Form1::dsdPictureClicked);
    connect(m_c.Command3, &QPushButton::pressed, this, [this] { emit listenPressed(2); });
    connect(m_c.Command3, &QPushButton::released, this, [this] { emit listenReleased(2); });
    connect(m_c.Image1, &ClickLabel::doubleClicked, this, &Form1::showInfoForm);
    connect(m_c.cmd_EXIT, &QPushButton::clicked, this, &QWidget::close);

    connect(m_c.cmd_loadsndfile, &QPushButton::clicked, this, &Form1::cmd_loadsndfile_Click);
    connect(m_c.cmd_testsndfile, &QPushButton::clicked, this, &Form1::cmd_testsndfile_Click);
    connect(m_c.txt_epromadr, &QLineEdit::textChanged, this, &Form1::sampleViewerUpdate);
    connect(m_c.UpDown1, &UpDown::valueChanged, this,
            [this](int value) { m_c.txt_epromadr->setText(QString::number(value)); });
}

void Form1::beginBusy() {
    if (m_busy++ == 0) {
        for (QPushButton* b : {static_cast<QPushButton*>(m_c.cmd_loadsndfile),
                               static_cast<QPushButton*>(m_c.cmd_testsndfile),
                               static_cast<QPushButton*>(m_c.cmd_konvertieren)}) {
            b->setEnabled(false);
        }
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

void Form1::closeEvent(QCloseEvent* event) {
    // A close during long work waits for its end, so nothing is torn down under it.
    if (busy()) {
        m_closeRequested = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

InfoForm* Form1::infoform() const {
    return m_infoform.data();
}

void Form1::showInfoForm() {
    if (m_infoform.isNull()) {
        m_infoform = new InfoForm(windowTitle());
    }
    m_infoform->show();
    m_infoform->raise();
    m_infoform->activateWindow();
}

void setBackground(QWidget* field, const QColor& colour) {
    QPalette p = field->palette();
    p.setColor(QPalette::Base, colour);
    field->setPalette(p);
}

QColor windowBackground() {
    return QApplication::palette().color(QPalette::Base);
}
