#include "tools/waveform_view.h"

#include "common/module_constants.h"
#include "gui/qt_text.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace {

constexpr int kScaleWidth = 34;  // left of the waveform: the sample-value scale
constexpr int kRulerHeight = 20; // above everything: the time ruler
constexpr int kNameBand = 30;    // above the waveform: part names and marker values
constexpr int kOverviewHeight = 28;
constexpr int kGrab = 5;       // pixels either side of a marker that grab it
constexpr double kKeyZoom = 2; // one press of + or -
constexpr std::array<int, 5> kScaleValues = {melo::kMaxSample, 192, melo::kSilentSample, 64,
                                             melo::kMinSample};

const std::array<QColor, 3> kPartColours = {QColor(30, 90, 200), QColor(20, 140, 60),
                                            QColor(130, 60, 170)};
const QColor kClipped(230, 0, 0);
const QColor kMarker(230, 140, 0);
const QColor kGrid(225, 225, 225);
const QColor kText(90, 90, 90);
const QColor kPlayLine(200, 0, 0);

QString marker_text(int marker) {
    return marker < 0 ? QString("--") : q(melo::hexx(marker, 2));
}

int round_x(double x) {
    return static_cast<int>(std::lround(std::clamp(x, -1e6, 1e6)));
}

} // namespace

WaveformView::WaveformView(QWidget* parent) : QWidget(parent) {
    setMinimumSize(400, 220);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

WaveformView::Areas WaveformView::areas() const {
    Areas a;
    const int w = width() - kScaleWidth;
    const int readout = fontMetrics().height() + 4;
    const int wave =
        std::max(20, height() - kRulerHeight - kNameBand - kOverviewHeight - readout - 6);
    a.ruler = QRect(kScaleWidth, 0, w, kRulerHeight);
    a.names = QRect(kScaleWidth, a.ruler.bottom() + 1, w, kNameBand);
    a.wave = QRect(kScaleWidth, a.names.bottom() + 1, w, wave);
    a.scale = QRect(0, a.wave.top(), kScaleWidth, wave);
    a.overview = QRect(kScaleWidth, a.wave.bottom() + 5, w, kOverviewHeight);
    a.readout = QRect(4, a.overview.bottom() + 2, width() - 8, readout);
    return a;
}

double WaveformView::length() const {
    return m_row != nullptr ? static_cast<double>(m_row->length()) : 0.0;
}

void WaveformView::setRow(const melo::WaveformRow* row) {
    m_row = row;
    m_viewport = melo::WaveformViewport();
    m_viewport.set_size(length(), areas().wave.width());
    m_play = -1;
    m_markers.clear();
    m_overviewArea = QRect();
    viewMoved();
}

double WaveformView::xOf(double position) const {
    return kScaleWidth + m_viewport.x_of(position);
}

double WaveformView::positionAt(double x) const {
    return m_viewport.position_at(x - kScaleWidth);
}

int WaveformView::yOf(int value, const QRect& area) const {
    const int height = std::max(1, area.height() - 6);
    return area.top() + 3 + (255 - value) * height / 255;
}

void WaveformView::viewMoved() {
    update();
    emit viewChanged();
}

void WaveformView::zoom(double factor, double atX) {
    m_viewport.zoom(factor, atX - kScaleWidth);
    viewMoved();
}

void WaveformView::scrollBy(double pixels) {
    m_viewport.scroll(pixels);
    viewMoved();
}

void WaveformView::setPlayPosition(double position) {
    if (position == m_play) {
        return;
    }
    m_play = position;
    // Zoomed in, the view turns a page when the sound leaves it, so the play line stays in
    // sight; not while the user drags.
    const double shown = m_viewport.last() - m_viewport.first();
    if (position >= 0 && m_drag == Drag::None &&
        (position < m_viewport.first() || position > m_viewport.last())) {
        m_viewport.set_first(position - shown / 20);
        viewMoved();
        return;
    }
    update();
}

void WaveformView::setMarkers(std::vector<Marker> markers) {
    m_markers = std::move(markers);
    update();
}

std::vector<WaveformView::Column> WaveformView::columns() const {
    return columnsOf(m_viewport, kScaleWidth);
}

std::vector<WaveformView::Column> WaveformView::columnsOf(const melo::WaveformViewport& viewport,
                                                          int left) const {
    std::vector<Column> out;
    if (m_row == nullptr) {
        return out;
    }
    out.reserve(static_cast<std::size_t>(viewport.width()) + 3);
    for (int p = 0; p < 3; ++p) {
        const melo::WaveformPart& part = m_row->parts[static_cast<std::size_t>(p)];
        if (part.count() == 0) {
            continue;
        }
        const double start = static_cast<double>(m_row->offset(p));
        // The columns this part covers, each from the samples under it.
        const int from = std::max(0, static_cast<int>(std::floor(viewport.x_of(start))));
        const int to = std::min(
            viewport.width() - 1,
            static_cast<int>(std::ceil(viewport.x_of(start + static_cast<double>(part.count())))) -
                1);
        for (int x = from; x <= to; ++x) {
            const double p0 = viewport.position_at(x) - start;
            const auto begin = static_cast<std::int64_t>(std::floor(p0));
            const auto end = std::max(
                begin + 1, static_cast<std::int64_t>(std::ceil(p0 + viewport.per_pixel())));
            const melo::SampleRange range = part.range(begin, end);
            if (!range.empty()) {
                out.push_back({left + x, p, range});
            }
        }
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const Column& a, const Column& b) { return a.x < b.x; });
    return out;
}

