#include "tools/loop_workshop.h"

#include "common/number_format.h"
#include "gui/prompts.h"
#include "gui/qt_text.h"
#include "project/file_choice.h"
#include "tools/flash_budget.h"
#include "tools/held_listening.h"
#include "tools/listen_playback.h"
#include "tools/prepare_options_box.h"
#include "tools/progress_relay.h"
#include "tools/waveform_view.h"
#include "wav/byte_source.h"
#include "wav/wav_decoder.h"
#include "wav/wav_writer.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>
#include <span>

namespace {

QDoubleSpinBox* spinBox(const char* name, double minimum, double maximum, double value,
                        int decimals, const QString& suffix) {
    auto* box = new QDoubleSpinBox;
    box->setObjectName(name);
    box->setRange(minimum, maximum);
    box->setDecimals(decimals);
    box->setValue(value);
    box->setSuffix(suffix);
    return box;
}

melo::PcmSound pcm(int bits, std::string frames) {
    return melo::PcmSound{1, melo::kTargetFreq, bits, bits / 8, std::move(frames)};
}

// The 8-bit samples the image gets of a part written with `bits`: an 8-bit part's samples
// as they are; a 16-bit part's through the decoder (whose buffer `sound` is kept between
// calls), which drops the low byte.
std::string module_samples(int bits, std::span<const float> samples, melo::DecodedSound& sound) {
    std::string frames = melo::frames_of_signal(bits, samples);
    if (bits == 8 || frames.empty()) {
        return frames;
    }
    const std::string wav = melo::pcm_wav(melo::kTargetFreq, 1, bits, frames);
    melo::MemorySource source(wav);
    if (melo::decode_sound(source, "", true, sound) != melo::kDecodeOk || sound.wavend < 1) {
        return {};
    }
    const auto* first = sound.wavdata.data() + 1; // index 0 is unused
    return std::string(first, first + sound.wavend);
}

QString sampleText(std::int64_t samples) {
    return seconds_text(static_cast<double>(samples) / melo::kTargetFreq) + " (" +
           QString::number(samples) + ")";
}

const QString kParts = "Die drei Teile (%1) passen";

QString decimalText(double value, int decimals) {
    return q(melo::format_fixed(value, decimals, decimal_separator()));
}

} // namespace

