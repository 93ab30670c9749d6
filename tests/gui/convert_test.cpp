#include "app/gui_setup.h"
#include "common/atomic_file.h"
#include "gui_fixture.h"
#include "tools/convert_dialog.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <cmath>

class ConvertTest : public QObject {
    Q_OBJECT

private slots:
    void droppedFileIsConvertedAndAssigned();
    void readyFilesFromOtherFoldersAreOfferedForCopying();
    void contextEntryChoosesAndTheDialogCancels();
    void settingsStatesAndTheFreeFlash();
};

namespace {

// `seconds` of a 440 Hz sine, 16-bit, interleaved for `channels`.
std::string sine16(int rate, int channels, double seconds) {
    std::string data;
    for (int i = 0; i < static_cast<int>(rate * seconds); ++i) {
        const auto v =
            static_cast<std::int16_t>(std::lround(12000 * std::sin(2 * M_PI * 440.0 * i / rate)));
        for (int c = 0; c < channels; ++c) {
            data += wavb::le16(static_cast<std::uint16_t>(v));
        }
    }
    return data;
}

// Drags `path` onto `target` and drops it there, as a file manager does.
void drop(QWidget* target, const QString& path) {
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dropped);
    QCoreApplication::processEvents(); // the drop is handled once it has ended
}

std::string contents(const GuiFixture& f, const std::string& name) {
    std::string bytes;
    melo::read_file(f.dir.path(name), bytes);
    return bytes;
}

} // namespace

void ConvertTest::droppedFileIsConvertedAndAssigned() {
    GuiFixture f;
    auto form = f.start();
    QDir(f.env.appDir).mkdir("quelle");
    wavb::write_file(f.dir.path("quelle/horn44.wav"),
                     wavb::wav({.channels = 2, .rate = 44100, .bits = 16}, sine16(44100, 2, 0.5)));
    QLineEdit* field = form->controls().txt_userloop[1];
    drop(field, f.path("quelle/horn44.wav"));
    auto* dialog = form->findChild<ConvertDialog*>();
    QVERIFY(dialog && dialog->isVisible());
    QStringList shown;
    for (const QLabel* label : dialog->findChildren<QLabel*>()) {
        shown << label->text();
    }
    QVERIFY(shown.contains("44100 Hz") && shown.contains("2") && shown.contains("0m 0.50s"));
    QCOMPARE(dialog->target()->text(), QString("horn44.wav"));
    dialog->normalize()->setChecked(true);
    QTest::mouseClick(dialog->startButton(), Qt::LeftButton);
    QTRY_COMPARE(field->text(), QString("horn44.wav"));
    QVERIFY(form->projchanged());
    QTRY_VERIFY(!form->findChild<ConvertDialog*>()); // closed and gone
    melo::DecodedSound sound;
    QCOMPARE(melo::decode_sound(f.dir.path("horn44.wav"), true, sound), 0);
    QCOMPARE(sound.wavfreq, 13021);
    QCOMPARE(sound.wavchannels, std::int16_t(1));
    QVERIFY(f.prompts.questions.isEmpty()); // written into the project folder: nothing to copy
}

