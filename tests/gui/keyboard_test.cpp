// The main window with the keyboard alone: outputs that take no typing, the shortcuts, the
// context-menu keys, the Tab order; and the message boxes' icons and places.

#include "app/gui_setup.h"
#include "common/atomic_file.h"
#include "gui_fixture.h"
#include "sound_file.h"
#include "tools/convert_dialog.h"
#include "tools/info_form.h"

#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

class KeyboardTest : public QObject {
    Q_OBJECT

private slots:
    void outputsTakeNoTypingAndTabLeavesThem();
    void shortcutsDoWhatTheirControlsDo();
    void contextMenuKeysOpenTheFocusedControlsMenu();
    void tabFollowsTheLayout();
    void focusRingsAreClearlyVisible();
    void messageBoxesCarryTheirIconOverTheirWindow();
    void aWavThatIsAnotherFormatIsOfferedForConversion();
};

namespace {

// A project "demo.DSP" in the application directory with a base file and one part.
struct ProjectFixture : GuiFixture {
    ProjectFixture() {
        wavb::write_file(dir.path("base.DS3"), std::string(1000, '\x11'));
        wavb::write_file(dir.path("a1.wav"), wavb::wav({}, std::string(300, '\x30')));
        wavb::write_file(dir.path("demo.DSP"),
                         "[WAVs]\r\nSound1AnfWAV=a1.wav\r\nDSDfilename=base.DS3\r\n");
        settings("[DIRS]\nprojname=demo.DSP\n");
    }
};

// Runs `check` on the popup or modal box that the next call opens, then closes it.
template <typename W> void onNextWindow(std::function<void(W*)> check, int tries = 100) {
    QTimer::singleShot(10, [check, tries] {
        QWidget* shown = QApplication::activePopupWidget() ? QApplication::activePopupWidget()
                                                           : QApplication::activeModalWidget();
        if (qobject_cast<W*>(shown) == nullptr && tries > 0) {
            onNextWindow<W>(check, tries - 1);
            return;
        }
        check(qobject_cast<W*>(shown));
        if (shown != nullptr) {
            shown->close();
        }
    });
}

void showActive(QWidget& window) {
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

} // namespace

void KeyboardTest::outputsTakeNoTypingAndTabLeavesThem() {
    GuiFixture f;
    f.settings("[VARS]\ndebug=286\n");
    auto form = f.start();
    showActive(*form);
    const Form1Controls& c = form->controls();
    for (QLineEdit* w :
         {c.txt_genstatus, c.Text1, c.txt_sndstatus, c.txt_filelaenge, c.txt_samples,
          c.txt_bytesjesek, c.txt_bits, c.txt_freq, c.txt_kanaele, c.txt_time, c.txt_dataanf,
          c.txt_fmtlen, c.txt_WAVformat, c.txt_WAVformattext, c.txt_epromwert}) {
        w->setText("12");
        w->setFocus();
        QTest::keyClicks(w, "x\b\b");
        QTest::keyClick(w, Qt::Key_Delete);
        QVERIFY2(w->text() == "12", qPrintable(w->objectName()));
    }
    for (QPlainTextEdit* w : {c.txt_log, c.txt_debug}) {
        w->setPlainText("line");
        w->setFocus();
        QTest::keyClicks(w, "x\b");
        QTest::keyClick(w, Qt::Key_Tab);
        QCOMPARE(w->toPlainText(), QString("line"));
        QVERIFY2(!w->hasFocus(), qPrintable(w->objectName()));
    }
    // The long result line shows its whole text as a tool tip.
    c.txt_genstatus->setText("Ergebnis = OK, *** Warnung: Zu groß für 32Mbit: 805696 zuviel");
    QCOMPARE(c.txt_genstatus->toolTip(), c.txt_genstatus->text());
}

void KeyboardTest::shortcutsDoWhatTheirControlsDo() {
    ProjectFixture f;
    auto form = f.start();
    showActive(*form);
    const Form1Controls& c = form->controls();

    QTest::keyClick(form.get(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(f.prompts.requests.size(), 1);
    QCOMPARE(f.prompts.requests[0].title, QString("Projektfile auswählen"));

    c.txt_useranf[1]->setText("a1.wav");
    QTest::keyClick(form.get(), Qt::Key_S, Qt::ControlModifier);
    QVERIFY(!form->projchanged());
    std::string saved;
    melo::read_file(f.dir.path("demo.DSP"), saved);
    QVERIFY(saved.find("Sound2AnfWAV=a1.wav") != std::string::npos);

    QTest::keyClick(form.get(), Qt::Key_F5);
    QVERIFY(c.txt_genstatus->text().startsWith("Ergebnis = OK"));
    QVERIFY(QFile::exists(f.path("demo.DSU")));

    QTest::keyClick(form.get(), Qt::Key_F1);
    QPointer<InfoForm> about = form->infoform();
    QVERIFY(about && about->isVisible());
    QTest::keyClick(about, Qt::Key_Escape);
    QTRY_VERIFY(!about);
    showActive(*form); // as the window manager does when the box is gone
    QTest::keyClick(form.get(), Qt::Key_F1);
    about = form->infoform();
    QTest::keyClick(about, Qt::Key_Return);
    QTRY_VERIFY(!about);
    showActive(*form);

    // Ctrl+Q ends as "Ende" does: a changed project is offered for saving first.
    c.txt_useranf[2]->setText("c1.wav");
    f.prompts.answer(Prompts::Answer::Cancel);
    QTest::keyClick(form.get(), Qt::Key_Q, Qt::ControlModifier);
    QCOMPARE(f.prompts.questions.last(), QString("Warnung: Projekt geändert: speichern?"));
    QVERIFY(form->isVisible());
    f.prompts.answer(Prompts::Answer::No);
    QTest::keyClick(form.get(), Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!form->isVisible());
}

void KeyboardTest::contextMenuKeysOpenTheFocusedControlsMenu() {
    GuiFixture f;
    auto form = f.start();
    showActive(*form);
    const Form1Controls& c = form->controls();
    // The menu key and Shift+F10 on a part field; Enter and the space bar on a row's title,
    // which the keyboard reaches like any control. Both lead into the loop workshop.
    const struct {
        QWidget* target;
        QKeyCombination key;
    } requests[] = {
        {c.txt_userloop[2], QKeyCombination(Qt::ShiftModifier, Qt::Key_F10)},
        {c.txt_userloop[2], QKeyCombination(Qt::NoModifier, Qt::Key_Menu)},
        {c.Label14[1], QKeyCombination(Qt::NoModifier, Qt::Key_Return)},
        {c.Label14[1], QKeyCombination(Qt::NoModifier, Qt::Key_Space)},
    };
    for (const auto& r : requests) {
        // The menu closed last time hands activation back to the window in its own time.
        showActive(*form);
        r.target->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), r.target);
        QStringList entries;
        onNextWindow<QMenu>([&entries](QMenu* menu) {
            QVERIFY(menu != nullptr);
            for (const QAction* action : menu->actions()) {
                entries << action->text();
            }
        });
        QTest::keyClick(r.target, r.key.key(), r.key.keyboardModifiers());
        QVERIFY2(entries.contains("Aus einer Aufnahme schneiden…") &&
                     entries.contains("Wellenform anzeigen…"),
                 qPrintable(r.target->objectName() + ": " + entries.join(", ")));
        QCOMPARE(entries.contains("Umwandeln und zuweisen…"), r.target == c.txt_userloop[2]);
    }
}

void KeyboardTest::tabFollowsTheLayout() {
    GuiFixture f;
    f.settings("[VARS]\ndebug=286\nlisten=1\n");
    auto form = f.start();
    showActive(*form);
    const Form1Controls& c = form->controls();
    // The window opens at the top left: the project frame, "Ende", then the sound files row by
    // row, each from its title and listen button.
    const QList<QWidget*> expected = {
        c.Picture3,        c.Picture2,       c.txt_projektfile, c.cmd_konvertieren,
        c.chk_soundon,     c.chk_log_enable, c.cmd_EXIT,        c.Label14[0],
        c.cmd_listen[0],   c.Picture1[0],    c.txt_useranf[0],  c.Picture1[1],
        c.txt_userloop[0], c.Picture1[2],    c.txt_userend[0],  c.Label14[1]};
    QCOMPARE(QApplication::focusWidget(), c.Picture3);
    for (int i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY2(QApplication::focusWidget() == expected[i], qPrintable(expected[i]->objectName()));
    }
    // Then the inspection panel's controls; every field that only shows a result comes after
    // all controls, the debug view last.
    c.txt_DSDfilename->setFocus();
    QStringList order;
    for (QWidget* w = c.txt_DSDfilename;
         order.size() < 60 && (order.isEmpty() || w != c.Picture3);) {
        QTest::keyClick(w, Qt::Key_Tab);
        w = QApplication::focusWidget();
        order << w->objectName();
    }
    const auto at = [&order](QWidget* w) { return order.indexOf(w->objectName()); };
    QCOMPARE(order.first(), QString("txt_sndfilename"));
    QVERIFY(at(c.cmd_stop) < at(c.txt_projektdir));
    QVERIFY(at(c.txt_genstatus) < at(c.txt_log));
    QVERIFY(at(c.txt_filelaenge) > at(c.Text1));
    QCOMPARE(order.at(order.size() - 2), QString("txt_debug"));
    QCOMPARE(order.last(), QString("Picture3"));
}

void KeyboardTest::focusRingsAreClearlyVisible() {
    GuiFixture f;
    f.settings("[VARS]\nlisten=1\n");
    auto form = f.start();
    showActive(*form);
    const Form1Controls& c = form->controls();
    // Pixels in the highlight colour: the ring is two of them wide around the whole control.
    const auto highlighted = [](QWidget* w) {
        const QImage image = w->grab().toImage();
        const QRgb ring = w->palette().color(QPalette::Highlight).rgb();
        int n = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                n += image.pixel(x, y) == ring;
            }
        }
        return n;
    };
    for (QWidget* w : {static_cast<QWidget*>(c.cmd_listen[1]), static_cast<QWidget*>(c.Label14[2]),
                       static_cast<QWidget*>(c.Picture1[4])}) {
        c.cmd_EXIT->setFocus();
        QTRY_VERIFY(c.cmd_EXIT->hasFocus());
        const int without = highlighted(w);
        w->setFocus();
        QTRY_VERIFY(w->hasFocus());
        const int ring = highlighted(w) - without;
        QVERIFY2(ring >= 2 * (w->width() + w->height()), qPrintable(w->objectName()));
    }
}

