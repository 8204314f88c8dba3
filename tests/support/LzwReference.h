#pragma once
#include <cstdint>
#include <optional>
#include <vector>

namespace lzwreference {

// An LZW decoder of GIF's kind, written apart from the project's coder to check it: the
// pixels a reader gets from `codes` (the code stream without its sub-block lengths) up to its
// end code, or nothing when the stream is not valid or ends before its end code. Unlike
// giflib's reader, which stops once it has a frame's pixels, it reads the end code too.
inline std::optional<std::vector<std::uint8_t>> decode(const std::vector<std::uint8_t> &codes, int minSize)
{
    constexpr int kMaxCodes = 4096;
    const int clear = 1 << minSize, end = clear + 1;
    std::vector<int> prefix(kMaxCodes, -1);
    std::vector<std::uint8_t> suffix(kMaxCodes), first(kMaxCodes);
    for (int c = 0; c < clear; ++c) {
        suffix[size_t(c)] = std::uint8_t(c);
        first[size_t(c)] = std::uint8_t(c);
    }
    std::vector<std::uint8_t> out, entry;
    int bits = minSize + 1, next = clear + 2, previous = -1;
    std::uint64_t held = 0;
    int heldBits = 0;
    size_t at = 0;
    const auto append = [&](int code) {
        entry.clear();
        for (int c = code; c >= 0; c = prefix[size_t(c)])
            entry.push_back(suffix[size_t(c)]);
        out.insert(out.end(), entry.rbegin(), entry.rend());
    };
    for (;;) {
        while (heldBits < bits && at < codes.size()) {
            held |= std::uint64_t(codes[at++]) << heldBits;
            heldBits += 8;
        }
        if (heldBits < bits)
            return std::nullopt;   // no end code
        const int code = int(held & ((1u << bits) - 1));
        held >>= bits;
        heldBits -= bits;
        if (code == clear) {
            bits = minSize + 1;
            next = clear + 2;
            previous = -1;
            continue;
        }
        if (code == end)
            return out;
        if (previous < 0) {
            if (code >= clear)
                return std::nullopt;
            append(code);
            previous = code;
            continue;
        }
        if (code > next || (code == next && next >= kMaxCodes))
            return std::nullopt;
        if (next < kMaxCodes) {
            prefix[size_t(next)] = previous;
            suffix[size_t(next)] = code < next ? first[size_t(code)] : first[size_t(previous)];
            first[size_t(next)] = first[size_t(previous)];
        }
        append(code);
        if (next < kMaxCodes && ++next == (1 << bits) && bits < 12)
            ++bits;
        previous = code;
    }
}

} // namespace lzwreference
