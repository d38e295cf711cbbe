// Writes a single-audio-stream ASF file (.wma) from fixed-size encoded blocks.
// The file stays readable while it is written: the header goes out first in
// its "being written" form and every packet is written as soon as it is full;
// Close fixes the header up and appends the index.
#pragma once

#include "media/MediaTypes.h"

#include <memory>
#include <string>

namespace mirvak::media {

// Where the writer puts its bytes. On Windows the adapter wraps a file
// HANDLE; natively FileByteSink uses stdio.
class IByteSink {
public:
    virtual ~IByteSink() = default;
    virtual HResult Write(const void* data, size_t size) = 0;               // append
    virtual HResult WriteAt(uint64_t offset, const void* data, size_t size) = 0; // patch
    virtual HResult Flush() = 0;       // push written bytes to the file
};

// Optional content description (UTF-16 strings, without terminators).
struct AsfContentDescription {
    std::u16string title, author, copyright, description;
};

class AsfWriter {
public:
    AsfWriter();
    ~AsfWriter();
    AsfWriter(const AsfWriter&) = delete;
    AsfWriter& operator=(const AsfWriter&) = delete;

    // Writes the header. `format` is the encoder's (blockAlign > 0),
    // framesPerBlock the PCM frames one block covers, bitRate the stream's
    // bit rate in bits per second. Returns kEInvalidArg for a format it
    // cannot describe, or the sink's failure.
    HResult Open(IByteSink* sink, const AudioStreamFormat& format, uint32_t framesPerBlock,
                 uint32_t bitRate, const AsfContentDescription* content = nullptr);

    // One encoded block of exactly format.blockAlign bytes, in order.
    HResult WriteBlock(const uint8_t* data, size_t size);

    // Optional, while open: how many PCM frames the recording really holds.
    // The header's durations then end there instead of at the end of the
    // last (padded) block; a count beyond the blocks written is cut to them.
    // kEUnexpected when not open.
    HResult SetInputFrames(uint64_t frames);

    // Completes the last packet, fixes up the header (sizes, packet count,
    // durations, seekable) and writes the simple index. Idempotent.
    HResult Close();

    uint64_t PacketCount() const;
    uint64_t DurationMs() const;   // presentation time of the blocks written

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// stdio-backed sink for native tools and tests.
class FileByteSink : public IByteSink {
public:
    ~FileByteSink() override;
    HResult Create(const std::string& path);   // truncates
    HResult Write(const void* data, size_t size) override;
    HResult WriteAt(uint64_t offset, const void* data, size_t size) override;
    HResult Flush() override;
    HResult CloseFile();
private:
    void* file_ = nullptr;  // FILE*
};

} // namespace mirvak::media
