#pragma once

#include "flash/waveform_model.h"
#include "tools/held_listening.h"

#include <QWidget>
#include <array>
#include <optional>
#include <vector>

class QCheckBox;
class QHBoxLayout;
class QLabel;
class QTabBar;
class SeamView;
class WaveformView;

// The window "Wellenform": the three parts of a sound row as the image will hold them (or,
// for an image read back, as it holds them), each with its name, sample count, play time and
// marker, and the loop seam close up. Holding the space bar plays the row through the listen
// player, as a listen button does, and the play position runs along as a line; with
// "wie im Modul" it plays the 8-bit samples at the module's rate instead of the WAV files.
class WaveformWindow : public QWidget {
    Q_OBJECT
public:
    // A window over `rows` (one row of a project, or the four rows of an image, which then get
    // a tab each); `problems` are shown below them. It plays through `player`.
    WaveformWindow(ListenPlayback& player, std::vector<melo::WaveformRow> rows, bool image,
                   const QStringList& problems, QWidget* parent = nullptr);
    ~WaveformWindow() override;

    // The window for row `row` of a project, its parts named by `names`.
    static WaveformWindow* forProjectRow(ListenPlayback& player, const QString& projfiledir,
                                         int row, const std::array<QString, 3>& names,
                                         QWidget* parent = nullptr);
    // The window for the image file at `path`; nullptr, with the German reason in `error`,
    // when the file cannot be read or holds no address table that leads to its parts.
    static WaveformWindow* forImage(ListenPlayback& player, const QString& path, QString& error,
                                    QWidget* parent = nullptr);

    const melo::WaveformRow& row() const { return m_rows[static_cast<std::size_t>(m_index)]; }
    int rowCount() const { return static_cast<int>(m_rows.size()); }
    void showRow(int index);
    WaveformView* view() const { return m_view; }
    SeamView* seamView() const { return m_seam; }
    QCheckBox* moduleToggle() const { return m_module; }
    // The text shown for part 0 to 2, and below the seam close-up.
    QString partText(int part) const;
    QString seamText() const;
    // The play time the flash still holds, shown in the header ("noch 318,4 s frei bei 13021 Hz").
    void setBudget(const QString& text);
    QString budget() const;

    // What the space bar does: a press starts the row, the release ends its loop.
    void pressPlay() { m_listening->press(); }
    void releasePlay() { m_listening->release(); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    // Steps of the constructor.
    void measureLoudness();
    QHBoxLayout* buildHeader();
    QHBoxLayout* buildBottom(const QStringList& problems);
    std::array<ListenSource, 3> sources() const;
    void followPlayback(const HeardPosition* heard);

    std::vector<melo::WaveformRow> m_rows;
    // Each part's integrated loudness as the module plays it; none for a short or silent part.
    std::vector<std::array<std::optional<double>, 3>> m_loudness;
    int m_index = 0;
    bool m_image = false;
    HeldListening* m_listening = nullptr;

    QTabBar* m_tabs = nullptr;
    std::array<QLabel*, 3> m_partLabels{};
    WaveformView* m_view = nullptr;
    SeamView* m_seam = nullptr;
    QLabel* m_seamLabel = nullptr;
    QLabel* m_budget = nullptr;
    QCheckBox* m_module = nullptr;
    QLabel* m_status = nullptr;
};
