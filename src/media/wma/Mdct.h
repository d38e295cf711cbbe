// Forward MDCT of 2M samples into M coefficients, computed through a DCT-IV
// and an M/2-point complex FFT. All tables are built by Init; Forward does
// no allocation.
#pragma once

#include <complex>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace mirvak::media::wma {

class Mdct {
public:
    // M must be a power of two, at least 16.
    bool Init(size_t m);
    size_t Size() const { return m_; }

    // X[k] = sum_{n<2M} in[n] cos(pi/M (n + 1/2 + M/2)(k + 1/2)), k < M.
    // `in` holds 2M samples (already windowed), `out` M coefficients.
    void Forward(const float* in, float* out);

private:
    // In-place forward FFT of re_/im_ (bit-reversed input, natural output).
    void Fft();

    size_t m_ = 0;
    std::vector<float> fold_;
    std::vector<std::complex<float>> pre_, post_;
    std::vector<uint32_t> bitrev_;
    // Split real/imaginary work arrays so that butterfly loops vectorise.
    std::vector<float> re_, im_;
    // Twiddles of the radix-4 stages, per stage W^k, W^2k, W^3k for k < q,
    // each as re then im, stage after stage.
    std::vector<float> stageTw_;
    bool radix2First_ = false;
};

} // namespace mirvak::media::wma
