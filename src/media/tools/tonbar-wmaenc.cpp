// tonbar-wmaenc: encodes a 16-bit PCM WAV file into a .wma file with the
// built-in encoder and ASF writer, as the recorder would. A developer tool for
// listening tests, benchmarks and crash tests (--pace feeds the encoder at
// real-time speed, like a capture device).
#include "media/asf/AsfRepair.h"
#include "media/asf/AsfWriter.h"
#include "media/profiles/ProfileCatalogue.h"
#include "media/wma/WmaEncoder.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace mirvak::media;

namespace {

constexpr const char* kDefaultProfile = "{407B9450-8BDC-4EE5-88B8-6F527BD941F2}";

void Usage(FILE* to) {
    std::fprintf(to,
                 "usage: tonbar-wmaenc [--profile {GUID} | --prx FILE] [--title TEXT] [--pace] IN.wav OUT.wma\n"
                 "       tonbar-wmaenc --repair FILE.wma\n"
                 "  --profile {GUID}  system audio profile (default %s)\n"
                 "  --prx FILE        profile file (UTF-16 XML) instead of a system profile\n"
                 "  --title TEXT      title written into the file (UTF-8)\n"
                 "  --pace            feed the encoder at real-time speed\n"
                 "  --repair FILE     finish a file whose writer was killed (exit 0 repaired,\n"
                 "                    3 nothing to repair, 1 cannot be repaired)\n"
                 "IN.wav is 16-bit PCM, mono or stereo, any rate; it is resampled and mixed\n"
                 "to the profile's rate and channels when they differ.\n",
                 kDefaultProfile);
}

[[noreturn]] void Die(const std::string& message) {
    std::fprintf(stderr, "tonbar-wmaenc: %s\n", message.c_str());
    std::exit(1);
}

std::string HrText(HResult hr) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(hr));
    return buf;
}

// One read into a buffer sized from the file's length (a byte-wise stream
// iterator costs more than the whole encode); a file that grows or shrinks
// meanwhile is read to its actual end.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return std::nullopt;
    std::vector<uint8_t> bytes;
    long size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    if (size < 0 || std::fseek(f, 0, SEEK_SET) != 0) size = 0;
    bytes.resize(static_cast<size_t>(size) + 1);
    size_t got = 0;
    for (;;) {
        got += std::fread(bytes.data() + got, 1, bytes.size() - got, f);
        if (got < bytes.size()) break;
        bytes.resize(bytes.size() * 2);
    }
    const bool bad = std::ferror(f) != 0;
    std::fclose(f);
    if (bad) return std::nullopt;
    bytes.resize(got);
    return bytes;
}

// ---- GUID text -------------------------------------------------------------

std::optional<Guid> ParseGuid(std::string text) {
    if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
    if (text.size() != 36) return std::nullopt;
    std::string hex;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash) {
            if (c != '-') return std::nullopt;
            continue;
        }
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        hex += c;
    }
    auto field = [&](size_t at, size_t digits) { return std::stoull(hex.substr(at, digits), nullptr, 16); };
    Guid g{};
    g.data1 = static_cast<uint32_t>(field(0, 8));
    g.data2 = static_cast<uint16_t>(field(8, 4));
    g.data3 = static_cast<uint16_t>(field(12, 4));
    for (int i = 0; i < 8; ++i) g.data4[i] = static_cast<uint8_t>(field(16 + 2 * i, 2));
    return g;
}

// ---- UTF-8 to UTF-16 (for --title) -------------------------------------------

std::optional<std::u16string> Utf8ToUtf16(const std::string& s) {
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        uint32_t cp;
        size_t len;
        if (c < 0x80) { cp = c; len = 1; }
        else if ((c >> 5) == 6) { cp = c & 0x1F; len = 2; }
        else if ((c >> 4) == 14) { cp = c & 0x0F; len = 3; }
        else if ((c >> 3) == 30) { cp = c & 0x07; len = 4; }
        else return std::nullopt;
        if (i + len > s.size()) return std::nullopt;
        for (size_t k = 1; k < len; ++k) {
            unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc >> 6) != 2) return std::nullopt;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) return std::nullopt;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += len;
    }
    return out;
}

// ---- WAV input ------------------------------------------------------------

struct Pcm {
    uint32_t rate = 0;
    uint16_t channels = 0;
    std::vector<int16_t> interleaved;
    size_t Frames() const { return channels ? interleaved.size() / channels : 0; }
};

