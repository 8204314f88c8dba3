#pragma once
#include <cstdint>

namespace platform::limits {

// Pictures come from users' folders and may be hostile or broken: a header that claims
// an enormous size is refused before anything is allocated for it.
constexpr std::int64_t kMaxPicturePixels = 200'000'000;   // 200 megapixels
constexpr int kMaxPictureSide = 65'535;
// An output written at the picture's own size holds the picture once, drawn on where it was
// decoded (four bytes a pixel), and then its bitmap for the encoder (three).
constexpr std::int64_t kMaxOwnSizePixels = 100'000'000;
// Photo information kept: an XMP block larger than this is no camera's or editor's notes
// but bloat or an attack on the parser, and is left out.
constexpr std::int64_t kMaxKeptXmpBytes = 1 << 20;
// Qt's own decoder guard, raised from its 128 MB default so that real photographs pass.
constexpr int kDecoderAllocationLimitMB = 1024;

} // namespace platform::limits
