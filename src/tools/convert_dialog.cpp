#include "tools/convert_dialog.h"

#include "common/module_constants.h"
#include "common/number_format.h"
#include "gui/prompts.h"
#include "gui/qt_text.h"
#include "project/file_choice.h"
#include "project/project_folder.h"
#include "tools/flash_budget.h"
#include "tools/progress_relay.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <cmath>

namespace {

const QString kResult = "Das Ergebnis (%1) passt";

} // namespace

ConvertDialog::ConvertDialog(Prompts& prompts, const QString& input, const melo::SourceInfo& info,
                             const QString& projfiledir, QWidget* parent)
    : QDialog(parent), m_prompts(prompts), m_input(input), m_projfiledir(projfiledir),
      m_info(info) {
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
    m_options = new PrepareOptionsBox;
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
    form->addRow("Zieldatei im Projektordner:", m_target);
    auto* result =
        new QGroupBox("Ergebnis: " + QString::number(melo::kTargetFreq) + " Hz, 1 Kanal");
    (new QVBoxLayout(result))->addWidget(m_options);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_start);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(result);
    layout->addWidget(m_budget);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);
    layout->addLayout(buttons);

    connect(m_start, &QPushButton::clicked, this, &ConvertDialog::start);
    connect(m_cancel, &QPushButton::clicked, this, &ConvertDialog::reject);
}

void ConvertDialog::setFreeSamples(std::int64_t samples) {
    m_free = samples;
    show_flash_budget(m_budget, kResult, expectedSamples(), samples);
}

std::int64_t ConvertDialog::expectedSamples() const {
    if (m_info.frames < 0 || m_info.rate <= 0) {
        return -1;
    }
    return static_cast<std::int64_t>(
        std::ceil(static_cast<double>(m_info.frames) * melo::kTargetFreq / m_info.rate));
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
    if (const std::string bad = melo::new_file_name_problem(file_path(name)); !bad.empty()) {
        showStatus(q(bad), true);
        return;
    }
    if (QFileInfo(name).suffix().isEmpty()) {
        name += ".wav";
    }
    m_target->setText(name);
    // The file the project will read for this name: a namesake differing only in case is
    // replaced rather than joined, and a link leading out of the folder is not written through.
    const melo::FolderTarget target =
        melo::folder_target(file_path(m_projfiledir), file_path(name));
    if (!target.problem.empty()) {
        showStatus(q(target.problem), true);
        return;
    }
    const QString output = q_path(target.path);
    name = q_path(target.name); // the project names the file as it is spelt
    const bool replacesInput =
        QFileInfo(output).canonicalFilePath() == QFileInfo(m_input).canonicalFilePath();
    if (QFileInfo::exists(output) && !replacesInput &&
        m_prompts.askYesNo("Datei ersetzen", "Im Projektordner gibt es schon „" + name +
                                                 "“.\nErsetzen?") == Prompts::Answer::No) {
        return;
    }

    // Trimming may still make it fit; the user decides.
    if (m_free && !m_options->trim()->isChecked() &&
        !confirm_flash_budget(m_prompts, kResult, expectedSamples(), *m_free, "umwandeln")) {
        return;
    }

    const melo::PrepareOptions options = m_options->options();
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
    for (QWidget* w : std::initializer_list<QWidget*>{m_target, m_options, m_start}) {
        w->setEnabled(!running);
    }
}

void ConvertDialog::showStatus(const QString& text, bool failure) {
    m_status->setText(text);
    m_status->setStyleSheet(failure ? "color: rgb(255, 0, 0);" : "");
}
