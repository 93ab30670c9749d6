#include "flash/waveform_viewport.h"

#include <algorithm>
#include <cmath>

namespace melo {

double WaveformViewport::fit_per_pixel() const {
    return std::max(m_length, 1.0) / m_width;
}

void WaveformViewport::clamp() {
    const double fit = fit_per_pixel();
    m_per_pixel = std::clamp(m_per_pixel, std::min(1.0 / kMostPixelsPerSample, fit), fit);
    m_fitted = m_per_pixel >= fit;
    m_first = std::clamp(m_first, 0.0, std::max(0.0, m_length - m_width * m_per_pixel));
}

void WaveformViewport::set_size(double length, int width) {
    m_length = std::max(0.0, length);
    m_width = std::max(1, width);
    if (m_fitted) {
        fit();
    }
    clamp();
}

void WaveformViewport::fit() {
    m_first = 0;
    m_per_pixel = fit_per_pixel();
    m_fitted = true;
}

void WaveformViewport::zoom(double factor, double at_x) {
    const double at = position_at(at_x);
    m_per_pixel *= factor;
    clamp();
    m_first = at - at_x * m_per_pixel;
    clamp();
}

void WaveformViewport::scroll(double pixels) {
    m_first += pixels * m_per_pixel;
    clamp();
}

void WaveformViewport::set_first(double position) {
    m_first = position;
    clamp();
}

void WaveformViewport::centre_on(double position) {
    set_first(position - m_width * m_per_pixel / 2);
}

RulerTicks ruler_ticks(double from, double to, double per_pixel, double min_spacing) {
    RulerTicks ticks;
    const double least = std::max(per_pixel * min_spacing, 1e-9);
    int exponent = static_cast<int>(std::floor(std::log10(least)));
    static constexpr int kMantissas[] = {1, 2, 5};
    for (;; ++exponent) {
        const double power = std::pow(10.0, exponent);
        const int* fitting = std::find_if(std::begin(kMantissas), std::end(kMantissas),
                                          [&](int m) { return m * power >= least; });
        if (fitting != std::end(kMantissas)) {
            ticks.step = *fitting * power;
            ticks.minor = *fitting == 2 ? 4 : 5;
            break;
        }
    }
    ticks.decimals = std::max(0, -exponent);
    for (double k = std::ceil(from / ticks.step); k * ticks.step <= to; ++k) {
        ticks.values.push_back(k * ticks.step);
    }
    return ticks;
}

} // namespace melo
