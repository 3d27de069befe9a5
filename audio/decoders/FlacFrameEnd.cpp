#include "audio/decoders/FlacFrameEnd.h"

#include <array>
#include <bit>

namespace audio {
namespace {

// Byte-at-a-time tables of the frame checksums' polynomials: a frame's
// CRC-16 runs over all its bytes.
template <class T, unsigned Polynomial> constexpr std::array<T, 256> CrcTable()
{
    constexpr unsigned top = 1u << (8 * sizeof(T) - 1);
    std::array<T, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        unsigned crc = byte << (8 * sizeof(T) - 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & top ? (crc << 1) ^ Polynomial : crc << 1;
        table[byte] = static_cast<T>(crc);
    }
    return table;
}

uint8_t Crc8(const uint8_t* data, size_t size)
{
    static constexpr auto kTable = CrcTable<uint8_t, 0x07>();
    uint8_t crc = 0;
    for (size_t i = 0; i < size; ++i)
        crc = kTable[crc ^ data[i]];
    return crc;
}

uint16_t Crc16(const uint8_t* data, size_t size)
{
    static constexpr auto kTable = CrcTable<uint16_t, 0x8005>();
    uint16_t crc = 0;
    for (size_t i = 0; i < size; ++i)
        crc = static_cast<uint16_t>(crc << 8 ^ kTable[(crc >> 8) ^ data[i]]);
    return crc;
}

struct FrameStart {
    uint64_t firstSample;
    uint32_t samples;
};

// The header at h (at most `size` bytes to its stream's end), checksum and all.
std::optional<FrameStart> ParseHeader(const uint8_t* h, size_t size, uint32_t fixedBlock)
{
    if (size < 6 || h[0] != 0xFF || (h[1] & 0xFE) != 0xF8 || (h[3] & 0x01) != 0)
        return std::nullopt;
    const bool variable = (h[1] & 0x01) != 0;
    const uint32_t blockCode = h[2] >> 4;
    const uint32_t rateCode = h[2] & 0x0F;
    if (blockCode == 0 || rateCode == 0x0F || (h[3] >> 4) > 10 || ((h[3] >> 1) & 0x07) == 3)
        return std::nullopt;
    // The frame or sample number, coded as UTF-8 is (up to 7 bytes).
    size_t at = 4;
    const uint8_t lead = h[at];
    int more = 0;
    uint64_t number = lead;
    if (lead >= 0x80) {
        if (lead < 0xC0 || lead == 0xFF)
            return std::nullopt;
        more = lead == 0xFE ? 6 : std::countl_one(lead) - 1;
        number = lead == 0xFE ? 0 : lead & (0x7Fu >> (more + 1));
    }
    if (size < at + 1 + more)
        return std::nullopt;
    for (int i = 1; i <= more; ++i) {
        if ((h[at + i] & 0xC0) != 0x80)
            return std::nullopt;
        number = number << 6 | (h[at + i] & 0x3F);
    }
    at += 1 + more;
    uint32_t samples = 0;
    if (blockCode == 1)
        samples = 192;
    else if (blockCode <= 5)
        samples = 576u << (blockCode - 2);
    else if (blockCode >= 8)
        samples = 256u << (blockCode - 8);
    const size_t extraBlock = blockCode == 6 ? 1 : blockCode == 7 ? 2 : 0;
    const size_t extraRate = rateCode == 12 ? 1 : rateCode >= 13 ? 2 : 0;
    if (size < at + extraBlock + extraRate + 1)
        return std::nullopt;
    if (extraBlock == 1)
        samples = h[at] + 1u;
    else if (extraBlock == 2)
        samples = (uint32_t{h[at]} << 8 | h[at + 1]) + 1u;
    at += extraBlock + extraRate;
    if (Crc8(h, at) != h[at])
        return std::nullopt;
    if (!variable && fixedBlock == 0)
        return std::nullopt;
    return FrameStart{variable ? number : number * fixedBlock, samples};
}

} // namespace

std::optional<uint64_t> FlacFrameEnd(const uint8_t* tail, size_t size, uint32_t fixedBlock)
{
    if (size < 8)
        return std::nullopt;
    const uint16_t footer = static_cast<uint16_t>(tail[size - 2] << 8 | tail[size - 1]);
    for (size_t start = size - 8 + 1; start-- > 0;) {
        if (tail[start] != 0xFF || (tail[start + 1] & 0xFE) != 0xF8)
            continue;
        const auto frame = ParseHeader(tail + start, size - start, fixedBlock);
        if (frame && Crc16(tail + start, size - start - 2) == footer)
            return frame->firstSample + frame->samples;
    }
    return std::nullopt;
}

} // namespace audio