LoopWorkshop::LoopWorkshop(Prompts& prompts, ListenPlayback& player, const QString& recording,
                           const QString& projfiledir, const QString& stem, QWidget* parent)
    : QWidget(parent, Qt::Window), m_prompts(prompts), m_recording(recording),
      m_projfiledir(projfiledir) {
    setObjectName("LoopWerkstatt");
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, parent == nullptr);
    setWindowTitle("Loop-Werkstatt – " + QFileInfo(recording).fileName());
    resize(1100, 640);

    m_view = new WaveformView(this);
    m_seamText = new QLabel(this);
    m_seam = new SeamView(this);
    m_loopText = new QLabel(this);
    m_loopText->setObjectName("lbl_loop");
    m_loopText->setWordWrap(true);

    m_list = new QTableWidget(0, 3, this);
    m_list->setObjectName("lst_candidates");
    m_list->setHorizontalHeaderLabels({"Score", "Länge", "Sprung"});
    m_list->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_list->verticalHeader()->setVisible(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_minLength = spinBox("spin_minlength", 0.01, 600.0, melo::kDefaultMinLoopSeconds, 2, " s");
    m_crossfade = spinBox("spin_crossfade", 0.0, melo::kMaxCrossfadeMs, 0.0, 0, " ms");
    m_crossfade->setToolTip("Blendet das Ende des Loops in das Material vor seinem Anfang über");
    m_optionsBox = new PrepareOptionsBox;
    m_prepare = new QPushButton("Neu vorbereiten");
    m_prepare->setObjectName("cmd_prepare");
    m_search = new QPushButton("Loop suchen");
    m_search->setObjectName("cmd_search");
    m_snap = new QPushButton("Einrasten");
    m_snap->setObjectName("cmd_snap");
    m_snap->setToolTip("Verschiebt beide Loop-Marker um höchstens 5 ms an die beste Naht");
    m_module = new QCheckBox("wie im Modul");
    m_module->setObjectName("chk_module");
    m_module->setToolTip("Spielt die 8-Bit-Samples mit 13021 Hz, wie das Modul sie spielt");
    m_stem = new QLineEdit(stem);
    m_stem->setObjectName("txt_stem");
    m_stem->setToolTip(QDir::toNativeSeparators(projfiledir));
    m_accept = new QPushButton("Übernehmen");
    m_accept->setObjectName("cmd_accept");
    m_cancel = new QPushButton("Schließen");
    m_cancel->setObjectName("cmd_cancel");
    m_progress = new QProgressBar;
    m_progress->setObjectName("progress");
    m_progress->setRange(0, 1000);
    m_progress->setTextVisible(false);
    m_status = new QLabel;
    m_status->setObjectName("lbl_status");
    m_status->setWordWrap(true);
    m_budget = new QLabel;
    m_budget->setObjectName("lbl_budget");
    m_budget->setWordWrap(true);
    m_budget->setVisible(false);

    auto* preparation = new QGroupBox("Vorbereitung: 13021 Hz, 1 Kanal");
    auto* prepForm = new QFormLayout(preparation);
    prepForm->addRow(m_optionsBox);
    prepForm->addRow(m_prepare);
    auto* loopBox = new QGroupBox("Loop");
    auto* loopForm = new QFormLayout(loopBox);
    loopForm->addRow("Kürzester Loop:", m_minLength);
    loopForm->addRow("Überblendung:", m_crossfade);
    auto* loopButtons = new QHBoxLayout;
    loopButtons->addWidget(m_search, 1);
    loopButtons->addWidget(m_snap);
    loopForm->addRow(loopButtons);
    loopForm->addRow(m_list);
    loopForm->addRow(m_loopText);
    auto* side = new QVBoxLayout;
    side->addWidget(preparation);
    side->addWidget(loopBox, 1);

    auto* left = new QVBoxLayout;
    left->addWidget(m_view, 3);
    left->addWidget(m_seamText);
    left->addWidget(m_seam, 1);
    auto* hint = new QLabel("Leertaste halten: Anfang, Loop (wiederholt), Ende &middot; Marker "
                            "ziehen: Bereich und Loop &middot; Mausrad, + - 0: Zoom &middot; Esc: "
                            "Schließen");
    hint->setTextFormat(Qt::RichText);
    hint->setWordWrap(true);
    left->addWidget(hint);

    auto* top = new QHBoxLayout;
    top->addLayout(left, 3);
    top->addLayout(side, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_module);
    bottom->addStretch();
    bottom->addWidget(new QLabel("Name der Teile:"));
    bottom->addWidget(m_stem);
    bottom->addWidget(m_accept);
    bottom->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(m_budget);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);
    layout->addLayout(bottom);

    // The space bar plays wherever the focus is, but in the name field.
    for (QWidget* w : findChildren<QWidget*>()) {
        if (qobject_cast<QLineEdit*>(w) == nullptr) {
            w->installEventFilter(this);
        }
    }
    m_module->setFocusPolicy(Qt::NoFocus);
    m_listening = new HeldListening(
        player, this,
        [this] {
            std::array<ListenSource, 3> sources;
            const std::array<melo::PcmSound, 3> sounds = partSounds();
            for (std::size_t p = 0; p < sources.size(); ++p) {
                if (!sounds[p].data.empty()) {
                    sources[p] = sounds[p];
                }
            }
            return sources;
        },
        [this](const HeardPosition* heard) {
            if (heard == nullptr) {
                m_view->setPlayPosition(-1);
            } else if (heard->state == HeardPosition::Playing && heard->part >= 1 &&
                       heard->length > 0) {
                // The share of the part heard, laid over that part of the recording.
                const std::array<std::int64_t, 4> bounds = {
                    0, m_loop.a, m_loop.b, static_cast<std::int64_t>(m_signal.size())};
                const auto p = static_cast<std::size_t>(heard->part - 1);
                const double share =
                    static_cast<double>(heard->cursor) / static_cast<double>(heard->length);
                m_view->setPlayPosition(static_cast<double>(bounds[p]) +
                                        share * static_cast<double>(bounds[p + 1] - bounds[p]));
            }
        });

    connect(m_view, &WaveformView::markerMoved, this, &LoopWorkshop::markerMoved);
    connect(m_list, &QTableWidget::currentCellChanged, this, [this](int row) { choose(row); });
    connect(m_crossfade, &QDoubleSpinBox::valueChanged, this, [this] {
        if (prepared()) {
            showLoop(melo::evaluate_loop(m_signal, m_loop.a, m_loop.b, crossfadeSamples(),
                                         melo::kTargetFreq));
        }
    });
    connect(m_prepare, &QPushButton::clicked, this, &LoopWorkshop::prepareRecording);
    connect(m_search, &QPushButton::clicked, this, &LoopWorkshop::search);
    connect(m_snap, &QPushButton::clicked, this, &LoopWorkshop::snap);
    connect(m_accept, &QPushButton::clicked, this, &LoopWorkshop::accept);
    connect(m_cancel, &QPushButton::clicked, this, &LoopWorkshop::cancelOrClose);
    showRecording();
    prepareRecording();
    m_view->setFocus();
}

