// Helpers for the ASF writer tests: temporary folders, running ffmpeg and
// friends, and an independent reader of the files we write.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace asftest {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir() {
        std::string tmpl = (fs::temp_directory_path() / "tonbar-asf-XXXXXX").string();
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back('\0');
        if (!mkdtemp(buf.data())) std::abort();
        path_ = buf.data();
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string ReadText(const std::string& path) {
    auto b = ReadBytes(path);
    return std::string(b.begin(), b.end());
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'') q += "'\\''";
        else q += c;
    }
    return q + "'";
}

struct CommandResult {
    int exitCode = -1;
    std::string out, err;
};

// Runs a shell command with stdout and stderr captured in files of `dir`.
inline CommandResult Shell(const TempDir& dir, const std::string& command) {
    std::string o = dir / ".cmd.out", e = dir / ".cmd.err";
    std::string full = command + " >" + Quote(o) + " 2>" + Quote(e) + " </dev/null";
    int rc = std::system(full.c_str());
    CommandResult r;
    r.exitCode = (rc != -1 && WIFEXITED(rc)) ? WEXITSTATUS(rc) : -1;
    r.out = ReadText(o);
    r.err = ReadText(e);
    return r;
}

// key=value lines of ffprobe's default writer.
inline std::optional<std::string> ProbeValue(const std::string& probeOut, const std::string& key) {
    std::istringstream in(probeOut);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    }
    return std::nullopt;
}

