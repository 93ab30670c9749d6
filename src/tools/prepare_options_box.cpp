#include "tools/prepare_options_box.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>

namespace {

QDoubleSpinBox* levelBox(const char* name, double minimum, double maximum, double value,
                         const char* unit = " dBFS") {
    auto* box = new QDoubleSpinBox;
    box->setObjectName(name);
    box->setRange(minimum, maximum);
    box->setDecimals(1);
    box->setSingleStep(0.5);
    box->setValue(value);
    box->setSuffix(unit);
    return box;
}

} // namespace

PrepareOptionsBox::PrepareOptionsBox(QWidget* parent) : QWidget(parent) {
    m_bits = new QComboBox;
    m_bits->setObjectName("cmb_bits");
    m_bits->addItem("8 bit, wie im Modul", 8);
    m_bits->addItem("16 bit, zum Aufheben", 16);
    m_bits->setToolTip("8 bit: gerundete Samples 1..254, die das Image unverändert übernimmt.\n"
                       "16 bit: schneidet die Erzeugung des Images auf 8 bit ab.");
    m_dither = new QCheckBox("mit TPDF-Dither");
    m_dither->setObjectName("chk_dither");
    m_dither->setChecked(melo::kDefaultDither == melo::Dither::Tpdf);
    m_dither->setToolTip("Leise Töne klingen rauschend statt verzerrt; Pausen bleiben still.");
    m_normalize = new QCheckBox("Pegel normalisieren auf");
    m_normalize->setObjectName("chk_normalize");
    m_normalizeLevel =
        levelBox("spin_normalize", melo::kMinNormalizeDb, 0.0, melo::kDefaultNormalizeDb);
    m_loudness = new QCheckBox("Lautheit angleichen auf");
    m_loudness->setObjectName("chk_loudness");
    m_loudness->setToolTip("Integrierte Lautheit nach EBU R128; wo Spitzen den Bereich verlassen "
                           "würden, bleibt sie darunter.");
    m_loudnessLevel = levelBox("spin_loudness", melo::kMinLoudnessLufs, melo::kMaxLoudnessLufs,
                               melo::kDefaultLoudnessLufs, " LUFS");
    m_trim = new QCheckBox("Stille entfernen unter");
    m_trim->setObjectName("chk_trim");
    m_trim->setToolTip("Entfernt Stille am Anfang und Ende der Aufnahme");
    m_trimLevel = levelBox("spin_trim", melo::kMinTrimDb, 0.0, melo::kDefaultTrimDb);

    auto* form = new QFormLayout(this);
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(m_bits, m_dither);
    form->addRow(m_normalize, m_normalizeLevel);
    form->addRow(m_loudness, m_loudnessLevel);
    form->addRow(m_trim, m_trimLevel);

    // A peak level and a loudness exclude each other: ticking one clears the other.
    connect(m_normalize, &QCheckBox::toggled, this, [this](bool on) {
        if (on) {
            m_loudness->setChecked(false);
        }
        updateSettings();
    });
    connect(m_loudness, &QCheckBox::toggled, this, [this](bool on) {
        if (on) {
            m_normalize->setChecked(false);
        }
        updateSettings();
    });
    connect(m_trim, &QCheckBox::toggled, this, &PrepareOptionsBox::updateSettings);
    connect(m_bits, &QComboBox::currentIndexChanged, this, &PrepareOptionsBox::updateSettings);
    updateSettings();
}

void PrepareOptionsBox::updateSettings() {
    m_normalizeLevel->setEnabled(m_normalize->isChecked());
    m_loudnessLevel->setEnabled(m_loudness->isChecked());
    m_trimLevel->setEnabled(m_trim->isChecked());
    m_dither->setEnabled(m_bits->currentData().toInt() == 8);
    emit changed();
}

melo::PrepareOptions PrepareOptionsBox::options() const {
    melo::PrepareOptions options;
    options.bits = m_bits->currentData().toInt();
    options.dither = m_dither->isChecked() ? melo::Dither::Tpdf : melo::Dither::None;
    if (m_normalize->isChecked()) {
        options.normalize_db = m_normalizeLevel->value();
    }
    if (m_loudness->isChecked()) {
        options.loudness_lufs = m_loudnessLevel->value();
    }
    if (m_trim->isChecked()) {
        options.trim_db = m_trimLevel->value();
    }
    return options;
}
