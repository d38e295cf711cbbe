// Windows Media Audio version 2 encoder (format tag 0x0161) for 16-bit PCM.
#pragma once

#include "media/MediaTypes.h"

#include <memory>

namespace mirvak::media {

class WmaEncoder {
public:
    WmaEncoder();
    ~WmaEncoder();
    WmaEncoder(const WmaEncoder&) = delete;
    WmaEncoder& operator=(const WmaEncoder&) = delete;

    // Prepares the encoder for interleaved 16-bit PCM at the given rate and
    // channel count (1 or 2), holding bitRate bits per second on average.
    // Returns kOk, or kEInvalidArg for a combination it cannot encode.
    HResult Init(uint32_t sampleRate, uint16_t channels, uint32_t bitRate);

    // Valid after Init: format tag 0x0161, channels, rate, avgBytesPerSec,
    // blockAlign (bytes of every block passed to the sink), bitsPerSample,
    // and the codec-specific bytes the decoder needs.
    const AudioStreamFormat& Format() const;

    // PCM frames (samples per channel) that one encoded block covers.
    uint32_t FramesPerBlock() const;

    // Consumes `frames` interleaved frames; every block completed on the way
    // is handed to `sink`, in order, each exactly Format().blockAlign bytes.
    HResult Encode(const int16_t* pcm, size_t frames, const BlockSink& sink);

    // Pads the pending input with silence and emits the remaining blocks,
    // so the blocks written cover at least every frame given to Encode.
    HResult Flush(const BlockSink& sink);

    // Frames of delay between the input and the decoded output (the
    // transform's overlap), for aligning them in tests and measurements.
    uint32_t DelayFrames() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace mirvak::media