// Parses the hex dump ffprobe prints for extradata ("00000000: 0000 0100 ...  ..").
inline std::vector<uint8_t> ProbeExtradata(const std::string& probeOut) {
    std::vector<uint8_t> bytes;
    std::istringstream in(probeOut);
    std::string line;
    bool inside = false;
    while (std::getline(in, line)) {
        if (line == "extradata=") { inside = true; continue; }
        if (!inside) continue;
        if (line.size() < 10 || line[8] != ':') break;
        // Hex area: after "xxxxxxxx: ", 8 groups of 4 digits, before two spaces.
        std::string hex = line.substr(10, 40);
        std::string digits;
        for (char c : hex) if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
        for (size_t i = 0; i + 1 < digits.size(); i += 2)
            bytes.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

// ---- an independent ASF reader ------------------------------------------

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
inline const char* kGuidContentDescr = "75B22633-668E-11CF-A6D9-00AA0062CE6C";
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
    uint32_t sendTimeMs = 0;
    uint16_t durationMs = 0;
    uint32_t padding = 0;
    std::vector<Payload> payloads;
};

struct AsfFile {
    struct Object { std::string guid; uint64_t offset = 0, size = 0; };
    std::vector<Object> topLevel;
    std::vector<Object> headerObjects;
    uint32_t headerObjectCount = 0;
    // File Properties
    std::string fileId;
    uint64_t fileSize = 0, packetCount = 0, playDuration = 0, sendDuration = 0, prerollMs = 0;
    uint32_t flags = 0, minPacket = 0, maxPacket = 0, maxBitrate = 0;
    // Stream Properties
    std::string streamType, errorCorrection;
    uint16_t streamNumber = 0;
    uint16_t formatTag = 0, channels = 0, blockAlign = 0, bitsPerSample = 0;
    uint32_t sampleRate = 0, avgBytesPerSec = 0;
    std::vector<uint8_t> extra;
    std::vector<uint8_t> errorCorrectionData;
    // Content Description
    std::optional<std::u16string> title, author, copyright, description;
    // Data Object
    uint64_t dataObjectSize = 0, dataPacketCount = 0;
    std::string dataFileId;
    std::vector<Packet> packets;
    size_t trailingPartialBytes = 0; // bytes after the last whole packet
    // Simple Index
    bool hasIndex = false;
    uint64_t indexInterval = 0;
    uint32_t indexMaxPacketCount = 0;
    std::vector<std::pair<uint32_t, uint16_t>> indexEntries;
};

class Reader {
public:
    Reader(const std::vector<uint8_t>& b, size_t pos, size_t end) : b_(b), pos_(pos), end_(end) {}
    bool Has(size_t n) const { return pos_ <= end_ && end_ - pos_ >= n; }
    uint64_t Le(int n) {
        uint64_t v = 0;
        for (int i = 0; i < n; ++i) v |= uint64_t(b_[pos_ + i]) << (8 * i);
        pos_ += n;
        return v;
    }
    uint64_t Sized(int type) { // 0 none, 1 byte, 2 word, 3 dword
        static const int widths[] = {0, 1, 2, 4};
        return widths[type & 3] ? Le(widths[type & 3]) : 0;
    }
    std::string Guid() { std::string g = GuidText(&b_[pos_]); pos_ += 16; return g; }
    std::u16string Utf16(size_t bytes) {
        std::u16string s;
        for (size_t i = 0; i + 1 < bytes; i += 2) s += static_cast<char16_t>(Le(2));
        if (bytes % 2) pos_ += 1;
        if (!s.empty() && s.back() == 0) s.pop_back();
        return s;
    }
    std::vector<uint8_t> Bytes(size_t n) {
        std::vector<uint8_t> v(b_.begin() + pos_, b_.begin() + pos_ + n);
        pos_ += n;
        return v;
    }
    size_t pos() const { return pos_; }
    void Seek(size_t p) { pos_ = p; }

private:
    const std::vector<uint8_t>& b_;
    size_t pos_, end_;
};

inline void ParsePacket(Reader& r, size_t packetEnd, Packet* pk) {
    uint8_t ec = static_cast<uint8_t>(r.Le(1));
    ASSERT_EQ(ec & 0x80, 0x80) << "error correction flags";
    r.Le(ec & 0x0F);
    uint8_t lt = static_cast<uint8_t>(r.Le(1));
    uint8_t pf = static_cast<uint8_t>(r.Le(1));
    r.Sized(lt >> 5);                 // packet length
    r.Sized(lt >> 1);                 // sequence
    pk->padding = static_cast<uint32_t>(r.Sized(lt >> 3));
    pk->sendTimeMs = static_cast<uint32_t>(r.Le(4));
    pk->durationMs = static_cast<uint16_t>(r.Le(2));
    size_t count = 1;
    int lenType = 0;
    bool multiple = lt & 1;
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
        size_t repl = r.Sized(pf);
        ASSERT_EQ(repl, 8u) << "replicated data";
        p.objectSize = static_cast<uint32_t>(r.Le(4));
        p.presentationMs = static_cast<uint32_t>(r.Le(4));
        size_t len = multiple ? r.Sized(lenType) : packetEnd - r.pos() - pk->padding;
        ASSERT_LE(r.pos() + len, packetEnd) << "payload overruns packet";
        p.data = r.Bytes(len);
        pk->payloads.push_back(std::move(p));
    }
    ASSERT_EQ(r.pos() + pk->padding, packetEnd) << "padding does not fill the packet";
}

