#pragma once

#include <QFileInfo>
#include <QList>
#include <QStringList>

#include "gui/prompts.h"
#include "gui/qt_text.h"
#include "project/file_choice.h"

// Answers dialogs from a script and records what was asked.
class ScriptedPrompts : public Prompts {
public:
    // The next file dialog returns this path (empty: cancelled), left on `filterIndex`.
    void chooseFile(const QString& path, int filterIndex = 1) { m_files.append({path, filterIndex}); }
    void answer(Answer a) { m_answers.append(a); }

    OpenFileResult openFile(const OpenFileRequest& request) override {
        requests.append(request);
        OpenFileResult result;
        if (m_files.isEmpty()) {
            return result;
        }
        const auto [path, index] = m_files.takeFirst();
        result.filterIndex = index;
        QString chosen = path;
        // As a real dialog does: a typed name without an extension gets the default suffix.
        if (!chosen.isEmpty() && QFileInfo(chosen).suffix().isEmpty() && !request.mustExist) {
            chosen += "." + request.defaultSuffix;
        }
        result.fullPath = chosen;
        result.bareName = QFileInfo(chosen).fileName();
        result.extensionDifferent = melo::extension_differs(file_path(result.bareName), file_path(request.defaultSuffix));
        return result;
    }
    void message(const QString& title, const QString& text) override {
        messages.append(title + ": " + text);
    }
    Answer askYesNoCancel(const QString& title, const QString& text) override {
        questions.append(title + ": " + text);
        return m_answers.isEmpty() ? Answer::Cancel : m_answers.takeFirst();
    }
    // Unscripted, it answers No.
    Answer askYesNo(const QString& title, const QString& text) override {
        questions.append(title + ": " + text);
        return m_answers.isEmpty() ? Answer::No : m_answers.takeFirst();
    }

    QList<OpenFileRequest> requests;
    QStringList messages;
    QStringList questions;

private:
    QList<std::pair<QString, int>> m_files;
    QList<Answer> m_answers;
};