void WaveformView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const Areas a = areas();
    paintScale(painter, a);
    if (m_row != nullptr) {
        painter.save();
        painter.setClipRect(a.wave);
        paintColumns(painter, a);
        paintSamples(painter, a);
        painter.restore();
        painter.save();
        painter.setClipRect(a.names.united(a.wave));
        paintParts(painter, a);
        paintMarkers(painter, a);
        painter.restore();
        paintOverview(painter, a);
    }
    paintRuler(painter, a);
    painter.setPen(kText);
    painter.drawText(a.readout, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(readout(), Qt::ElideRight, a.readout.width()));
}

void WaveformView::paintScale(QPainter& painter, const Areas& a) const {
    // Grid lines at the scale's values; the clip limits dashed, silence a little darker.
    for (const int value : kScaleValues) {
        const int y = yOf(value, a.wave);
        const bool limit = value == melo::kMinSample || value == melo::kMaxSample;
        painter.setPen(limit ? QPen(QColor(240, 170, 170), 1, Qt::DashLine)
                             : QPen(value == melo::kSilentSample ? QColor(195, 195, 195) : kGrid));
        painter.drawLine(a.wave.left(), y, a.wave.right(), y);
        painter.setPen(kText);
        painter.drawLine(a.scale.right() - 3, y, a.scale.right(), y);
        painter.drawText(QRect(0, y - 8, a.scale.width() - 6, 16),
                         Qt::AlignRight | Qt::AlignVCenter, QString::number(value));
    }
    painter.drawLine(a.scale.right(), a.wave.top(), a.scale.right(), a.wave.bottom());
}

void WaveformView::paintRuler(QPainter& painter, const Areas& a) const {
    painter.fillRect(a.ruler, QColor(242, 242, 242));
    painter.setPen(kText);
    painter.drawLine(a.ruler.bottomLeft(), a.ruler.bottomRight());
    const double from = m_row != nullptr ? m_row->seconds_at(m_viewport.first()) : 0.0;
    const double to = m_row != nullptr ? m_row->seconds_at(m_viewport.last()) : 0.0;
    if (to <= from) {
        return; // a row without samples has no play time to mark
    }
    const double perPixel = (to - from) / a.ruler.width();
    const QFontMetrics metrics = fontMetrics();
    const melo::RulerTicks ticks = melo::ruler_ticks(
        from, to, perPixel, metrics.horizontalAdvance(seconds_text(to, 4)) + 24.0);
    const double minor = ticks.step / ticks.minor;
    for (double k = std::ceil(from / minor); k * minor <= to; ++k) {
        const int x = round_x(xOf(m_row->position_at_seconds(k * minor)));
        painter.drawLine(x, a.ruler.bottom() - 3, x, a.ruler.bottom());
    }
    painter.save();
    painter.setClipRect(a.ruler);
    int labelsEnd = std::numeric_limits<int>::min() / 2; // right end of the last label drawn
    for (const double t : ticks.values) {
        const int x = round_x(xOf(m_row->position_at_seconds(t)));
        const QString label = seconds_text(t, ticks.decimals);
        painter.drawLine(x, a.ruler.bottom() - 8, x, a.ruler.bottom());
        // A label stands right of its tick; at the right edge it ends at its tick instead, so
        // the last second is read too.
        const int width = metrics.horizontalAdvance(label);
        const int left = x + 3 + width <= a.ruler.right() ? x + 3 : x - 3 - width;
        if (left >= a.ruler.left() && left > labelsEnd + 6) {
            painter.drawText(left, a.ruler.top() + metrics.ascent() + 1, label);
            labelsEnd = left + width;
        }
    }
    painter.restore();
}