void ConvertTest::readyFilesFromOtherFoldersAreOfferedForCopying() {
    GuiFixture f;
    auto form = f.start();
    const Form1Controls& c = form->controls();
    QDir(f.env.appDir).mkpath("eins");
    QDir(f.env.appDir).mkpath("zwei");
    wavb::write_file(f.dir.path("eins/a.wav"), wavb::wav({.bits = 16}, sine16(13021, 1, 0.1)));
    wavb::write_file(f.dir.path("zwei/a.wav"), wavb::wav({}, std::string(50, '\x70')));
    wavb::write_file(f.dir.path("eins/base.ds3"), std::string(300, '\x11'));
    wavb::write_file(f.dir.path("notes.txt"), "keine Audiodatei\n");

    // Nein: the bare name, as the choosers always stored it; no file is copied.
    f.prompts.answer(Prompts::Answer::No);
    drop(c.txt_useranf[0], f.path("eins/a.wav"));
    QCOMPARE(c.txt_useranf[0]->text(), QString("a.wav"));
    QVERIFY(f.prompts.questions.last().startsWith(
        "Datei aus anderem Ordner: „a.wav“ liegt nicht im Projektordner"));
    QVERIFY(!QFile::exists(f.path("a.wav")));
    // Ja: copied in.
    f.prompts.answer(Prompts::Answer::Yes);
    drop(c.txt_useranf[1], f.path("eins/a.wav"));
    QCOMPARE(c.txt_useranf[1]->text(), QString("a.wav"));
    QCOMPARE(contents(f, "a.wav"), contents(f, "eins/a.wav"));
    // The same file again needs no question; a different one of that name asks before it
    // replaces, and a refusal changes nothing.
    const auto asked = f.prompts.questions.size();
    drop(c.txt_useranf[2], f.path("eins/a.wav"));
    QCOMPARE(f.prompts.questions.size(), asked);
    f.prompts.answer(Prompts::Answer::Yes);
    f.prompts.answer(Prompts::Answer::No);
    drop(c.txt_useranf[3], f.path("zwei/a.wav"));
    QCOMPARE(f.prompts.questions.last(),
             QString("Datei ersetzen: Im Projektordner gibt es schon eine andere Datei „a.wav“.\n"
                     "Durch die gewählte Datei ersetzen?"));
    QCOMPARE(c.txt_useranf[3]->text(), QString());
    QCOMPARE(contents(f, "a.wav"), contents(f, "eins/a.wav"));

    // The chooser offers the same.
    f.prompts.answer(Prompts::Answer::Yes);
    f.prompts.answer(Prompts::Answer::Yes);
    f.prompts.chooseFile(f.path("zwei/a.wav"));
    QTest::mouseClick(c.lab_userend[3], Qt::LeftButton);
    QCOMPARE(c.txt_userend[3]->text(), QString("a.wav"));
    QCOMPARE(contents(f, "a.wav"), contents(f, "zwei/a.wav"));

    // The base file field takes base files only; a part field only audio files.
    f.prompts.answer(Prompts::Answer::No);
    drop(c.txt_DSDfilename, f.path("eins/base.ds3"));
    QCOMPARE(c.txt_DSDfilename->text(), QString("base.ds3"));
    drop(c.txt_DSDfilename, f.path("notes.txt"));
    QCOMPARE(f.prompts.messages.last(), QString("Fehler beim DSD/DS3-Laden: keine DSD/DS3-Datei"));
    drop(c.txt_userloop[0], f.path("notes.txt"));
    QCOMPARE(f.prompts.messages.last(), QString("Fehler beim WAV-Laden: „notes.txt“ ist keine "
                                                "lesbare Audiodatei: unbekanntes Dateiformat"));
    QCOMPARE(c.txt_userloop[0]->text(), QString());
}

void ConvertTest::contextEntryChoosesAndTheDialogCancels() {
    GuiFixture f;
    auto form = f.start();
    QLineEdit* field = form->controls().txt_userend[0];
    // Three minutes, so the conversion is still running when it is cancelled.
    wavb::write_file(f.dir.path("lang.wav"),
                     wavb::wav({.rate = 44100}, std::string(44100 * 180, '\x90')));
    f.prompts.chooseFile(f.path("lang.wav"));
    QTimer::singleShot(0, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        for (QAction* action : menu->actions()) {
            if (action->text() == "Umwandeln und zuweisen…") {
                action->trigger();
            }
        }
        menu->close();
    });
    emit field->customContextMenuRequested(QPoint(5, 5));
    QCOMPARE(f.prompts.requests.last().title, QString("Audiodatei auswählen"));
    QTRY_VERIFY(form->findChild<ConvertDialog*>());
    auto* dialog = form->findChild<ConvertDialog*>();
    QCOMPARE(dialog->target()->text(), QString("lang_13021.wav")); // never the input itself

    dialog->target()->setText("a/b.wav");
    QTest::mouseClick(dialog->startButton(), Qt::LeftButton);
    QCOMPARE(dialog->status()->text(),
             QString("„a/b.wav“ nennt einen Ordner; gebraucht wird ein Dateiname ohne Ordner."));
    dialog->target()->setText("lang_neu");
    QTest::mouseClick(dialog->startButton(), Qt::LeftButton);
    QVERIFY(dialog->running());
    QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
    QTRY_VERIFY(!dialog->running());
    QCOMPARE(dialog->status()->text(), QString("Umwandlung abgebrochen"));
    QVERIFY(dialog->isVisible());
    QVERIFY(!QFile::exists(f.path("lang_neu.wav")));
    QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
    QTRY_VERIFY(!form->findChild<ConvertDialog*>());
    QCOMPARE(field->text(), QString());
}

