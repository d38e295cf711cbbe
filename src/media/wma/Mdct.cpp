#include "media/wma/Mdct.h"

#include <cmath>
#include <numbers>

namespace mirvak::media::wma {

namespace {

// One radix-4 decimation-in-time butterfly column over the quarters of a
// block. In bit-reversed order the quarters hold the transforms of the
// residues 0, 2, 1, 3 (mod 4) of the block's subsequence: F1 sits in the
// third quarter, F2 in the second.
void Radix4(float* __restrict r0, float* __restrict i0, float* __restrict r1, float* __restrict i1,
            float* __restrict r2, float* __restrict i2, float* __restrict r3, float* __restrict i3,
            const float* __restrict w1r, const float* __restrict w1i, const float* __restrict w2r,
            const float* __restrict w2i, const float* __restrict w3r, const float* __restrict w3i, size_t q) {
    for (size_t k = 0; k < q; ++k) {
        const float ar = r0[k], ai = i0[k];
        const float f1r = r2[k], f1i = i2[k];
        const float f2r = r1[k], f2i = i1[k];
        const float f3r = r3[k], f3i = i3[k];
        const float br = f1r * w1r[k] - f1i * w1i[k], bi = f1r * w1i[k] + f1i * w1r[k];
        const float cr = f2r * w2r[k] - f2i * w2i[k], ci = f2r * w2i[k] + f2i * w2r[k];
        const float dr = f3r * w3r[k] - f3i * w3i[k], di = f3r * w3i[k] + f3i * w3r[k];
        const float s0r = ar + cr, s0i = ai + ci;   // A + C
        const float d0r = ar - cr, d0i = ai - ci;   // A - C
        const float s1r = br + dr, s1i = bi + di;   // B + D
        const float d1r = br - dr, d1i = bi - di;   // B - D
        r0[k] = s0r + s1r;
        i0[k] = s0i + s1i;
        r2[k] = s0r - s1r;
        i2[k] = s0i - s1i;
        // X[k+q] = (A - C) - i(B - D), X[k+3q] = (A - C) + i(B - D).
        r1[k] = d0r + d1i;
        i1[k] = d0i - d1r;
        r3[k] = d0r - d1i;
        i3[k] = d0i + d1r;
    }
}

} // namespace

bool Mdct::Init(size_t m) {
    if (m < 16 || (m & (m - 1)) != 0) return false;
    m_ = m;
    const size_t l = m / 2;
    const double pi = std::numbers::pi;
    fold_.assign(m, 0.0f);
    pre_.resize(l);
    post_.resize(l);
    re_.assign(l, 0.0f);
    im_.assign(l, 0.0f);
    for (size_t n = 0; n < l; ++n) {
        double a = -pi * static_cast<double>(n) / static_cast<double>(m);
        pre_[n] = {static_cast<float>(std::cos(a)), static_cast<float>(std::sin(a))};
        double b = -pi * (static_cast<double>(n) + 0.25) / static_cast<double>(m);
        post_[n] = {static_cast<float>(std::cos(b)), static_cast<float>(std::sin(b))};
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
    // An odd power of two starts with one radix-2 stage, then radix-4 stages.
    radix2First_ = (bits & 1) != 0;
    stageTw_.clear();
    for (size_t q = radix2First_ ? 2 : 1; 4 * q <= l; q *= 4) {
        const double step = -2.0 * pi / static_cast<double>(4 * q);
        for (int r = 1; r <= 3; ++r) {
            for (size_t k = 0; k < q; ++k) stageTw_.push_back(static_cast<float>(std::cos(step * double(r * k))));
            for (size_t k = 0; k < q; ++k) stageTw_.push_back(static_cast<float>(std::sin(step * double(r * k))));
        }
    }
    return true;
}

void Mdct::Fft() {
    const size_t l = m_ / 2;
    float* __restrict xr = re_.data();
    float* __restrict xi = im_.data();
    size_t q = 1;
    if (radix2First_) {
        for (size_t s = 0; s < l; s += 2) {
            const float ar = xr[s], ai = xi[s], br = xr[s + 1], bi = xi[s + 1];
            xr[s] = ar + br;
            xi[s] = ai + bi;
            xr[s + 1] = ar - br;
            xi[s + 1] = ai - bi;
        }
        q = 2;
    }
    const float* tw = stageTw_.data();
    if (q == 1 && l >= 4) {
        // The first radix-4 stage has unit twiddles only.
        for (size_t s = 0; s < l; s += 4) {
            const float ar = xr[s], ai = xi[s];
            const float cr = xr[s + 1], ci = xi[s + 1];
            const float br = xr[s + 2], bi = xi[s + 2];
            const float dr = xr[s + 3], di = xi[s + 3];
            const float s0r = ar + cr, s0i = ai + ci, d0r = ar - cr, d0i = ai - ci;
            const float s1r = br + dr, s1i = bi + di, d1r = br - dr, d1i = bi - di;
            xr[s] = s0r + s1r;
            xi[s] = s0i + s1i;
            xr[s + 2] = s0r - s1r;
            xi[s + 2] = s0i - s1i;
            xr[s + 1] = d0r + d1i;
            xi[s + 1] = d0i - d1r;
            xr[s + 3] = d0r - d1i;
            xi[s + 3] = d0i + d1r;
        }
        tw += 6;
        q = 4;
    }
    for (; 4 * q <= l; q *= 4) {
        const float* __restrict w1r = tw;
        const float* __restrict w1i = tw + q;
        const float* __restrict w2r = tw + 2 * q;
        const float* __restrict w2i = tw + 3 * q;
        const float* __restrict w3r = tw + 4 * q;
        const float* __restrict w3i = tw + 5 * q;
        tw += 6 * q;
        for (size_t s = 0; s < l; s += 4 * q)
            Radix4(xr + s, xi + s, xr + s + q, xi + s + q, xr + s + 2 * q, xi + s + 2 * q, xr + s + 3 * q,
                   xi + s + 3 * q, w1r, w1i, w2r, w2i, w3r, w3i, q);
    }
}

void Mdct::Forward(const float* in, float* out) {
    const size_t m = m_, h = m / 2, l = m / 2;
    // Fold the 2M windowed inputs (quarters a b c d) into (-c_r - d, a - b_r).
    float* __restrict v = fold_.data();
    for (size_t n = 0; n < h; ++n) {
        v[n] = -in[3 * h - 1 - n] - in[3 * h + n];
        v[h + n] = in[n] - in[m - 1 - n];
    }
    // DCT-IV of v through an L-point complex FFT; the pre-twiddled values go
    // straight to their bit-reversed places.
    float* __restrict xr = re_.data();
    float* __restrict xi = im_.data();
    const uint32_t* rev = bitrev_.data();
    for (size_t n = 0; n < l; ++n) {
        float re = v[2 * n], im = v[m - 1 - 2 * n];
        const std::complex<float> p = pre_[n];
        xr[rev[n]] = re * p.real() - im * p.imag();
        xi[rev[n]] = re * p.imag() + im * p.real();
    }
    Fft();
    for (size_t k = 0; k < l; ++k) {
        const std::complex<float> p = post_[k];
        float yr = xr[k] * p.real() - xi[k] * p.imag();
        float yi = xr[k] * p.imag() + xi[k] * p.real();
        out[2 * k] = yr;
        out[m - 1 - 2 * k] = -yi;
    }
}

} // namespace mirvak::media::wma
