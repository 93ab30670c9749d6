#include "app/gui_setup.h"
#include "common/module_constants.h"
#include "flash/waveform_model.h"
#include "gui_fixture.h"
#include "loop/loop_parts.h"
#include "tools/listen_playback.h"
#include "tools/loop_workshop.h"
#include "tools/waveform_view.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QDragEnterEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <cmath>

// The loop workshop as a window: how it is reached, what its controls show and do, and what
// it hands to the main window. The cutting itself is the session's (tests/core).
class LoopWorkshopTest : public QObject {
    Q_OBJECT

private slots:
    void openedFromARowTitleAndSearchedAtOnce();
    void theListAndTheMarkersChooseTheLoop();
    void theSpaceBarPlaysThePartsButInTheNameField();
    void acceptWritesAssignsAndAsksBeforeReplacing();
    void acceptReplacesTheFileTheProjectNamesInAnotherCase();
    void partsTooLongForTheFreeFlashAreToldAndAskedAbout();
    void theWholeViewAndItsLabelsStayVisibleAtEverySize();
    void aDroppedRecordingOpensTheWindowAndCancelStopsIt();
    void closingWhilePreparingCancelsAndWaits();
};

namespace {

using melo::LoopSession;

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

// A control of the window by its object name; the test stops when it is missing.
template <class T> T* control(QWidget* window, const char* name) {
    T* found = window->findChild<T*>(name);
    if (found == nullptr) {
        qFatal("control %s missing", name);
    }
    return found;
}

// The main window on a fresh project, and the workshop it opened for sound B on a horn
// recording: prepared and searched.
struct Opened {
    GuiFixture f;
    std::unique_ptr<Form1> form;
    QPointer<LoopWorkshop> window;

    Opened() {
        form = f.start();
        QDir(f.env.appDir).mkdir("aufnahmen");
        wavb::write_file(f.dir.path("aufnahmen/horn.wav"), wavb::wav({.bits = 16}, horn(2.0)));
        f.prompts.chooseFile(f.path("aufnahmen/horn.wav"));
        triggerEntry(form->controls().Label14[1], "Aus einer Aufnahme schneiden…");
        QTRY_VERIFY(form->findChild<LoopWorkshop*>());
        window = form->findChild<LoopWorkshop*>();
        if (window != nullptr) {
            QTRY_VERIFY_WITH_TIMEOUT(window->session().has_loop() && !window->running() &&
                                         !window->session().candidates().empty(),
                                     10000);
        }
    }
    QTableView* list() const { return control<QTableView>(window, "lst_candidates"); }
    QPushButton* accept() const { return control<QPushButton>(window, "cmd_accept"); }
    QString status() const { return control<QLabel>(window, "lbl_status")->text(); }
};

// The 8-bit samples of a part file in the project folder, as the generation run places them.
std::vector<std::uint8_t> samples(const GuiFixture& f, const std::string& name) {
    return melo::project_row(f.dir.root(), 0, {name, "", ""}).parts[0].samples;
}

} // namespace

void LoopWorkshopTest::openedFromARowTitleAndSearchedAtOnce() {
    Opened o;
    QVERIFY(o.window);
    QCOMPARE(o.f.prompts.requests.last().title, QString("Aufnahme auswählen"));
    QVERIFY(o.window->isVisible());
    QCOMPARE(o.window->windowTitle(), QString("Loop-Werkstatt – Sound B (201) – horn.wav"));
    QCOMPARE(control<QLineEdit>(o.window, "txt_stem")->text(), QString("horn"));
    // The view shows the recording with its four markers where the session has them.
    auto* view = o.window->findChild<WaveformView*>();
    const melo::LoopSession& s = o.window->session();
    QCOMPARE(view->markers().size(), 4u);
    QCOMPARE(view->markers()[2].position, static_cast<double>(s.loop().a));
    QCOMPARE(view->markers()[3].position, static_cast<double>(s.loop().b));
    // The list holds the candidates, the best one chosen.
    QCOMPARE(o.list()->model()->rowCount(), static_cast<int>(s.candidates().size()));
    QCOMPARE(o.list()->currentIndex().row(), 0);
    QVERIFY(o.status().contains("Loops gefunden; der beste ist gewählt."));
    QVERIFY(control<QPushButton>(o.window, "cmd_search")->isEnabled());
    QCOMPARE(control<QPushButton>(o.window, "cmd_cancel")->text(), QString("Schließen"));
}

