#include "app/gui_setup.h"
#include "common/atomic_file.h"
#include "gui_fixture.h"
#include "tools/listen_playback.h"
#include "tools/waveform_view.h"
#include "tools/waveform_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QLocale>
#include <QMenu>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <random>

class WaveformTest : public QObject {
    Q_OBJECT

private slots:
    // The window's numbers take the user's decimal separator: a German locale gives the
    // comma the texts below show.
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    void demoRowShowsItsPartsAsTheImageHoldsThem();
    void clippedSamplesAreMarked();
    void spaceBarPlaysTheRowThroughTheListenPlayer();
    void anImageShowsItsTwelveParts();
    void anImageWithoutPartsIsRefusedWithItsReason();
    void zoomAndScroll();
    void keysZoomScrollAndClose();
};

namespace {

// Opens the context menu of `widget` and picks the entry `text`; false when it has none.
bool pick_context_entry(QWidget* widget, const QString& text) {
    bool found = false;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr) {
            return;
        }
        for (QAction* action : menu->actions()) {
            if (action->text() == text) {
                found = true;
                menu->close();
                action->trigger();
                return;
            }
        }
        menu->close();
    });
    emit widget->customContextMenuRequested(QPoint(2, 2));
    return found;
}

// The demo project copied into the fixture's directory, and the window started on it.
std::unique_ptr<Form1> start_on_demo(GuiFixture& f, const std::string& settings = "") {
    for (const auto& entry :
         std::filesystem::directory_iterator(MELO_SOURCE_DIR "/examples/demo")) {
        std::filesystem::copy_file(entry.path(), f.dir.path(entry.path().filename().string()));
    }
    f.settings("[DIRS]\nprojfiledir=" + f.dir.root() + "\nprojname=demo.DSP\n" + settings);
    return f.start();
}

WaveformWindow* open_row(Form1& form, int row) {
    if (!pick_context_entry(form.controls().Label14[row], "Wellenform anzeigen…")) {
        return nullptr;
    }
    return form.findChild<WaveformWindow*>();
}

} // namespace

void WaveformTest::demoRowShowsItsPartsAsTheImageHoldsThem() {
    GuiFixture f;
    auto form = start_on_demo(f);
    form->move(300, 200);
    WaveformWindow* window = open_row(*form, 0);
    QVERIFY(window);
    // It opens over the main window, not at the screen's edge: centred on it as far as the
    // screen allows (the test screen is narrower than the window).
    QVERIFY(std::abs(window->geometry().center().y() - form->geometry().center().y()) < 20);
    QVERIFY(window->geometry().contains(form->geometry().center()));
    QCOMPARE(window->windowTitle(), QString("Wellenform – Sound A (200)"));
    // The samples are the ones the demo's image holds for its first row.
    std::string image;
    QVERIFY(melo::read_file(MELO_SOURCE_DIR "/tests/data/golden/demo.DSU", image));
    const melo::WaveformRow golden = melo::image_rows(image).rows[0];
    const melo::WaveformRow& row = window->row();
    for (int p = 0; p < 3; ++p) {
        QCOMPARE(row.parts[p].samples, golden.parts[p].samples);
        QCOMPARE(row.parts[p].marker, golden.parts[p].marker);
    }
    QCOMPARE(window->partText(0),
             QString("<b>Anfang</b>: motor_an.wav<br>5208 Samples, 0,400 s, Marker FF, -7,7 LUFS"));
    QVERIFY(window->partText(2).contains("4557 Samples, 0,350 s, Marker 00"));
    // Under another locale every number of the line takes its separator, not only some.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const QString english = window->partText(0);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QVERIFY2(english.endsWith("0.400 s, Marker FF, -7.7 LUFS"), qPrintable(english));

    // Side by side: every column belongs to the part whose stretch of the row it lies in, and
    // the whole row fits the view.
    const WaveformView* view = window->view();
    const double end0 = view->xOf(static_cast<double>(row.marker_position(0)));
    const double start1 = view->xOf(static_cast<double>(row.offset(1)));
    const double start2 = view->xOf(static_cast<double>(row.offset(2)));
    QVERIFY(end0 < start1 && start1 < start2 &&
            view->xOf(static_cast<double>(row.length())) <= view->width() + 0.5);
    const std::vector<WaveformView::Column> columns = view->columns();
    QVERIFY(columns.size() >= static_cast<std::size_t>(view->areas().wave.width()) - 2);
    for (const WaveformView::Column& c : columns) {
        const int expected = c.x < start1 - 1 ? 0 : c.x < start2 - 1 ? 1 : 2;
        if (std::abs(c.x - start1) > 1 && std::abs(c.x - start2) > 1) {
            QCOMPARE(c.part, expected);
        }
        QVERIFY(!c.range.clipped()); // the demo is never clipped
    }

    // The seam: the loop part's last 64 samples, then its first 64, and the step between.
    const std::vector<std::uint8_t>& loop = row.parts[1].samples;
    std::vector<std::uint8_t> seam(loop.end() - 64, loop.end());
    seam.insert(seam.end(), loop.begin(), loop.begin() + 64);
    QCOMPARE(window->seamView()->values(), seam);
    const int step = loop.front() - loop.back();
    QVERIFY2(window->seamText().contains(QString("Sprung %1%2 (%3 → %4)")
                                             .arg(step > 0 ? "+" : "")
                                             .arg(step)
                                             .arg(loop.back())
                                             .arg(loop.front())),
             qPrintable(window->seamText()));
    // The same entry sits on the part fields.
    QVERIFY(pick_context_entry(form->controls().txt_userend[3], "Wellenform anzeigen…"));
}

