#pragma once

#include "flash/waveform_model.h"
#include "flash/waveform_viewport.h"

#include <QColor>
#include <QRect>
#include <QWidget>
#include <optional>
#include <vector>

// A sound row's waveform as an audio tool shows it: the parts side by side as the image holds
// them (8-bit samples, part boundaries with their names, marker bytes, clipped samples in red),
// a time ruler in seconds above, the sample-value scale on the left, an overview of the whole
// row with the visible stretch below, and a line that tells the time and value under the mouse.
// Mouse wheel, `+`, `-` and `0` zoom; dragging, the arrow keys, Page Up/Down, Home and End
// scroll; a click in the overview jumps there. Markers laid over the waveform (a play line, loop
// points) can be made draggable. A recording to cut is a row whose first part holds it all.
// Each pixel column is drawn from the parts' min/max summaries, so a frame costs the same at
// any zoom.
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
    // The columns of the waveform area, left to right; a column on a boundary appears once per
    // part.
    std::vector<Column> columns() const;
    // The x of a row position (a sample index within the row, markers counted), and back.
    double xOf(double position) const;
    double positionAt(double x) const;

    // Zooms by `factor` (below 1: in) keeping the position under `atX` where it is.
    void zoom(double factor, double atX);
    // Moves the view by `pixels` (positive: later positions come into view).
    void scrollBy(double pixels);
    double samplesPerPixel() const { return m_viewport.per_pixel(); }
    const melo::WaveformViewport& viewport() const { return m_viewport; }
    // The row position of the play line (also drawn on the overview); below 0 for none.
    // Zoomed in, the view follows it a page at a time.
    void setPlayPosition(double position);
    double playPosition() const { return m_play; }

    // A line laid over the waveform at a row position, with a short label in the name band.
    struct Marker {
        double position = 0;
        QString label;
        QColor colour = QColor(200, 0, 120);
        bool draggable = false;
    };
    void setMarkers(std::vector<Marker> markers);
    const std::vector<Marker>& markers() const { return m_markers; }

    // What the line below the overview says: the time, part, sample and value under the mouse
    // (when it is over the waveform) and the visible stretch.
    QString readout() const;

    // The areas of the widget: ruler, names, scale, waveform, overview, readout.
    struct Areas {
        QRect ruler, names, scale, wave, overview, readout;
    };
    Areas areas() const;

signals:
    // A draggable marker was moved to a whole row position.
    void markerMoved(int index, double position);
    // The visible stretch changed (zoom or scroll).
    void viewChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    enum class Drag { None, Scroll, Overview, Marker };

    double length() const;
    std::vector<Column> columnsOf(const melo::WaveformViewport& viewport, int left) const;
    int yOf(int value, const QRect& area) const;
    void viewMoved();
    std::optional<int> markerAt(int x) const;
    QString hoverText(double position) const;

    void paintRuler(QPainter& painter, const Areas& a) const;
    void paintScale(QPainter& painter, const Areas& a) const;
    void paintColumns(QPainter& painter, const Areas& a) const;
    void paintSamples(QPainter& painter, const Areas& a) const;
    void paintParts(QPainter& painter, const Areas& a) const;
    void paintMarkers(QPainter& painter, const Areas& a) const;
    void paintOverview(QPainter& painter, const Areas& a) const;

    const melo::WaveformRow* m_row = nullptr;
    melo::WaveformViewport m_viewport;
    double m_play = -1;
    std::vector<Marker> m_markers;
    mutable std::vector<Column> m_overview; // the overview's columns, drawn in m_overviewArea
    mutable QRect m_overviewArea;
    std::optional<int> m_hoverX;
    Drag m_drag = Drag::None;
    int m_dragMarker = -1;
    int m_dragFromX = 0;
    double m_dragFirst = 0;
};

// The loop seam close up: the last samples of the loop part, then its first, one point per
// sample, the seam between them and the values either side. The headings and values sit in a
// band of their own above the curve, each on its side of the seam line.
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
