// The "SndFile" inspection panel: decoding with progress, the result display, the two
// inspection buttons and the sample viewer.

#include <QApplication>
#include <QFile>

#include "app/form1.h"
#include "gui/qt_text.h"
#include "app/form1_decode_view.h"
#include "gui/prompts.h"
#include "common/number_format.h"
#include "project/file_choice.h"
#include "wav/decode_result.h"
#include "wav/sample_viewer.h"


int Form1::decode_sound(const QString& path, bool alles) {
    const BusyScope busy(*this);
    std::unique_ptr<DecodeProgressView> view = beginDecode();
    const int code = melo::decode_sound(file_path(path), alles, m_sound, view.get());
    finishDecode(*view);
    return code;
}

std::unique_ptr<Form1::DecodeProgressView> Form1::beginDecode() {
    setBackground(m_c.txt_sndstatus, windowBackground());
    return std::make_unique<DecodeProgressView>(*this);
}

void Form1::finishDecode(const DecodeProgressView& view) {
    if (m_sound.progress_label_reset && !view.seen()) {
        m_c.lbl_pb2->setText(q(melo::format_one_decimal(0, m_sound.decimal_separator)));
    }
    showDecodePanel();
    if (m_sound.spinner_reset) {
        m_c.UpDown1->setMaximum(m_sound.wavend);
        m_c.UpDown1->setValue(1);
    }
}

void Form1::showDecodePanel() {
    // Shown up to three times a decode; a field whose text stays is not set again.
    const auto show = [](QLineEdit* field, const std::string& text) {
        const QString shown = q(text);
        if (field->text() != shown) {
            field->setText(shown);
        }
    };
    const melo::DecodePanel& p = m_sound.panel;
    show(m_c.txt_filelaenge, p.filelaenge);
    show(m_c.txt_samples, p.samples);
    show(m_c.txt_bytesjesek, p.bytesjesek);
    show(m_c.txt_bits, p.bits);
    show(m_c.txt_freq, p.freq);
    show(m_c.txt_kanaele, p.kanaele);
    show(m_c.txt_time, p.time);
    show(m_c.txt_dataanf, p.dataanf);
    show(m_c.txt_fmtlen, p.fmtlen);
    show(m_c.txt_WAVformat, p.wavformat);
    show(m_c.txt_WAVformattext, p.wavformattext);
    if (m_sound.total_text) {
        show(m_c.Text1, *m_sound.total_text);
    }
    if (m_sound.shown_path) {
        const QString path = q_path(*m_sound.shown_path);
        if (m_c.txt_sndfilename->text() != path) {
            m_c.txt_sndfilename->setText(path);
        }
    }
    show(m_c.txt_sndstatus, m_sound.status);
}

void Form1::show_wavdecoderesult(int decres) {
    m_c.txt_sndstatus->setText(q(melo::wavdecoderesult_text(decres, m_sound)));
    if (decres != 0) {
        setBackground(m_c.txt_sndstatus, QColor(255, 0, 0));
        return;
    }
    setBackground(m_c.txt_sndstatus, windowBackground());
    // Through 2 and back to 1, so the viewer shows the first sample even when it stood at 1.
    m_c.UpDown1->setMaximum(2);
    m_c.UpDown1->setValue(2);
    m_c.UpDown1->setMaximum(m_sound.wavend);
    m_c.UpDown1->setValue(1);
}

std::optional<int> Form1::readfile(bool alles) {
    m_c.txt_sndstatus->clear();
    OpenFileRequest request;
    request.initialDir = m_sndfiledir;
    request.title = "WAV-File öffnen";
    request.filter = "WAV-Datei(*.WAV)|*.wav|alle Files (*.*)|*.*";
    request.filterIndex = 1;
    request.defaultSuffix = "wav";
    request.mustExist = true;
    const OpenFileResult chosen = prompts().openFile(request);
    const int c = melo::classify_file(melo::FileKind::Part, file_path(chosen.fullPath), chosen.extensionDifferent);
    if (c == melo::kAccepted) {
        m_c.txt_sndfilename->setText(chosen.fullPath);
        m_lastvalidsndfile = chosen.fullPath;
        m_sndfiledir = q_path(melo::directory_with_separator(file_path(chosen.fullPath)));
        return decode_sound(m_lastvalidsndfile, alles);
    }
    if (c == melo::kNothingChosen) {
        m_c.txt_sndstatus->setText("Fehler beim Dateiladen");
    } else {
        m_c.txt_sndstatus->setText("Falscher Dateityp  " + QString::number(c));
    }
    return std::nullopt;
}

void Form1::cmd_loadsndfile_Click() {
    // Nothing decoded (cancelled or rejected): readfile's own message stays.
    if (const std::optional<int> r = readfile(true)) {
        show_wavdecoderesult(*r);
    }
}

void Form1::cmd_testsndfile_Click() {
    const int r = decode_sound(m_c.txt_sndfilename->text(), false);
    show_wavdecoderesult(r);
}

void Form1::sampleViewerUpdate() {
    const melo::SampleView view = melo::view_sample(m_c.txt_epromadr->text().toStdString(),
                                                    m_c.UpDown1->minimum(), m_c.UpDown1->maximum(), m_sound);
    // Rewriting the field runs this update once more, nested, with the same result.
    if (m_c.txt_epromadr->text() != q(view.index_text)) {
        m_c.txt_epromadr->setText(q(view.index_text));
        return;
    }
    m_c.txt_epromwert->setText(q(view.value_text));
    m_c.UpDown1->setValue(view.index);
}