LoopWorkshop::~LoopWorkshop() {
    if (m_thread != nullptr) {
        m_preparation.cancel();
        m_finder.cancel();
        m_thread->wait();
        delete m_thread;
    }
}

void LoopWorkshop::run(const QString& text, std::function<void()> work,
                       std::function<void()> done) {
    m_progress->setValue(0);
    showStatus(text, false);
    setRunning(true);
    m_thread = QThread::create([this, work = std::move(work), done = std::move(done)] {
        work();
        QMetaObject::invokeMethod(
            this, [this, done] { finished(done); }, Qt::QueuedConnection);
    });
    m_thread->start();
}

void LoopWorkshop::finished(const std::function<void()>& done) {
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    setRunning(false);
    done();
}

void LoopWorkshop::setRunning(bool running) {
    for (QWidget* w : std::initializer_list<QWidget*>{m_optionsBox, m_prepare, m_minLength,
                                                      m_crossfade, m_list, m_view, m_stem}) {
        w->setEnabled(!running);
    }
    m_search->setEnabled(!running && prepared());
    m_snap->setEnabled(!running && prepared() && m_loop.b > m_loop.a);
    m_accept->setEnabled(!running && prepared() && m_loop.b > m_loop.a);
    m_cancel->setText(running ? "Abbrechen" : "Schließen");
}

void LoopWorkshop::showStatus(const QString& text, bool failure) {
    m_status->setText(text);
    m_status->setStyleSheet(failure ? "color: rgb(255, 0, 0);" : "");
}

void LoopWorkshop::setFreeSamples(std::function<std::int64_t()> freeSamples) {
    m_freeSamples = std::move(freeSamples);
    showBudget();
}

void LoopWorkshop::showBudget() {
    if (m_freeSamples && prepared()) {
        show_flash_budget(m_budget, kParts, static_cast<std::int64_t>(m_signal.size()),
                          m_freeSamples());
    }
}

void LoopWorkshop::cancelOrClose() {
    if (running()) {
        m_preparation.cancel();
        m_finder.cancel();
        m_cancelWrite.store(true);
        showStatus("Breche ab …", false);
        return;
    }
    close();
}

void LoopWorkshop::prepareRecording() {
    if (running()) {
        return;
    }
    const melo::PrepareOptions options = m_optionsBox->options();
    m_options = options;
    run(
        "Bereite „" + QFileInfo(m_recording).fileName() + "“ vor …",
        [this, input = file_path(m_recording), options] {
            ProgressRelay relay(m_progress);
            m_sound = melo::PreparedSound();
            m_prepareResult = m_preparation.prepare(input, options, relay, m_sound);
        },
        [this] {
            if (m_prepareResult.code != melo::PrepareCode::Ok) {
                showStatus(q(m_prepareResult.message),
                           m_prepareResult.code != melo::PrepareCode::Cancelled);
                setRunning(false);
                return;
            }
            m_bits = m_sound.bits;
            m_signal = melo::signal_of_frames(m_sound.bits, m_sound.frames);
            m_sound.frames.clear();
            m_candidates.clear();
            m_range = melo::steady_range(m_signal, melo::kTargetFreq);
            m_loop = melo::evaluate_loop(m_signal, m_range.from, m_range.to, crossfadeSamples(),
                                         melo::kTargetFreq);
            showRecording();
            // The steady middle is searched at once; the user may then move the range.
            search();
        });
}

