#include "tools/convert_dialog.h"

#include "gui/prompts.h"
#include "gui/qt_text.h"
#include "common/number_format.h"
#include "project/ini_file.h"
#include "project/project_path.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {

QDoubleSpinBox* levelBox(const char* name, double minimum, double value) {
    auto* box = new QDoubleSpinBox;
    box->setObjectName(name);
    box->setRange(minimum, 0.0);
    box->setDecimals(1);
    box->setSingleStep(0.5);
    box->setValue(value);
    box->setSuffix(" dBFS");
    return box;
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
    : QDialog(parent), m_prompts(prompts), m_input(input), m_projfiledir(projfiledir) {
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
    m_normalize = new QCheckBox("Pegel normalisieren auf");
    m_normalize->setObjectName("chk_normalize");
    m_normalizeLevel = levelBox("spin_normalize", melo::kMinNormalizeDb, melo::kDefaultNormalizeDb);
    m_trim = new QCheckBox("Stille am Anfang und Ende entfernen unter");
    m_trim->setObjectName("chk_trim");
    m_trimLevel = levelBox("spin_trim", melo::kMinTrimDb, melo::kDefaultTrimDb);
    m_progress = new QProgressBar;
    m_progress->setObjectName("progress");
    m_progress->setRange(0, 1000);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
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
    form->addRow("Format:", new QLabel(QString::fromStdString(info.format)));
    form->addRow("Abtastrate:", new QLabel(QString::number(info.rate) + " Hz"));
    form->addRow("Kanäle:", new QLabel(QString::number(info.channels)));
    form->addRow("Dauer:",
                 new QLabel(info.frames < 0 ? QString("unbekannt")
                                            : QString::fromStdString(melo::play_time_text(
                                                  static_cast<double>(info.frames) / info.rate))));
    form->addRow("Ergebnis:",
                 new QLabel(QString::number(melo::kTargetFreq) + " Hz, 1 Kanal, 16 bit"));
    form->addRow("Zieldatei im Projektordner:", m_target);
    form->addRow(m_normalize, m_normalizeLevel);
    form->addRow(m_trim, m_trimLevel);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_start);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);
    layout->addLayout(buttons);

    connect(m_start, &QPushButton::clicked, this, &ConvertDialog::start);
    connect(m_cancel, &QPushButton::clicked, this, &ConvertDialog::reject);
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

    melo::PrepareOptions options;
    if (m_normalize->isChecked()) {
        options.normalize_db = m_normalizeLevel->value();
    }
    if (m_trim->isChecked()) {
        options.trim_db = m_trimLevel->value();
    }
    m_preparation = std::make_unique<melo::SoundPreparation>();
    m_progress->setValue(0);
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
    showStatus(QString::fromStdString(result.message), result.code != melo::PrepareCode::Cancelled);
}

void ConvertDialog::setRunning(bool running) {
    for (QWidget* w : std::initializer_list<QWidget*>{m_target, m_normalize, m_normalizeLevel,
                                                      m_trim, m_trimLevel, m_start}) {
        w->setEnabled(!running);
    }
}

void ConvertDialog::showStatus(const QString& text, bool failure) {
    m_status->setText(text);
    m_status->setStyleSheet(failure ? "color: rgb(255, 0, 0);" : "");
}