void LoopWorkshopTest::theListAndTheMarkersChooseTheLoop() {
    Opened o;
    QVERIFY(o.window);
    const melo::LoopSession& s = o.window->session();
    QVERIFY(s.candidates().size() > 1);
    o.list()->setCurrentIndex(o.list()->model()->index(1, 0));
    QCOMPARE(s.chosen(), 1);
    QCOMPARE(s.loop().b, s.candidates()[1].b);
    // A dragged loop point is the user's: no row stays chosen; "Einrasten" snaps it.
    auto* view = o.window->findChild<WaveformView*>();
    emit view->markerMoved(LoopSession::kLoopEnd, static_cast<double>(s.loop().b - 30));
    QCOMPARE(s.loop().b, s.candidates()[1].b - 30);
    QVERIFY(!o.list()->selectionModel()->hasSelection());
    QCOMPARE(view->markers()[3].position, static_cast<double>(s.loop().b));
    QTest::mouseClick(control<QPushButton>(o.window, "cmd_snap"), Qt::LeftButton);
    QVERIFY(s.loop().seam.correlation >= 0.99);
    QVERIFY(control<QLabel>(o.window, "lbl_loop")->text().startsWith("Loop "));
    // The crossfade box sets the session's crossfade.
    control<QDoubleSpinBox>(o.window, "spin_crossfade")->setValue(20);
    QCOMPARE(s.crossfade_ms(), 20.0);
    // A new search chooses its best loop again.
    QTest::mouseClick(control<QPushButton>(o.window, "cmd_search"), Qt::LeftButton);
    QVERIFY(o.window->running());
    QTRY_VERIFY(!o.window->running());
    QCOMPARE(s.chosen(), 0);
    QCOMPARE(o.list()->currentIndex().row(), 0);
}

void LoopWorkshopTest::theSpaceBarPlaysThePartsButInTheNameField() {
    Opened o;
    QVERIFY(o.window);
    const melo::LoopSession& s = o.window->session();
    o.f.audio.log.clear();
    // The stem field takes a space as text and plays nothing.
    auto* stem = control<QLineEdit>(o.window, "txt_stem");
    QTest::keyClick(stem, Qt::Key_Space);
    QCOMPARE(stem->text(), QString("horn "));
    QVERIFY(o.form->listenPlayer().ready());
    // Elsewhere it plays start, loop and end from memory and presses no button.
    QTest::keyPress(o.accept(), Qt::Key_Space);
    QTest::keyRelease(o.accept(), Qt::Key_Space);
    QVERIFY(!QFile::exists(o.f.path("horn_loop.wav")));
    // The fake output takes a step per 100 samples and poll: a few seconds.
    QTRY_VERIFY_WITH_TIMEOUT(o.form->listenPlayer().ready(), 20000);
    const std::int64_t a = s.loop().a;
    const std::int64_t b = s.loop().b;
    QCOMPARE(o.f.audio.log.filter("load "),
             QStringList({QString("load memory %1").arg(a), QString("load memory %1").arg(b - a),
                          QString("load memory %1").arg(2 * 13021 - b)}));
}

void LoopWorkshopTest::acceptWritesAssignsAndAsksBeforeReplacing() {
    Opened o;
    QVERIFY(o.window);
    const Form1Controls& c = o.form->controls();
    const melo::LoopSession& s = o.window->session();
    QTest::mouseClick(o.accept(), Qt::LeftButton);
    QTRY_COMPARE(c.txt_userloop[1]->text(), QString("horn_loop.wav"));
    QCOMPARE(c.txt_useranf[1]->text(), QString("horn_anfang.wav"));
    QCOMPARE(c.txt_userend[1]->text(), QString("horn_ende.wav"));
    QVERIFY(o.form->projchanged());
    QVERIFY(o.f.prompts.questions.isEmpty()); // new files: nothing to ask
    QCOMPARE(o.status(),
             QString("Geschrieben und zugewiesen: horn_anfang.wav, horn_loop.wav, horn_ende.wav"));
    const std::vector<std::uint8_t> loop = samples(o.f, "horn_loop.wav");
    QCOMPARE(static_cast<std::int64_t>(loop.size()), s.loop().length());

    // Another loop over the written files asks first; "Nein" leaves them and the fields.
    c.txt_userloop[1]->setText("anders.wav");
    control<QDoubleSpinBox>(o.window, "spin_crossfade")->setValue(20);
    o.f.prompts.answer(Prompts::Answer::No);
    QTest::mouseClick(o.accept(), Qt::LeftButton);
    QCOMPARE(o.f.prompts.questions.last(),
             QString("Dateien ersetzen: Im Projektordner gibt es schon „horn_loop.wav“, "
                     "„horn_ende.wav“.\nErsetzen?"));
    QVERIFY(!o.window->running());
    QCOMPARE(samples(o.f, "horn_loop.wav"), loop);
    QCOMPARE(c.txt_userloop[1]->text(), QString("anders.wav"));

    // A name that cannot be a file is refused before anything is asked.
    control<QLineEdit>(o.window, "txt_stem")->setText("a/b");
    QTest::mouseClick(o.accept(), Qt::LeftButton);
    QCOMPARE(o.status(),
             QString("„a/b“ nennt einen Ordner; gebraucht wird ein Dateiname ohne Ordner."));
    QVERIFY(!QFile::exists(o.f.path("a")));
}

