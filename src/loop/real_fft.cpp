#include "loop/real_fft.h"

#include <kiss_fftr.h>
#include <new>

namespace melo {

// std::complex<float> is laid out as two floats, real part first, like kiss_fft_cpx.
static_assert(sizeof(kiss_fft_cpx) == sizeof(std::complex<float>));

RealFft::RealFft(int size)
    : m_size(size), m_forward(kiss_fftr_alloc(size, 0, nullptr, nullptr)),
      m_inverse(kiss_fftr_alloc(size, 1, nullptr, nullptr)) {
    if (m_forward == nullptr || m_inverse == nullptr) {
        kiss_fftr_free(m_forward);
        kiss_fftr_free(m_inverse);
        throw std::bad_alloc();
    }
}

RealFft::~RealFft() {
    kiss_fftr_free(m_forward);
    kiss_fftr_free(m_inverse);
}

void RealFft::forward(const float* time, std::complex<float>* freq) {
    kiss_fftr(static_cast<kiss_fftr_cfg>(m_forward), time, reinterpret_cast<kiss_fft_cpx*>(freq));
}

void RealFft::inverse(const std::complex<float>* freq, float* time) {
    kiss_fftri(static_cast<kiss_fftr_cfg>(m_inverse), reinterpret_cast<const kiss_fft_cpx*>(freq),
               time);
}

} // namespace melo
