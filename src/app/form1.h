#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>

#include "app/app_environment.h"
#include "app/form1_controls.h"
#include "wav/wav_decoder.h"

class InfoForm;
class Prompts;

// The main window. It owns every control and the program's state; the rules behind each
// command live in the core library, and the handlers here turn clicks into core calls and
// core results into widget states.
class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(AppEnvironment& env, QWidget* parent = nullptr);
    ~Form1() override;

    Form1Controls& controls() { return m_c; }
    bool debugMode() const { return m_debugMode; }
    const melo::DecodedSound& decodedSound() const { return m_sound; }
    const QString& sndfiledir() const { return m_sndfiledir; }
    const QString& lastvalidsndfile() const { return m_lastvalidsndfile; }
    // True while a decode or a generation run is in progress.
    bool busy() const { return m_busy > 0; }

    // The about box while it is open, else nullptr.
    InfoForm* infoform() const;
    // Opens the about box, or brings the open one to the front.
    void showInfoForm();

    // Decodes a WAV file into the decoded sound and shows it in the inspection panel, with
    // progress; returns the decoder's result code.
    int decode_sound(const QString& path, bool alles);
    // Shows a decode result code in the status field, coloured, and resets the spinner after
    // a success.
    void show_wavdecoderesult(int decres);
    // Lets the user choose a WAV file and decodes it; nothing when no file was decoded.
    std::optional<int> readfile(bool alles);

signals:
    // A part label ("Anfang", "Loop", "Ende") of a sound row was clicked; part 0 to 2.
    void partLabelClicked(int row, int part);
    // A picture button Picture1(index) beside a part field was clicked; index = 3 * row + part.
    void partPictureClicked(int index);
    // The picture button beside the base sound file field was clicked.
    void dsdPictureClicked();
    // Mouse pressed or released on a listen button (row 0 to 3) or on Command3 (row 2).
    void listenPressed(int row);
    void listenReleased(int row);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class DecodeProgressView;
    friend class DecodeProgressView;

    void wireSignals();
    Prompts& prompts();

    // Long work: locks the commands that would re-enter it and defers a close request.
    void beginBusy();
    void endBusy();

    void cmd_loadsndfile_Click();
    void cmd_testsndfile_Click();
    void showDecodePanel();
    void sampleViewerUpdate();

    AppEnvironment& m_env;
    std::unique_ptr<Prompts> m_ownPrompts;
    Form1Controls m_c;
    bool m_debugMode = false;
    QPointer<InfoForm> m_infoform;

    melo::DecodedSound m_sound;
    QString m_sndfiledir;
    QString m_lastvalidsndfile;

    int m_busy = 0;
    bool m_closeRequested = false;
};

// Sets the background colour of a text field.
void setBackground(QWidget* field, const QColor& colour);
// The background of a text field in its normal state (the window-background colour).
QColor windowBackground();
