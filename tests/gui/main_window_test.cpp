#include <QApplication>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>

#include "app/gui_setup.h"
#include "gui_fixture.h"
#include "tools/info_form.h"

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void normalModeShowsOnlyTheUpperPart();
    void debugModeShowsTheWholeDesign();
    void listenButtonsFollowTheListenMode();
    void captionsFitTheirBoxes();
    void aboutBoxIsSingleAndShowsTheVersion();
    void nothingHiddenTakesTheFocus();
};

namespace {

// True when the widget lies completely inside the window's client area.
bool inside(const QWidget& window, const QWidget* w) {
    const QRect r(w->mapTo(&window, QPoint(0, 0)), w->size());
    return window.rect().contains(r);
}

} // namespace

void MainWindowTest::normalModeShowsOnlyTheUpperPart() {
    GuiFixture f;
    auto window = f.start();
    Form1& form = *window;
    const Form1Controls& c = form.controls();
    QCOMPARE(form.windowTitle(), QString("MELO Sound-Manager V1.01"));
    QVERIFY(inside(form, c.GenFile));
    QVERIFY(inside(form, c.Frame2));
    QVERIFY(inside(form, c.cmd_EXIT));
    QVERIFY(inside(form, c.Text1));
    // The inspection panel and the debug view exist and can be written, but lie below the edge.
    QVERIFY(c.SndFile->y() >= form.height());
    QVERIFY(c.txt_debug->y() >= form.height());
    c.txt_debug->setPlainText("line");
    QCOMPARE(c.txt_debug->toPlainText(), QString("line"));
    QCOMPARE(form.findChild<QWidget*>("txt_WAVformattext"), c.txt_WAVformattext);
}

void MainWindowTest::debugModeShowsTheWholeDesign() {
    GuiFixture f;
    f.settings("[VARS]\ndebug=286\n");
    auto window = f.start();
    Form1& form = *window;
    const Form1Controls& c = form.controls();
    QVERIFY(inside(form, c.SndFile));
    QVERIFY(inside(form, c.txt_debug));
    QVERIFY(inside(form, c.UpDown1));
    QCOMPARE(form.minimumSize(), form.maximumSize()); // fixed size
}

void MainWindowTest::listenButtonsFollowTheListenMode() {
    {
        GuiFixture f;
        auto form = f.start();
        for (auto* b : form->controls().cmd_listen) {
            QVERIFY(!b->isVisible());
        }
        QVERIFY(form->controls().Image2->isVisible());
        QVERIFY(!form->controls().Label11->isVisible());
    }
    GuiFixture f;
    f.settings("[VARS]\nlisten=1\n");
    auto window = f.start();
    Form1& form = *window;
    QSignalSpy pressed(&form, &Form1::listenPressed);
    QSignalSpy released(&form, &Form1::listenReleased);
    QTest::mousePress(form.controls().cmd_listen[3], Qt::LeftButton);
    QTest::mouseRelease(form.controls().cmd_listen[3], Qt::LeftButton);
    QTest::mousePress(form.controls().Command3, Qt::LeftButton);
    QCOMPARE(pressed.count(), 2);
    QCOMPARE(pressed.at(0).at(0).toInt(), 3);
    QCOMPARE(pressed.at(1).at(0).toInt(), 2);
    QCOMPARE(released.count(), 1);
}

void MainWindowTest::captionsFitTheirBoxes() {
    GuiFixture f;
    f.settings("[VARS]\ndebug=286\n");
    auto window = f.start();
    Form1& form = *window;
    // Every caption the user can see fits its box, wrapped at blanks where the box is narrow.
    QStringList cut;
    for (QLabel* label : form.findChildren<QLabel*>()) {
        if (label->text().isEmpty() || !label->isVisibleTo(&form)) {
            continue;
        }
        const QRect needed = QFontMetrics(label->font())
                                 .boundingRect(QRect(0, 0, label->width(), 10000), Qt::TextWordWrap,
                                               label->text());
        if (needed.height() > label->height() || needed.width() > label->width()) {
            cut << label->objectName();
        }
    }
    for (QAbstractButton* button : form.findChildren<QAbstractButton*>()) {
        if (button->text().isEmpty() || !button->isVisibleTo(&form)) {
            continue;
        }
        const bool check = qobject_cast<QCheckBox*>(button) != nullptr;
        const int room = button->width() - (check ? 20 : 6);
        const QRect needed = QFontMetrics(button->font())
                                 .boundingRect(QRect(0, 0, room, 10000), Qt::TextWordWrap,
                                               button->text().simplified());
        if (needed.width() > room || needed.height() > button->height() - 2) {
            cut << button->objectName();
        }
    }
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(", ")));
}

void MainWindowTest::aboutBoxIsSingleAndShowsTheVersion() {
    GuiFixture f;
    auto window = f.start();
    Form1& form = *window;
    QTest::mouseDClick(form.controls().Image1, Qt::LeftButton);
    InfoForm* first = form.infoform();
    QVERIFY(first != nullptr);
    QTest::mouseDClick(form.controls().Image1, Qt::LeftButton);
    QCOMPARE(form.infoform(), first);
    const auto tops = QApplication::topLevelWidgets();
    QCOMPARE(std::count_if(tops.begin(), tops.end(),
                           [](QWidget* w) { return w->objectName() == "infoform" && w->isVisible(); }),
             1);
    QCOMPARE(first->text()->toPlainText(),
             QString("MELO Sound-Manager V1.01\nRev:  V1.01.0001"));
    QVERIFY(first->windowTitle() == "about VUZOdezir");

    QTest::mouseClick(first->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QTRY_VERIFY(form.infoform() == nullptr);
    QTest::mouseDClick(form.controls().Image1, Qt::LeftButton);
    QVERIFY(form.infoform() != nullptr);
    QCOMPARE(form.infoform()->text()->toPlainText().section('\n', 1), QString("Rev:  V1.01.0001"));
}

void MainWindowTest::nothingHiddenTakesTheFocus() {
    GuiFixture f;
    auto window = f.start();
    Form1& form = *window;
    form.activateWindow();
    for (int i = 0; i < 80; ++i) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &form, Qt::Key_Tab);
        QWidget* focused = QApplication::focusWidget();
        QVERIFY(focused == nullptr || !form.controls().SndFile->isAncestorOf(focused));
        QVERIFY(focused != form.controls().txt_debug);
    }
    QVERIFY(f.prompts.requests.isEmpty()); // no file dialog of the hidden panel opened

    // The about box is a child window: it does not outlive the main window.
    QTest::mouseDClick(form.controls().Image1, Qt::LeftButton);
    QPointer<InfoForm> about = form.infoform();
    QVERIFY(about && about->isWindow() && about->parent() == &form);
    form.close();
    QVERIFY(!about || !about->isVisible());
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    setup_application_look(app);
    MainWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "main_window_test.moc"
