#include "dao/audit/SidMask.h"

#include <cmath>
#include <cstring>
#include <stdexcept>

namespace dao::audit {
namespace {

constexpr std::size_t kMaxSid = 256; // the longest SID seen is 102 bytes

std::uint32_t le32(const unsigned char* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

} // namespace

std::string rc4Keystream(std::string_view key, std::size_t length) {
    unsigned char s[256];
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<unsigned char>(i);
    for (std::size_t i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + static_cast<unsigned char>(key[i % key.size()])) & 0xFF;
        std::swap(s[i], s[j]);
    }
    std::string out(length, '\0');
    for (std::size_t n = 0, i = 0, j = 0; n < length; ++n) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        out[n] = static_cast<char>(s[(s[i] + s[j]) & 0xFF]);
    }
    return out;
}

SidMask SidMask::fromJet4Header(std::string_view header) {
    constexpr std::size_t kEncodedFrom = 0x18, kEncodedLength = 128;
    if (header.size() < kEncodedFrom + kEncodedLength) throw std::runtime_error("its header is too short");
    unsigned char h[kEncodedFrom + kEncodedLength];
    std::memcpy(h, header.data(), sizeof h);
    const std::string headerStream = rc4Keystream(std::string_view("\xC7\xDA\x39\x6B", 4), kEncodedLength);
    for (std::size_t i = 0; i < kEncodedLength; ++i)
        h[kEncodedFrom + i] ^= static_cast<unsigned char>(headerStream[i]);

    double d = 0;
    std::memcpy(&d, h + 0x72, sizeof d); // little-endian, as on every machine this runs on
    std::int32_t whole = 0;
    if (std::isfinite(d) && d > -2147483649.0 && d < 2147483648.0)
        whole = static_cast<std::int32_t>(std::trunc(d));
    unsigned char m[4];
    for (int i = 0; i < 4; ++i)
        m[i] = static_cast<unsigned char>((static_cast<std::uint32_t>(whole) >> (8 * i)) & 0xFF);

    unsigned char r[80];
    std::memcpy(r, h + 0x42, sizeof r);
    for (int i = 0; i < 40; ++i)
        r[i] ^= m[i % 4];
    std::uint32_t key = le32(h + 0x72);
    for (int i = 0; i < 40; ++i)
        key ^= std::uint32_t(r[2 * i]) << (i % 24);

    const char keyBytes[4] = {static_cast<char>(key & 0xFF), static_cast<char>((key >> 8) & 0xFF),
                              static_cast<char>((key >> 16) & 0xFF), static_cast<char>((key >> 24) & 0xFF)};
    SidMask mask;
    mask.active_ = true;
    mask.stream_ = rc4Keystream(std::string_view(keyBytes, 4), kMaxSid);
    return mask;
}

std::string SidMask::unmask(std::string_view stored) const {
    std::string sid(stored);
    if (!active_) return sid;
    for (std::size_t i = 0; i < sid.size() && i < stream_.size(); ++i)
        sid[i] ^= stream_[i];
    return sid;
}

} // namespace dao::audit
