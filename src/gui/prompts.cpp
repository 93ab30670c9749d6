#include "gui/prompts.h"
#include "gui/qt_text.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "project/file_choice.h"

namespace {

// "WAV-Files|*.WAV|alle Files (*.*)|*.*" -> {"WAV-Files (*.WAV)", "alle Files (*.*) (*)"}
QStringList qt_name_filters(const QString& filter) {
    const QStringList parts = filter.split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        if (patterns == "*.*") {
            patterns = "*"; // every file, also one without an extension
        }
        filters << parts[i] + " (" + patterns + ")";
    }
    return filters;
}

} // namespace

QWidget* QtPrompts::owner() const {
    for (QWidget* w : {QApplication::activeModalWidget(), QApplication::activeWindow()}) {
        if (w != nullptr && w->isVisible() && !w->windowFlags().testFlag(Qt::Popup)) {
            return w;
        }
    }
    return m_parent;
}

OpenFileResult QtPrompts::openFile(const OpenFileRequest& request) {
    QFileDialog dialog(owner(), request.title, request.initialDir);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setLabelText(QFileDialog::LookIn, "Suchen in:");
    dialog.setLabelText(QFileDialog::FileName, "Dateiname:");
    dialog.setLabelText(QFileDialog::FileType, "Dateityp:");
    dialog.setLabelText(QFileDialog::Accept, "Öffnen");
    dialog.setLabelText(QFileDialog::Reject, "Abbrechen");
    const QStringList filters = qt_name_filters(request.filter);
    dialog.setNameFilters(filters);
    if (request.filterIndex >= 1 && request.filterIndex <= filters.size()) {
        dialog.selectNameFilter(filters[request.filterIndex - 1]);
    }
    dialog.setDefaultSuffix(request.defaultSuffix);

    OpenFileResult result;
    const bool accepted = dialog.exec() == QDialog::Accepted;
    const int index = static_cast<int>(filters.indexOf(dialog.selectedNameFilter()));
    result.filterIndex = index >= 0 ? index + 1 : request.filterIndex;
    if (accepted && !dialog.selectedFiles().isEmpty()) {
        result.fullPath = QDir::toNativeSeparators(dialog.selectedFiles().first());
        result.bareName = QFileInfo(result.fullPath).fileName();
        result.extensionDifferent = melo::extension_differs(file_path(result.bareName), file_path(request.defaultSuffix));
    }
    return result;
}

void QtPrompts::message(const QString& title, const QString& text) {
    // The texts break lines with CR LF or a lone CR; the box wants LF.
    QString shown = text;
    shown.replace("\r\n", "\n").replace('\r', '\n');
    QMessageBox box(QMessageBox::Critical, title, shown, QMessageBox::Ok, owner());
    box.button(QMessageBox::Ok)->setText("OK");
    box.exec();
}

Prompts::Answer QtPrompts::askYesNoCancel(const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, title, text,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, owner());
    box.button(QMessageBox::Yes)->setText("Ja");
    box.button(QMessageBox::No)->setText("Nein");
    box.button(QMessageBox::Cancel)->setText("Abbrechen");
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

Prompts::Answer QtPrompts::askYesNo(const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, owner());
    box.button(QMessageBox::Yes)->setText("Ja");
    box.button(QMessageBox::No)->setText("Nein");
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
}
