#pragma once

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>

// The about box "infoform": the main window's title and the full version above a picture.
// It is modeless and deletes itself when closed; the main window keeps one at most.
class InfoForm : public QWidget {
    Q_OBJECT
public:
    explicit InfoForm(const QString& mainWindowTitle, QWidget* parent = nullptr);

    QPlainTextEdit* text() const { return m_text; }

private:
    QPlainTextEdit* m_text;
    QLabel* m_image;
    QPushButton* m_ok;
};
