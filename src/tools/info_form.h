#pragma once

#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

// The about box "infoform": the main window's title and the full version above a picture.
// It is modeless, opens centred over its parent and deletes itself when closed ("OK", Escape,
// Enter or its close control); the main window keeps one at most.
class InfoForm : public QDialog {
    Q_OBJECT
public:
    explicit InfoForm(const QString& mainWindowTitle, QWidget* parent = nullptr);

    QPlainTextEdit* text() const { return m_text; }
    QPushButton* okButton() const { return m_ok; }

private:
    QPlainTextEdit* m_text;
    QLabel* m_image;
    QPushButton* m_ok;
};
