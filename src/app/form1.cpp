#include "app/form1.h"

#include "common/version.h"
#include "tools/about_box.h"

Form1::Form1(AppEnvironment& env, QWidget* parent) : QWidget(parent), m_env(env) {
    setObjectName("Form1");
    m_c = build_form1(this);
    m_debugMode = env.debugMode;

    setWindowTitle(QString::fromStdString(melo::window_title()));
    setWindowIcon(QIcon(":/icons/app.svg"));
    // The normal mode shows the upper part only; the inspection panel and the debug view
    // lie below the window's edge but keep working.
    setFixedSize(form1_metrics::kClientWidth,
                 m_debugMode ? form1_metrics::kDebugHeight : form1_metrics::kNormalHeight);

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
    m_c.lbl_pb1->setText("0 %");
    m_c.ProgressBar1->setValue(1000);

    wireSignals();
}

Form1::~Form1() {
    delete m_infoform;
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
