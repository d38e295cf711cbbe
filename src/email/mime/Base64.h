// Base64 of RFC 2045: the encoder for attachments and the AUTH LOGIN
// credentials, and the decoder for the server's AUTH challenges.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mirvak::email {

class Base64 {
public:
    Base64() = default;
    virtual ~Base64() = default;
    Base64(const Base64&) = delete;
    Base64& operator=(const Base64&) = delete;

    // Encode of a terminated byte string.
    virtual const char* EncodeString(const char* text);
    // The whole input as one line without breaks; the result stays
    // terminated in Encoded().
    virtual const char* Encode(const uint8_t* bytes, uint64_t length);
    virtual const uint8_t* DecodeString(const char* text);
    // Trusting decode: characters outside the alphabet decode as zero bits,
    // whitespace and control characters 7-13 are skipped.
    virtual const uint8_t* Decode(const char* text, uint64_t length);
    virtual const uint8_t* Decoded() const { return decoded_.data(); }
    virtual const char* Encoded() const { return encoded_.data(); }
    uint64_t DecodedLength() const { return decodedUsed_; }
    uint64_t EncodedLength() const { return encodedUsed_; }
    std::string EncodedText() const { return std::string(encoded_.data(), encodedUsed_); }
    std::string DecodedText() const { return std::string(reinterpret_cast<const char*>(decoded_.data()), decodedUsed_); }

    // Grow to the next multiple of 4096 above `size`, zero-filled; used 0.
    virtual void ReserveEncoded(uint64_t size);
    virtual void ReserveDecoded(uint64_t size);
    virtual void SetEncodedInput(const char* text, uint64_t length);
    virtual void SetDecodedInput(const uint8_t* bytes, uint64_t length);
    // `count` is 1 to 3 bytes of the group; missing characters become '='.
    virtual void EncodeGroup(const uint8_t* group, int count, char out[4]) const;
    virtual void DecodeGroup(const uint8_t values[4], uint8_t out[3]) const;
    virtual void SplitGroup(const uint8_t in[3], uint8_t out[4]) const;
    virtual void JoinGroup(const uint8_t in[4], uint8_t out[3]) const;
    virtual bool IsSkipped(char c) const { return (c >= 7 && c <= 13) || c == ' '; }

    // Appends the Base64 of `bytes` to `out` in lines of 76 characters, each
    // ended by CR LF (the body form of a base64 MIME part).
    static void AppendLines(const uint8_t* bytes, uint64_t length, std::string& out);
    // Length of the Base64 text of `length` bytes, without line breaks.
    static uint64_t EncodedSize(uint64_t length) { return (length + 2) / 3 * 4; }

private:
    void BuildTable();

    std::vector<char> encoded_ = std::vector<char>(1, 0);
    uint64_t encodedUsed_ = 0;
    std::vector<uint8_t> decoded_ = std::vector<uint8_t>(1, 0);
    uint64_t decodedUsed_ = 0;
    uint8_t table_[256] = {};
    bool tableBuilt_ = false;
};

} // namespace mirvak::email
