#include "tools/waveform_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr int kLabelBand = 34; // above the waveform: part names and marker values
constexpr double kMostPixelsPerSample = 32;

const std::array<QColor, 3> kPartColours = {QColor(30, 90, 200), QColor(20, 140, 60),
                                            QColor(130, 60, 170)};
const QColor kClipped(230, 0, 0);
const QColor kMarker(230, 140, 0);

QString marker_text(int marker) {
    return marker < 0 ? QString("--") : QString("%1").arg(marker, 2, 16, QChar('0')).toUpper();
}

} // namespace

WaveformView::WaveformView(QWidget* parent) : QWidget(parent) {
    setMinimumSize(400, 160);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void WaveformView::setRow(const melo::WaveformRow* row) {
    m_row = row;
    m_fitted = true;
    m_first = 0;
    m_perPixel = fitPerPixel();
    m_play = -1;
    update();
}

double WaveformView::fitPerPixel() const {
    const double length =
        m_row != nullptr ? static_cast<double>(std::max<std::int64_t>(m_row->length(), 1)) : 1.0;
    return length / std::max(1, width());
}

void WaveformView::clampView() {
    const double fit = fitPerPixel();
    m_perPixel = std::clamp(m_perPixel, std::min(1.0 / kMostPixelsPerSample, fit), fit);
    m_fitted = m_perPixel >= fit;
    const double length = m_row != nullptr ? static_cast<double>(m_row->length()) : 0.0;
    m_first = std::clamp(m_first, 0.0, std::max(0.0, length - width() * m_perPixel));
}

double WaveformView::xOf(double position) const {
    return (position - m_first) / m_perPixel;
}

int WaveformView::yOf(int value) const {
    const int top = kLabelBand + 4;
    const int height = std::max(1, this->height() - top - 6);
    return top + (255 - value) * height / 255;
}

void WaveformView::zoom(double factor, double atX) {
    const double at = m_first + atX * m_perPixel;
    m_perPixel *= factor;
    clampView();
    m_first = at - atX * m_perPixel;
    clampView();
    update();
}

void WaveformView::scrollBy(double pixels) {
    m_first += pixels * m_perPixel;
    clampView();
    update();
}

void WaveformView::setPlayPosition(double position) {
    if (position != m_play) {
        m_play = position;
        update();
    }
}

std::vector<WaveformView::Column> WaveformView::columns() const {
    std::vector<Column> out;
    if (m_row == nullptr) {
        return out;
    }
    out.reserve(static_cast<std::size_t>(width()) + 3);
    for (int p = 0; p < 3; ++p) {
        const melo::WaveformPart& part = m_row->parts[static_cast<std::size_t>(p)];
        if (part.count() == 0) {
            continue;
        }
        const double start = static_cast<double>(m_row->offset(p));
        // The columns this part covers, each from the samples under it.
        const int from = std::max(0, static_cast<int>(std::floor(xOf(start))));
        const int to = std::min(
            width() - 1,
            static_cast<int>(std::ceil(xOf(start + static_cast<double>(part.count())))) - 1);
        for (int x = from; x <= to; ++x) {
            const double p0 = m_first + x * m_perPixel - start;
            const auto begin = static_cast<std::int64_t>(std::floor(p0));
            const auto end =
                std::max(begin + 1, static_cast<std::int64_t>(std::ceil(p0 + m_perPixel)));
            const melo::SampleRange range = part.range(begin, end);
            if (!range.empty()) {
                out.push_back({x, p, range});
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
    painter.setPen(QColor(220, 220, 220));
    painter.drawLine(0, yOf(128), width(), yOf(128));
    painter.drawLine(0, kLabelBand, width(), kLabelBand);
    if (m_row == nullptr) {
        return;
    }

    // The waveform: one vertical stroke per column, collected by colour and drawn together.
    std::array<QVector<QLine>, 4> strokes; // the three parts, then clipped
    for (const Column& c : columns()) {
        const std::size_t colour = c.range.clipped() ? 3 : static_cast<std::size_t>(c.part);
        strokes[colour].append(QLine(c.x, yOf(c.range.hi), c.x, yOf(c.range.lo)));
    }
    for (std::size_t i = 0; i < strokes.size(); ++i) {
        painter.setPen(i < 3 ? kPartColours[i] : kClipped);
        painter.drawLines(strokes[i]);
    }
    // Close in, the samples are joined and, closer still, each one is a dot.
    if (m_perPixel < 1.0) {
        painter.setRenderHint(QPainter::Antialiasing);
        for (int p = 0; p < 3; ++p) {
            const melo::WaveformPart& part = m_row->parts[static_cast<std::size_t>(p)];
            const double start = static_cast<double>(m_row->offset(p));
            const auto first =
                std::max<std::int64_t>(0, static_cast<std::int64_t>(m_first - start) - 1);
            const auto last = std::min<std::int64_t>(
                part.count() - 1,
                static_cast<std::int64_t>(m_first + width() * m_perPixel - start) + 1);
            QPolygonF line;
            for (std::int64_t i = first; i <= last; ++i) {
                line << QPointF(xOf(start + static_cast<double>(i) + 0.5),
                                yOf(part.samples[static_cast<std::size_t>(i)]));
            }
            painter.setPen(QPen(kPartColours[static_cast<std::size_t>(p)], 1));
            painter.drawPolyline(line);
            if (m_perPixel < 0.25) {
                for (std::int64_t i = first; i <= last; ++i) {
                    const std::uint8_t v = part.samples[static_cast<std::size_t>(i)];
                    painter.setBrush(
                        melo::is_clipped(v) ? kClipped : kPartColours[static_cast<std::size_t>(p)]);
                    painter.setPen(Qt::NoPen);
                    painter.drawEllipse(line[static_cast<int>(i - first)], 2.5, 2.5);
                }
            }
        }
        painter.setRenderHint(QPainter::Antialiasing, false);
    }

    // Part boundaries with their names, and the marker bytes behind each part.
    const QFontMetrics metrics(font());
    for (int p = 0; p < 3; ++p) {
        const melo::WaveformPart& part = m_row->parts[static_cast<std::size_t>(p)];
        const int x = static_cast<int>(std::lround(xOf(static_cast<double>(m_row->offset(p)))));
        painter.setPen(QColor(90, 90, 90));
        painter.drawLine(x, 0, x, height());
        const QString name =
            QString::fromStdString(part.title) + ": " +
            (part.name.empty() ? QString("(leer)") : QString::fromStdString(part.name));
        // The name stays in view while any of its part is.
        const int labelX = std::max(x, 0) + 4;
        const double partEnd = xOf(static_cast<double>(m_row->marker_position(p)));
        const int room = static_cast<int>(std::min<double>(partEnd, width())) - labelX - 4;
        if (partEnd > 0 && x < width() && room > 0) {
            painter.setPen(kPartColours[static_cast<std::size_t>(p)]);
            painter.drawText(labelX, metrics.ascent() + 2,
                             metrics.elidedText(name, Qt::ElideRight, room));
        }
        const int mx = static_cast<int>(
            std::lround(xOf(static_cast<double>(m_row->marker_position(p)) + 0.5)));
        painter.setPen(QPen(kMarker, 1, Qt::DashLine));
        painter.drawLine(mx, kLabelBand - 14, mx, height());
        painter.setPen(kMarker);
        const QString marker = marker_text(part.marker);
        painter.drawText(mx - metrics.horizontalAdvance(marker) - 2, kLabelBand - 4, marker);
    }
    if (m_play >= 0) {
        painter.setPen(QPen(QColor(200, 0, 0), 2));
        const int x = static_cast<int>(std::lround(xOf(m_play)));
        painter.drawLine(x, kLabelBand, x, height());
    }
}

void WaveformView::resizeEvent(QResizeEvent*) {
    if (m_fitted) {
        m_first = 0;
        m_perPixel = fitPerPixel();
    }
    clampView();
}

void WaveformView::wheelEvent(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / 120.0;
    if (notches != 0) {
        zoom(std::pow(0.8, notches), event->position().x());
    }
    event->accept();
}

void WaveformView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_dragFrom = event->pos();
        m_dragFirst = m_first;
        setCursor(Qt::ClosedHandCursor);
    }
}

void WaveformView::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragFrom) {
        m_first = m_dragFirst - (event->pos().x() - m_dragFrom->x()) * m_perPixel;
        clampView();
        update();
    }
}

