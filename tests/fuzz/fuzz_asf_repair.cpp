// libFuzzer target for the repair of unfinished recordings: the input is the file as a crash left it;
// the repair stays inside it, only shortens it or appends the index, and leaves alone what it did not finish.
#include "media/asf/AsfRepair.h"

#include <cstdlib>
#include <cstring>
#include <vector>

using namespace mirvak::media;

namespace {

class MemoryFile : public IRandomAccessFile {
public:
    explicit MemoryFile(std::vector<uint8_t> b) : bytes(std::move(b)) {}
    std::vector<uint8_t> bytes;

    HResult Size(uint64_t* size) override {
        *size = bytes.size();
        return kOk;
    }
    HResult ReadAt(uint64_t offset, void* data, size_t size, size_t* read) override {
        *read = 0;
        if (offset >= bytes.size()) return kOk;
        *read = static_cast<size_t>(std::min<uint64_t>(size, bytes.size() - offset));
        std::memcpy(data, bytes.data() + offset, *read);
        return kOk;
    }
    HResult WriteAt(uint64_t offset, const void* data, size_t size) override {
        if (offset > bytes.size()) std::abort();   // never leaves a hole
        if (offset + size > bytes.size()) bytes.resize(offset + size);
        std::memcpy(bytes.data() + offset, data, size);
        return kOk;
    }
    HResult Truncate(uint64_t size) override {
        if (size > bytes.size()) std::abort();     // only ever shortens
        bytes.resize(size);
        return kOk;
    }
    HResult Flush() override { return kOk; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (4u << 20)) return 0;
    std::vector<uint8_t> original(data, data + size);
    MemoryFile file(original);
    AsfRepairResult r;
    HResult hr = CompleteUnfinishedAsf(file, &r);
    if (hr != kOk) {
        if (file.bytes != original) std::abort();   // untouched unless finished
        return 0;
    }
    if (r.packets == 0) std::abort();
    // A finished file is finished: a second repair leaves it alone.
    std::vector<uint8_t> finished = file.bytes;
    if (CompleteUnfinishedAsf(file) != kFalse || file.bytes != finished) std::abort();
    return 0;
}
