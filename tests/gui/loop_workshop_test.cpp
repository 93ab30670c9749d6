#include "app/gui_setup.h"
#include "common/module_constants.h"
#include "flash/waveform_model.h"
#include "gui_fixture.h"
#include "loop/loop_parts.h"
#include "tools/listen_playback.h"
#include "tools/loop_workshop.h"
#include "tools/prepare_options_box.h"
#include "tools/waveform_view.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QDragEnterEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <cmath>

class LoopWorkshopTest : public QObject {
    Q_OBJECT

private slots:
    void searchedLoopIsWrittenAndAssigned();
    void droppedRecordingOpensTheWindow();
};

namespace {

// A horn-like tone of 97.3 Hz with partials: 0.3 s attack, a steady middle, 0.4 s decay,
// as 16-bit mono at the module's rate.
std::string horn(double seconds) {
    const int rate = 13021;
    const int n = static_cast<int>(seconds * rate);
    std::string data;
    for (int i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double envelope = std::min({1.0, t / 0.3, (seconds - t) / 0.4});
        double v = 0;
        for (int k = 1; k <= 5; ++k) {
            v += std::sin(2 * M_PI * 97.3 * k * t + k) / k;
        }
        const auto s = static_cast<std::int16_t>(std::lround(9000 * envelope * v));
        data += wavb::le16(static_cast<std::uint16_t>(s));
    }
    return data;
}

void triggerEntry(QWidget* widget, const QString& text) {
    QTimer::singleShot(0, [text] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        for (QAction* action : menu->actions()) {
            if (action->text() == text) {
                action->trigger();
            }
        }
        menu->close();
    });
    emit widget->customContextMenuRequested(QPoint(5, 5));
}

// The 8-bit samples of a part file in the project folder, as the generation run places them.
std::vector<std::uint8_t> samples(const GuiFixture& f, const std::string& name) {
    return melo::project_row(f.dir.root(), 0, {name, "", ""}).parts[0].samples;
}

} // namespace

