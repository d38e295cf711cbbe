// An independent reader of the ASF files we write, for the media tests on
// both sides (the ASF tests and, under Wine, the writer filter's).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numeric>
#include <string>
#include <vector>

namespace asftest {

namespace fs = std::filesystem;

inline std::vector<uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::string GuidText(const uint8_t* p) {
    char s[40];
    std::snprintf(s, sizeof s, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                  p[3], p[2], p[1], p[0], p[5], p[4], p[7], p[6], p[8], p[9], p[10], p[11], p[12], p[13],
                  p[14], p[15]);
    return s;
}

inline const char* kGuidHeader = "75B22630-668E-11CF-A6D9-00AA0062CE6C";
inline const char* kGuidFileProps = "8CABDCA1-A947-11CF-8EE4-00C00C205365";
inline const char* kGuidStreamProps = "B7DC0791-A9B7-11CF-8EE6-00C00C205365";
inline const char* kGuidHeaderExt = "5FBF03B5-A92E-11CF-8EE3-00C00C205365";
inline const char* kGuidData = "75B22636-668E-11CF-A6D9-00AA0062CE6C";
inline const char* kGuidSimpleIndex = "33000890-E5B1-11CF-89F4-00A0C90349CB";
inline const char* kGuidAudioMedia = "F8699E40-5B4D-11CF-A8FD-00805F5C442B";
inline const char* kGuidAudioSpread = "BFC3CD50-618F-11CF-8BB2-00AA00B4E220";

struct Payload {
    uint8_t stream = 0;
    bool keyFrame = false;
    uint32_t objectSize = 0, objectOffset = 0, presentationMs = 0;
    std::vector<uint8_t> data;
};

struct Packet {
    uint32_t sendTimeMs = 0, padding = 0;
    std::vector<Payload> payloads;
};

struct AsfFile {
    struct Object { std::string guid; uint64_t offset = 0, size = 0; };
    std::vector<Object> topLevel, headerObjects;
    uint32_t headerObjectCount = 0;
    // File Properties
    std::string fileId;
    uint64_t fileSize = 0, packetCount = 0, playDuration = 0, sendDuration = 0, prerollMs = 0;
    uint32_t flags = 0, minPacket = 0, maxPacket = 0;
    // Stream Properties
    std::string streamType, errorCorrection;
    uint16_t streamNumber = 0, formatTag = 0, channels = 0, blockAlign = 0;
    uint32_t sampleRate = 0, byteRate = 0;
    std::vector<uint8_t> extra, errorCorrectionData;
    // Data Object
    uint64_t dataObjectSize = 0, dataPacketCount = 0;
    std::string dataFileId;
    std::vector<Packet> packets;
    size_t trailingPartialBytes = 0;  // bytes after the last whole packet
    // Simple Index
    bool hasIndex = false;
    uint64_t indexInterval = 0;
    std::vector<std::pair<uint32_t, uint16_t>> indexEntries;