void LoopWorkshop::search() {
    if (running() || !prepared()) {
        return;
    }
    melo::LoopSettings settings;
    settings.range = m_range;
    settings.min_seconds = m_minLength->value();
    settings.crossfade_ms = m_crossfade->value();
    settings.decimal_separator = decimal_separator();
    run(
        "Suche Loops …",
        [this, settings] {
            ProgressRelay relay(m_progress);
            m_loopResult = m_finder.find(m_signal, settings, relay);
        },
        [this] {
            const melo::LoopResult& result = m_loopResult;
            if (result.code != melo::LoopCode::Ok && result.code != melo::LoopCode::NoRepetition) {
                showStatus(q(result.message), result.code != melo::LoopCode::Cancelled);
                return;
            }
            m_candidates = result.candidates;
            m_list->blockSignals(true);
            m_list->setRowCount(static_cast<int>(m_candidates.size()));
            for (int i = 0; i < m_list->rowCount(); ++i) {
                const melo::LoopCandidate& c = m_candidates[static_cast<std::size_t>(i)];
                const std::array<QString, 3> cells = {
                    decimalText(c.score, 3),
                    seconds_text(static_cast<double>(c.length()) / melo::kTargetFreq),
                    decimalText(c.seam.step, 1)};
                for (int column = 0; column < 3; ++column) {
                    auto* item = new QTableWidgetItem(cells[static_cast<std::size_t>(column)]);
                    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                    item->setToolTip(loopDescription(c));
                    m_list->setItem(i, column, item);
                }
            }
            if (!m_candidates.empty()) {
                m_list->setCurrentCell(0, 0); // chosen below, even when it was current before
            }
            m_list->blockSignals(false);
            choose(0);
            showStatus(q(melo::describe_result(m_prepareResult, m_options)) + "\n" +
                           (result.code == melo::LoopCode::Ok
                                ? QString("%1 Loops gefunden; der beste ist gewählt.")
                                      .arg(m_candidates.size())
                                : q(result.message)),
                       result.code != melo::LoopCode::Ok);
        });
}

void LoopWorkshop::choose(int index) {
    if (index < 0 || index >= static_cast<int>(m_candidates.size())) {
        return;
    }
    const melo::LoopCandidate& c = m_candidates[static_cast<std::size_t>(index)];
    showLoop(melo::evaluate_loop(m_signal, c.a, c.b, crossfadeSamples(), melo::kTargetFreq));
    // Both points into view, with some of the recording either side.
    const double margin = static_cast<double>(c.length()) * 0.1;
    const double wanted = static_cast<double>(c.length()) + 2 * margin;
    const double visible = m_view->samplesPerPixel() * m_view->areas().wave.width();
    if (visible > 0 && (wanted > visible || c.a < m_view->viewport().first() ||
                        static_cast<double>(c.b) > m_view->viewport().first() + visible)) {
        m_view->zoom(std::max(wanted, 1.0) / visible, m_view->areas().wave.left());
        m_view->scrollBy((static_cast<double>(c.a) - margin - m_view->viewport().first()) /
                         m_view->samplesPerPixel());
    }
}

void LoopWorkshop::snap() {
    if (running() || !prepared()) {
        return;
    }
    showLoop(melo::snap_loop(m_signal, m_loop.a, m_loop.b, melo::kLoopSnapMs, crossfadeSamples(),
                             melo::kTargetFreq));
    clearChoice();
}

void LoopWorkshop::clearChoice() {
    m_list->blockSignals(true);
    m_list->clearSelection();
    m_list->setCurrentCell(-1, -1);
    m_list->blockSignals(false);
}