uint32_t Le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// Reads a RIFF/WAVE file of 16-bit PCM. A data chunk whose size is wrong
// (a file whose writer died) is read to the end of the file.
Pcm ReadWav(const std::string& path) {
    auto file = ReadWholeFile(path);
    if (!file) Die("cannot read " + path + ": " + std::strerror(errno));
    const std::vector<uint8_t>& b = *file;
    if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(b.data() + 8, "WAVE", 4) != 0)
        Die(path + " is not a WAV file (no RIFF/WAVE header)");
    Pcm pcm;
    uint16_t bits = 0;
    bool haveFmt = false;
    size_t pos = 12;
    const uint8_t* data = nullptr;
    size_t dataSize = 0;
    while (pos + 8 <= b.size()) {
        const uint8_t* h = b.data() + pos;
        size_t size = Le32(h + 4);
        size_t bodyAt = pos + 8;
        size_t avail = b.size() - bodyAt;
        if (std::memcmp(h, "fmt ", 4) == 0) {
            if (size < 16 || size > avail) Die(path + ": broken fmt chunk");
            uint16_t tag = Le16(h + 8);
            pcm.channels = Le16(h + 10);
            pcm.rate = Le32(h + 12);
            bits = Le16(h + 22);
            if (tag == 0xFFFE && size >= 40) tag = Le16(h + 8 + 24); // extensible: sub-format
            if (tag != 1) Die(path + ": not PCM (format tag " + std::to_string(tag) + "); only 16-bit PCM is read");
            haveFmt = true;
        } else if (std::memcmp(h, "data", 4) == 0) {
            data = b.data() + bodyAt;
            dataSize = std::min(size, avail);
            break;
        }
        if (size > avail) break;
        pos = bodyAt + size + (size & 1);
    }
    if (!haveFmt) Die(path + ": no fmt chunk");
    if (!data) Die(path + ": no data chunk");
    if (bits != 16) Die(path + ": " + std::to_string(bits) + "-bit samples; only 16-bit PCM is read");
    if (pcm.channels < 1 || pcm.channels > 2)
        Die(path + ": " + std::to_string(pcm.channels) + " channels; only mono and stereo are read");
    if (pcm.rate < 1000 || pcm.rate > 384000) Die(path + ": unusable sample rate " + std::to_string(pcm.rate));
    const size_t frames = dataSize / (2u * pcm.channels);
    pcm.interleaved.resize(frames * pcm.channels);
    int16_t* out = pcm.interleaved.data();
    for (size_t i = 0; i < pcm.interleaved.size(); ++i) out[i] = static_cast<int16_t>(Le16(data + 2 * i));
    return pcm;
}

// ---- rate and channel conversion ------------------------------------------------

double BesselI0(double x) {
    double sum = 1, term = 1;
    for (int k = 1; k < 40; ++k) {
        term *= (x / (2 * k)) * (x / (2 * k));
        sum += term;
        if (term < 1e-12 * sum) break;
    }
    return sum;
}

// Band-limited resampling by a Kaiser-windowed sinc: linear phase, cut-off
// just below the lower of the two Nyquist frequencies. The kernel is tabled
// finely and interpolated between entries.
std::vector<float> Resample(const std::vector<float>& in, uint32_t from, uint32_t to) {
    constexpr int kZeroCrossings = 16;
    constexpr int kPhases = 512;
    constexpr double kBeta = 8.6;
    const double ratio = double(to) / from;
    const double cutoff = std::min(1.0, ratio) * 0.95;   // of the input's Nyquist
    const double half = kZeroCrossings / cutoff;          // kernel half-width, input samples
    const int tableSize = static_cast<int>(std::ceil(half * kPhases)) + 2;
    std::vector<double> table(tableSize);
    const double i0b = BesselI0(kBeta);
    for (int i = 0; i < tableSize; ++i) {
        double x = double(i) / kPhases;
        double v = 0;
        if (x < half) {
            double s = x == 0 ? 1.0 : std::sin(std::numbers::pi * cutoff * x) / (std::numbers::pi * cutoff * x);
            double r = x / half;
            v = cutoff * s * BesselI0(kBeta * std::sqrt(1 - r * r)) / i0b;
        }
        table[i] = v;
    }
    auto kernel = [&](double x) {
        double p = std::abs(x) * kPhases;
        int i = static_cast<int>(p);
        if (i + 1 >= tableSize) return 0.0;
        double f = p - i;
        return table[i] + (table[i + 1] - table[i]) * f;
    };
    const size_t outFrames = static_cast<size_t>(double(in.size()) * to / from + 0.5);
    std::vector<float> out(outFrames);
    const long n = static_cast<long>(in.size());
    for (size_t j = 0; j < outFrames; ++j) {
        double t = double(j) * from / to; // position in input samples
        long lo = static_cast<long>(std::ceil(t - half));
        long hi = static_cast<long>(std::floor(t + half));
        double acc = 0;
        for (long i = std::max(0L, lo); i <= std::min(n - 1, hi); ++i) acc += in[i] * kernel(t - double(i));
        out[j] = static_cast<float>(acc);
    }
    return out;
}

