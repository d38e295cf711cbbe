// Types shared by the built-in media layer: the encoder, the ASF writer, the
// profile catalogue and the DirectShow adapters. No Windows headers here: this
// header is compiled natively as well as into the executable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace mirvak::media {

// HRESULT-style results, spelled out so the portable code needs no <windows.h>.
using HResult = int32_t;
constexpr HResult kOk = 0;
constexpr HResult kFalse = 1;
constexpr HResult kEFail = static_cast<HResult>(0x80004005u);
constexpr HResult kEInvalidArg = static_cast<HResult>(0x80070057u);
constexpr HResult kEOutOfMemory = static_cast<HResult>(0x8007000Eu);
constexpr HResult kENotImpl = static_cast<HResult>(0x80004001u);
constexpr HResult kEUnexpected = static_cast<HResult>(0x8000FFFFu);
constexpr HResult kEWriteFault = static_cast<HResult>(0x8007001Du);  // ERROR_WRITE_FAULT
constexpr HResult kEInvalidData = static_cast<HResult>(0x8007000Du); // ERROR_INVALID_DATA

inline bool Failed(HResult hr) { return hr < 0; }

// The fields of a WAVEFORMATEX for an encoded (or PCM) audio stream, plus
// its codec-specific bytes (cbSize == extra.size()).
struct AudioStreamFormat {
    uint16_t formatTag = 0;       // 0x0161 for WMA version 2, 1 for PCM
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;      // bytes of one encoded block
    uint16_t bitsPerSample = 0;
    std::vector<uint8_t> extra;   // codec-specific data
};

// Receives one complete encoded block (exactly blockAlign bytes).
using BlockSink = std::function<void(const uint8_t* data, size_t size)>;

} // namespace mirvak::media
