#include "app/safe_application.h"

#include <QMessageBox>
#include <exception>
#include <new>

namespace {
std::function<void(const QString&)>& reporter() {
    static std::function<void(const QString&)> r;
    return r;
}
} // namespace

SafeApplication::SafeApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool SafeApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        report(currentFailureText());
    }
    return false;
}

QString SafeApplication::currentFailureText() {
    QString reason = "Ein unerwarteter Fehler ist aufgetreten.";
    try {
        throw;
    } catch (const std::bad_alloc&) {
        reason = "Der Arbeitsspeicher reicht nicht aus.";
    } catch (...) {
    }
    return reason + "\nDie Aktion wurde abgebrochen; bereits gespeicherte Dateien sind unverändert.";
}

void SafeApplication::setReporter(std::function<void(const QString&)> r) {
    reporter() = std::move(r);
}

void SafeApplication::report(const QString& text) {
    if (reporter()) {
        reporter()(text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, "MELO Sound-Manager", text, QMessageBox::Ok);
    box.exec();
}
