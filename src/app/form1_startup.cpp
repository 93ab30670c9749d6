// Start-up from the settings file, the settings and project value access, and shut-down.

#include <QDir>
#include <QFile>

#include "app/form1.h"
#include "gui/prompts.h"
#include "gui/qt_text.h"
#include "common/lenient_number.h"
#include "common/version.h"
#include "project/ini_file.h"
#include "tools/info_form.h"

namespace {

std::string to_std(const QString& text) {
    return text.toStdString();
}

} // namespace

QString startupFailureText(const StartupFailure& failure) {
    return "Direct Sound Objekt konnte nicht initialisiert werden.\r\n"
           "Prüfe ob eine SoundKarte installiert ist und ob sie funktioniert.\r" +
           QString::number(failure.number) + "/" + failure.description;
}

QString Form1::settingsPath() const {
    return m_env.settingsPath;
}

QString Form1::GetINI_String(const QString& section, const QString& key, const QString& defaultValue) const {
    return QString::fromStdString(
        melo::ini_read(file_path(settingsPath()), to_std(section), to_std(key), to_std(defaultValue)));
}

QString Form1::projectPath() const {
    return m_projfiledir + QDir::separator() + m_c.txt_projektfile->text();
}

std::optional<StartupFailure> Form1::startUp() {
    // A failure returns at once; the caller then ends the program without showing the window.
    m_debugkey = GetINI_String("VARS", "debug", "0");
    applyDisplayMode();
    setWindowTitle(QString::fromStdString(melo::window_title()));
    showStartupFields();
    readStoredDirectories();

    const melo::WholeNumber listen =
        melo::convert_whole_number(to_std(GetINI_String("VARS", "listen", "0")), INT32_MIN, INT32_MAX);
    if (!listen.ok) {
        return StartupFailure{listen.error_number, QString::fromStdString(listen.error_text)};
    }
    m_listen = static_cast<int>(listen.value);

    GetProjectData();

    for (QToolButton* b : m_c.cmd_listen) {
        b->setVisible(m_listen != 0);
    }
    if (std::optional<StartupFailure> failure = readCheckBoxStates()) {
        return failure;
    }
    clearOutputs();

    if (m_listen != 0) {
        if (std::optional<StartupFailure> failure = openListenSound()) {
            return failure;
        }
    }
    m_started = true;
    return std::nullopt;
}

void Form1::applyDisplayMode() {
    if (!debugMode()) {
        setFixedSize(form1_metrics::clientWidth(), form1_metrics::normalHeight());
        // Outside the window, and out of the keyboard's reach too; the run still writes them.
        m_c.SndFile->setVisible(false);
        m_c.txt_debug->setVisible(false);
        return;
    }
    m_lastvalidsndfile = GetINI_String("DIRS", "lastvalidsndfile", startDir());
    if (decode_sound(m_lastvalidsndfile, false) == 0) {
        m_c.txt_sndfilename->setText(m_lastvalidsndfile);
    }
}

void Form1::showStartupFields() {
    for (int r = 0; r < 4; ++r) {
        m_c.txt_useranf[r]->setText("(leer)");
        m_c.txt_userloop[r]->setText("(leer)");
        m_c.txt_userend[r]->setText("(leer)");
    }
    m_c.Image2->setVisible(true);
    m_c.Picture4->setVisible(false);
    m_c.Label11->setVisible(false);
    m_c.Label12->setVisible(false);
}

void Form1::readStoredDirectories() {
    m_projfiledir = GetINI_String("DIRS", "projfiledir", startDir());
    m_c.txt_projektdir->setText(m_projfiledir);
    m_sndfiledir = GetINI_String("DIRS", "sndfiledir", startDir());
    m_fileext = GetINI_String("DIRS", "fileext", "1");
    m_projname = GetINI_String("DIRS", "projname", "noproject.dsp");
    m_c.txt_projektfile->setText(m_projname);
}

std::optional<StartupFailure> Form1::readCheckBoxStates() {
    // Whole numbers of 16 bits, then 0 (clear), 1 (ticked) or 2 (greyed).
    struct StoredBox {
        StateCheckBox* box;
        const char* key;
        const char* fallback;
    };
    for (const StoredBox& stored : {StoredBox{m_c.chk_soundon, "warnsound", "1"},
                                    StoredBox{m_c.chk_log_enable, "log", "0"}}) {
        const melo::WholeNumber state = melo::convert_whole_number(
            to_std(GetINI_String("VARS", stored.key, stored.fallback)), INT16_MIN, INT16_MAX);
        if (!state.ok) {
            return StartupFailure{state.error_number, QString::fromStdString(state.error_text)};
        }
        if (!stored.box->setState(state.value)) {
            return StartupFailure{380, "Unzulässiger Eigenschaftswert"};
        }
    }
    return std::nullopt;
}

void Form1::clearOutputs() {
    m_c.txt_log->clear();
    m_c.txt_genstatus->clear();
    m_c.txt_debug->clear();
    m_c.txt_epromwert->clear();
    m_c.txt_epromadr->clear(); // runs the sample viewer's update
    m_c.lbl_pb1->setText("0 %");
    m_c.ProgressBar1->setValue(1000);
    m_c.Text1->clear();
}

void Form1::writeSettings() {
    // The settings are written together, in their order, in one atomic replace of the file.
    m_projfiledir = m_c.txt_projektdir->text();
    m_projname = m_c.txt_projektfile->text();
    melo::IniDocument settings;
    const std::string path = file_path(settingsPath());
    std::string error;
    bool ok = settings.load_for_update(path, &error);
    const auto set = [&](const char* section, const char* key, const QString& value) {
        ok = ok && settings.set(section, key, to_std(value));
        if (!ok && error.empty()) {
            error = std::string(key) + ": " + melo::kLineBreakError;
        }
    };
    set("DIRS", "projfiledir", m_projfiledir);
    set("VARS", "warnsound", QString::number(m_c.chk_soundon->state()));
    set("DIRS", "fileext", m_fileext);
    set("DIRS", "projname", m_projname);
    set("VARS", "log", QString::number(m_c.chk_log_enable->state()));
    if (debugMode()) {
        set("DIRS", "lastvalidsndfile", m_lastvalidsndfile);
    }
    if (!ok || !settings.save(path, &error, melo::LinkRule::anywhere)) {
        // The settings of this session are lost unless the user hears of it.
        prompts().message("Fehler beim Speichern",
                          "Die Einstellungen konnten nicht gespeichert werden:\n" + settingsPath() + "\n(" +
                              q(error) + ")");
    }
}

void Form1::shutDown() {
    if (!m_started || m_shutDown) {
        return;
    }
    m_shutDown = true;
    if (m_infoform) {
        m_infoform->close();
    }
    writeSettings();
    if (m_listen != 0) {
        freeme();
    }
}
