#pragma once

#include <QApplication>
#include <functional>

// The application object. No exception ever leaves an event handler through it: a failure
// nothing below expected (memory exhausted, say) ends that one action, the user is told in
// German, and the program goes on. Every file is written by an atomic replace, so an action
// that ends this way leaves no half-written file behind.
class SafeApplication : public QApplication {
    Q_OBJECT
public:
    SafeApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows the last-resort message; tests replace it.
    static void setReporter(std::function<void(const QString& text)> reporter);
    // The German text for the exception being handled (call inside a catch block).
    static QString currentFailureText();
    static void report(const QString& text);
};
