#pragma once

#include <QLabel>
#include <QString>

// Shows `text` in a window's status line, in red for a failure and in the window's own
// colour otherwise.
inline void show_status(QLabel* label, const QString& text, bool failure) {
    label->setText(text);
    label->setStyleSheet(failure ? "color: rgb(255, 0, 0);" : "");
}
