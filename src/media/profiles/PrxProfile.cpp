// Reader for .prx profile files: the XML text a Windows Media profile is
// saved as (profile > streamconfig > wmmediatype > waveformatex). Only what
// the built-in encoder needs is taken; everything else is skipped. The input
// comes from arbitrary files, so the reader is iterative (an explicit element
// stack with a depth limit) and checks every index against the length.
#include "media/profiles/ProfileCatalogue.h"

#include <vector>

namespace mirvak::media {

namespace {

constexpr size_t kMaxDepth = 32;
constexpr size_t kMaxCodecDataBytes = 1024;
constexpr uint16_t kWmaV2Tag = 0x0161;

constexpr Guid kAudioMajorType{0x73647561, 0x0000, 0x0010,
                               {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
constexpr Guid kWmaV2Subtype{0x00000161, 0x0000, 0x0010,
                             {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

char16_t LowerAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? c + 32 : c; }

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

bool IsNameChar(char16_t c, bool first) {
    if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u':' ||
        c >= 0x80)
        return true;
    return !first && ((c >= u'0' && c <= u'9') || c == u'-' || c == u'.');
}

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    c = LowerAscii(c);
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    return -1;
}

bool Equals(const std::u16string& lowerName, const char* ascii) {
    size_t i = 0;
    for (; ascii[i]; ++i) {
        if (i >= lowerName.size() || lowerName[i] != static_cast<char16_t>(ascii[i])) return false;
    }
    return i == lowerName.size();
}

struct Attribute {
    std::u16string name;   // lower-cased: the SDK writes both "lSampleSize" and "lsamplesize"
    std::u16string value;  // entities decoded
};

const std::u16string* FindAttr(const std::vector<Attribute>& attrs, const char* name) {
    for (const Attribute& a : attrs) {
        if (Equals(a.name, name)) return &a.value;
    }
    return nullptr;
}

// Unsigned decimal (or 0x-hex) with optional surrounding blanks.
bool ParseUnsigned(const std::u16string& s, uint64_t max, uint64_t* out) {
    size_t i = 0, n = s.size();
    while (i < n && IsSpace(s[i])) ++i;
    while (n > i && IsSpace(s[n - 1])) --n;
    if (i == n) return false;
    uint64_t base = 10;
    if (n - i > 2 && s[i] == u'0' && LowerAscii(s[i + 1]) == u'x') {
        base = 16;
        i += 2;
    }
    uint64_t v = 0;
    for (; i < n; ++i) {
        int d = HexDigit(s[i]);
        if (d < 0 || static_cast<uint64_t>(d) >= base) return false;
        if (v > (max - d) / base) return false;
        v = v * base + d;
    }
    *out = v;
    return true;
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", braces optional.
bool ParseGuid(const std::u16string& text, Guid* out) {
    std::u16string s = text;
    while (!s.empty() && IsSpace(s.back())) s.pop_back();
    size_t b = 0;
    while (b < s.size() && IsSpace(s[b])) ++b;
    s.erase(0, b);
    if (s.size() == 38 && s.front() == u'{' && s.back() == u'}') s = s.substr(1, 36);
    if (s.size() != 36 || s[8] != u'-' || s[13] != u'-' || s[18] != u'-' || s[23] != u'-')
        return false;
    uint8_t bytes[16];
    size_t k = 0;
    for (size_t i = 0; i < 36;) {
        if (s[i] == u'-') {
            ++i;
            continue;
        }
        int hi = HexDigit(s[i]), lo = i + 1 < 36 ? HexDigit(s[i + 1]) : -1;
        if (hi < 0 || lo < 0 || k >= 16) return false;
        bytes[k++] = static_cast<uint8_t>(hi * 16 + lo);
        i += 2;
    }
    if (k != 16) return false;
    out->data1 = (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) |
                 (uint32_t(bytes[2]) << 8) | bytes[3];
    out->data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
    out->data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
    for (int i = 0; i < 8; ++i) out->data4[i] = bytes[8 + i];
    return true;
}

// Hex bytes, blanks between them allowed (the SDK sometimes groups them).
bool ValidCodecData(const std::u16string& s) {
    size_t digits = 0;
    for (char16_t c : s) {
        if (IsSpace(c)) continue;
        if (HexDigit(c) < 0) return false;
        ++digits;
    }
    return digits % 2 == 0 && digits / 2 <= kMaxCodecDataBytes;
}

void AppendCodePoint(uint32_t cp, std::u16string* out) {
    if (cp < 0x10000) {
        out->push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out->push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out->push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

// What the profile reader keeps of the stream it is inside.
struct StreamCandidate {
    bool audio = false;
    std::u16string bitrate;
    bool hasSubtype = false;
    Guid subtype{};
    bool hasWave = false;
    std::vector<Attribute> wave;
};

class PrxReader {
public:
    PrxReader(const char16_t* s, size_t n) : s_(s), n_(n) {}

    HResult Run();

    std::u16string name, description;
    bool foundAudio = false;
    StreamCandidate audio;  // the first audio stream

private:
    bool Starts(const char* lit) const {
        size_t i = 0;
        for (; lit[i]; ++i) {
            if (pos_ + i >= n_ || s_[pos_ + i] != static_cast<char16_t>(lit[i])) return false;
        }
        return true;
    }
    bool SkipPast(const char* lit);
    bool ReadName(std::u16string* out);
    bool ReadAttrValue(std::u16string* out);
    bool DecodeEntity(std::u16string* out);
    void SkipSpace() {
        while (pos_ < n_ && IsSpace(s_[pos_])) ++pos_;
    }
    HResult StartElement(const std::u16string& name, std::vector<Attribute>& attrs);
    HResult EndElement();

    const char16_t* s_;
    size_t n_;
    size_t pos_ = 0;
    std::vector<std::u16string> stack_;
    bool rootDone_ = false;
    bool inStream_ = false, inMediaType_ = false;
    StreamCandidate current_;
};

bool PrxReader::SkipPast(const char* lit) {
    while (pos_ < n_) {
        if (Starts(lit)) {
            for (size_t i = 0; lit[i]; ++i) ++pos_;
            return true;
        }
        ++pos_;
    }
    return false;
}

bool PrxReader::ReadName(std::u16string* out) {
    out->clear();
    if (pos_ >= n_ || !IsNameChar(s_[pos_], true)) return false;
    while (pos_ < n_ && IsNameChar(s_[pos_], false)) out->push_back(LowerAscii(s_[pos_++]));
    return true;
}

bool PrxReader::DecodeEntity(std::u16string* out) {
    // pos_ is at '&'
    size_t end = pos_ + 1;
    while (end < n_ && end - pos_ <= 10 && s_[end] != u';') ++end;
    if (end >= n_ || s_[end] != u';') return false;
    std::u16string ent(s_ + pos_ + 1, s_ + end);
    pos_ = end + 1;
    if (ent == u"lt") out->push_back(u'<');
    else if (ent == u"gt") out->push_back(u'>');
    else if (ent == u"amp") out->push_back(u'&');
    else if (ent == u"quot") out->push_back(u'"');
    else if (ent == u"apos") out->push_back(u'\'');
    else if (ent.size() >= 2 && ent[0] == u'#') {
        uint64_t cp = 0;
        std::u16string digits = ent[1] == u'x' ? u"0x" + ent.substr(2) : ent.substr(1);
        if (digits == u"0x" || !ParseUnsigned(digits, 0x10FFFF, &cp)) return false;
        for (char16_t c : digits) {
            if (IsSpace(c)) return false;
        }
        if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        AppendCodePoint(static_cast<uint32_t>(cp), out);
    } else {
        return false;
    }
    return true;
}

bool PrxReader::ReadAttrValue(std::u16string* out) {
    out->clear();
    if (pos_ >= n_ || (s_[pos_] != u'"' && s_[pos_] != u'\'')) return false;
    char16_t quote = s_[pos_++];
    while (pos_ < n_) {
        char16_t c = s_[pos_];
        if (c == quote) {
            ++pos_;
            return true;
        }
        if (c == u'<') return false;
        if (c == u'&') {
            if (!DecodeEntity(out)) return false;
            continue;
        }
        out->push_back(c);
        ++pos_;
    }
    return false;
}

HResult PrxReader::StartElement(const std::u16string& name, std::vector<Attribute>& attrs) {
    size_t depth = stack_.size();
    if (depth == 0) {
        if (!Equals(name, "profile")) return kEInvalidData;
        if (const auto* v = FindAttr(attrs, "name")) this->name = *v;
        if (const auto* v = FindAttr(attrs, "description")) description = *v;
        return kOk;
    }
    if (depth == 1 && Equals(name, "streamconfig")) {
        current_ = StreamCandidate{};
        const auto* major = FindAttr(attrs, "majortype");
        Guid g{};
        if (!major || !ParseGuid(*major, &g)) return kEInvalidData;
        current_.audio = g == kAudioMajorType;
        if (const auto* v = FindAttr(attrs, "bitrate")) current_.bitrate = *v;
        inStream_ = true;
    } else if (depth == 2 && inStream_ && Equals(name, "wmmediatype")) {
        if (const auto* v = FindAttr(attrs, "subtype")) {
            if (!ParseGuid(*v, &current_.subtype)) return kEInvalidData;
            current_.hasSubtype = true;
        }
        inMediaType_ = true;
    } else if (depth == 3 && inMediaType_ && Equals(name, "waveformatex")) {
        if (current_.hasWave) return kEInvalidData;
        current_.hasWave = true;
        current_.wave = std::move(attrs);
    }
    return kOk;
}

HResult PrxReader::EndElement() {
    size_t depth = stack_.size();  // depth of the element being closed, 1-based
    stack_.pop_back();
    if (depth == 1) {
        rootDone_ = true;
    } else if (depth == 2 && inStream_) {
        inStream_ = false;
        if (current_.audio && !foundAudio) {
            foundAudio = true;
            audio = std::move(current_);
        }
    } else if (depth == 3) {
        inMediaType_ = false;
    }
    return kOk;
}

HResult PrxReader::Run() {
    while (pos_ < n_ && !rootDone_) {
        char16_t c = s_[pos_];
        if (c != u'<') {
            // Text: only blanks are allowed outside the root element.
            if (stack_.empty() && !IsSpace(c)) return kEInvalidData;
            ++pos_;
            continue;
        }
        if (Starts("<?")) {
            if (!SkipPast("?>")) return kEInvalidData;
        } else if (Starts("<!--")) {
            if (!SkipPast("-->")) return kEInvalidData;
        } else if (Starts("<![CDATA[")) {
            if (stack_.empty() || !SkipPast("]]>")) return kEInvalidData;
        } else if (Starts("<!")) {
            // Declarations (DOCTYPE) before the root; an internal subset is refused.
            if (!stack_.empty()) return kEInvalidData;
            while (pos_ < n_ && s_[pos_] != u'>') {
                if (s_[pos_] == u'[') return kEInvalidData;
                ++pos_;
            }
            if (pos_ >= n_) return kEInvalidData;
            ++pos_;
        } else if (Starts("</")) {
            pos_ += 2;
            std::u16string name;
            if (!ReadName(&name)) return kEInvalidData;
            SkipSpace();
            if (pos_ >= n_ || s_[pos_] != u'>') return kEInvalidData;
            ++pos_;
            if (stack_.empty() || stack_.back() != name) return kEInvalidData;
            if (HResult hr = EndElement(); Failed(hr)) return hr;
        } else {
            ++pos_;
            std::u16string name;
            if (!ReadName(&name)) return kEInvalidData;
            std::vector<Attribute> attrs;
            bool selfClosing = false;
            for (;;) {
                bool spaced = pos_ < n_ && IsSpace(s_[pos_]);
                SkipSpace();
                if (pos_ >= n_) return kEInvalidData;
                if (s_[pos_] == u'>') {
                    ++pos_;
                    break;
                }
                if (s_[pos_] == u'/') {
                    if (pos_ + 1 >= n_ || s_[pos_ + 1] != u'>') return kEInvalidData;
                    pos_ += 2;
                    selfClosing = true;
                    break;
                }
                if (!spaced) return kEInvalidData;
                Attribute a;
                if (!ReadName(&a.name)) return kEInvalidData;
                SkipSpace();
                if (pos_ >= n_ || s_[pos_] != u'=') return kEInvalidData;
                ++pos_;
                SkipSpace();
                if (!ReadAttrValue(&a.value)) return kEInvalidData;
                for (const Attribute& b : attrs) {
                    if (b.name == a.name) return kEInvalidData;
                }
                attrs.push_back(std::move(a));
            }
            if (stack_.size() >= kMaxDepth) return kEInvalidData;
            if (HResult hr = StartElement(name, attrs); Failed(hr)) return hr;
            stack_.push_back(name);
            if (selfClosing) {
                if (HResult hr = EndElement(); Failed(hr)) return hr;
            }
        }
    }
    // Anything after the root element is ignored; a root that never closed
    // means the file was cut short.
    return rootDone_ ? kOk : kEInvalidData;
}

bool Attr32(const std::vector<Attribute>& attrs, const char* name, uint64_t max, uint64_t* out,
            bool* present) {
    const std::u16string* v = FindAttr(attrs, name);
    *present = v != nullptr;
    if (!v) return true;
    return ParseUnsigned(*v, max, out);
}

bool SupportedRate(uint64_t rate) {
    for (uint32_t r : {8000u, 11025u, 16000u, 22050u, 32000u, 44100u, 48000u}) {
        if (rate == r) return true;
    }
    return false;
}

} // namespace

HResult ParsePrxProfile(const char16_t* text, size_t length, AudioProfile* out) {
    if (!out) return kEInvalidArg;
    if (!text || length == 0) return kEInvalidData;

    // The text ends at the first terminator, if any.
    size_t n = 0;
    while (n < length && text[n] != 0) ++n;

    std::u16string swapped;
    const char16_t* s = text;
    if (n > 0 && s[0] == 0xFFFE) {
        // Byte-swapped (big-endian) text: swap it into a copy.
        swapped.assign(text, n);
        for (char16_t& c : swapped) c = static_cast<char16_t>((c >> 8) | (c << 8));
        s = swapped.data();
    }
    if (n > 0 && s[0] == 0xFEFF) {
        ++s;
        --n;
    }

    PrxReader reader(s, n);
    if (HResult hr = reader.Run(); Failed(hr)) return hr;
    if (!reader.foundAudio) return kEInvalidArg;  // video-only or empty profile

    const StreamCandidate& a = reader.audio;
    if (!a.hasWave) return kEInvalidData;
    uint64_t tag = 0, channels = 0, rate = 0, avgBytes = 0, blockAlign = 0, bits = 0, bitrate = 0;
    bool hasTag, hasChannels, hasRate, hasAvg, hasAlign, hasBits;
    if (!Attr32(a.wave, "wformattag", 0xFFFF, &tag, &hasTag) ||
        !Attr32(a.wave, "nchannels", 0xFFFF, &channels, &hasChannels) ||
        !Attr32(a.wave, "nsamplespersec", 0xFFFFFFFF, &rate, &hasRate) ||
        !Attr32(a.wave, "navgbytespersec", 0xFFFFFFFF, &avgBytes, &hasAvg) ||
        !Attr32(a.wave, "nblockalign", 0xFFFF, &blockAlign, &hasAlign) ||
        !Attr32(a.wave, "wbitspersample", 0xFFFF, &bits, &hasBits))
        return kEInvalidData;
    if (!hasTag || !hasChannels || !hasRate) return kEInvalidData;
    if (const auto* cd = FindAttr(a.wave, "codecdata"); cd && !ValidCodecData(*cd))
        return kEInvalidData;
    if (!a.bitrate.empty()) {
        if (!ParseUnsigned(a.bitrate, 0xFFFFFFFF, &bitrate)) return kEInvalidData;
    } else if (hasAvg) {
        bitrate = avgBytes * 8;
    } else {
        return kEInvalidData;
    }

    // What the built-in WMA version 2 encoder can produce.
    if (a.hasSubtype && !(a.subtype == kWmaV2Subtype)) return kEInvalidArg;
    if (tag != kWmaV2Tag) return kEInvalidArg;
    if (channels != 1 && channels != 2) return kEInvalidArg;
    if (!SupportedRate(rate)) return kEInvalidArg;
    // Whole kilobits: saved profiles carry a few bits of overhead (20008, 128016).
    if (bitrate / 1000 < 16 || bitrate / 1000 > 192) return kEInvalidArg;

    AudioProfile result;
    result.name = std::move(reader.name);
    result.description = std::move(reader.description);
    result.bitRate = static_cast<uint32_t>(bitrate);
    result.sampleRate = static_cast<uint32_t>(rate);
    result.channels = static_cast<uint16_t>(channels);
    *out = std::move(result);
    return kOk;
}

} // namespace mirvak::media