void LoopWorkshopTest::searchedLoopIsWrittenAndAssigned() {
    GuiFixture f;
    auto form = f.start();
    QVERIFY(form);
    const Form1Controls& c = form->controls();
    QDir(f.env.appDir).mkdir("aufnahmen");
    wavb::write_file(f.dir.path("aufnahmen/horn.wav"), wavb::wav({.bits = 16}, horn(2.0)));
    f.prompts.chooseFile(f.path("aufnahmen/horn.wav"));
    triggerEntry(c.Label14[1], "Aus einer Aufnahme schneiden…");
    QCOMPARE(f.prompts.requests.last().title, QString("Aufnahme auswählen"));
    QTRY_VERIFY(form->findChild<LoopWorkshop*>());
    auto* window = form->findChild<LoopWorkshop*>();
    QTRY_VERIFY(window->prepared() && !window->running());
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QString("Loop-Werkstatt – Sound B (201) – horn.wav"));
    // The steady middle is the first range and loop; the view shows the four markers.
    QCOMPARE(window->view()->markers().size(), 4u);
    QVERIFY(window->loopStart() > 13021 * 0.25 && window->loopEnd() < 13021 * 1.7);
    QCOMPARE(window->stem()->text(), QString("horn"));

    QTest::mouseClick(window->searchButton(), Qt::LeftButton);
    QVERIFY(window->running());
    QTRY_VERIFY(!window->running());
    QVERIFY(!window->candidates().empty());
    QCOMPARE(window->candidateList()->rowCount(), static_cast<int>(window->candidates().size()));
    QCOMPARE(window->loopStart(), window->candidates()[0].a);
    QCOMPARE(window->loopEnd(), window->candidates()[0].b);
    QVERIFY(window->candidates()[0].seam.correlation >= 0.99);
    QVERIFY(std::abs(window->seamView()->seam().step) <= 2);
    if (window->candidates().size() > 1) {
        window->candidateList()->setCurrentCell(1, 0);
        QCOMPARE(window->loopEnd(), window->candidates()[1].b);
        window->candidateList()->setCurrentCell(0, 0);
    }
    // A dragged loop point is taken as it is, and no candidate stays chosen.
    emit window->view()->markerMoved(LoopWorkshop::kLoopEnd, window->loopEnd() - 30.0);
    QCOMPARE(window->loopEnd(), window->candidates()[0].b - 30);
    QVERIFY(window->loop().seam.correlation < 0.9);
    QCOMPARE(window->candidateList()->currentRow(), -1);
    // "Einrasten" moves it back to a seam as good as the search's.
    QTest::mouseClick(window->snapButton(), Qt::LeftButton);
    QVERIFY(std::abs(window->loopEnd() - (window->candidates()[0].b - 30)) <= 66);
    QVERIFY(window->loop().seam.correlation >= 0.99);
    QCOMPARE(window->candidateList()->currentRow(), -1); // the snapped loop is no candidate
    window->candidateList()->setCurrentCell(0, 0);

    // The space bar plays start, loop and end from memory, wherever the focus is but in the
    // name field; it does not press the button that has the focus.
    f.audio.log.clear();
    QTest::keyPress(window->acceptButton(), Qt::Key_Space);
    QTest::keyRelease(window->acceptButton(), Qt::Key_Space);
    QVERIFY(!QFile::exists(f.path("horn_loop.wav")));
    // The fake output takes a step per 100 samples and poll: a few seconds.
    QTRY_VERIFY_WITH_TIMEOUT(form->listenPlayer().ready(), 20000);
    const std::int64_t a = window->loopStart();
    const std::int64_t b = window->loopEnd();
    QCOMPARE(f.audio.log.filter("load "),
             QStringList({QString("load memory %1").arg(a), QString("load memory %1").arg(b - a),
                          QString("load memory %1").arg(2 * 13021 - b)}));

    QTest::mouseClick(window->acceptButton(), Qt::LeftButton);
    QTRY_COMPARE(c.txt_userloop[1]->text(), QString("horn_loop.wav"));
    QCOMPARE(c.txt_useranf[1]->text(), QString("horn_anfang.wav"));
    QCOMPARE(c.txt_userend[1]->text(), QString("horn_ende.wav"));
    QVERIFY(form->projchanged());
    QVERIFY(f.prompts.questions.isEmpty()); // new files: nothing to ask
    // Put end to end, the three parts are the recording as the module plays it.
    const std::vector<std::uint8_t> start = samples(f, "horn_anfang.wav");
    const std::vector<std::uint8_t> loop = samples(f, "horn_loop.wav");
    const std::vector<std::uint8_t> end = samples(f, "horn_ende.wav");
    QCOMPARE(static_cast<std::int64_t>(start.size()), a);
    QCOMPARE(static_cast<std::int64_t>(loop.size()), b - a);
    QCOMPARE(static_cast<std::int64_t>(start.size() + loop.size() + end.size()), 2 * 13021);
    // The seam as the module plays it: the loop's last sample into its first.
    QVERIFY(std::abs(int(loop.front()) - int(loop.back())) <= 2);

    // Another loop over the written files asks first; "Nein" leaves them.
    form->controls().txt_userloop[1]->setText("anders.wav");
    window->crossfade()->setValue(20);
    f.prompts.answer(Prompts::Answer::No);
    QTest::mouseClick(window->acceptButton(), Qt::LeftButton);
    QVERIFY(f.prompts.questions.last().startsWith("Dateien ersetzen: Im Projektordner gibt es "
                                                  "schon „horn_loop.wav“"));
    QVERIFY(!window->running());
    QCOMPARE(samples(f, "horn_loop.wav"), loop);
    QCOMPARE(c.txt_userloop[1]->text(), QString("anders.wav"));

    // A 16-bit master: the seam close-up shows the samples the image will get of it.
    window->optionsBox()->bits()->setCurrentIndex(1);
    QTest::mouseClick(window->prepareButton(), Qt::LeftButton);
    QTRY_VERIFY(!window->running());
    // The new search chooses its best loop, though row 0 was the list's current row before.
    QCOMPARE(window->loopStart(), window->candidates()[0].a);
    QCOMPARE(window->loopEnd(), window->candidates()[0].b);
    window->stem()->setText("horn16");
    QTest::mouseClick(window->acceptButton(), Qt::LeftButton);
    QTRY_COMPARE(c.txt_userloop[1]->text(), QString("horn16_loop.wav"));
    const std::vector<std::uint8_t> loop16 = samples(f, "horn16_loop.wav");
    QCOMPARE(static_cast<std::int64_t>(loop16.size()), window->loopEnd() - window->loopStart());
    QCOMPARE(window->seamView()->seam().after.front(), loop16.front());
    QCOMPARE(window->seamView()->seam().before.back(), loop16.back());

    // A base file that leaves less than the recording's 2 s free: the window says so and
    // asks before writing; "Nein" writes nothing.
    QVERIFY(window->budget()->text().startsWith("Flash: noch "));
    wavb::write_file(f.dir.path("gross.DSD"), std::string(melo::kFlashCapacity - 13021, '\x80'));
    c.txt_DSDfilename->setText("gross.DSD");
    window->stem()->setText("zulang");
    f.prompts.answer(Prompts::Answer::No);
    QTest::mouseClick(window->acceptButton(), Qt::LeftButton);
    QCOMPARE(f.prompts.questions.last(),
             QString("Zu lang für den Flash: Die drei Teile (0m 2.00s) passen nicht in den freien "
                     "Flash (noch 0%1 s frei bei 13021 Hz).\nTrotzdem übernehmen?")
                 .arg(QLocale().decimalPoint() + "9"));
    QVERIFY(window->budget()->text().startsWith("Die drei Teile (0m 2.00s) passen nicht"));
    QVERIFY(!window->running());
    QVERIFY(!QFile::exists(f.path("zulang_loop.wav")));

    // Escape closes the window.
    QTest::keyClick(window->view(), Qt::Key_Escape);
    QTRY_VERIFY(!form->findChild<LoopWorkshop*>());
}

