#include "tools/loop_workshop.h"

#include "gui/background_task.h"
#include "gui/prompts.h"
#include "gui/qt_text.h"
#include "gui/status_line.h"
#include "tools/flash_budget.h"
#include "tools/held_listening.h"
#include "tools/listen_playback.h"
#include "tools/loop_candidate_model.h"
#include "tools/prepare_options_box.h"
#include "tools/waveform_view.h"

#include <QCheckBox>
#include <QCloseEvent>
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
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

namespace {

const QString kParts = "Die drei Teile (%1) passen";

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

QPushButton* button(const QString& text, const char* name, const QString& tip = {}) {
    auto* b = new QPushButton(text);
    b->setObjectName(name);
    b->setToolTip(tip);
    return b;
}

QLabel* wrappingLabel(const char* name) {
    auto* label = new QLabel;
    label->setObjectName(name);
    label->setWordWrap(true);
    return label;
}

} // namespace

LoopWorkshop::LoopWorkshop(Prompts& prompts, ListenPlayback& player, const QString& recording,
                           const QString& projfiledir, const QString& stem, const QString& context,
                           QWidget* parent)
    : QWidget(parent, Qt::Window), m_prompts(prompts), m_recording(recording),
      m_projfiledir(projfiledir), m_session(decimal_separator()), m_task(new BackgroundTask(this)),
      m_model(new LoopCandidateModel(m_session, this)) {
    setObjectName("LoopWerkstatt");
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, parent == nullptr);
    setWindowTitle("Loop-Werkstatt – " + (context.isEmpty() ? QString() : context + " – ") +
                   QFileInfo(recording).fileName());
    resize(1100, 640);

    createControls(stem);
    auto* top = new QHBoxLayout;
    top->addLayout(waveformColumn(), 3);
    top->addLayout(sidePanel(), 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(m_budget);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);
    layout->addLayout(bottomRow());

    // The space bar plays wherever the focus is, but in the name field.
    for (QWidget* w : findChildren<QWidget*>()) {
        if (qobject_cast<QLineEdit*>(w) == nullptr) {
            w->installEventFilter(this);
        }
    }
    setUpListening(player);
    connectControls();
    showLoop();
    prepareRecording();
    m_view->setFocus();
}

LoopWorkshop::~LoopWorkshop() {
    delete m_task; // stops and waits for running work before the widgets it reports to go
}

