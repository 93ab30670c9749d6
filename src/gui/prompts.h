#pragma once

#include <QString>

class QWidget;

// What a file-open dialog is asked to show. The filter list is "description|pattern" pairs
// separated by "|", patterns separated by ";", filter indices start at 1.
struct OpenFileRequest {
    QString initialDir;
    QString title;
    QString filter;
    int filterIndex = 1;
    QString defaultSuffix;
    bool mustExist = true; // false: a new name may be typed (the project chooser)
};

// What the user chose: empty paths for a cancelled dialog.
struct OpenFileResult {
    QString fullPath;
    QString bareName;
    int filterIndex = 1;             // the filter entry the dialog was left on
    bool extensionDifferent = false; // the chosen extension differs from the default suffix
};

// Dialogs and message boxes: the real ones in the program, a scripted double in tests.
class Prompts {
public:
    enum class Answer { Yes, No, Cancel };

    virtual ~Prompts() = default;
    virtual OpenFileResult openFile(const OpenFileRequest& request) = 0;
    // A message box with an OK button that reports a failure (the error icon).
    virtual void message(const QString& title, const QString& text) = 0;
    // A message box with Yes, No and Cancel and no icon (the save prompt is designed so).
    virtual Answer askYesNoCancel(const QString& title, const QString& text) = 0;
    // A message box with Yes and No (the question icon); closing it answers No. By default the
    // answer of askYesNoCancel, Cancel taken as No.
    virtual Answer askYesNo(const QString& title, const QString& text) {
        return askYesNoCancel(title, text) == Answer::Yes ? Answer::Yes : Answer::No;
    }
};

// QFileDialog and QMessageBox, in German. Each opens centred over the window the user works in
// (a modal dialog, else the active window), else over the parent given here.
class QtPrompts : public Prompts {
public:
    explicit QtPrompts(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }

    OpenFileResult openFile(const OpenFileRequest& request) override;
    void message(const QString& title, const QString& text) override;
    Answer askYesNoCancel(const QString& title, const QString& text) override;
    Answer askYesNo(const QString& title, const QString& text) override;

private:
    QWidget* owner() const;

    QWidget* m_parent;
};
