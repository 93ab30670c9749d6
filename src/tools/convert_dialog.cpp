#include "tools/convert_dialog.h"

#include "gui/prompts.h"
#include "gui/qt_text.h"
#include "common/number_format.h"
#include "flash/sound_budget.h"
#include "project/ini_file.h"
#include "project/project_path.h"

#include <QDir>
#include <cmath>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

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
    box->setEnabled(false); // until its box is ticked
    return box;
}

QString seconds(std::int64_t samples) {
    return QString::fromStdString(melo::play_time_text(static_cast<double>(samples) / melo::kTargetFreq));
}

// Hands the worker's progress to the dialog's thread.
class ProgressRelay : public melo::PrepareObserver {
public:
    explicit ProgressRelay(QProgressBar* bar) : m_bar(bar) {}
    void progress(int permille) override {
        QMetaObject::invokeMethod(
            m_bar, [bar = m_bar, permille] { bar->setValue(permille); }, Qt::QueuedConnection);
    }

private:
    QProgressBar* m_bar;
};

} // namespace

ConvertDialog::ConvertDialog(Prompts& prompts, const QString& input, const melo::SourceInfo& info,
                             const QString& projfiledir, QWidget* parent)
    : QDialog(parent), m_prompts(prompts), m_input(input), m_projfiledir(projfiledir), m_info(info) {
    setObjectName("ConvertDialog");
    setWindowTitle("Umwandeln und zuweisen");
    setWindowModality(Qt::WindowModal);

    auto* source = new QLabel(QFileInfo(input).fileName());
    source->setToolTip(QDir::toNativeSeparators(input));
    m_target = new QLineEdit(q_path(
        melo::prepared_file_name(file_path(input), file_path(projfiledir), melo::kTargetFreq)));
    m_target->setObjectName("txt_target");
    m_target->setMinimumWidth(240);
    m_target->setToolTip(QDir::toNativeSeparators(projfiledir));
    auto* folder = new QLabel(QDir::toNativeSeparators(QFileInfo(input).absolutePath()));
    folder->setObjectName("lbl_folder");
    folder->setTextInteractionFlags(Qt::TextSelectableByMouse);
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
    m_normalizeLevel = levelBox("spin_normalize", melo::kMinNormalizeDb, 0.0, melo::kDefaultNormalizeDb);
    m_loudness = new QCheckBox("Lautheit angleichen auf");
    m_loudness->setObjectName("chk_loudness");
    m_loudness->setToolTip("Integrierte Lautheit nach EBU R128; wo Spitzen den Bereich verlassen "
                           "würden, bleibt sie darunter.");
    m_loudnessLevel = levelBox("spin_loudness", melo::kMinLoudnessLufs, melo::kMaxLoudnessLufs,
                               melo::kDefaultLoudnessLufs, " LUFS");
    m_trim = new QCheckBox("Stille am Anfang und Ende entfernen unter");
    m_trim->setObjectName("chk_trim");
    m_trimLevel = levelBox("spin_trim", melo::kMinTrimDb, 0.0, melo::kDefaultTrimDb);
    m_budget = new QLabel;
    m_budget->setObjectName("lbl_budget");
    m_budget->setWordWrap(true);
    m_budget->setVisible(false);
    m_progress = new QProgressBar;
    m_progress->setObjectName("progress");
    m_progress->setRange(0, 1000);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_progress->setVisible(false); // until a conversion runs
    m_status = new QLabel;
    m_status->setObjectName("lbl_status");
    m_status->setWordWrap(true);
    m_start = new QPushButton("Umwandeln");
    m_start->setObjectName("cmd_start");
    m_start->setDefault(true);
    m_cancel = new QPushButton("Abbrechen");
    m_cancel->setObjectName("cmd_cancel");

    auto* form = new QFormLayout;
    form->addRow("Quelle:", source);
    form->addRow("Ordner:", folder);
    form->addRow("Format:", new QLabel(QString::fromStdString(info.format)));
    form->addRow("Abtastrate:", new QLabel(QString::number(info.rate) + " Hz"));
    form->addRow("Kanäle:", new QLabel(QString::number(info.channels)));
    form->addRow("Dauer:",
                 new QLabel(info.frames < 0 ? QString("unbekannt")
                                            : QString::fromStdString(melo::play_time_text(
                                                  static_cast<double>(info.frames) / info.rate))));
    auto* result = new QHBoxLayout;
    result->addWidget(new QLabel(QString::number(melo::kTargetFreq) + " Hz, 1 Kanal,"));
    result->addWidget(m_bits);
    result->addWidget(m_dither);
    result->addStretch();
    form->addRow("Ergebnis:", result);
    form->addRow("Zieldatei im Projektordner:", m_target);
    form->addRow(m_normalize, m_normalizeLevel);
    form->addRow(m_loudness, m_loudnessLevel);
    form->addRow(m_trim, m_trimLevel);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_start);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_budget);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);
    layout->addLayout(buttons);

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
    connect(m_trim, &QCheckBox::toggled, this, &ConvertDialog::updateSettings);
    connect(m_bits, &QComboBox::currentIndexChanged, this, &ConvertDialog::updateSettings);
    connect(m_start, &QPushButton::clicked, this, &ConvertDialog::start);
    connect(m_cancel, &QPushButton::clicked, this, &ConvertDialog::reject);
    updateSettings();
}