void LoopWorkshop::markerMoved(int index, double position) {
    const auto at = static_cast<std::int64_t>(position);
    const auto length = static_cast<std::int64_t>(m_signal.size());
    switch (index) {
    case kRangeFrom:
        m_range.from = std::clamp<std::int64_t>(at, 0, m_range.to - 1);
        break;
    case kRangeTo:
        m_range.to = std::clamp<std::int64_t>(at, m_range.from + 1, length);
        break;
    case kLoopStart:
        showLoop(melo::evaluate_loop(m_signal, std::clamp<std::int64_t>(at, 0, m_loop.b - 1),
                                     m_loop.b, crossfadeSamples(), melo::kTargetFreq));
        break;
    case kLoopEnd:
        showLoop(melo::evaluate_loop(m_signal, m_loop.a,
                                     std::clamp<std::int64_t>(at, m_loop.a + 1, length),
                                     crossfadeSamples(), melo::kTargetFreq));
        break;
    default:
        return;
    }
    if (index == kLoopStart || index == kLoopEnd) {
        clearChoice(); // the loop is the user's now
    }
    updateMarkers();
}

void LoopWorkshop::showRecording() {
    melo::WaveformPart recording;
    recording.title = "Aufnahme";
    recording.name = QFileInfo(m_recording).fileName().toStdString();
    const std::string bytes = module_samples(m_bits, m_signal, m_decoded);
    recording.samples.assign(bytes.begin(), bytes.end());
    recording.summary = melo::MinMaxSummary(recording.samples);
    m_row = melo::WaveformRow();
    m_row.title = recording.name;
    m_row.parts[0] = std::move(recording);
    m_view->setRow(&m_row);
    showLoop(m_loop);
    showBudget();
    setRunning(running());
}

void LoopWorkshop::showLoop(const melo::LoopCandidate& loop) {
    m_loop = loop;
    m_loopText->setText(loopDescription(loop));
    // The seam as the image will play it: the loop's last and first samples.
    const melo::LoopParts cut = parts();
    constexpr std::ptrdiff_t width = 64;
    std::vector<float> ends = cut.loop;
    if (cut.loop.size() > 2 * width) {
        ends.assign(cut.loop.begin(), cut.loop.begin() + width);
        ends.insert(ends.end(), cut.loop.end() - width, cut.loop.end());
    }
    melo::WaveformPart part;
    const std::string bytes = module_samples(m_bits, ends, m_decoded);
    part.samples.assign(bytes.begin(), bytes.end());
    m_seam->setSeam(melo::loop_seam(part));
    const melo::SeamCloseUp& seam = m_seam->seam();
    m_seamText->setText(seam.before.empty()
                            ? QString("Nahtstelle Loop: kein Loop")
                            : QString("Nahtstelle Loop → Loop (8 Bit): Sprung %1%2 (%3 → %4)")
                                  .arg(seam.step > 0 ? "+" : "")
                                  .arg(seam.step)
                                  .arg(seam.before.back())
                                  .arg(seam.after.front()));
    updateMarkers();
    setRunning(running());
}

QString LoopWorkshop::loopDescription(const melo::LoopCandidate& loop) const {
    if (loop.b <= loop.a) {
        return "Kein Loop gewählt.";
    }
    const melo::SeamFigures& s = loop.seam;
    return QString("Loop %1 bis %2, Länge %3\nScore %4, Sprung %5 (typisch %6, 95 %: %7), "
                   "Korrelation %8, Pegel %9 dB")
        .arg(sampleText(loop.a), sampleText(loop.b), sampleText(loop.length()),
             decimalText(loop.score, 3), decimalText(s.step, 1), decimalText(s.typical_step, 1),
             decimalText(s.step_p95, 1), decimalText(s.correlation, 4), decimalText(s.level_db, 1));
}

void LoopWorkshop::updateMarkers() {
    if (!prepared()) {
        m_view->setMarkers({});
        return;
    }
    const QColor range(150, 60, 200);
    const QColor loop(0, 160, 60);
    m_view->setMarkers({{static_cast<double>(m_range.from), "Bereich ▸", range, true},
                        {static_cast<double>(m_range.to), "◂ Bereich", range, true},
                        {static_cast<double>(m_loop.a), "Loopanfang", loop, true},
                        {static_cast<double>(m_loop.b), "Loopende", loop, true}});
}