    size_t PayloadCount() const {
        return std::accumulate(packets.begin(), packets.end(), size_t(0),
                               [](size_t n, const Packet& p) { return n + p.payloads.size(); });
    }
    // Media seconds: play duration less preroll.
    double Seconds() const { return playDuration / 1e7 - prerollMs / 1000.0; }
};

class Reader {
public:
    Reader(const std::vector<uint8_t>& b, size_t pos) : b_(b), pos_(pos) {}
    uint64_t Le(int n) {
        uint64_t v = 0;
        for (int i = 0; i < n; ++i) v |= uint64_t(b_[pos_ + i]) << (8 * i);
        pos_ += n;
        return v;
    }
    // Type 0 none, 1 byte, 2 word, 3 dword.
    uint64_t Sized(int type) { return Le((type & 3) == 3 ? 4 : type & 3); }
    std::string Guid() { pos_ += 16; return GuidText(&b_[pos_ - 16]); }
    std::vector<uint8_t> Bytes(size_t n) {
        pos_ += n;
        return std::vector<uint8_t>(b_.begin() + (pos_ - n), b_.begin() + pos_);
    }
    size_t pos() const { return pos_; }

private:
    const std::vector<uint8_t>& b_;
    size_t pos_;
};

inline void ParsePacket(Reader& r, size_t packetEnd, Packet* pk) {
    uint8_t ec = static_cast<uint8_t>(r.Le(1));
    ASSERT_EQ(ec & 0x80, 0x80) << "error correction flags";
    r.Le(ec & 0x0F);
    uint8_t lt = static_cast<uint8_t>(r.Le(1)), pf = static_cast<uint8_t>(r.Le(1));
    r.Sized(lt >> 5);  // packet length
    r.Sized(lt >> 1);  // sequence
    pk->padding = static_cast<uint32_t>(r.Sized(lt >> 3));
    pk->sendTimeMs = static_cast<uint32_t>(r.Le(4));
    r.Le(2);  // duration
    size_t count = 1;
    int lenType = 0;
    const bool multiple = lt & 1;
    if (multiple) {
        uint8_t f = static_cast<uint8_t>(r.Le(1));
        count = f & 0x3F;
        lenType = f >> 6;
    }
    for (size_t i = 0; i < count; ++i) {
        Payload p;
        uint8_t sn = static_cast<uint8_t>(r.Sized(pf >> 6));
        p.stream = sn & 0x7F;
        p.keyFrame = sn & 0x80;
        r.Sized(pf >> 4);
        p.objectOffset = static_cast<uint32_t>(r.Sized(pf >> 2));
        ASSERT_EQ(r.Sized(pf), 8u) << "replicated data";
        p.objectSize = static_cast<uint32_t>(r.Le(4));
        p.presentationMs = static_cast<uint32_t>(r.Le(4));
        size_t len = multiple ? r.Sized(lenType) : packetEnd - r.pos() - pk->padding;
        ASSERT_LE(r.pos() + len, packetEnd) << "payload overruns packet";
        p.data = r.Bytes(len);
        pk->payloads.push_back(std::move(p));
    }
    ASSERT_EQ(r.pos() + pk->padding, packetEnd) << "padding does not fill the packet";
}

inline void ParseHeader(const std::vector<uint8_t>& b, size_t pos, size_t end, AsfFile* f) {
    size_t hp = pos + 30;
    while (hp + 24 <= end) {
        Reader h(b, hp);
        AsfFile::Object ho{h.Guid(), hp, h.Le(8)};
        ASSERT_GE(ho.size, 24u);
        ASSERT_LE(hp + ho.size, end);
        f->headerObjects.push_back(ho);
        if (ho.guid == kGuidFileProps) {
            EXPECT_EQ(ho.size, 104u);
            f->fileId = h.Guid();
            uint64_t created = 0;
            for (uint64_t* v : {&f->fileSize, &created, &f->packetCount, &f->playDuration, &f->sendDuration,
                                &f->prerollMs})
                *v = h.Le(8);
            for (uint32_t* v : {&f->flags, &f->minPacket, &f->maxPacket}) *v = static_cast<uint32_t>(h.Le(4));
        } else if (ho.guid == kGuidStreamProps) {
            f->streamType = h.Guid();
            f->errorCorrection = h.Guid();
            h.Le(8);
            uint32_t tsLen = static_cast<uint32_t>(h.Le(4)), ecLen = static_cast<uint32_t>(h.Le(4));
            f->streamNumber = static_cast<uint16_t>(h.Le(2)) & 0x7F;
            h.Le(4);
            EXPECT_EQ(78u + tsLen + ecLen, ho.size);
            ASSERT_GE(tsLen, 18u);
            f->formatTag = static_cast<uint16_t>(h.Le(2));
            f->channels = static_cast<uint16_t>(h.Le(2));
            f->sampleRate = static_cast<uint32_t>(h.Le(4));
            f->byteRate = static_cast<uint32_t>(h.Le(4));
            f->blockAlign = static_cast<uint16_t>(h.Le(2));
            h.Le(2);
            size_t cb = h.Le(2);
            EXPECT_EQ(18u + cb, tsLen);
            f->extra = h.Bytes(cb);
            f->errorCorrectionData = h.Bytes(ecLen);
        }
        hp += ho.size;
    }
    EXPECT_EQ(hp, end) << "header objects do not fill the header";
}

// Reads a whole file; a file cut short while being written is read up to its
// last whole packet.
inline void ParseAsf(const std::vector<uint8_t>& b, AsfFile* f) {
    size_t pos = 0;
    while (pos + 24 <= b.size()) {
        Reader r(b, pos);
        AsfFile::Object o{r.Guid(), pos, r.Le(8)};
        f->topLevel.push_back(o);
        if (o.guid == kGuidHeader) {
            ASSERT_GE(o.size, 30u);
            ASSERT_LE(pos + o.size, b.size());
            f->headerObjectCount = static_cast<uint32_t>(r.Le(4));
            EXPECT_EQ(r.Le(2), 0x0201u);
            ParseHeader(b, pos, pos + o.size, f);
            if (::testing::Test::HasFatalFailure()) return;
        } else if (o.guid == kGuidData) {
            f->dataFileId = r.Guid();
            f->dataPacketCount = r.Le(8);
            EXPECT_EQ(r.Le(2), 0x0101u);
            f->dataObjectSize = o.size;
            ASSERT_GT(f->maxPacket, 0u) << "data before file properties";
            // A live file's data object has size 0: read packets to the end.
            size_t end = o.size ? pos + o.size : b.size(), pp = pos + 50;
            ASSERT_LE(end, b.size());
            for (; pp + f->maxPacket <= end; pp += f->maxPacket) {
                Reader pr(b, pp);
                Packet pk;
                ParsePacket(pr, pp + f->maxPacket, &pk);
                if (::testing::Test::HasFatalFailure()) return;
                f->packets.push_back(std::move(pk));
            }
            f->trailingPartialBytes = end - pp;
            if (o.size == 0) return;
        } else if (o.guid == kGuidSimpleIndex) {
            f->hasIndex = true;
            r.Guid();
            f->indexInterval = r.Le(8);
            r.Le(4);
            uint32_t n = static_cast<uint32_t>(r.Le(4));
            ASSERT_EQ(o.size, 56u + 6ull * n);
            ASSERT_LE(pos + o.size, b.size());
            for (uint32_t i = 0; i < n; ++i) {
                uint32_t pn = static_cast<uint32_t>(r.Le(4));
                f->indexEntries.emplace_back(pn, static_cast<uint16_t>(r.Le(2)));
            }
        }
        ASSERT_GE(o.size, 24u) << "object " << o.guid << " at " << pos;
        pos += o.size;
    }
    EXPECT_EQ(pos, b.size()) << "top-level objects do not add up to the file size";
}

inline AsfFile ParseAsf(const std::vector<uint8_t>& b) {
    AsfFile f;
    ParseAsf(b, &f);
    return f;
}

} // namespace asftest