void WaveformTest::clippedSamplesAreMarked() {
    GuiFixture f;
    std::string start(1000, '\x80');
    start[100] = '\0';                   // becomes 1
    start[700] = static_cast<char>(255); // becomes 254
    wavb::write_file(f.dir.path("clip.wav"), wavb::wav({}, start));
    wavb::write_file(f.dir.path("ok.wav"), wavb::wav({}, std::string(500, '\x70')));
    FakeAudio audio;
    ListenPlayback player(
        audio, [](int, int) { return QString(); }, [](qint64) {});
    std::unique_ptr<WaveformWindow> window(WaveformWindow::forProjectRow(
        player, QString::fromStdString(f.dir.root()), 1, {"clip.wav", "ok.wav", "(leer)"}));
    window->resize(1100, 400);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QVERIFY(!window->windowIcon().isNull()); // a window of its own carries the program's icon
    QVERIFY(window->partText(0).contains("2 Samples begrenzt (1 oder 254)"));
    // Red columns exactly where the clipped samples are, none elsewhere.
    const WaveformView* view = window->view();
    QList<int> red;
    for (const WaveformView::Column& c : view->columns()) {
        if (c.range.clipped()) {
            red << c.x;
        }
    }
    const double at[2] = {view->xOf(100.5), view->xOf(700.5)};
    for (int x : red) {
        QVERIFY(std::abs(x - at[0]) <= 1.5 || std::abs(x - at[1]) <= 1.5);
    }
    QVERIFY(red.size() >= 2 && std::abs(red.first() - at[0]) <= 1.5 &&
            std::abs(red.last() - at[1]) <= 1.5);
    QVERIFY(window->partText(2).contains("(leer)"));
}

void WaveformTest::spaceBarPlaysTheRowThroughTheListenPlayer() {
    GuiFixture f;
    for (const char* name : {"motor_an.wav", "motor_lauf.wav", "motor_aus.wav"}) {
        f.audio.addSound(name, {.steps = 20});
    }
    auto form = start_on_demo(f, "[VARS]\nlisten=1\n");
    WaveformWindow* window = open_row(*form, 0);
    QVERIFY(window);
    ListenPlayback& player = form->listenPlayer();

    // From the WAV files, as the listen button plays them.
    QTest::keyPress(window, Qt::Key_Space);
    QCOMPARE(player.owner(), window);
    QVERIFY(!player.ready());
    QTRY_VERIFY(window->view()->playPosition() > 0);
    emit form->listenPressed(1);           // ignored: the window's row plays
    QTRY_VERIFY(player.loopPasses() >= 2); // held: the loop repeats
    QTest::keyRelease(window, Qt::Key_Space);
    QTRY_VERIFY(player.ready());
    QTRY_COMPARE(window->view()->playPosition(), -1.0);
    QCOMPARE(f.audio.log.filter("load ").mid(0, 3),
             QStringList({"load motor_an.wav", "load motor_lauf.wav", "load motor_aus.wav"}));
    QVERIFY(!f.audio.log.contains("load horn_an.wav"));
    QVERIFY(form->controls().Text1->text() == "0");

    // A 1.65 s hold whose repeats come as release/press pairs not marked as repeats, 25 a
    // second after the usual delay: one playback that loops all along.
    f.audio.log.clear();
    QTest::keyPress(window, Qt::Key_Space);
    QTest::qWait(500);
    for (int pair = 0; pair < 29; ++pair) {
        QTest::keyRelease(window, Qt::Key_Space);
        QTest::keyPress(window, Qt::Key_Space);
        QTest::qWait(40);
        QVERIFY(!player.ready());
    }
    QVERIFY(player.loopPasses() >= 3);
    QVERIFY(!f.audio.log.contains("play motor_aus.wav"));
    QTest::keyRelease(window, Qt::Key_Space); // the real release: its pass, the end part, done
    QTRY_VERIFY(player.ready());
    QCOMPARE(f.audio.log.filter("play motor_aus.wav").size(), 1);
    QCOMPARE(f.audio.log.filter("load motor_an.wav").size(), 1);

    // As the module plays it: the image's samples from memory.
    window->moduleToggle()->setChecked(true);
    f.audio.log.clear();
    QTest::keyPress(window, Qt::Key_Space);
    QTest::keyRelease(window, Qt::Key_Space);
    QTRY_VERIFY(player.ready());
    QCOMPARE(f.audio.log.filter("load "),
             QStringList({"load memory 5208", "load memory 3255", "load memory 4557"}));
    window->close();
}