void ConvertDialog::setFreeSamples(std::int64_t samples) {
    m_free = samples;
    const QString budget = QString::fromStdString(melo::sound_budget_text(melo::kFlashCapacity - samples));
    if (fitsFlash()) {
        m_budget->setText("Flash: " + budget);
        m_budget->setStyleSheet("");
    } else {
        m_budget->setText("Das Ergebnis (" + seconds(expectedSamples()) +
                          ") passt nicht in den freien Flash: " + budget + ".");
        m_budget->setStyleSheet("color: rgb(255, 0, 0);");
    }
    m_budget->setVisible(true);
}

std::int64_t ConvertDialog::expectedSamples() const {
    if (m_info.frames < 0 || m_info.rate <= 0) {
        return -1;
    }
    return static_cast<std::int64_t>(
        std::ceil(static_cast<double>(m_info.frames) * melo::kTargetFreq / m_info.rate));
}

bool ConvertDialog::fitsFlash() const {
    // A part fits while the image stays below the capacity (the run's size check).
    return !m_free || expectedSamples() < 0 || expectedSamples() < *m_free;
}

void ConvertDialog::updateSettings() {
    if (running()) {
        return;
    }
    m_normalizeLevel->setEnabled(m_normalize->isChecked());
    m_loudnessLevel->setEnabled(m_loudness->isChecked());
    m_trimLevel->setEnabled(m_trim->isChecked());
    m_dither->setEnabled(m_bits->currentData().toInt() == 8);
}

ConvertDialog::~ConvertDialog() {
    if (m_thread != nullptr) {
        m_preparation->cancel();
        m_thread->wait();
        delete m_thread;
    }
}

void ConvertDialog::reject() {
    if (running()) {
        m_preparation->cancel();
        showStatus("Breche ab …", false);
        return;
    }
    QDialog::reject();
}

void ConvertDialog::start() {
    if (running()) {
        return;
    }
    QString name = m_target->text().trimmed();
    if (name.isEmpty() || name.contains('/') || melo::has_line_break(name.toStdString()) || name == "." ||
        name == "..") {
        showStatus("Bitte einen Dateinamen ohne Ordner und ohne Zeilenumbruch angeben.", true);
        return;
    }
    if (QFileInfo(name).suffix().isEmpty()) {
        name += ".wav";
    }
    m_target->setText(name);
    // The file the project will read for this name: a namesake differing only in case is
    // replaced rather than joined, and a link leading out of the folder is not written through.
    const melo::ProjectFile target = melo::resolve_project_file(file_path(m_projfiledir), file_path(name));
    if (target.outside) {
        showStatus("„" + name + "“ führt aus dem Projektordner hinaus.", true);
        return;
    }
    const QString output = q_path(target.path);
    name = QFileInfo(output).fileName(); // the project names the file as it is spelt
    const bool replacesInput =
        QFileInfo(output).canonicalFilePath() == QFileInfo(m_input).canonicalFilePath();
    if (QFileInfo::exists(output) && !replacesInput &&
        m_prompts.askYesNo("Datei ersetzen", "Im Projektordner gibt es schon „" + name +
                                                 "“.\nErsetzen?") == Prompts::Answer::No) {
        return;
    }

    // Trimming may still make it fit; the user decides.
    if (!fitsFlash() && !m_trim->isChecked() &&
        m_prompts.askYesNo("Zu lang für den Flash",
                           "Das Ergebnis (" + seconds(expectedSamples()) + ") passt nicht in den freien Flash (" +
                               QString::fromStdString(melo::sound_budget_text(melo::kFlashCapacity - *m_free)) +
                               ").\nTrotzdem umwandeln?") == Prompts::Answer::No) {
        return;
    }

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
    m_preparation = std::make_unique<melo::SoundPreparation>();
    m_progress->setValue(0);
    m_progress->setVisible(true);
    showStatus("Wandle um …", false);
    setRunning(true);
    m_thread = QThread::create(
        [this, input = file_path(m_input), target = file_path(output), options, name] {
            ProgressRelay relay(m_progress);
            const melo::PrepareResult result = m_preparation->run(input, target, options, relay);
            QMetaObject::invokeMethod(
                this, [this, result, name] { finished(result, name); }, Qt::QueuedConnection);
        });
    m_thread->start();
}

void ConvertDialog::finished(const melo::PrepareResult& result, const QString& name) {
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    setRunning(false);
    if (result.code == melo::PrepareCode::Ok) {
        emit converted(name);
        accept();
        return;
    }
    m_progress->setValue(0);
    m_progress->setVisible(false);
    showStatus(QString::fromStdString(result.message), result.code != melo::PrepareCode::Cancelled);
}

void ConvertDialog::setRunning(bool running) {
    for (QWidget* w : std::initializer_list<QWidget*>{m_target, m_bits, m_dither, m_normalize, m_normalizeLevel,
                                                      m_loudness, m_loudnessLevel, m_trim, m_trimLevel, m_start}) {
        w->setEnabled(!running);
    }
    if (!running) {
        updateSettings();
    }
}

void ConvertDialog::showStatus(const QString& text, bool failure) {
    m_status->setText(text);
    m_status->setStyleSheet(failure ? "color: rgb(255, 0, 0);" : "");
}
