// What the ASF writer and the repair of an unfinished file share: the object
// GUIDs, where the fields of a finished file live, how a file is finished
// and how its simple index is built.
#pragma once

#include "media/MediaTypes.h"
#include "media/asf/AsfBytes.h"

#include <functional>
#include <vector>

namespace mirvak::media::asf {

constexpr GuidBytes kHeaderObject = MakeGuid(0x75B22630, 0x668E, 0x11CF, 0xA6D9, 0x00AA0062CE6Cull);
constexpr GuidBytes kFilePropertiesObject = MakeGuid(0x8CABDCA1, 0xA947, 0x11CF, 0x8EE4, 0x00C00C205365ull);
constexpr GuidBytes kStreamPropertiesObject = MakeGuid(0xB7DC0791, 0xA9B7, 0x11CF, 0x8EE6, 0x00C00C205365ull);
constexpr GuidBytes kDataObject = MakeGuid(0x75B22636, 0x668E, 0x11CF, 0xA6D9, 0x00AA0062CE6Cull);
constexpr GuidBytes kSimpleIndexObject = MakeGuid(0x33000890, 0xE5B1, 0x11CF, 0x89F4, 0x00A0C90349CBull);
constexpr GuidBytes kAudioMedia = MakeGuid(0xF8699E40, 0x5B4D, 0x11CF, 0xA8FD, 0x00805F5C442Bull);

constexpr uint64_t kIndexInterval100ns = 10000000;  // one index entry a second
constexpr uint32_t kFlagBroadcast = 0x01;
constexpr uint32_t kFlagSeekable = 0x02;

// Offsets (from the file start) of the fields that finishing a file fills in.
struct PatchPoints {
    uint64_t fileSize = 0, packetCount = 0, playDuration = 0, sendDuration = 0, flags = 0;
    uint64_t dataObjectSize = 0, dataPacketCount = 0;
};

struct FinishedValues {
    uint64_t fileSize = 0;
    uint64_t packets = 0;
    uint64_t play100ns = 0;        // preroll included, as the header counts it
    uint64_t dataObjectSize = 0;
};

using WriteAtFn = std::function<HResult(uint64_t offset, const void* data, size_t size)>;

// Writes the sizes, counts and durations, and the flags (seekable) last: a
// file counts as finished only once everything else it claims is in place.
HResult WriteFinishedFields(const WriteAtFn& writeAt, const PatchPoints& at, const FinishedValues& v);

// The Simple Index object: entry i names the packet holding the last block
// that starts at or before i seconds of presentation time (preroll
// included). `packetStarts100ns` gives each packet's first presentation
// time, preroll included, in packet order.
std::vector<uint8_t> BuildSimpleIndex(const GuidBytes& fileId, const std::vector<uint64_t>& packetStarts100ns,
                                      uint64_t play100ns);

} // namespace mirvak::media::asf