void LoopWorkshopTest::acceptReplacesTheFileTheProjectNamesInAnotherCase() {
    Opened o;
    QVERIFY(o.window);
    // A project from Windows names its loop part in capitals; the file is spelt so.
    const Form1Controls& c = o.form->controls();
    wavb::write_file(o.f.dir.path("HORN_LOOP.WAV"), wavb::wav({}, std::string(100, '\x80')));
    c.txt_userloop[1]->setText("HORN_LOOP.WAV");
    o.f.prompts.answer(Prompts::Answer::Yes);
    QTest::mouseClick(o.accept(), Qt::LeftButton);
    QCOMPARE(o.f.prompts.questions.last(),
             QString("Dateien ersetzen: Im Projektordner gibt es schon „HORN_LOOP.WAV“.\n"
                     "Ersetzen?"));
    QTRY_VERIFY(!o.window->running());
    // That file has the new loop part, and no second file beside it.
    QCOMPARE(c.txt_userloop[1]->text(), QString("HORN_LOOP.WAV"));
    QCOMPARE(static_cast<std::int64_t>(samples(o.f, "HORN_LOOP.WAV").size()),
             o.window->session().loop().length());
    QCOMPARE(QDir(o.f.env.appDir).entryList(QDir::Files).filter("horn_loop", Qt::CaseInsensitive),
             QStringList({"HORN_LOOP.WAV"}));
    QCOMPARE(c.txt_useranf[1]->text(), QString("horn_anfang.wav"));
}

void LoopWorkshopTest::partsTooLongForTheFreeFlashAreToldAndAskedAbout() {
    Opened o;
    QVERIFY(o.window);
    auto* budget = control<QLabel>(o.window, "lbl_budget");
    QVERIFY(budget->text().startsWith("Flash: noch "));
    // A base file that leaves less than the recording's 2 s free: the window says so and
    // asks before writing; "Nein" writes nothing.
    wavb::write_file(o.f.dir.path("gross.DSD"), std::string(melo::kFlashCapacity - 13021, '\x80'));
    o.form->controls().txt_DSDfilename->setText("gross.DSD");
    o.f.prompts.answer(Prompts::Answer::No);
    QTest::mouseClick(o.accept(), Qt::LeftButton);
    QCOMPARE(o.f.prompts.questions.last(),
             QString("Zu lang für den Flash: Die drei Teile (0m 2.00s) passen nicht in den freien "
                     "Flash (noch 0%1 s frei bei 13021 Hz).\nTrotzdem übernehmen?")
                 .arg(QLocale().decimalPoint() + "9"));
    QVERIFY(budget->text().startsWith("Die drei Teile (0m 2.00s) passen nicht"));
    QVERIFY(!o.window->running());
    QVERIFY(!QFile::exists(o.f.path("horn_loop.wav")));
}