void WaveformView::paintColumns(QPainter& painter, const Areas& a) const {
    // One vertical stroke per column, collected by colour and drawn together. Closer in than a
    // sample per pixel the samples are drawn one by one instead; clipped ones stay marked.
    const bool samplesDrawn = m_viewport.per_pixel() < 1.0;
    std::array<QVector<QLine>, 4> strokes; // the three parts, then clipped
    for (const Column& c : columns()) {
        const std::size_t colour = c.range.clipped() ? 3 : static_cast<std::size_t>(c.part);
        if (samplesDrawn && colour != 3) {
            continue;
        }
        strokes[colour].append(QLine(c.x, yOf(c.range.hi, a.wave), c.x, yOf(c.range.lo, a.wave)));
    }
    for (std::size_t i = 0; i < strokes.size(); ++i) {
        painter.setPen(i < 3 ? kPartColours[i] : kClipped);
        painter.drawLines(strokes[i]);
    }
}

void WaveformView::paintSamples(QPainter& painter, const Areas& a) const {
    // Close in, the samples are joined and, closer still, each one is a dot.
    if (m_viewport.per_pixel() >= 1.0) {
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    for (int p = 0; p < 3; ++p) {
        const melo::WaveformPart& part = m_row->parts[static_cast<std::size_t>(p)];
        const double start = static_cast<double>(m_row->offset(p));
        const auto first =
            std::max<std::int64_t>(0, static_cast<std::int64_t>(m_viewport.first() - start) - 1);
        const auto last = std::min<std::int64_t>(
            part.count() - 1, static_cast<std::int64_t>(m_viewport.last() - start) + 1);
        QPolygonF line;
        for (std::int64_t i = first; i <= last; ++i) {
            line << QPointF(xOf(start + static_cast<double>(i) + 0.5),
                            yOf(part.samples[static_cast<std::size_t>(i)], a.wave));
        }
        const QColor colour = kPartColours[static_cast<std::size_t>(p)];
        painter.setPen(QPen(colour, 1));
        painter.drawPolyline(line);
        if (m_viewport.per_pixel() < 0.25) {
            painter.setPen(Qt::NoPen);
            for (std::int64_t i = first; i <= last; ++i) {
                const std::uint8_t v = part.samples[static_cast<std::size_t>(i)];
                painter.setBrush(melo::is_clipped(v) ? kClipped : colour);
                painter.drawEllipse(line[static_cast<int>(i - first)], 2.5, 2.5);
            }
        }
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
}

void WaveformView::paintParts(QPainter& painter, const Areas& a) const {
    // Part boundaries with their names, and the marker bytes behind each part.
    const QFontMetrics metrics(font());
    const int right = a.wave.right();
    for (int p = 0; p < 3; ++p) {
        const melo::WaveformPart& part = m_row->parts[static_cast<std::size_t>(p)];
        const int x = round_x(xOf(static_cast<double>(m_row->offset(p))));
        painter.setPen(kText);
        painter.drawLine(x, a.names.top(), x, a.wave.bottom());
        const QString name =
            QString::fromStdString(part.title) + ": " +
            (part.name.empty() ? QString("(leer)") : QString::fromStdString(part.name));
        // The name stays in view while any of its part is.
        const int labelX = std::max(x, a.wave.left()) + 4;
        const double partEnd = xOf(static_cast<double>(m_row->marker_position(p)));
        const int room = static_cast<int>(std::min<double>(partEnd, right)) - labelX - 4;
        if (partEnd > a.wave.left() && x < right && room > 0) {
            painter.setPen(kPartColours[static_cast<std::size_t>(p)]);
            painter.drawText(labelX, a.names.top() + metrics.ascent() + 2,
                             metrics.elidedText(name, Qt::ElideRight, room));
        }
    }
    // The marker bytes, each left of its line; markers closer than their labels (an empty part's
    // directly behind the one before it) keep their order, the earlier label moved left.
    int nextLeft = std::numeric_limits<int>::max();
    for (int p = 2; p >= 0; --p) {
        const int mx = round_x(xOf(static_cast<double>(m_row->marker_position(p)) + 0.5));
        painter.setPen(QPen(kMarker, 1, Qt::DashLine));
        painter.drawLine(mx, a.names.bottom() - 12, mx, a.wave.bottom());
        painter.setPen(kMarker);
        const QString marker = marker_text(m_row->parts[static_cast<std::size_t>(p)].marker);
        const int width = metrics.horizontalAdvance(marker);
        const int left = std::min(mx - 2, nextLeft - 4) - width;
        painter.drawText(left, a.names.bottom() - 3, marker);
        nextLeft = left;
    }
}

void WaveformView::paintMarkers(QPainter& painter, const Areas& a) const {
    const QFontMetrics metrics(font());
    std::vector<QRect> labels;
    for (const Marker& m : m_markers) {
        const int x = round_x(xOf(m.position));
        painter.setPen(QPen(m.colour, 2));
        painter.drawLine(x, a.wave.top(), x, a.wave.bottom());
        if (!m.label.isEmpty()) {
            // A label stands right of its line, or left of it where the view ends; labels of
            // markers close together go one under the other.
            QRect box(x + 2, a.wave.top() + 1, metrics.horizontalAdvance(m.label) + 6,
                      metrics.height());
            if (box.right() > a.wave.right()) {
                box.moveRight(x - 2);
            }
            while (std::any_of(labels.begin(), labels.end(),
                               [&box](const QRect& other) { return other.intersects(box); })) {
                box.translate(0, metrics.height() + 1);
            }
            labels.push_back(box);
            painter.fillRect(box, m.colour);
            painter.setPen(Qt::white);
            painter.drawText(box, Qt::AlignCenter, m.label);
        }
    }
    if (m_hoverX && m_drag == Drag::None) {
        painter.setPen(QPen(QColor(0, 0, 0, 70), 1));
        painter.drawLine(*m_hoverX, a.wave.top(), *m_hoverX, a.wave.bottom());
    }
    if (m_play >= 0) {
        painter.setPen(QPen(kPlayLine, 2));
        const int x = round_x(xOf(m_play));
        painter.drawLine(x, a.names.bottom(), x, a.wave.bottom());
    }
}

void WaveformView::paintOverview(QPainter& painter, const Areas& a) const {
    // The whole row small, and the stretch the waveform area shows as a box on it.
    painter.fillRect(a.overview, QColor(246, 246, 246));
    melo::WaveformViewport whole;
    whole.set_size(length(), a.overview.width());
    // The same for every frame until the row or the size changes.
    if (m_overviewArea != a.overview) {
        m_overviewArea = a.overview;
        m_overview = columnsOf(whole, a.overview.left());
    }
    for (const Column& c : m_overview) {
        painter.setPen(c.range.clipped()
                           ? kClipped
                           : kPartColours[static_cast<std::size_t>(c.part)].lighter(130));
        painter.drawLine(c.x, yOf(c.range.hi, a.overview), c.x, yOf(c.range.lo, a.overview));
    }
    const int x0 = a.overview.left() + round_x(whole.x_of(m_viewport.first()));
    const int x1 = a.overview.left() + round_x(whole.x_of(m_viewport.last()));
    const QRect visible(x0, a.overview.top(), std::max(3, x1 - x0), a.overview.height() - 1);
    painter.fillRect(visible, QColor(30, 90, 200, 45));
    painter.setPen(QColor(30, 90, 200));
    painter.drawRect(visible);
    if (m_play >= 0) {
        painter.setPen(QPen(kPlayLine, 2));
        const int x = a.overview.left() + round_x(whole.x_of(m_play));
        painter.drawLine(x, a.overview.top(), x, a.overview.bottom());
    }
    painter.setPen(kText);
    painter.drawText(QRect(0, a.overview.top(), kScaleWidth - 4, a.overview.height()),
                     Qt::AlignRight | Qt::AlignVCenter, "alles");
}

QString WaveformView::readout() const {
    if (m_row == nullptr) {
        return QString();
    }
    QString text;
    if (m_hoverX) {
        text = hoverText(positionAt(*m_hoverX)) + "   ·   ";
    }
    const double total = m_row->seconds_at(length());
    return text + "Ansicht " + seconds_text(m_row->seconds_at(m_viewport.first()), 3) + " bis " +
           seconds_text(m_row->seconds_at(m_viewport.last()), 3) + " von " + seconds_text(total, 3);
}

QString WaveformView::hoverText(double position) const {
    for (int p = 0; p < 3; ++p) {
        const melo::WaveformPart& part = m_row->parts[static_cast<std::size_t>(p)];
        const auto offset = static_cast<double>(m_row->offset(p));
        if (position >= static_cast<double>(m_row->marker_position(p)) + 1) {
            continue;
        }
        const QString title = QString::fromStdString(part.title);
        const auto index = static_cast<std::int64_t>(std::floor(position - offset));
        if (index >= part.count()) {
            return "Markerbyte " + marker_text(part.marker) + " hinter " + title;
        }
        // Zoomed out, a pixel holds many samples: their range; zoomed in, the one under it.
        const double perPixel = m_viewport.per_pixel();
        const auto end = perPixel < 1
                             ? index + 1
                             : static_cast<std::int64_t>(std::ceil(position - offset + perPixel));
        const melo::SampleRange range = part.range(index, std::max(index + 1, end));
        const QString value = range.lo == range.hi
                                  ? "Wert " + QString::number(range.lo)
                                  : QString("Werte %1 bis %2").arg(range.lo).arg(range.hi);
        return seconds_text(m_row->seconds_at(position), 4) + "   " + title + ", Sample " +
               QString::number(index + 1) + " von " + QString::number(part.count()) + "   " + value;
    }
    return QString();
}

void WaveformView::resizeEvent(QResizeEvent*) {
    m_viewport.set_size(length(), areas().wave.width());
    emit viewChanged();
}

void WaveformView::wheelEvent(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / 120.0;
    if (notches != 0) {
        zoom(std::pow(0.8, notches), event->position().x());
    }
    event->accept();
}

void WaveformView::keyPressEvent(QKeyEvent* event) {
    const Areas a = areas();
    const double centre = a.wave.center().x();
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal: // + without Shift on keyboards that put it there
        zoom(1 / kKeyZoom, centre);
        break;
    case Qt::Key_Minus:
        zoom(kKeyZoom, centre);
        break;
    case Qt::Key_0:
        m_viewport.fit();
        viewMoved();
        break;
    case Qt::Key_Left:
    case Qt::Key_Right:
        scrollBy((event->key() == Qt::Key_Left ? -1 : 1) * a.wave.width() / 8.0);
        break;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        scrollBy((event->key() == Qt::Key_PageUp ? -0.9 : 0.9) * a.wave.width());
        break;
    case Qt::Key_Home:
    case Qt::Key_End:
        m_viewport.set_first(event->key() == Qt::Key_Home ? 0 : length());
        viewMoved();
        break;
    default:
        QWidget::keyPressEvent(event); // the window's keys: space bar, Escape
        return;
    }
    event->accept();
}

std::optional<int> WaveformView::markerAt(int x) const {
    for (std::size_t i = 0; i < m_markers.size(); ++i) {
        if (m_markers[i].draggable && std::abs(xOf(m_markers[i].position) - x) <= kGrab) {
            return static_cast<int>(i);
        }
    }
    return std::nullopt;
}

void WaveformView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const Areas a = areas();
    const QPoint at = event->pos();
    m_dragFromX = at.x();
    m_dragFirst = m_viewport.first();
    if (a.overview.contains(at)) {
        m_drag = Drag::Overview;
        mouseMoveEvent(event);
    } else if (const std::optional<int> marker = markerAt(at.x()); marker && a.wave.contains(at)) {
        m_drag = Drag::Marker;
        m_dragMarker = *marker;
        setCursor(Qt::SizeHorCursor);
    } else if (at.x() >= a.wave.left()) {
        m_drag = Drag::Scroll;
        setCursor(Qt::ClosedHandCursor);
    }
}