void KeyboardTest::messageBoxesCarryTheirIconOverTheirWindow() {
    GuiFixture f;
    auto form = f.start();
    form->move(200, 150);
    showActive(*form);
    QtPrompts prompts(form.get());
    const auto centredOverForm = [&form](QWidget* box) {
        const QPoint offset = box->frameGeometry().center() - form->frameGeometry().center();
        return offset.manhattanLength() < 40;
    };
    const struct {
        QMessageBox::Icon icon;
        std::function<void()> open;
    } boxes[] = {
        {QMessageBox::Critical,
         [&] { prompts.message("Fehler beim WAV-Laden", "keine WAV-Datei"); }},
        {QMessageBox::Question, [&] { prompts.askYesNo("Datei ersetzen", "Ersetzen?"); }},
        {QMessageBox::NoIcon,
         [&] { prompts.askYesNoCancel("Warnung", "Projekt geändert: speichern?"); }},
    };
    for (const auto& b : boxes) {
        bool seen = false;
        onNextWindow<QMessageBox>([&](QMessageBox* box) {
            QVERIFY(box != nullptr);
            seen = true;
            QCOMPARE(box->icon(), b.icon);
            QVERIFY(centredOverForm(box));
        });
        b.open();
        QVERIFY(seen);
    }
    showActive(*form);
    QTest::keyClick(form.get(), Qt::Key_F1);
    QTRY_VERIFY(form->infoform() && form->infoform()->isVisible());
    QVERIFY(centredOverForm(form->infoform()));
    QVERIFY(!(form->windowFlags() & Qt::WindowMaximizeButtonHint));
}