void LoopWorkshopTest::theWholeViewAndItsLabelsStayVisibleAtEverySize() {
    Opened o;
    QVERIFY(o.window);
    auto* view = o.window->findChild<WaveformView*>();
    // The range reaches to the recording's end: its marker stands at the view's right edge.
    emit view->markerMoved(LoopSession::kRangeTo,
                           static_cast<double>(o.window->session().length()));
    const QColor range(150, 60, 200);
    for (const QSize size : {o.window->minimumSizeHint(), QSize(1100, 640), QSize(1600, 1000)}) {
        o.window->resize(size);
        QTRY_COMPARE(o.window->size(), size.expandedTo(o.window->minimumSize()));
        // No other control lies over the view.
        const QRect area(view->mapTo(o.window, QPoint(0, 0)), view->size());
        QVERIFY(o.window->rect().contains(area));
        for (QGroupBox* box : o.window->findChildren<QGroupBox*>()) {
            QVERIFY(!area.intersects(QRect(box->mapTo(o.window, QPoint(0, 0)), box->size())));
        }
        // "◂ Bereich" stands left of its line, inside the view: the line alone has a few
        // hundred pixels of its colour, the label box as many again.
        const QImage image = view->grab().toImage();
        const int line = static_cast<int>(std::lround(view->xOf(view->markers()[1].position)));
        QVERIFY(line >= image.width() - 3);
        int label = 0;
        for (int x = line - 70; x < line - 1; ++x) {
            for (int y = view->areas().wave.top(); y < view->areas().wave.top() + 20; ++y) {
                label += image.pixelColor(x, y) == range ? 1 : 0;
            }
        }
        QVERIFY2(label > 200, qPrintable(QString("%1 label pixels at %2x%3")
                                             .arg(label)
                                             .arg(size.width())
                                             .arg(size.height())));
        // The ruler's last second is written at its right end.
        int text = 0;
        const QRect ruler = view->areas().ruler;
        for (int x = ruler.right() - 40; x < ruler.right() - 2; ++x) {
            for (int y = ruler.top(); y < ruler.bottom() - 9; ++y) {
                text += image.pixelColor(x, y).lightness() < 160 ? 1 : 0;
            }
        }
        QVERIFY2(text > 10,
                 qPrintable(QString("ruler at %1x%2").arg(size.width()).arg(size.height())));
    }
}

void LoopWorkshopTest::aDroppedRecordingOpensTheWindowAndCancelStopsIt() {
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
    QCOMPARE(window->windowTitle(), QString("Loop-Werkstatt – Sound D (203) – lang.wav"));
    QVERIFY(window->running());
    auto* search = control<QPushButton>(window, "cmd_search");
    QVERIFY(!search->isEnabled() && !control<QPushButton>(window, "cmd_accept")->isEnabled());
    auto* cancel = control<QPushButton>(window, "cmd_cancel");
    QCOMPARE(cancel->text(), QString("Abbrechen"));
    QTest::mouseClick(cancel, Qt::LeftButton);
    QTRY_VERIFY(!window->running());
    QCOMPARE(control<QLabel>(window, "lbl_status")->text(), QString("Umwandlung abgebrochen"));
    QVERIFY(!window->session().prepared() && !search->isEnabled());
    QCOMPARE(cancel->text(), QString("Schließen"));

    // A file that is no audio gets its reason, in red, and nothing to search.
    wavb::write_file(f.dir.path("notiz.txt"), "keine Aufnahme\n");
    auto* second = new LoopWorkshop(f.prompts, form->listenPlayer(), f.path("notiz.txt"),
                                    form->projfiledir(), "notiz", {}, form.get());
    QCOMPARE(second->windowTitle(), QString("Loop-Werkstatt – notiz.txt"));
    QTRY_VERIFY(!second->running());
    auto* status = control<QLabel>(second, "lbl_status");
    QVERIFY(status->text().contains("unbekanntes Dateiformat"));
    QVERIFY(status->styleSheet().contains("255, 0, 0"));
    QVERIFY(!control<QPushButton>(second, "cmd_search")->isEnabled());
    second->close();
    window->close();
    QTRY_VERIFY(!form->findChild<LoopWorkshop*>());
}

void LoopWorkshopTest::closingWhilePreparingCancelsAndWaits() {
    GuiFixture f;
    auto form = f.start();
    QVERIFY(form);
    wavb::write_file(f.dir.path("lang.wav"),
                     wavb::wav({.rate = 44100}, std::string(44100 * 180, '\x90')));
    QPointer<LoopWorkshop> window =
        new LoopWorkshop(f.prompts, form->listenPlayer(), f.path("lang.wav"), form->projfiledir(),
                         "lang", {}, form.get());
    window->show();
    QVERIFY(window->running());
    // Escape closes at once; the window goes when the work has stopped, without a result.
    QTest::keyClick(window, Qt::Key_Escape);
    QVERIFY(!window || !window->isVisible());
    QTRY_VERIFY(!window);
    QVERIFY(!QFile::exists(f.path("lang_loop.wav")));
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    setup_application_look(app);
    LoopWorkshopTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "loop_workshop_test.moc"