void WaveformTest::anImageShowsItsTwelveParts() {
    GuiFixture f;
    auto form = start_on_demo(f);
    f.prompts.chooseFile(QString::fromStdString(f.dir.path("missing.DSU")));
    QVERIFY(pick_context_entry(form->controls().txt_projektfile, "DSU-Image ansehen…"));
    QCOMPARE(f.prompts.messages.size(), 1);
    QVERIFY(f.prompts.messages[0].contains("kann nicht gelesen werden"));
    QVERIFY(!form->findChild<WaveformWindow*>());

    f.prompts.chooseFile(MELO_SOURCE_DIR "/tests/data/golden/demo.DSU");
    QVERIFY(pick_context_entry(form->controls().txt_projektfile, "DSU-Image ansehen…"));
    WaveformWindow* window = form->findChild<WaveformWindow*>();
    QVERIFY(window);
    QCOMPARE(window->rowCount(), 4);
    QVERIFY(window->moduleToggle()->isChecked() && !window->moduleToggle()->isEnabled());
    QCOMPARE(window->partText(0), QString("<b>Anfang</b>: Slot 1<br>5208 Samples, 0,400 s, Marker "
                                          "FF, -7,7 LUFS<br>Adresse 000FA8, Marker an 002400"));
    window->findChild<QTabBar*>()->setCurrentIndex(3);
    QCOMPARE(window->row().title, std::string("Sound D (203)"));
    QVERIFY(window->partText(2).contains("5854 Samples"));
    // A 0.3 s loop has no loudness of its own, but it is measured as it plays: repeated.
    QVERIFY(window->partText(1).contains("0,300 s") && window->partText(1).contains(" LUFS") &&
            !window->partText(1).contains("– LUFS"));
    QVERIFY(window->partText(0).contains("– LUFS")); // a 0.2 s start part has none
    QCOMPARE(window->seamView()->values().size(), 128u);
    // The header: what the flash still holds behind this image.
    QCOMPARE(window->budget(), QString("noch 318,4 s frei bei 13021 Hz"));
}

void WaveformTest::anImageWithoutPartsIsRefusedWithItsReason() {
    GuiFixture f;
    auto form = start_on_demo(f);
    std::string noise(100000, '\0');
    std::mt19937 random(19);
    for (char& c : noise) {
        c = static_cast<char>(random());
    }
    const std::pair<std::string, QString> cases[] = {
        {"", "Image zu kurz für die Adresstabelle (0 Bytes"},
        {noise, "Slot 1 (Sound A (200) Anfang): Adresse"},
    };
    for (const auto& [bytes, reason] : cases) {
        wavb::write_file(f.dir.path("broken.DSU"), bytes);
        f.prompts.messages.clear();
        f.prompts.chooseFile(QString::fromStdString(f.dir.path("broken.DSU")));
        QVERIFY(pick_context_entry(form->controls().txt_projektfile, "DSU-Image ansehen…"));
        QCOMPARE(f.prompts.messages.size(), 1);
        QVERIFY2(f.prompts.messages[0].contains("kann nicht angezeigt werden: " + reason),
                 qPrintable(f.prompts.messages[0]));
        QVERIFY(!form->findChild<WaveformWindow*>());
    }
}