// The profile's rate and channels; the input as it is when they match.
std::vector<int16_t> Convert(Pcm&& in, uint32_t rate, uint16_t channels) {
    if (channels == in.channels && rate == in.rate) return std::move(in.interleaved);
    const size_t inFrames = in.Frames();
    const int16_t* src = in.interleaved.data();
    std::vector<std::vector<float>> ch;
    if (channels == 1 && in.channels == 2) {
        std::vector<float> mono(inFrames);
        for (size_t i = 0; i < inFrames; ++i) mono[i] = 0.5f * (float(src[2 * i]) + float(src[2 * i + 1]));
        ch.push_back(std::move(mono));
    } else if (channels == in.channels) {
        ch.assign(channels, std::vector<float>(inFrames));
        for (size_t i = 0; i < inFrames; ++i)
            for (uint16_t c = 0; c < channels; ++c) ch[c][i] = src[i * channels + c];
    } else {
        std::vector<float> mono(src, src + inFrames);
        ch = {mono, mono};
    }
    const uint32_t inRate = in.rate;
    in = Pcm{};
    if (rate != inRate)
        for (auto& c : ch) c = Resample(c, inRate, rate);
    const size_t frames = ch[0].size();
    std::vector<int16_t> out(frames * channels);
    for (size_t i = 0; i < frames; ++i)
        for (uint16_t c = 0; c < channels; ++c)
            out[i * channels + c] =
                static_cast<int16_t>(std::lrint(std::clamp(ch[c][i], -32768.0f, 32767.0f)));
    return out;
}

// ---- profiles -------------------------------------------------------------------