void LoopWorkshopTest::droppedRecordingOpensTheWindow() {
    GuiFixture f;
    auto form = f.start();
    QVERIFY(form);
    // Three minutes at 44.1 kHz: the preparation still runs when it is cancelled.
    wavb::write_file(f.dir.path("lang.wav"),
                     wavb::wav({.rate = 44100}, std::string(44100 * 180, '\x90')));
    QLabel* title = form->controls().Label14[3];
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(f.path("lang.wav"))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(title, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(title, &dropped);
    QTRY_VERIFY(form->findChild<LoopWorkshop*>());
    auto* window = form->findChild<LoopWorkshop*>();
    QVERIFY(window->running());
    QVERIFY(!window->searchButton()->isEnabled() && !window->acceptButton()->isEnabled());
    QTest::mouseClick(window->cancelButton(), Qt::LeftButton);
    QTRY_VERIFY(!window->running());
    QCOMPARE(window->status()->text(), QString("Umwandlung abgebrochen"));
    QVERIFY(!window->prepared() && !window->searchButton()->isEnabled());
    QCOMPARE(window->cancelButton()->text(), QString("Schließen"));

    // A file that is no audio gets its reason, and nothing to search.
    wavb::write_file(f.dir.path("notiz.txt"), "keine Aufnahme\n");
    auto* second = new LoopWorkshop(f.prompts, form->listenPlayer(), f.path("notiz.txt"),
                                    form->projfiledir(), "notiz", form.get());
    QTRY_VERIFY(!second->running());
    QVERIFY(second->status()->text().contains("unbekanntes Dateiformat"));
    QVERIFY(!second->searchButton()->isEnabled());
    second->close();
    window->close();
    QTRY_VERIFY(!form->findChild<LoopWorkshop*>());
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    setup_application_look(app);
    LoopWorkshopTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "loop_workshop_test.moc"
