#include "media/asf/AsfLayout.h"

#include <algorithm>

namespace mirvak::media::asf {

HResult WriteFinishedFields(const WriteAtFn& writeAt, const PatchPoints& at, const FinishedValues& v) {
    auto put64 = [&](uint64_t offset, uint64_t value) {
        uint8_t b[8];
        for (int i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(value >> (8 * i));
        return writeAt(offset, b, 8);
    };
    const std::pair<uint64_t, uint64_t> fields[] = {
        {at.fileSize, v.fileSize},         {at.packetCount, v.packets},
        {at.playDuration, v.play100ns},    {at.sendDuration, v.play100ns},
        {at.dataObjectSize, v.dataObjectSize}, {at.dataPacketCount, v.packets},
    };
    for (const auto& [offset, value] : fields) {
        HResult hr = put64(offset, value);
        if (Failed(hr)) return hr;
    }
    const uint8_t seekable[4] = {static_cast<uint8_t>(kFlagSeekable), 0, 0, 0};
    return writeAt(at.flags, seekable, 4);
}

std::vector<uint8_t> BuildSimpleIndex(const GuidBytes& fileId, const std::vector<uint64_t>& packetStarts100ns,
                                      uint64_t play100ns) {
    const uint64_t entries = packetStarts100ns.empty() ? 0 : play100ns / kIndexInterval100ns + 1;
    ByteWriter w;
    size_t start = w.BeginObject(kSimpleIndexObject);
    w.Guid(fileId);
    w.U64(kIndexInterval100ns);
    w.U32(1);  // no block spans packets
    w.U32(static_cast<uint32_t>(entries));
    size_t packet = 0;
    for (uint64_t i = 0; i < entries; ++i) {
        const uint64_t t = i * kIndexInterval100ns;
        while (packet + 1 < packetStarts100ns.size() && packetStarts100ns[packet + 1] <= t) ++packet;
        w.U32(static_cast<uint32_t>(packet));
        w.U16(1);
    }
    w.EndObject(start);
    return w.Take();
}

} // namespace mirvak::media::asf
