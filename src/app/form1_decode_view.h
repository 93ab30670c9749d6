#pragma once

// The decoder's progress in the inspection panel, shared by inspection and generation run.

#include "app/form1.h"
#include "common/number_format.h"

// Moves the progress bar at each change of the per-mille value, shows the format fields as
// soon as the format is known, and lets the window repaint and handle events at most once a
// display frame.
class Form1::DecodeProgressView : public melo::DecodeProgress {
public:
    explicit DecodeProgressView(Form1& form) : m_form(form) {}
    void progress(int permille) override {
        if (!m_seen) {
            m_seen = true;
            m_form.showDecodePanel(); // emptied fields, file length, "Lese WAV-File"
        }
        m_form.m_c.ProgressBar2->setValue(permille);
        m_form.m_c.lbl_pb2->setText(QString::fromStdString(melo::permille_label(permille, m_form.m_sound.decimal_separator)));
        m_form.letEventsRun(false);
    }
    void format_known(const melo::DecodedSound&) override { m_form.showDecodePanel(); }
    bool seen() const { return m_seen; }

private:
    Form1& m_form;
    bool m_seen = false;
};