void WaveformView::mouseReleaseEvent(QMouseEvent*) {
    m_dragFrom.reset();
    unsetCursor();
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
    // The values' own range, at least 16 steps high, so that a small step shows.
    const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
    const int mid = (*lo + *hi) / 2;
    const int span = std::max(16, *hi - *lo + 4);
    const int bottom = mid - span / 2;
    const int band = 16;      // a line of text
    const int top = 2 * band; // the headings, then the values at the seam
    const int h = height() - top - 8;
    const double dx = static_cast<double>(width() - 20) / static_cast<double>(v.size());
    const auto point = [&](std::size_t i) {
        return QPointF(10 + (static_cast<double>(i) + 0.5) * dx,
                       top + h - (v[i] - bottom) * h / static_cast<double>(span));
    };
    const double seamX = 10 + static_cast<double>(m_seam.before.size()) * dx;
    painter.setPen(QPen(QColor(90, 90, 90), 1, Qt::DashLine));
    painter.drawLine(QPointF(seamX, 0), QPointF(seamX, height()));
    painter.setPen(QColor(90, 90, 90));
    painter.drawText(QRectF(0, 0, seamX - 6, top), Qt::AlignRight | Qt::AlignVCenter,
                     "Ende des Loops");
    painter.drawText(QRectF(seamX + 6, 0, width(), top), Qt::AlignLeft | Qt::AlignVCenter,
                     "Anfang des Loops");
    painter.setRenderHint(QPainter::Antialiasing);
    QPolygonF line;
    for (std::size_t i = 0; i < v.size(); ++i) {
        line << point(i);
    }
    painter.setPen(QPen(kPartColours[1], 1));
    painter.drawPolyline(line);
    painter.setPen(Qt::NoPen);
    for (std::size_t i = 0; i < v.size(); ++i) {
        painter.setBrush(melo::is_clipped(v[i]) ? kClipped : kPartColours[1]);
        painter.drawEllipse(line[static_cast<int>(i)], 2.5, 2.5);
    }
    // The two samples either side of the seam, with their values, below the headings.
    painter.setPen(Qt::black);
    painter.drawText(QRectF(0, band, seamX - 6, band), Qt::AlignRight | Qt::AlignVCenter,
                     QString::number(m_seam.before.back()));
    painter.drawText(QRectF(seamX + 6, band, width(), band), Qt::AlignLeft | Qt::AlignVCenter,
                     QString::number(m_seam.after.front()));
}
