#pragma once

#include "prepare/sound_preparation.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;

// The preparation's settings as controls: the sample format (8 bit as the module plays it, or
// 16 bit), TPDF dither for 8 bit, a peak level or a loudness (one excludes the other) and the
// silence threshold for trimming. A level box is enabled while its box is ticked.
class PrepareOptionsBox : public QWidget {
    Q_OBJECT
public:
    explicit PrepareOptionsBox(QWidget* parent = nullptr);

    // The settings shown, for a preparation to the module's rate.
    melo::PrepareOptions options() const;

    QComboBox* bits() const { return m_bits; }
    QCheckBox* dither() const { return m_dither; }
    QCheckBox* normalize() const { return m_normalize; }
    QDoubleSpinBox* normalizeLevel() const { return m_normalizeLevel; }
    QCheckBox* loudness() const { return m_loudness; }
    QDoubleSpinBox* loudnessLevel() const { return m_loudnessLevel; }
    QCheckBox* trim() const { return m_trim; }
    QDoubleSpinBox* trimLevel() const { return m_trimLevel; }

signals:
    void changed();

private:
    // Enables each level whose box is ticked, and the dither for 8 bits only.
    void updateSettings();

    QComboBox* m_bits;
    QCheckBox* m_dither;
    QCheckBox* m_normalize;
    QDoubleSpinBox* m_normalizeLevel;
    QCheckBox* m_loudness;
    QDoubleSpinBox* m_loudnessLevel;
    QCheckBox* m_trim;
    QDoubleSpinBox* m_trimLevel;
};