void WaveformTest::zoomAndScroll() {
    GuiFixture f;
    auto form = start_on_demo(f);
    WaveformWindow* window = open_row(*form, 2);
    QVERIFY(window);
    WaveformView* view = window->view();
    const double whole = view->samplesPerPixel();
    const QPoint mid(view->width() / 2, view->height() / 2);
    QWheelEvent wheel(mid, view->mapToGlobal(mid), QPoint(), QPoint(0, 120 * 10), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &wheel);
    QVERIFY(view->samplesPerPixel() < whole / 8);
    const double before = view->xOf(0);
    QTest::mousePress(view, Qt::LeftButton, {}, mid);
    QTest::mouseMove(view, mid + QPoint(-100, 0));
    QTest::mouseRelease(view, Qt::LeftButton, {}, mid + QPoint(-100, 0));
    QVERIFY(std::abs(view->xOf(0) - (before - 100)) < 1);
    // While a sound plays, the zoomed view turns to where it is heard.
    const double late = static_cast<double>(window->row().length()) - 50;
    QVERIFY(late > view->viewport().last());
    view->setPlayPosition(late);
    QVERIFY(view->viewport().first() < late && late < view->viewport().last());
    view->setPlayPosition(-1);
    // Zooming out stops at the whole row.
    view->zoom(1000, 0);
    QCOMPARE(view->samplesPerPixel(), whole);

    // Under the mouse: the time, the part, the sample and its value.
    view->zoom(0.001, mid.x());
    const double at = view->positionAt(mid.x());
    const melo::WaveformRow& row = window->row();
    const auto index = static_cast<std::size_t>(at) - static_cast<std::size_t>(row.offset(1));
    QVERIFY(at > static_cast<double>(row.offset(1)) && index < row.parts[1].samples.size());
    QMouseEvent move(QEvent::MouseMove, mid, view->mapToGlobal(mid), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(view, &move);
    QVERIFY2(view->readout().contains(QString("Loop, Sample %1 von %2   Wert %3")
                                          .arg(index + 1)
                                          .arg(row.parts[1].count())
                                          .arg(row.parts[1].samples[index])),
             qPrintable(view->readout()));

    // A draggable marker moves with the mouse, to whole positions; the view stays put.
    view->setMarkers({{at, "a", Qt::red, true}});
    QSignalSpy moved(view, &WaveformView::markerMoved);
    const double first = view->viewport().first();
    QTest::mousePress(view, Qt::LeftButton, {}, mid);
    QTest::mouseMove(view, mid + QPoint(64, 0));
    QTest::mouseRelease(view, Qt::LeftButton, {}, mid + QPoint(64, 0));
    QCOMPARE(view->viewport().first(), first);
    QVERIFY(!moved.isEmpty());
    QCOMPARE(view->markers()[0].position, std::round(view->positionAt(mid.x() + 64)));
    // A click in the overview brings that stretch into view.
    const QRect overview = view->areas().overview;
    const int x = overview.left() + overview.width() * 3 / 4;
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(x, overview.center().y()));
    const double clicked = view->viewport().length() * (x - overview.left()) / overview.width();
    QVERIFY(view->viewport().first() < clicked && clicked < view->viewport().last());
}

void WaveformTest::keysZoomScrollAndClose() {
    GuiFixture f;
    auto form = start_on_demo(f);
    QPointer<WaveformWindow> window = open_row(*form, 1);
    QVERIFY(window);
    WaveformView* view = window->view();
    const melo::WaveformViewport& shown = view->viewport();
    const double whole = shown.per_pixel();
    QTest::keyClick(view, Qt::Key_Plus);
    QTest::keyClick(view, Qt::Key_Plus);
    QCOMPARE(shown.per_pixel(), whole / 4);
    QTest::keyClick(view, Qt::Key_Minus);
    QCOMPARE(shown.per_pixel(), whole / 2);
    QTest::keyClick(view, Qt::Key_End);
    QCOMPARE(shown.last(), shown.length());
    QTest::keyClick(view, Qt::Key_Left);
    QVERIFY(shown.last() < shown.length());
    QTest::keyClick(view, Qt::Key_Home);
    QCOMPARE(shown.first(), 0.0);
    QTest::keyClick(view, Qt::Key_Right);
    QVERIFY(shown.first() > 0);
    QTest::keyClick(view, Qt::Key_0);
    QVERIFY(shown.fitted() && shown.first() == 0);
    // Escape closes the window from the view, where the keyboard is.
    QTest::keyClick(view, Qt::Key_Escape);
    QTRY_VERIFY(window.isNull());
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    setup_application_look(app);
    WaveformTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "waveform_test.moc"
