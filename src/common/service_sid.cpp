#include "common/service_sid.h"

#include <array>
#include <cstdint>
#include <vector>

namespace {

std::uint32_t rotated(std::uint32_t value, int bits)
{
    return (value << bits) | (value >> (32 - bits));
}

void digestBlock(const std::uint8_t* block, std::array<std::uint32_t, 5>& h)
{
    std::uint32_t w[80];
    for (int i = 0; i < 16; ++i)
        w[i] = std::uint32_t{block[4 * i]} << 24 | std::uint32_t{block[4 * i + 1]} << 16
            | std::uint32_t{block[4 * i + 2]} << 8 | block[4 * i + 3];
    for (int i = 16; i < 80; ++i) w[i] = rotated(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
    for (int i = 0; i < 80; ++i) {
        std::uint32_t f = 0, k = 0;
        if (i < 20)
            f = (b & c) | (~b & d), k = 0x5A827999;
        else if (i < 40)
            f = b ^ c ^ d, k = 0x6ED9EBA1;
        else if (i < 60)
            f = (b & c) | (b & d) | (c & d), k = 0x8F1BBCDC;
        else
            f = b ^ c ^ d, k = 0xCA62C1D6;
        const std::uint32_t next = rotated(a, 5) + f + e + k + w[i];
        e = d, d = c, c = rotated(b, 30), b = a, a = next;
    }
    h[0] += a, h[1] += b, h[2] += c, h[3] += d, h[4] += e;
}

// SHA-1, as FIPS 180 defines it: the service SID is made from it, so no
// stronger hash would do.
std::array<std::uint8_t, 20> sha1(std::vector<std::uint8_t> message)
{
    const std::uint64_t bits = std::uint64_t{message.size()} * 8;
    message.push_back(0x80);
    while (message.size() % 64 != 56) message.push_back(0);
    for (int shift = 56; shift >= 0; shift -= 8) message.push_back(static_cast<std::uint8_t>(bits >> shift));
    std::array<std::uint32_t, 5> h{0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    for (std::size_t at = 0; at < message.size(); at += 64) digestBlock(message.data() + at, h);
    std::array<std::uint8_t, 20> digest{};
    for (int i = 0; i < 20; ++i) digest[i] = static_cast<std::uint8_t>(h[i / 4] >> (24 - 8 * (i % 4)));
    return digest;
}

char16_t upperCased(char16_t c)
{
    if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
    // Latin-1 letters, but not the division sign; ÿ's capital lies elsewhere.
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
    if (c == 0xFF) return 0x178;
    return c;
}

} // namespace

std::u16string serviceSidText(std::u16string_view serviceName)
{
    std::vector<std::uint8_t> bytes;
    for (char16_t c : serviceName) {
        const char16_t upper = upperCased(c);
        bytes.push_back(static_cast<std::uint8_t>(upper & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(upper >> 8));
    }
    const std::array<std::uint8_t, 20> digest = sha1(std::move(bytes));
    std::u16string sid = u"S-1-5-80";
    for (int word = 0; word < 5; ++word) {
        // Each sub-authority is a little-endian word of the digest.
        std::uint32_t value = 0;
        for (int i = 3; i >= 0; --i) value = value << 8 | digest[4 * word + i];
        std::u16string digits;
        do {
            digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
            value /= 10;
        } while (value != 0);
        sid += u'-' + digits;
    }
    return sid;
}
