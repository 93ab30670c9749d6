#pragma once

#include "app/app_environment.h"
#include "app/form1_controls.h"
#include "flash/flash_image.h"
#include "flash/generation_run.h"
#include "project/file_choice.h"
#include "project/project_file.h"
#include "wav/wav_decoder.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <initializer_list>
#include <memory>
#include <optional>

class AudioSystem;
class FieldMarkers;
class InfoForm;
class ListenPlayback;
class Prompts;

// The failure that ends start-up: its number and description, shown in the start-up message.
struct StartupFailure {
    long number = 0;
    QString description;
};

// The text of the start-up failure message box.
QString startupFailureText(const StartupFailure& failure);

// The main window. It owns every control and the program's state; the rules behind each
// command live in the core library, and the handlers here turn clicks into core calls and
// core results into widget states.
class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(AppEnvironment& env, QWidget* parent = nullptr);
    ~Form1() override;

    // Brings the window into its working state from the settings file. On a failure the
    // window must not be shown and nothing is written to the settings file.
    std::optional<StartupFailure> startUp();

    Form1Controls& controls() { return m_c; }
    bool debugMode() const { return m_debugkey == "286"; }
    int listen() const { return m_listen; }
    bool projchanged() const { return m_projchanged; }
    const QString& projfiledir() const { return m_projfiledir; }
    // The thirteen file fields as the window shows them.
    melo::ProjectFields projectFields() const;
    const QString& fileext() const { return m_fileext; }
    const melo::DecodedSound& decodedSound() const { return m_sound; }
    const QString& sndfiledir() const { return m_sndfiledir; }
    // True while a decode or a generation run is in progress.
    bool busy() const { return m_busy > 0; }

    // The marks that tell each file field's state.
    FieldMarkers& fieldMarkers() { return *m_markers; }

    // The about box while it is open, else nullptr.
    InfoForm* infoform() const;
    // Opens the about box, or brings the open one to the front.
    void showInfoForm();

    // A settings file value, read afresh at every call. (Shut-down writes the settings together,
    // the save command the project's thirteen values together, each in one atomic replace.)
    QString GetINI_String(const QString& section, const QString& key,
                          const QString& defaultValue) const;
    // projfiledir, the separator and the project name field's current text.
    QString projectPath() const;

    // Loads the project file into the thirteen fields and clears the changed flag; false, with
    // a message and the fields kept, for a file that cannot be read as a project (or, with
    // `mustExist`, does not exist). A missing file is otherwise a project without files yet.
    bool GetProjectData(bool mustExist = false);
    // Saves the thirteen fields; on failure tells the user, keeps the flag and returns false.
    bool saveProject();
    // For a changed project asks "Projekt geändert: speichern?" (Ja saves, Nein drops the edits);
    // false when the user cancelled or the save failed, so the caller must stop.
    bool offerToSave();
    // The load-or-create command of the project picture button; a changed project is offered
    // for saving first.
    void loadOrCreateProject();
    // Opens the project file `fullPath` (bare name `bareName`), or creates it from the fields
    // the window holds when it does not exist (without `createMissing`: a message). When it
    // cannot be created or read, the window keeps its previous project and says why; false then.
    bool openProject(const QString& fullPath, const QString& bareName, bool createMissing = true);
    // The "Ende" button: offers to save a changed project, then closes the window.
    void cmd_EXIT_Click();

    // File choosers: result 0 nothing chosen, 1 accepted, 2 or 3 wrong file type. The chosen
    // full path and bare name are kept for the caller until the next chooser.
    int getDSPfilename();
    int getDSDfilename();
    int getWAVfilename();
    // Chooses a WAV file for a part (0 start, 1 loop, 2 end) of a sound row.
    void assignWav(int row, int part);
    // Chooses the base sound file.
    void assignDsd();

    // Decodes a WAV file into the decoded sound and shows it in the inspection panel, with
    // progress; returns the decoder's result code.
    int decode_sound(const QString& path, bool alles);
    // Shows a decode result code in the status field, coloured, and resets the spinner after
    // a success.
    void show_wavdecoderesult(int decres);
    // Lets the user choose a WAV file and decodes it; nothing when no file was decoded.
    std::optional<int> readfile(bool alles);

    // The generation run of "DSU-File erzeugen"; its result stays in the views and files.
    melo::RunResult cmd_konvertieren_Click();

    // Plays one of the result sounds ("ok.wav", "warn.wav", "nok.wav") through the file player.
    void playResultSound(const QString& name);

    // For the windows of their own: the listen player (outside the listen mode made when
    // first asked for, without the listen buttons) and the dialogs.
    ListenPlayback& listenPlayer();
    Prompts& prompts();
    // The samples the flash still takes for new parts in the part fields `fields`.
    std::int64_t freeSamplesFor(std::initializer_list<const QLineEdit*> fields) const;

