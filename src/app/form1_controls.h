#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <array>

#include "app/widgets.h"

// Every control of the main window, named as in the window's design. Control arrays are
// indexed by the sound row 0 to 3 (Picture1 by 3 * row + part); their objectNames carry
// the index appended ("txt_useranf_2", "Picture1_7", "cmd_listen_0").
struct Form1Controls {
    // Upper part, top level
    ClickLabel* Image1 = nullptr;
    QLabel* Image2 = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* Label12 = nullptr;
    QLabel* Picture4 = nullptr;
    QGroupBox* GenFile = nullptr;
    QGroupBox* Frame2 = nullptr;
    QPushButton* cmd_EXIT = nullptr;
    QLineEdit* Text1 = nullptr;

    // Frame GenFile ("Projekt:")
    QLabel* Label13 = nullptr;
    QLineEdit* txt_projektfile = nullptr;
    QToolButton* Picture2 = nullptr;
    QToolButton* Picture3 = nullptr;
    QLabel* Label16 = nullptr;
    QLineEdit* txt_projektdir = nullptr;
    QLineEdit* txt_genstatus = nullptr;
    DesignProgressBar* ProgressBar1 = nullptr;
    QLabel* lbl_pb1 = nullptr;
    QPlainTextEdit* txt_log = nullptr;
    WrapButton* cmd_konvertieren = nullptr;
    StateCheckBox* chk_soundon = nullptr;
    StateCheckBox* chk_log_enable = nullptr;

    // Frame Frame2 ("WAV-Files")
    std::array<QLabel*, 4> Label14{};
    std::array<QToolButton*, 4> cmd_listen{};
    std::array<ClickLabel*, 4> lab_useranf{};
    std::array<ClickLabel*, 4> lab_userloop{};
    std::array<ClickLabel*, 4> lab_userend{};
    std::array<QToolButton*, 12> Picture1{};
    std::array<QLineEdit*, 4> txt_useranf{};
    std::array<QLineEdit*, 4> txt_userloop{};
    std::array<QLineEdit*, 4> txt_userend{};
    QLabel* lab_DSDfile = nullptr;
    QToolButton* pic_diskloadDSD = nullptr;
    QLineEdit* txt_DSDfilename = nullptr;

    // Lower part
    QGroupBox* SndFile = nullptr;
    QPlainTextEdit* txt_debug = nullptr;

    // Frame SndFile
    QLineEdit* txt_sndfilename = nullptr;
    QLineEdit* txt_sndstatus = nullptr;
    WrapButton* cmd_loadsndfile = nullptr;
    WrapButton* cmd_testsndfile = nullptr;
    QGroupBox* SNDframe = nullptr;

    // Frame SNDframe ("WAV-Info")
    QLabel* Label3 = nullptr;
    QLineEdit* txt_filelaenge = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* txt_samples = nullptr;
    QLabel* Label10 = nullptr;
    QLineEdit* txt_bytesjesek = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* txt_bits = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txt_freq = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* txt_kanaele = nullptr;
    QLabel* Label6 = nullptr;
    QLineEdit* txt_time = nullptr;
    QLabel* Label9 = nullptr;
    QLineEdit* txt_dataanf = nullptr;
    QLabel* Label15 = nullptr;
    QLineEdit* txt_fmtlen = nullptr;
    QLabel* Label17 = nullptr;
    QLineEdit* txt_WAVformat = nullptr;
    QLineEdit* txt_WAVformattext = nullptr;
    QLabel* Label7 = nullptr;
    DesignProgressBar* ProgressBar2 = nullptr;
    QLabel* lbl_pb2 = nullptr;
    QLabel* Label8 = nullptr;
    QLineEdit* txt_epromwert = nullptr;
    QLineEdit* txt_epromadr = nullptr;
    UpDown* UpDown1 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command1 = nullptr;
    WrapButton* cmd_play = nullptr;
    WrapButton* cmd_stop = nullptr;
};

// Window metrics in pixels at 96 dpi, from the design's twips (see form1_layout.cpp).
namespace form1_metrics {
int clientWidth();  // 9705 twips
int debugHeight();  // 10785 twips: the whole design
int normalHeight(); // the upper part: halfway between its last frame's bottom and the lower part's top
} // namespace form1_metrics

// Creates every control of the window inside `client`, at its designed place.
Form1Controls build_form1(QWidget* client);