// Reads a whole file; a file cut short while being written is read up to its
// last whole packet.
inline void ParseAsf(const std::vector<uint8_t>& b, AsfFile* f) {
    size_t pos = 0;
    while (pos + 24 <= b.size()) {
        Reader r(b, pos, b.size());
        AsfFile::Object o;
        o.guid = r.Guid();
        o.offset = pos;
        o.size = r.Le(8);
        f->topLevel.push_back(o);
        if (o.guid == kGuidHeader) {
            ASSERT_GE(o.size, 30u);
            ASSERT_LE(pos + o.size, b.size());
            f->headerObjectCount = static_cast<uint32_t>(r.Le(4));
            EXPECT_EQ(r.Le(1), 1u);
            EXPECT_EQ(r.Le(1), 2u);
            size_t hp = pos + 30, hend = pos + o.size;
            while (hp + 24 <= hend) {
                Reader h(b, hp, hend);
                AsfFile::Object ho;
                ho.guid = h.Guid();
                ho.offset = hp;
                ho.size = h.Le(8);
                ASSERT_GE(ho.size, 24u);
                ASSERT_LE(hp + ho.size, hend);
                f->headerObjects.push_back(ho);
                if (ho.guid == kGuidFileProps) {
                    EXPECT_EQ(ho.size, 104u);
                    f->fileId = h.Guid();
                    f->fileSize = h.Le(8);
                    h.Le(8);
                    f->packetCount = h.Le(8);
                    f->playDuration = h.Le(8);
                    f->sendDuration = h.Le(8);
                    f->prerollMs = h.Le(8);
                    f->flags = static_cast<uint32_t>(h.Le(4));
                    f->minPacket = static_cast<uint32_t>(h.Le(4));
                    f->maxPacket = static_cast<uint32_t>(h.Le(4));
                    f->maxBitrate = static_cast<uint32_t>(h.Le(4));
                } else if (ho.guid == kGuidStreamProps) {
                    f->streamType = h.Guid();
                    f->errorCorrection = h.Guid();
                    h.Le(8);
                    uint32_t tsLen = static_cast<uint32_t>(h.Le(4));
                    uint32_t ecLen = static_cast<uint32_t>(h.Le(4));
                    f->streamNumber = static_cast<uint16_t>(h.Le(2)) & 0x7F;
                    h.Le(4);
                    EXPECT_EQ(78u + tsLen + ecLen, ho.size);
                    ASSERT_GE(tsLen, 18u);
                    f->formatTag = static_cast<uint16_t>(h.Le(2));
                    f->channels = static_cast<uint16_t>(h.Le(2));
                    f->sampleRate = static_cast<uint32_t>(h.Le(4));
                    f->avgBytesPerSec = static_cast<uint32_t>(h.Le(4));
                    f->blockAlign = static_cast<uint16_t>(h.Le(2));
                    f->bitsPerSample = static_cast<uint16_t>(h.Le(2));
                    size_t cb = h.Le(2);
                    EXPECT_EQ(18u + cb, tsLen);
                    f->extra = h.Bytes(cb);
                    f->errorCorrectionData = h.Bytes(ecLen);
                } else if (ho.guid == kGuidContentDescr) {
                    size_t l[5];
                    for (auto& x : l) x = h.Le(2);
                    EXPECT_EQ(34u + l[0] + l[1] + l[2] + l[3] + l[4], ho.size);
                    f->title = h.Utf16(l[0]);
                    f->author = h.Utf16(l[1]);
                    f->copyright = h.Utf16(l[2]);
                    f->description = h.Utf16(l[3]);
                }
                hp += ho.size;
            }
            EXPECT_EQ(hp, hend) << "header objects do not fill the header";
        } else if (o.guid == kGuidData) {
            f->dataFileId = r.Guid();
            f->dataPacketCount = r.Le(8);
            EXPECT_EQ(r.Le(2), 0x0101u);
            f->dataObjectSize = o.size;
            ASSERT_GT(f->maxPacket, 0u) << "data before file properties";
            size_t packetSize = f->maxPacket;
            // A live file's data object has size 0: read packets to the end.
            size_t end = o.size ? pos + o.size : b.size();
            ASSERT_LE(end, b.size());
            size_t pp = pos + 50;
            while (pp + packetSize <= end) {
                Reader pr(b, pp, pp + packetSize);
                Packet pk;
                ParsePacket(pr, pp + packetSize, &pk);
                if (::testing::Test::HasFatalFailure()) return;
                f->packets.push_back(std::move(pk));
                pp += packetSize;
            }
            f->trailingPartialBytes = end - pp;
            if (o.size == 0) return;
        } else if (o.guid == kGuidSimpleIndex) {
            f->hasIndex = true;
            r.Guid();
            f->indexInterval = r.Le(8);
            f->indexMaxPacketCount = static_cast<uint32_t>(r.Le(4));
            uint32_t n = static_cast<uint32_t>(r.Le(4));
            ASSERT_EQ(o.size, 56u + 6ull * n);
            ASSERT_LE(pos + o.size, b.size());
            for (uint32_t i = 0; i < n; ++i) {
                uint32_t pn = static_cast<uint32_t>(r.Le(4));
                uint16_t pc = static_cast<uint16_t>(r.Le(2));
                f->indexEntries.emplace_back(pn, pc);
            }
        }
        ASSERT_GE(o.size, 24u) << "object " << o.guid << " at " << pos;
        pos += o.size;
    }
    EXPECT_EQ(pos, b.size()) << "top-level objects do not add up to the file size";
}

} // namespace asftest
