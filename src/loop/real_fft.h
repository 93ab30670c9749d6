#pragma once

#include <complex>
#include <cstddef>

namespace melo {

// A real-input FFT of one even size, from the KissFFT package. The forward transform gives
// size/2+1 bins; the inverse is unscaled (it returns size times the input of a round trip).
// Not copyable; one object per thread.
class RealFft {
public:
    // Throws std::bad_alloc when the tables cannot be allocated.
    explicit RealFft(int size);
    ~RealFft();
    RealFft(const RealFft&) = delete;
    RealFft& operator=(const RealFft&) = delete;

    int size() const { return m_size; }
    std::size_t bins() const { return static_cast<std::size_t>(m_size / 2 + 1); }
    void forward(const float* time, std::complex<float>* freq);
    void inverse(const std::complex<float>* freq, float* time);

private:
    int m_size;
    void* m_forward;
    void* m_inverse;
};

} // namespace melo