AudioProfile LoadPrx(const std::string& path) {
    auto bytes = ReadWholeFile(path);
    if (!bytes) Die("cannot read " + path + ": " + std::strerror(errno));
    if (bytes->size() < 2 || bytes->size() % 2) Die(path + " is not UTF-16 text (odd or empty length)");
    std::u16string text(bytes->size() / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char16_t>(Le16(bytes->data() + 2 * i));
    AudioProfile p;
    HResult hr = ParsePrxProfile(text.data(), text.size(), &p);
    if (hr == kEInvalidData) Die(path + " is not a profile (" + HrText(hr) + ")");
    if (Failed(hr)) Die(path + ": a profile the built-in encoder cannot produce (" + HrText(hr) + ")");
    return p;
}

std::string Narrow(const std::u16string& s) {
    std::string out;
    for (char16_t c : s) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

int Repair(const std::string& path) {
    PosixRandomAccessFile file;
    HResult hr = file.Open(path.c_str());
    if (Failed(hr)) Die("cannot open " + path + " (" + HrText(hr) + ")");
    AsfRepairResult r;
    hr = CompleteUnfinishedAsf(file, &r);
    if (hr == kFalse) {
        std::printf("%s: not an unfinished recording\n", path.c_str());
        return 3;
    }
    if (Failed(hr)) Die("cannot repair " + path + " (" + HrText(hr) + ")");
    std::printf("%s: repaired, %llu packets, %.3f s, %llu bytes dropped%s\n", path.c_str(),
                static_cast<unsigned long long>(r.packets), r.durationMs / 1000.0,
                static_cast<unsigned long long>(r.bytesDropped), r.indexWritten ? "" : ", no index");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::string profileText, prxPath, title, inPath, outPath;
    bool pace = false, haveTitle = false;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](const char* opt) -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "tonbar-wmaenc: %s needs a value\n", opt);
                Usage(stderr);
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--profile") profileText = value("--profile");
        else if (a == "--prx") prxPath = value("--prx");
        else if (a == "--title") { title = value("--title"); haveTitle = true; }
        else if (a == "--pace") pace = true;
        else if (a == "--repair") return Repair(value("--repair"));
        else if (a == "-h" || a == "--help") { Usage(stdout); return 0; }
        else if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "tonbar-wmaenc: unknown option %s\n", a.c_str());
            Usage(stderr);
            return 2;
        } else positional.push_back(a);
    }
    if (positional.size() != 2) {
        Usage(stderr);
        return 2;
    }
    if (!profileText.empty() && !prxPath.empty()) {
        std::fprintf(stderr, "tonbar-wmaenc: give --profile or --prx, not both\n");
        return 2;
    }
    inPath = positional[0];
    outPath = positional[1];

    AudioProfile profile;
    if (!prxPath.empty()) {
        profile = LoadPrx(prxPath);
    } else {
        if (profileText.empty()) profileText = kDefaultProfile;
        std::optional<Guid> id = ParseGuid(profileText);
        if (!id) Die("not a GUID: " + profileText + " (expected {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX})");
        const AudioProfile* p = FindSystemAudioProfile(*id);
        if (!p) Die("no system audio profile " + profileText);
        profile = *p;
    }

    AsfContentDescription content;
    if (haveTitle) {
        auto t = Utf8ToUtf16(title);
        if (!t) Die("--title is not valid UTF-8");
        content.title = *t;
    }

    Pcm input = ReadWav(inPath);
    const uint64_t inputFrames = input.Frames();
    const uint32_t inputRate = input.rate;
    std::vector<int16_t> pcm = Convert(std::move(input), profile.sampleRate, profile.channels);
    const size_t frames = pcm.size() / profile.channels;

    WmaEncoder encoder;
    HResult hr = encoder.Init(profile.sampleRate, profile.channels, profile.bitRate);
    if (Failed(hr))
        Die("the encoder cannot produce " + std::to_string(profile.bitRate) + " bit/s at " +
            std::to_string(profile.sampleRate) + " Hz, " + std::to_string(profile.channels) + " channel(s) (" +
            HrText(hr) + ")");

    FileByteSink sink;
    hr = sink.Create(outPath);
    if (Failed(hr)) Die("cannot create " + outPath + " (" + HrText(hr) + ")");
    AsfWriter writer;
    hr = writer.Open(&sink, encoder.Format(), encoder.FramesPerBlock(), profile.bitRate,
                     haveTitle ? &content : nullptr);
    if (Failed(hr)) Die("cannot write " + outPath + " (" + HrText(hr) + ")");

    HResult writeHr = kOk;
    BlockSink toWriter = [&](const uint8_t* data, size_t size) {
        if (!Failed(writeHr)) writeHr = writer.WriteBlock(data, size);
    };

    // Chunks of about 20 ms, like a capture device delivers them.
    const size_t chunk = std::max<size_t>(1, profile.sampleRate / 50);
    const auto start = std::chrono::steady_clock::now();
    for (size_t done = 0; done < frames && !Failed(writeHr);) {
        size_t n = std::min(chunk, frames - done);
        if (pace) {
            std::this_thread::sleep_until(
                start + std::chrono::microseconds((done + n) * 1000000ull / profile.sampleRate));
        }
        hr = encoder.Encode(pcm.data() + done * profile.channels, n, toWriter);
        if (Failed(hr)) Die("encoding failed (" + HrText(hr) + ")");
        done += n;
    }
    if (!Failed(writeHr)) {
        hr = encoder.Flush(toWriter);
        if (Failed(hr)) Die("encoding failed (" + HrText(hr) + ")");
    }
    if (Failed(writeHr)) Die("writing " + outPath + " failed (" + HrText(writeHr) + ")");
    // The header's duration is the input's, not that of the padded last block.
    writer.SetInputFrames(frames);
    hr = writer.Close();
    if (!Failed(hr)) hr = sink.CloseFile();
    if (Failed(hr)) Die("finishing " + outPath + " failed (" + HrText(hr) + ")");

    std::printf("%s: %s, %u Hz, %u ch, %u bit/s; %.3f s in, %.3f s written in %llu packets\n", outPath.c_str(),
                Narrow(profile.name).c_str(), profile.sampleRate, profile.channels, profile.bitRate,
                double(inputFrames) / inputRate, writer.DurationMs() / 1000.0,
                static_cast<unsigned long long>(writer.PacketCount()));
    return 0;
}
