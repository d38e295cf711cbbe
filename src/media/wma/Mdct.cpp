#include "media/wma/Mdct.h"

#include <cmath>
#include <numbers>

namespace mirvak::media::wma {

bool Mdct::Init(size_t m) {
    if (m < 16 || (m & (m - 1)) != 0) return false;
    m_ = m;
    const size_t l = m / 2;
    const double pi = std::numbers::pi;
    fold_.assign(m, 0.0f);
    pre_.resize(l);
    post_.resize(l);
    work_.assign(l, {});
    for (size_t n = 0; n < l; ++n) {
        double a = -pi * static_cast<double>(n) / static_cast<double>(m);
        pre_[n] = {static_cast<float>(std::cos(a)), static_cast<float>(std::sin(a))};
        double b = -pi * (static_cast<double>(n) + 0.25) / static_cast<double>(m);
        post_[n] = {static_cast<float>(std::cos(b)), static_cast<float>(std::sin(b))};
    }
    twiddle_.resize(l / 2);
    for (size_t k = 0; k < l / 2; ++k) {
        double a = -2.0 * pi * static_cast<double>(k) / static_cast<double>(l);
        twiddle_[k] = {static_cast<float>(std::cos(a)), static_cast<float>(std::sin(a))};
    }
    bitrev_.resize(l);
    int bits = 0;
    while ((size_t{1} << bits) < l) ++bits;
    for (size_t i = 0; i < l; ++i) {
        uint32_t r = 0;
        for (int b = 0; b < bits; ++b)
            if (i & (size_t{1} << b)) r |= 1u << (bits - 1 - b);
        bitrev_[i] = r;
    }
    return true;
}

void Mdct::Fft(std::complex<float>* a) const {
    const size_t l = m_ / 2;
    for (size_t i = 0; i < l; ++i) {
        size_t j = bitrev_[i];
        if (j > i) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= l; len <<= 1) {
        const size_t half = len / 2, step = l / len;
        for (size_t s = 0; s < l; s += len) {
            for (size_t k = 0; k < half; ++k) {
                std::complex<float> w = twiddle_[k * step];
                std::complex<float> u = a[s + k];
                std::complex<float> t = a[s + k + half];
                // Explicit complex multiply: std::complex's operator* pays for
                // NaN/inf handling we never need.
                float tr = t.real() * w.real() - t.imag() * w.imag();
                float ti = t.real() * w.imag() + t.imag() * w.real();
                a[s + k] = {u.real() + tr, u.imag() + ti};
                a[s + k + half] = {u.real() - tr, u.imag() - ti};
            }
        }
    }
}

void Mdct::Forward(const float* in, float* out) {
    const size_t m = m_, h = m / 2, l = m / 2;
    // Fold the 2M windowed inputs (quarters a b c d) into (-c_r - d, a - b_r).
    float* v = fold_.data();
    for (size_t n = 0; n < h; ++n) {
        v[n] = -in[3 * h - 1 - n] - in[3 * h + n];
        v[h + n] = in[n] - in[m - 1 - n];
    }
    // DCT-IV of v through an L-point complex FFT.
    std::complex<float>* z = work_.data();
    for (size_t n = 0; n < l; ++n) {
        float re = v[2 * n], im = v[m - 1 - 2 * n];
        const std::complex<float> p = pre_[n];
        z[n] = {re * p.real() - im * p.imag(), re * p.imag() + im * p.real()};
    }
    Fft(z);
    for (size_t k = 0; k < l; ++k) {
        const std::complex<float> p = post_[k];
        float yr = z[k].real() * p.real() - z[k].imag() * p.imag();
        float yi = z[k].real() * p.imag() + z[k].imag() * p.real();
        out[2 * k] = yr;
        out[m - 1 - 2 * k] = -yi;
    }
}

} // namespace mirvak::media::wma
