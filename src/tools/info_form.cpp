#include "tools/info_form.h"

#include "common/version.h"
#include "gui/pictures.h"

#include <QPixmap>

InfoForm::InfoForm(const QString& mainWindowTitle, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName("infoform");
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle("about VUZOdezir");
    setFixedSize(384, 252); // 5760 x 3780 twips

    m_text = new QPlainTextEdit(this);
    m_text->setObjectName("Text1");
    m_text->setGeometry(8, 8, 369, 49);
    m_text->setReadOnly(true);
    m_text->setTabChangesFocus(true);
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette grey = m_text->palette();
    grey.setColor(QPalette::Base, QColor(192, 192, 192));
    m_text->setPalette(grey);
    // Filled anew on every load: the main window's title, then "Rev: " and the full version.
    m_text->setPlainText(mainWindowTitle +
                         "\r\nRev: " + QString::fromStdString(melo::versionfull()));

    m_image = new QLabel(this);
    m_image->setObjectName("Image1");
    m_image->setGeometry(104, 64, 168, 183);
    m_image->setPixmap(QPixmap(picture_resource(":/pictures/about")));
    m_image->setScaledContents(true);

    m_ok = new QPushButton("OK", this);
    m_ok->setObjectName("Command1");
    m_ok->setGeometry(320, 208, 57, 33);
    m_ok->setDefault(true); // Enter closes the box as "OK" does, Escape as its close control
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    m_ok->setFocus();
}
