#include "email/mime/Base64.h"

#include <cstring>

namespace mirvak::email {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr uint8_t kPad = 255;
constexpr uint8_t kInvalid = 254;

uint64_t Rounded(uint64_t size)
{
    return (size / 4096 + 1) * 4096;
}

} // namespace

void Base64::ReserveEncoded(uint64_t size)
{
    uint64_t want = Rounded(size);
    if (encoded_.size() < want)
        encoded_.assign(want, 0);
    else
        std::memset(encoded_.data(), 0, encoded_.size());
    encodedUsed_ = 0;
}

void Base64::ReserveDecoded(uint64_t size)
{
    uint64_t want = Rounded(size);
    if (decoded_.size() < want)
        decoded_.assign(want, 0);
    else
        std::memset(decoded_.data(), 0, decoded_.size());
    decodedUsed_ = 0;
}

void Base64::SetDecodedInput(const uint8_t* bytes, uint64_t length)
{
    ReserveDecoded(length);
    if (length)
        std::memcpy(decoded_.data(), bytes, length);
    decodedUsed_ = length;
}

void Base64::SetEncodedInput(const char* text, uint64_t length)
{
    ReserveEncoded(length);
    uint64_t n = 0;
    for (uint64_t i = 0; i < length; ++i)
        if (!IsSkipped(text[i]))
            encoded_[n++] = text[i];
    encodedUsed_ = n;
}

void Base64::SplitGroup(const uint8_t in[3], uint8_t out[4]) const
{
    out[0] = in[0] >> 2;
    out[1] = static_cast<uint8_t>(((in[0] & 0x03) << 4) | (in[1] >> 4));
    out[2] = static_cast<uint8_t>(((in[1] & 0x0F) << 2) | (in[2] >> 6));
    out[3] = in[2] & 0x3F;
}

void Base64::JoinGroup(const uint8_t in[4], uint8_t out[3]) const
{
    out[0] = static_cast<uint8_t>((in[0] << 2) | (in[1] >> 4));
    out[1] = static_cast<uint8_t>((in[1] << 4) | (in[2] >> 2));
    out[2] = static_cast<uint8_t>((in[2] << 6) | in[3]);
}

void Base64::EncodeGroup(const uint8_t* group, int count, char out[4]) const
{
    uint8_t in[3] = {group[0], count > 1 ? group[1] : uint8_t(0), count > 2 ? group[2] : uint8_t(0)};
    uint8_t v[4];
    SplitGroup(in, v);
    for (int i = 0; i < 4; ++i)
        out[i] = i <= count ? kAlphabet[v[i]] : '=';
}

void Base64::DecodeGroup(const uint8_t values[4], uint8_t out[3]) const
{
    JoinGroup(values, out);
}

const char* Base64::Encode(const uint8_t* bytes, uint64_t length)
{
    SetDecodedInput(bytes, length);
    ReserveEncoded(EncodedSize(length));
    uint64_t whole = length / 3 * 3, n = 0;
    for (uint64_t i = 0; i < whole; i += 3, n += 4)
        EncodeGroup(decoded_.data() + i, 3, &encoded_[n]);
    if (length > whole) {
        EncodeGroup(decoded_.data() + whole, static_cast<int>(length - whole), &encoded_[n]);
        n += 4;
    }
    encodedUsed_ = n;
    return encoded_.data();
}

const char* Base64::EncodeString(const char* text)
{
    return Encode(reinterpret_cast<const uint8_t*>(text), std::strlen(text));
}

void Base64::BuildTable()
{
    std::memset(table_, kInvalid, sizeof table_);
    for (int i = 0; i < 64; ++i) {
        uint8_t c = static_cast<uint8_t>(kAlphabet[i]);
        table_[c] = static_cast<uint8_t>(i);
        table_[c | 0x80] = static_cast<uint8_t>(i);
    }
    table_[static_cast<uint8_t>('=')] = kPad;
    table_[static_cast<uint8_t>('=') | 0x80] = kPad;
    tableBuilt_ = true;
}

const uint8_t* Base64::Decode(const char* text, uint64_t length)
{
    if (!tableBuilt_)
        BuildTable();
    SetEncodedInput(text, length);
    uint64_t in = encodedUsed_;
    ReserveDecoded(in / 4 * 3 + 3);
    uint64_t out = 0;
    uint64_t pads = 0;
    for (uint64_t i = 0; i < in; i += 4) {
        uint8_t v[4] = {0, 0, 0, 0};
        uint64_t have = in - i < 4 ? in - i : 4;
        for (uint64_t k = 0; k < have; ++k) {
            uint8_t t = table_[static_cast<uint8_t>(encoded_[i + k])];
            if (t == kPad)
                ++pads;
            v[k] = t < 64 ? t : 0;
        }
        DecodeGroup(v, &decoded_[out]);
        // A short rest of n characters carries n - 1 bytes.
        out += have == 4 ? 3 : (have > 1 ? have - 1 : 0);
    }
    // Padding marks bytes that are not there.
    decodedUsed_ = out >= pads ? out - pads : 0;
    decoded_[decodedUsed_] = 0;
    return decoded_.data();
}

const uint8_t* Base64::DecodeString(const char* text)
{
    return Decode(text, std::strlen(text));
}

void Base64::AppendLines(const uint8_t* bytes, uint64_t length, std::string& out)
{
    constexpr uint64_t kGroupsPerLine = 19;  // 76 characters
    uint64_t lines = (EncodedSize(length) + 75) / 76;
    size_t start = out.size();
    out.resize(start + EncodedSize(length) + lines * 2);
    char* p = out.data() + start;
    uint64_t i = 0, groups = 0;
    auto put = [&](uint32_t v, int count) {
        p[0] = kAlphabet[(v >> 18) & 63];
        p[1] = kAlphabet[(v >> 12) & 63];
        p[2] = count > 1 ? kAlphabet[(v >> 6) & 63] : '=';
        p[3] = count > 2 ? kAlphabet[v & 63] : '=';
        p += 4;
        if (++groups == kGroupsPerLine) {
            *p++ = '\r';
            *p++ = '\n';
            groups = 0;
        }
    };
    for (; i + 3 <= length; i += 3)
        put((uint32_t(bytes[i]) << 16) | (uint32_t(bytes[i + 1]) << 8) | bytes[i + 2], 3);
    if (length - i == 1)
        put(uint32_t(bytes[i]) << 16, 1);
    else if (length - i == 2)
        put((uint32_t(bytes[i]) << 16) | (uint32_t(bytes[i + 1]) << 8), 2);
    if (groups) {
        *p++ = '\r';
        *p++ = '\n';
    }
    out.resize(static_cast<size_t>(p - out.data()));
}

} // namespace mirvak::email