void WaveformView::mouseMoveEvent(QMouseEvent* event) {
    const Areas a = areas();
    const QPoint at = event->pos();
    if (a.wave.contains(at) || a.names.contains(at)) {
        m_hoverX = at.x();
    } else {
        m_hoverX.reset();
    }
    switch (m_drag) {
    case Drag::Overview: {
        melo::WaveformViewport whole;
        whole.set_size(length(), a.overview.width());
        m_viewport.centre_on(whole.position_at(at.x() - a.overview.left()));
        viewMoved();
        break;
    }
    case Drag::Marker: {
        if (m_dragMarker >= static_cast<int>(m_markers.size())) {
            break; // the markers were replaced while dragging
        }
        const double position = std::clamp(std::round(positionAt(at.x())), 0.0, length());
        m_markers[static_cast<std::size_t>(m_dragMarker)].position = position;
        update();
        emit markerMoved(m_dragMarker, position);
        break;
    }
    case Drag::Scroll:
        m_viewport.set_first(m_dragFirst - (at.x() - m_dragFromX) * m_viewport.per_pixel());
        viewMoved();
        break;
    case Drag::None:
        update(); // the readout follows the mouse
        break;
    }
}

void WaveformView::mouseReleaseEvent(QMouseEvent*) {
    m_drag = Drag::None;
    unsetCursor();
}