std::int64_t LoopWorkshop::crossfadeSamples() const {
    return melo::crossfade_samples(m_crossfade->value(), melo::kTargetFreq);
}

melo::LoopParts LoopWorkshop::parts() const {
    return melo::cut_loop(m_signal, m_loop.a, m_loop.b,
                          melo::usable_crossfade(m_loop.a, m_loop.b, crossfadeSamples()));
}

std::array<melo::PcmSound, 3> LoopWorkshop::partSounds() const {
    const melo::LoopParts cut = parts();
    std::array<melo::PcmSound, 3> sounds;
    std::size_t p = 0;
    for (const std::vector<float>* part : {&cut.start, &cut.loop, &cut.end}) {
        // "wie im Modul": the 8-bit samples the image will hold; else the parts as written.
        sounds[p++] = m_module->isChecked() ? pcm(8, module_samples(m_bits, *part, m_decoded))
                                            : pcm(m_bits, melo::frames_of_signal(m_bits, *part));
    }
    return sounds;
}

void LoopWorkshop::accept() {
    if (running() || !prepared() || m_loop.b <= m_loop.a) {
        return;
    }
    const QString stem = m_stem->text().trimmed();
    if (const std::string bad = melo::new_file_name_problem(stem.toStdString()); !bad.empty()) {
        showStatus(q(bad), true);
        return;
    }
    const std::string dir = file_path(m_projfiledir);
    const int bits = m_bits;
    const std::vector<melo::FolderFile> files =
        melo::loop_part_files(stem.toStdString(), parts(), melo::kTargetFreq, bits);
    if (m_freeSamples) {
        const std::int64_t freeSamples = m_freeSamples();
        const auto samples = static_cast<std::int64_t>(m_signal.size());
        show_flash_budget(m_budget, kParts, samples, freeSamples);
        if (!confirm_flash_budget(m_prompts, kParts, samples, freeSamples, "übernehmen")) {
            return;
        }
    }
    const std::vector<std::string> differing = melo::differing_files(dir, files);
    if (!differing.empty()) {
        QStringList names;
        for (const std::string& n : differing) {
            names << "„" + q(n) + "“";
        }
        if (m_prompts.askYesNo("Dateien ersetzen", "Im Projektordner gibt es schon " +
                                                       names.join(", ") + ".\nErsetzen?") ==
            Prompts::Answer::No) {
            return;
        }
    }
    m_cancelWrite.store(false);
    run(
        "Schreibe die Teile …",
        [this, dir, files] {
            ProgressRelay relay(m_progress);
            m_written =
                melo::write_into_folder(dir, files, melo::Replace::allowed, &m_cancelWrite,
                                        [&relay](int permille) { relay.progress(permille); });
        },
        [this] {
            if (m_written.outcome != melo::FolderOutcome::written) {
                showStatus(q(m_written.error), m_written.outcome != melo::FolderOutcome::cancelled);
                return;
            }
            const std::vector<std::string>& names = m_written.names;
            QStringList written; // a part without samples has no file, and its field stays empty
            for (const std::string& name : names) {
                if (!name.empty()) {
                    written << q(name);
                }
            }
            m_progress->setValue(1000);
            showStatus("Geschrieben und zugewiesen: " + written.join(", "), false);
            emit partsWritten(q(names[0]), q(names[1]), q(names[2]));
        });
}

void LoopWorkshop::pressPlay() {
    if (prepared() && m_loop.b > m_loop.a) {
        m_listening->press();
    }
}

void LoopWorkshop::releasePlay() {
    m_listening->release();
}

void LoopWorkshop::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space) {
        if (prepared() && m_loop.b > m_loop.a) {
            m_listening->keyPress(event);
        }
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void LoopWorkshop::keyReleaseEvent(QKeyEvent* event) {
    if (!m_listening->keyRelease(event)) {
        QWidget::keyReleaseEvent(event);
    }
}

bool LoopWorkshop::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space) {
            if (event->type() == QEvent::KeyPress) {
                keyPressEvent(key);
            } else {
                keyReleaseEvent(key);
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
