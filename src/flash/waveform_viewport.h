#pragma once

#include <vector>

namespace melo {

// What stretch of a waveform a view shows: the position at its left edge and the positions per
// pixel, kept inside the waveform and between the whole waveform and a few dozen pixels per
// sample. Positions are sample indices (fractions allowed); x counts pixels from the left edge
// of the drawn area.
class WaveformViewport {
public:
    static constexpr double kMostPixelsPerSample = 32;

    // Shows `length` positions over `width` pixels; a viewport that showed everything still
    // does, any other keeps its left edge and scale.
    void set_size(double length, int width);
    // Shows the whole waveform.
    void fit();
    // Zooms by `factor` (below 1: in) keeping the position under `at_x` where it is.
    void zoom(double factor, double at_x);
    // Moves by `pixels` (positive: later positions come into view).
    void scroll(double pixels);
    // Puts `position` at the left edge, or in the middle, as far as the waveform allows.
    void set_first(double position);
    void centre_on(double position);

    double x_of(double position) const { return (position - m_first) / m_per_pixel; }
    double position_at(double x) const { return m_first + x * m_per_pixel; }
    double first() const { return m_first; }
    double last() const { return m_first + m_width * m_per_pixel; }
    double per_pixel() const { return m_per_pixel; }
    double length() const { return m_length; }
    int width() const { return m_width; }
    bool fitted() const { return m_fitted; }

private:
    double fit_per_pixel() const;
    void clamp();

    double m_length = 1;
    int m_width = 1;
    double m_first = 0;
    double m_per_pixel = 1;
    bool m_fitted = true;
};

// The labelled ticks of a ruler over [from, to] (seconds, or any unit), one pixel being
// `per_pixel` of it: a step of 1, 2 or 5 times a power of ten, the smallest that keeps labels
// at least `min_spacing` pixels apart, and the number of decimals its labels need.
struct RulerTicks {
    double step = 1;
    int decimals = 0;
    int minor = 5; // unlabelled ticks per step
    std::vector<double> values;
};
RulerTicks ruler_ticks(double from, double to, double per_pixel, double min_spacing);

} // namespace melo
