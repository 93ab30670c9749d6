#pragma once

// The decoder's progress in the inspection panel, shared by inspection and generation run.

#include <QApplication>

#include "app/form1.h"
#include "common/number_format.h"

// Moves the progress bar and lets the window repaint and handle events, only when the
// per-mille value changes.
class Form1::DecodeProgressView : public melo::DecodeProgress {
public:
    explicit DecodeProgressView(Form1& form) : m_form(form) {}
    void decode_progress(int permille, const melo::DecodedSound&) override {
        if (!m_seen) {
            m_seen = true;
            m_form.showDecodePanel(); // emptied fields, file length, "Lese WAV-File"
        }
        m_form.m_c.ProgressBar2->setValue(permille);
        m_form.m_c.lbl_pb2->setText(QString::fromStdString(melo::permille_label(permille, m_form.m_sound.decimal_separator)));
        QApplication::processEvents();
    }
    bool seen() const { return m_seen; }

private:
    Form1& m_form;
    bool m_seen = false;
};

