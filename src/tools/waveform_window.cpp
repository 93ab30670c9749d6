#include "tools/waveform_window.h"

#include "common/atomic_file.h"
#include "common/number_format.h"
#include "flash/flash_image.h"
#include "flash/sound_budget.h"
#include "gui/qt_text.h"
#include "prepare/loudness.h"
#include "tools/listen_playback.h"
#include "tools/waveform_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QTabBar>
#include <QVBoxLayout>

namespace {

QString hex_text(std::int64_t value, int width) {
    return q(melo::hexx(static_cast<std::int32_t>(value), width));
}

} // namespace

WaveformWindow::WaveformWindow(ListenPlayback& player, std::vector<melo::WaveformRow> rows,
                               bool image, const QStringList& problems, QWidget* parent)
    : QWidget(parent, Qt::Window), m_rows(std::move(rows)), m_image(image) {
    setObjectName("Wellenform");
    setAttribute(Qt::WA_DeleteOnClose);
    // Beside a main window, that one's close ends the program, this one's does not.
    setAttribute(Qt::WA_QuitOnClose, parent == nullptr);
    resize(960, 480);
    measureLoudness();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buildHeader());
    auto* parts = new QHBoxLayout;
    for (QLabel*& label : m_partLabels) {
        label = new QLabel(this);
        label->setTextFormat(Qt::RichText);
        label->setWordWrap(true); // a narrow window wraps the lines rather than cutting them
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        parts->addWidget(label, 1);
    }
    layout->addLayout(parts);
    m_view = new WaveformView(this);
    layout->addWidget(m_view, 3);
    m_seamLabel = new QLabel(this);
    layout->addWidget(m_seamLabel);
    m_seam = new SeamView(this);
    layout->addWidget(m_seam, 1);
    layout->addLayout(buildBottom(problems));

    connect(m_tabs, &QTabBar::currentChanged, this, &WaveformWindow::showRow);
    m_listening = new HeldListening(
        player, this, [this] { return sources(); },
        [this](const HeardPosition* heard) { followPlayback(heard); });
    showRow(0);
    m_view->setFocus();
}

void WaveformWindow::measureLoudness() {
    for (const melo::WaveformRow& r : m_rows) {
        auto& loudness = m_loudness.emplace_back();
        for (std::size_t p = 0; p < loudness.size(); ++p) {
            loudness[p] = melo::module_loudness(r.parts[p].samples);
        }
        // The loop plays repeated: a short one is measured as it is heard, for three seconds.
        const std::vector<std::uint8_t>& loop = r.parts[1].samples;
        if (!loop.empty() && loop.size() < 3u * melo::kTargetFreq) {
            std::vector<std::uint8_t> repeated;
            while (repeated.size() < 3u * melo::kTargetFreq) {
                repeated.insert(repeated.end(), loop.begin(), loop.end());
            }
            loudness[1] = melo::module_loudness(repeated);
        }
    }
}

QHBoxLayout* WaveformWindow::buildHeader() {
    m_tabs = new QTabBar(this);
    m_tabs->setFocusPolicy(Qt::NoFocus);
    for (const melo::WaveformRow& r : m_rows) {
        m_tabs->addTab(QString::fromStdString(r.title));
    }
    m_tabs->setVisible(m_rows.size() > 1);
    m_budget = new QLabel(this);
    m_budget->setObjectName("lbl_budget");
    m_budget->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_budget->setVisible(false);
    auto* header = new QHBoxLayout;
    header->addWidget(m_tabs, 1);
    header->addWidget(m_budget);
    return header;
}

QHBoxLayout* WaveformWindow::buildBottom(const QStringList& problems) {
    auto* bottom = new QHBoxLayout;
    m_module = new QCheckBox("wie im Modul", this);
    m_module->setFocusPolicy(Qt::NoFocus); // the space bar plays, it does not tick the box
    m_module->setToolTip(
        "Spielt die 8-Bit-Samples, die das Image hält, mit 13021 Hz statt der WAV-Dateien");
    m_module->setChecked(m_image);
    m_module->setEnabled(!m_image); // an image has nothing but its samples
    bottom->addWidget(m_module);
    m_status = new QLabel(this);
    m_status->setTextFormat(Qt::RichText);
    m_status->setWordWrap(true);
    QString status = "Leertaste halten: Anfang, Loop (wiederholt), Ende &middot; Mausrad, + - 0: "
                     "Zoom &middot; Ziehen, Pfeiltasten, Pos1, Ende: Verschieben &middot; Esc: "
                     "Schließen";
    for (const QString& problem : problems) {
        status += "<br><span style='color:#d00000'>" + problem.toHtmlEscaped() + "</span>";
    }
    m_status->setText(status);
    bottom->addWidget(m_status, 1);
    return bottom;
}

WaveformWindow::~WaveformWindow() = default;