signals:
    // Mouse pressed or released on a listen button (row 0 to 3) or on Command3 (row 2).
    void listenPressed(int row);
    void listenReleased(int row);

protected:
    void closeEvent(QCloseEvent* event) override;
    // Back in the window, files may have changed elsewhere: the fields are checked again.
    void changeEvent(QEvent* event) override;

private:
    class DecodeProgressView;
    friend class DecodeProgressView;
    class RunView;
    friend class RunView;

    void wireSignals();
    AudioSystem& audio();
    void listenPress(int row);
    std::optional<StartupFailure> openListenSound();
    // Steps of startUp(), in their order.
    void applyDisplayMode();
    void showStartupFields();
    void readStoredDirectories();
    std::optional<StartupFailure> readCheckBoxStates();
    void clearOutputs();
    void freeme();
    QString settingsPath() const;
    // The folders' default where the settings name none (AppEnvironment::startDir).
    QString startDir() const { return m_env.startDir.isEmpty() ? m_env.appDir : m_env.startDir; }

    // Long work: locks the commands that would re-enter it and defers a close request while
    // a scope lives, also when the work ends by an exception.
    class BusyScope {
    public:
        explicit BusyScope(Form1& form) : m_form(form) { m_form.beginBusy(); }
        ~BusyScope() { m_form.endBusy(); }
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        Form1& m_form;
    };
    void beginBusy();
    void endBusy();
    // Long work lets the window repaint and handle events: when `now`, or when a display
    // frame has passed since it last did, so the work costs what it costs and no more.
    void letEventsRun(bool now);

    int chooseFile(const QString& title, const QString& filter, melo::FileKind kind,
                   bool mustExist);
    // Saves the thirteen fields and clears the changed flag; false with the path and the reason.
    bool storeProject(QString& error);
    void setProjectFields(const melo::ProjectFields& fields);
    QLineEdit* partField(int row, int part) const;
    void shutDown();
    void writeSettings();
    void timer1Tick();
    // The last run's result line and logs stop being current once the project changes: greyed,
    // with "(vorheriger Lauf)" in their tool tips, until the next run makes them current again.
    void markResultsOld();
    void markResultsCurrent();

    void cmd_loadsndfile_Click();
    void cmd_testsndfile_Click();
    void showDecodePanel();
    std::unique_ptr<DecodeProgressView> beginDecode();
    void finishDecode(const DecodeProgressView& view);
    void sampleViewerUpdate();

    AppEnvironment& m_env;
    std::unique_ptr<Prompts> m_ownPrompts;
    std::unique_ptr<AudioSystem> m_ownAudio;
    std::unique_ptr<ListenPlayback> m_listenPlayback;
    Form1Controls m_c;
    QPointer<InfoForm> m_infoform;
    FieldMarkers* m_markers = nullptr;
    QTimer m_timer1;

    // Settings and modes
    QString m_debugkey;
    int m_listen = 0;
    int m_listenRow = 0; // the row of the last listen press
    QString m_projfiledir;
    QString m_fileext = "1";
    QString m_projname;
    bool m_started = false;
    bool m_shutDown = false;

    // Project
    bool m_projchanged = false;
    bool m_resultsOld = false;
    QString m_chosenPath;
    QString m_chosenName;

    // Inspection
    melo::DecodedSound m_sound;
    melo::FlashImage m_flash;
    melo::SoundSlots m_slots;
    QString m_sndfiledir;
    QString m_lastvalidsndfile;

    int m_busy = 0;
    bool m_closeRequested = false;
    QElapsedTimer m_sinceEvents;
};

// Sets the background colour of a text field.
void setBackground(QWidget* field, const QColor& colour);
// The background of a text field in its normal state (the window-background colour).
QColor windowBackground();