void KeyboardTest::aWavThatIsAnotherFormatIsOfferedForConversion() {
    ProjectFixture f;
    if (!sndtest::write_sound(f.dir.path("song.wav"), SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III,
                              44100, 1, 0.3,
                              [](double t, int) { return 0.5 * std::sin(2000 * t); })) {
        QSKIP("libsndfile writes no MP3 here");
    }
    auto form = f.start();
    showActive(*form);
    const Form1Controls& c = form->controls();
    // Chosen as a WAV, it is offered for conversion; "Nein" assigns it by its name as before.
    f.prompts.chooseFile(f.path("song.wav"));
    QTest::mouseClick(c.Picture1[1], Qt::LeftButton);
    QVERIFY(f.prompts.questions.last().startsWith("Umwandeln und zuweisen: „song.wav“ ist MP"));
    QCOMPARE(c.txt_userloop[0]->text(), QString("song.wav"));
    // The run names the decoder's failure and the way out.
    QTest::keyClick(form.get(), Qt::Key_F5);
    const QString log = c.txt_log->toPlainText();
    QVERIFY2(
        log.contains("Fehler in WAV-Datei") &&
            log.contains("„Umwandeln und zuweisen…“ im Kontextmenü des Felds wandelt die Datei um"),
        qPrintable(log));
    // "Ja" opens the conversion window for the field.
    f.prompts.chooseFile(f.path("song.wav"));
    f.prompts.answer(Prompts::Answer::Yes);
    QTest::mouseClick(c.Picture1[2], Qt::LeftButton);
    auto* dialog = form->findChild<ConvertDialog*>();
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(dialog->target()->text(), QString("song_13021.wav"));
    dialog->reject();
    QTRY_VERIFY(!form->findChild<ConvertDialog*>());

    // A FLAC chosen under "alle Files" is no WAV either: the same offer instead of a bare
    // refusal; "Nein" leaves the field as it was.
    QVERIFY(sndtest::write_sound(f.dir.path("motor.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100,
                                 1, 0.3, [](double t, int) { return 0.5 * std::sin(2000 * t); }));
    const int messages = f.prompts.messages.size();
    f.prompts.chooseFile(f.path("motor.flac"), 2);
    f.prompts.answer(Prompts::Answer::No);
    QTest::mouseClick(c.Picture1[3], Qt::LeftButton);
    QVERIFY2(
        f.prompts.questions.last().startsWith("Umwandeln und zuweisen: „motor.flac“ ist FLAC") &&
            f.prompts.questions.last().contains("keine WAV-Datei, die das Modul liest"),
        qPrintable(f.prompts.questions.last()));
    QCOMPARE(f.prompts.messages.size(), messages);
    QCOMPARE(c.txt_useranf[1]->text(), QString());
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    setup_application_look(app);
    KeyboardTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "keyboard_test.moc"
