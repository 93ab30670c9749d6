#include <QTest>
#include <QTimer>
#include <new>

#include "app/safe_application.h"

// An exception thrown by an event handler ends that action only: the user is told in German
// and the program goes on.
class SafeApplicationTest : public QObject {
    Q_OBJECT

private slots:
    void aThrowingHandlerIsReportedAndTheProgramGoesOn() {
        QStringList reported;
        SafeApplication::setReporter([&](const QString& text) { reported.append(text); });
        bool later = false;
        QTimer::singleShot(0, [] { throw std::bad_alloc(); });
        QTimer::singleShot(0, [] { throw 42; });
        QTimer::singleShot(10, [&] { later = true; });
        QTRY_VERIFY(later);
        QCOMPARE(reported.size(), 2);
        QVERIFY(reported[0].startsWith("Der Arbeitsspeicher reicht nicht aus.\nDie Aktion wurde abgebrochen"));
        QVERIFY(reported[1].startsWith("Ein unerwarteter Fehler ist aufgetreten."));
    }
};

int main(int argc, char** argv) {
    SafeApplication app(argc, argv);
    SafeApplicationTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "safe_application_test.moc"
