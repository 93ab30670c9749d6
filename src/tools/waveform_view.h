#pragma once

#include "flash/waveform_model.h"

#include <QPoint>
#include <QWidget>
#include <optional>
#include <vector>

// The three parts of a sound row side by side, as the image holds them: the 8-bit samples,
// the part boundaries with their names, the marker bytes, clipped samples in red and the
// play position as a line. The mouse wheel zooms around the pointer, dragging scrolls. Each
// pixel column is drawn from the parts' min/max summaries, so a frame costs the same at any
// zoom.
class WaveformView : public QWidget {
    Q_OBJECT
public:
    explicit WaveformView(QWidget* parent = nullptr);

    // Shows `row` (which must outlive the view, or until the next call) whole.
    void setRow(const melo::WaveformRow* row);

    // One pixel column as drawn: the part it shows and the lowest and highest sample in it.
    struct Column {
        int x = 0;
        int part = 0;
        melo::SampleRange range;
    };
    // The columns a frame draws, left to right; a column on a boundary appears once per part.
    std::vector<Column> columns() const;
    // The x of a row position (a sample index within the row, markers counted).
    double xOf(double position) const;

    // Zooms by `factor` (below 1: in) keeping the position under `atX` where it is.
    void zoom(double factor, double atX);
    // Moves the view by `pixels` (positive: later positions come into view).
    void scrollBy(double pixels);
    double samplesPerPixel() const { return m_perPixel; }
    // The row position of the play line; below 0 for none.
    void setPlayPosition(double position);
    double playPosition() const { return m_play; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    double fitPerPixel() const;
    void clampView();
    int yOf(int value) const;

    const melo::WaveformRow* m_row = nullptr;
    double m_first = 0;    // row position at the left edge
    double m_perPixel = 1; // row positions per pixel
    bool m_fitted = true;  // the whole row is shown: kept so when the size changes
    double m_play = -1;
    std::optional<QPoint> m_dragFrom;
    double m_dragFirst = 0;
};

// The loop seam close up: the last samples of the loop part, then its first, one point per
// sample with its value, the seam between them and the step in sample values.
class SeamView : public QWidget {
    Q_OBJECT
public:
    explicit SeamView(QWidget* parent = nullptr);

    void setSeam(melo::SeamCloseUp seam);
    const melo::SeamCloseUp& seam() const { return m_seam; }
    // The values as drawn, left to right.
    std::vector<std::uint8_t> values() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    melo::SeamCloseUp m_seam;
};