void WaveformView::leaveEvent(QEvent*) {
    m_hoverX.reset();
    update();
}

SeamView::SeamView(QWidget* parent) : QWidget(parent) {
    setMinimumHeight(130);
}

void SeamView::setSeam(melo::SeamCloseUp seam) {
    m_seam = std::move(seam);
    update();
}

std::vector<std::uint8_t> SeamView::values() const {
    std::vector<std::uint8_t> v = m_seam.before;
    v.insert(v.end(), m_seam.after.begin(), m_seam.after.end());
    return v;
}

void SeamView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const std::vector<std::uint8_t> v = values();
    if (v.empty()) {
        painter.setPen(Qt::gray);
        painter.drawText(rect(), Qt::AlignCenter, "Kein Loop-Teil");
        return;
    }
    const QFontMetrics metrics = fontMetrics();
    const int line = metrics.height();
    const QRect band(0, 0, width(), 2 * line + 2); // headings, then the values at the seam
    // The curve keeps clear of the band by more than a dot's radius.
    const QRectF plot(10, band.bottom() + 6, width() - 20, height() - band.bottom() - 12);
    // The values' own range, at least 16 steps high, so that a small step shows.
    const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
    const int span = std::max(16, *hi - *lo);
    const double bottom = (*lo + *hi) / 2.0 - span / 2.0;
    const double dx = plot.width() / static_cast<double>(v.size());
    const double seamX = plot.left() + static_cast<double>(m_seam.before.size()) * dx;

    // Each side's texts stay on their side of the seam line, cut short where there is no room.
    painter.setPen(QPen(kText, 1, Qt::DashLine));
    painter.drawLine(QPointF(seamX, 0), QPointF(seamX, height()));
    const auto side = [&](bool left, int row, const QString& text) {
        const int room = static_cast<int>(left ? seamX - 6 : width() - seamX - 6);
        const QRectF box = left ? QRectF(0, row * line, seamX - 6, line)
                                : QRectF(seamX + 6, row * line, room, line);
        painter.drawText(box, (left ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter,
                         metrics.elidedText(text, Qt::ElideRight, std::max(0, room)));
    };
    painter.setPen(kText);
    side(true, 0, "Ende des Loops");
    side(false, 0, "Anfang des Loops");
    painter.setPen(Qt::black);
    side(true, 1, QString::number(m_seam.before.back()));
    side(false, 1, QString::number(m_seam.after.front()));

    painter.setRenderHint(QPainter::Antialiasing);
    QPolygonF curve;
    for (std::size_t i = 0; i < v.size(); ++i) {
        curve << QPointF(plot.left() + (static_cast<double>(i) + 0.5) * dx,
                         plot.bottom() - (v[i] - bottom) * plot.height() / span);
    }
    painter.setPen(QPen(kPartColours[1], 1));
    painter.drawPolyline(curve);
    painter.setPen(Qt::NoPen);
    for (std::size_t i = 0; i < v.size(); ++i) {
        painter.setBrush(melo::is_clipped(v[i]) ? kClipped : kPartColours[1]);
        painter.drawEllipse(curve[static_cast<int>(i)], 2.5, 2.5);
    }
}