void ConvertTest::settingsStatesAndTheFreeFlash() {
    GuiFixture f;
    auto form = f.start();
    // A base file that leaves the flash 4292 samples (0.33 s): half a second cannot fit.
    wavb::write_file(f.dir.path("gross.DS3"), std::string(4190000, '\x11'));
    form->controls().txt_DSDfilename->setText("gross.DS3");
    QDir(f.env.appDir).mkdir("quelle");
    wavb::write_file(f.dir.path("quelle/horn44.wav"),
                     wavb::wav({.channels = 2, .rate = 44100, .bits = 16}, sine16(44100, 2, 0.5)));
    QLineEdit* field = form->controls().txt_useranf[2];
    drop(field, f.path("quelle/horn44.wav"));
    auto* dialog = form->findChild<ConvertDialog*>();
    QVERIFY(dialog && dialog->isVisible());

    // Told at once, before anything is converted; the source folder is shown.
    QVERIFY(dialog->budget()->isVisible());
    QCOMPARE(dialog->budget()->text(), QString("Das Ergebnis (0m 0.50s) passt nicht in den freien "
                                               "Flash: noch 0,3 s frei bei 13021 Hz."));
    QCOMPARE(dialog->findChild<QLabel*>("lbl_folder")->text(),
             QDir::toNativeSeparators(f.path("quelle")));
    QVERIFY(!dialog->progress()->isVisible()); // no empty progress box before the start

    // Level fields follow their boxes; peak and loudness exclude each other; dither is for 8 bits.
    QVERIFY(!dialog->normalizeLevel()->isEnabled() && !dialog->loudnessLevel()->isEnabled() &&
            !dialog->trimLevel()->isEnabled());
    dialog->normalize()->setChecked(true);
    QVERIFY(dialog->normalizeLevel()->isEnabled());
    dialog->loudness()->setChecked(true);
    QVERIFY(!dialog->normalize()->isChecked() && !dialog->normalizeLevel()->isEnabled());
    QVERIFY(dialog->loudnessLevel()->isEnabled());
    QCOMPARE(dialog->loudnessLevel()->value(), -16.0);
    QVERIFY(dialog->dither()->isEnabled());
    dialog->bits()->setCurrentIndex(1);
    QVERIFY(!dialog->dither()->isEnabled());
    dialog->bits()->setCurrentIndex(0);

    // Asked before converting; No keeps the window as it is.
    QTest::mouseClick(dialog->startButton(), Qt::LeftButton);
    QCOMPARE(f.prompts.questions.size(), 1);
    QVERIFY(f.prompts.questions.last().startsWith("Zu lang für den Flash: "));
    QVERIFY(!dialog->running());
    // Yes converts: 8 bits with dither and matched loudness.
    dialog->dither()->setChecked(true);
    f.prompts.answer(Prompts::Answer::Yes);
    QTest::mouseClick(dialog->startButton(), Qt::LeftButton);
    QTRY_COMPARE(field->text(), QString("horn44.wav"));
    melo::DecodedSound sound;
    QCOMPARE(melo::decode_sound(f.dir.path("horn44.wav"), false, sound), 0);
    QCOMPARE(sound.wavbits, std::int16_t(8));

    // Escape closes the window.
    drop(field, f.path("quelle/horn44.wav"));
    QTRY_VERIFY(form->findChild<ConvertDialog*>());
    dialog = form->findChild<ConvertDialog*>();
    QTest::keyClick(dialog, Qt::Key_Escape);
    QTRY_VERIFY(!form->findChild<ConvertDialog*>());
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    setup_application_look(app);
    ConvertTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "convert_test.moc"