WaveformWindow* WaveformWindow::forProjectRow(ListenPlayback& player, const QString& projfiledir,
                                              int row, const std::array<QString, 3>& names,
                                              QWidget* parent) {
    std::array<std::string, 3> parts;
    for (std::size_t p = 0; p < parts.size(); ++p) {
        parts[p] = names[p].toStdString();
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::vector<melo::WaveformRow> rows{melo::project_row(file_path(projfiledir), row, parts)};
    QApplication::restoreOverrideCursor();
    auto* window = new WaveformWindow(player, std::move(rows), false, {}, parent);
    window->setWindowTitle("Wellenform – " + QString::fromStdString(window->row().title));
    return window;
}

WaveformWindow* WaveformWindow::forImage(ListenPlayback& player, const QString& path,
                                         QString& error, QWidget* parent) {
    std::string image;
    std::string reason;
    if (!melo::read_file(file_path(path), image,
                         static_cast<std::size_t>(melo::kFlashLastAddress) + 1, &reason)) {
        error = "DSU-Image \"" + path +
                "\" kann nicht gelesen werden: " + QString::fromStdString(reason);
        return nullptr;
    }
    melo::ImageRows read = melo::image_rows(image);
    if (!read.unreadable.empty()) {
        // Nothing in it could be drawn as a part: say why instead of an empty window.
        error = "DSU-Image \"" + path +
                "\" kann nicht angezeigt werden: " + QString::fromStdString(read.unreadable);
        if (read.problems.size() > 1) {
            error += QString(" (und %1 weitere Fehler)").arg(read.problems.size() - 1);
        }
        return nullptr;
    }
    QStringList problems;
    for (const std::string& problem : read.problems) {
        problems << QString::fromStdString(problem);
    }
    std::vector<melo::WaveformRow> rows(read.rows.begin(), read.rows.end());
    auto* window = new WaveformWindow(player, std::move(rows), true, problems, parent);
    window->setWindowTitle("Wellenform – " + QFileInfo(path).fileName());
    window->setBudget(QString::fromStdString(
        melo::sound_budget_text(static_cast<std::int64_t>(image.size()), decimal_separator())));
    return window;
}

void WaveformWindow::showRow(int index) {
    if (index < 0 || index >= rowCount()) {
        return;
    }
    m_index = index;
    m_view->setRow(&row());
    for (int p = 0; p < 3; ++p) {
        m_partLabels[static_cast<std::size_t>(p)]->setText(partText(p));
    }
    m_seam->setSeam(melo::loop_seam(row().parts[1]));
    m_seamLabel->setText(seamText());
}

QString WaveformWindow::partText(int part) const {
    const melo::WaveformPart& p = row().parts[static_cast<std::size_t>(part)];
    QString text =
        "<b>" + QString::fromStdString(p.title) + "</b>: " +
        (p.name.empty() ? QString("(leer)") : QString::fromStdString(p.name).toHtmlEscaped());
    if (!p.problem.empty()) {
        return text + "<br><span style='color:#d00000'>" +
               QString::fromStdString(p.problem).toHtmlEscaped() + "</span>";
    }
    text += "<br>" + QString::number(p.count()) + " Samples, " + seconds_text(p.seconds());
    text += ", Marker " + (p.marker < 0 ? QString("fehlt") : hex_text(p.marker, 2));
    if (p.count() > 0) {
        text += ", " +
                QString::fromStdString(melo::lufs_text(
                    m_loudness[static_cast<std::size_t>(m_index)][static_cast<std::size_t>(part)],
                    decimal_separator()));
    }
    if (p.address >= 0) {
        text += "<br>Adresse " + hex_text(p.address, 6) + ", Marker an " +
                hex_text(p.address + p.count(), 6);
    }
    if (p.wavfreq != 0 && p.wavfreq != melo::kTargetFreq) {
        text += "<br>WAV-Datei mit " + QString::number(p.wavfreq) + " Hz";
    }
    if (const std::int64_t clipped = p.clipped(); clipped > 0) {
        text += QString("<br><span style='color:#d00000'>%1 Samples begrenzt (%2 oder %3)</span>")
                    .arg(clipped)
                    .arg(melo::kMinSample)
                    .arg(melo::kMaxSample);
    }
    return text;
}

void WaveformWindow::setBudget(const QString& text) {
    m_budget->setText(text);
    m_budget->setVisible(!text.isEmpty());
}

QString WaveformWindow::budget() const {
    return m_budget->text();
}

QString WaveformWindow::seamText() const {
    const melo::SeamCloseUp& seam = m_seam->seam();
    if (seam.before.empty()) {
        return "Nahtstelle Loop: kein Loop-Teil";
    }
    return QString("Nahtstelle Loop → Loop: die letzten %1 und die ersten %2 Samples; Sprung %3%4 "
                   "(%5 → %6)")
        .arg(seam.before.size())
        .arg(seam.after.size())
        .arg(seam.step > 0 ? "+" : "")
        .arg(seam.step)
        .arg(seam.before.back())
        .arg(seam.after.front());
}

std::array<ListenSource, 3> WaveformWindow::sources() const {
    std::array<ListenSource, 3> sources;
    for (std::size_t p = 0; p < sources.size(); ++p) {
        const melo::WaveformPart& part = row().parts[p];
        if (m_module->isChecked()) {
            // What the module plays: the image's bytes, unsigned 8-bit mono at 13021 Hz.
            if (part.count() > 0) {
                sources[p] = melo::PcmSound{1, melo::kTargetFreq, 8, 1,
                                            std::string(part.samples.begin(), part.samples.end())};
            }
        } else if (!part.path.empty() && part.problem.empty()) {
            sources[p] = q_path(part.path);
        }
    }
    return sources;
}

void WaveformWindow::followPlayback(const HeardPosition* heard) {
    if (heard == nullptr) {
        m_view->setPlayPosition(-1);
        return;
    }
    if (heard->state == HeardPosition::Playing && heard->part >= 1 && heard->length > 0) {
        // The share of the part heard, laid over the part's samples as the image holds them.
        const int p = heard->part - 1;
        const double share =
            static_cast<double>(heard->cursor) / static_cast<double>(heard->length);
        m_view->setPlayPosition(
            static_cast<double>(row().offset(p)) +
            share * static_cast<double>(row().parts[static_cast<std::size_t>(p)].count()));
    }
}

void WaveformWindow::keyPressEvent(QKeyEvent* event) {
    if (m_listening->keyPress(event)) {
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void WaveformWindow::keyReleaseEvent(QKeyEvent* event) {
    if (!m_listening->keyRelease(event)) {
        QWidget::keyReleaseEvent(event);
    }
}