void LoopWorkshop::createControls(const QString& stem) {
    m_view = new WaveformView;
    m_seamText = new QLabel;
    m_seam = new SeamView;
    m_loopText = wrappingLabel("lbl_loop");
    m_list = new QTableView;
    m_list->setObjectName("lst_candidates");
    m_list->setModel(m_model);
    m_list->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_list->verticalHeader()->setVisible(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_minLength = spinBox("spin_minlength", 0.01, 600.0, melo::kDefaultMinLoopSeconds, 2, " s");
    m_crossfade = spinBox("spin_crossfade", 0.0, melo::kMaxCrossfadeMs, 0.0, 0, " ms");
    m_crossfade->setToolTip("Blendet das Ende des Loops in das Material vor seinem Anfang über");
    m_optionsBox = new PrepareOptionsBox;
    m_prepare = button("Neu vorbereiten", "cmd_prepare");
    m_search = button("Loop suchen", "cmd_search");
    m_snap = button("Einrasten", "cmd_snap",
                    "Verschiebt beide Loop-Marker um höchstens 5 ms an die beste Naht");
    m_module = new QCheckBox("wie im Modul");
    m_module->setObjectName("chk_module");
    m_module->setToolTip("Spielt die 8-Bit-Samples mit 13021 Hz, wie das Modul sie spielt");
    m_module->setFocusPolicy(Qt::NoFocus);
    m_stem = new QLineEdit(stem);
    m_stem->setObjectName("txt_stem");
    m_stem->setToolTip(QDir::toNativeSeparators(m_projfiledir));
    m_accept = button("Übernehmen", "cmd_accept");
    m_cancel = button("Schließen", "cmd_cancel");
    m_progress = new QProgressBar;
    m_progress->setObjectName("progress");
    m_progress->setRange(0, 1000);
    m_progress->setTextVisible(false);
    m_status = wrappingLabel("lbl_status");
    m_budget = wrappingLabel("lbl_budget");
    m_budget->setVisible(false);
}

QLayout* LoopWorkshop::sidePanel() {
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
    return side;
}

QLayout* LoopWorkshop::waveformColumn() {
    auto* column = new QVBoxLayout;
    column->addWidget(m_view, 3);
    column->addWidget(m_seamText);
    column->addWidget(m_seam, 1);
    auto* hint = new QLabel("Leertaste halten: Anfang, Loop (wiederholt), Ende &middot; Marker "
                            "ziehen: Bereich und Loop &middot; Mausrad, + - 0: Zoom &middot; Esc: "
                            "Schließen");
    hint->setTextFormat(Qt::RichText);
    hint->setWordWrap(true);
    column->addWidget(hint);
    return column;
}

QLayout* LoopWorkshop::bottomRow() {
    auto* row = new QHBoxLayout;
    row->addWidget(m_module);
    row->addStretch();
    row->addWidget(new QLabel("Name der Teile:"));
    row->addWidget(m_stem);
    row->addWidget(m_accept);
    row->addWidget(m_cancel);
    return row;
}

void LoopWorkshop::connectControls() {
    connect(m_task, &BackgroundTask::progressChanged, m_progress, &QProgressBar::setValue);
    connect(m_task, &BackgroundTask::runningChanged, this, &LoopWorkshop::setRunning);
    connect(m_task, &BackgroundTask::failed, this,
            [this](const QString& message) { show_status(m_status, message, true); });
    connect(m_view, &WaveformView::markerMoved, this, &LoopWorkshop::markerMoved);
    connect(m_list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { choose(current.row()); });
    connect(m_crossfade, &QDoubleSpinBox::valueChanged, this, [this](double ms) {
        m_session.set_crossfade_ms(ms);
        showLoop();
    });
    connect(m_minLength, &QDoubleSpinBox::valueChanged, this,
            [this](double seconds) { m_session.set_min_seconds(seconds); });
    connect(m_prepare, &QPushButton::clicked, this, &LoopWorkshop::prepareRecording);
    connect(m_search, &QPushButton::clicked, this, &LoopWorkshop::search);
    connect(m_snap, &QPushButton::clicked, this, [this] {
        m_session.snap();
        showLoop();
    });
    connect(m_accept, &QPushButton::clicked, this, &LoopWorkshop::accept);
    connect(m_cancel, &QPushButton::clicked, this, &LoopWorkshop::cancelOrClose);
}

void LoopWorkshop::setUpListening(ListenPlayback& player) {
    const auto sources = [this] {
        std::array<ListenSource, 3> parts;
        const std::array<melo::PcmSound, 3> sounds = m_session.part_sounds(m_module->isChecked());
        for (std::size_t p = 0; p < parts.size(); ++p) {
            if (!sounds[p].data.empty()) {
                parts[p] = sounds[p];
            }
        }
        return parts;
    };
    const auto heard = [this](const HeardPosition* position) {
        if (position == nullptr) {
            m_view->setPlayPosition(-1);
        } else if (position->state == HeardPosition::Playing && position->part >= 1 &&
                   position->length > 0) {
            // The share of the part heard, laid over that part of the recording.
            const melo::LoopCandidate& loop = m_session.loop();
            const std::array<std::int64_t, 4> bounds = {0, loop.a, loop.b, m_session.length()};
            const auto p = static_cast<std::size_t>(position->part - 1);
            const double share =
                static_cast<double>(position->cursor) / static_cast<double>(position->length);
            m_view->setPlayPosition(static_cast<double>(bounds[p]) +
                                    share * static_cast<double>(bounds[p + 1] - bounds[p]));
        }
    };
    m_listening = new HeldListening(player, this, sources, heard);
}

bool LoopWorkshop::running() const {
    return m_task->running();
}

void LoopWorkshop::setFreeSamples(std::function<std::int64_t()> freeSamples) {
    m_freeSamples = std::move(freeSamples);
    showBudget();
}

void LoopWorkshop::showBudget() {
    if (m_freeSamples && m_session.prepared()) {
        show_flash_budget(m_budget, kParts, m_session.length(), m_freeSamples());
    }
}

void LoopWorkshop::setRunning(bool running) {
    for (QWidget* w : std::initializer_list<QWidget*>{m_optionsBox, m_prepare, m_minLength,
                                                      m_crossfade, m_list, m_view, m_stem}) {
        w->setEnabled(!running);
    }
    m_search->setEnabled(!running && m_session.prepared());
    m_snap->setEnabled(!running && m_session.has_loop());
    m_accept->setEnabled(!running && m_session.has_loop());
    m_cancel->setText(running ? "Abbrechen" : "Schließen");
    if (running) {
        m_progress->setValue(0);
    }
}

void LoopWorkshop::showSessionStatus() {
    show_status(m_status, q(m_session.status().text), m_session.status().failure);
}

void LoopWorkshop::cancelOrClose() {
    if (running()) {
        m_task->cancel();
        show_status(m_status, "Breche ab …", false);
        return;
    }
    close();
}

void LoopWorkshop::closeEvent(QCloseEvent* event) {
    m_task->cancel(); // the window goes; its destruction waits for the work to stop
    QWidget::closeEvent(event);
}

void LoopWorkshop::prepareRecording() {
    if (running()) {
        return;
    }
    show_status(m_status, "Bereite „" + QFileInfo(m_recording).fileName() + "“ vor …", false);
    m_task->start(
        [path = file_path(m_recording),
         options = m_optionsBox->options()](melo::ProgressObserver& observer) {
            return melo::prepare_recording(path, options, observer);
        },
        [this](melo::PreparedRecording recording) { recordingPrepared(std::move(recording)); });
}

void LoopWorkshop::recordingPrepared(melo::PreparedRecording recording) {
    if (!m_session.take_recording(std::move(recording))) {
        showSessionStatus();
        return;
    }
    m_model->reload();
    m_view->setRow(&m_session.row());
    showBudget();
    showLoop();
    showSessionStatus();
    // The steady middle is searched at once; the user may then move the range.
    search();
}

void LoopWorkshop::search() {
    if (!m_session.prepared() || running()) {
        return;
    }
    show_status(m_status, "Suche Loops …", false);
    m_task->start(
        [search = m_session.search()](melo::ProgressObserver& observer) {
            return melo::run_loop_search(search, observer);
        },
        [this](const melo::LoopResult& result) { searched(result); });
}

void LoopWorkshop::searched(const melo::LoopResult& result) {
    m_session.take_search(result);
    m_model->reload();
    showLoop();
    showSessionStatus();
    bringLoopIntoView();
}

void LoopWorkshop::choose(int index) {
    if (index < 0 || index == m_session.chosen()) {
        return;
    }
    m_session.choose(index);
    showLoop();
    bringLoopIntoView();
}

void LoopWorkshop::markerMoved(int index, double position) {
    m_session.move_marker(index, static_cast<std::int64_t>(position));
    showLoop();
}

void LoopWorkshop::showLoop() {
    const melo::LoopSession& s = m_session;
    m_loopText->setText(q(s.loop_text()));
    m_seam->setSeam(s.seam());
    m_seamText->setText(q(s.seam_text()));
    if (s.prepared()) {
        const QColor range(150, 60, 200);
        const QColor loop(0, 160, 60);
        m_view->setMarkers({{static_cast<double>(s.range().from), "Bereich ▸", range, true},
                            {static_cast<double>(s.range().to), "◂ Bereich", range, true},
                            {static_cast<double>(s.loop().a), "Loopanfang", loop, true},
                            {static_cast<double>(s.loop().b), "Loopende", loop, true}});
    }
    // The list marks the chosen candidate, and none when the loop is the user's; choose()
    // takes the change it reports for what it is.
    if (s.chosen() < 0) {
        m_list->selectionModel()->clear();
    } else {
        m_list->selectionModel()->setCurrentIndex(m_model->index(s.chosen(), 0),
                                                  QItemSelectionModel::ClearAndSelect |
                                                      QItemSelectionModel::Rows);
    }
    setRunning(running());
}

void LoopWorkshop::bringLoopIntoView() {
    const melo::LoopCandidate& c = m_session.loop();
    if (!m_session.has_loop()) {
        return;
    }
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

void LoopWorkshop::accept() {
    if (running() || !m_session.has_loop()) {
        return;
    }
    const std::string dir = file_path(m_projfiledir);
    const std::string stem = m_stem->text().trimmed().toStdString();
    std::optional<std::int64_t> freeSamples;
    if (m_freeSamples) {
        freeSamples = m_freeSamples();
    }
    const melo::WriteCheck check = m_session.check_write(dir, stem, freeSamples);
    if (!check.problem.empty()) {
        show_status(m_status, q(check.problem), true);
        return;
    }
    if (!check.doubt.empty() &&
        m_prompts.askYesNo("Kein sauberer Loop", q(check.doubt) + "\nTrotzdem übernehmen?") ==
            Prompts::Answer::No) {
        return;
    }
    if (freeSamples) {
        show_flash_budget(m_budget, kParts, check.samples, *freeSamples);
        if (!confirm_flash_budget(m_prompts, kParts, check.samples, *freeSamples, "übernehmen")) {
            return;
        }
    }
    if (!check.differing.empty()) {
        QStringList names;
        for (const std::string& n : check.differing) {
            names << "„" + q(n) + "“";
        }
        if (m_prompts.askYesNo("Dateien ersetzen", "Im Projektordner gibt es schon " +
                                                       names.join(", ") + ".\nErsetzen?") ==
            Prompts::Answer::No) {
            return;
        }
    }
    show_status(m_status, "Schreibe die Teile …", false);
    m_task->start(
        [job = m_session.parts_to_write(dir, stem)](melo::ProgressObserver& observer) {
            return melo::write_parts(job, observer);
        },
        [this](const melo::FolderWrite& result) { written(result); });
}

void LoopWorkshop::written(const melo::FolderWrite& result) {
    m_session.take_written(result);
    showSessionStatus();
    if (result.outcome == melo::FolderOutcome::written && result.names.size() == 3) {
        m_progress->setValue(1000);
        emit partsWritten(q(result.names[0]), q(result.names[1]), q(result.names[2]));
    }
}

void LoopWorkshop::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space) {
        if (m_session.has_loop()) {
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
