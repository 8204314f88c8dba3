#pragma once
#include <cstdint>

namespace platform::limits {

// Pictures come from users' folders and may be hostile or broken: a header that claims
// an enormous size is refused before anything is allocated for it.
constexpr std::int64_t kMaxPicturePixels = 200'000'000;   // 200 megapixels
constexpr int kMaxPictureSide = 65'535;
// An output written at the picture's own size holds the decoded picture, the surface drawn
// on and the written copy at once: four bytes a pixel each.
constexpr std::int64_t kMaxOwnSizePixels = 100'000'000;
// Qt's own decoder guard, raised from its 128 MB default so that real photographs pass.
constexpr int kDecoderAllocationLimitMB = 1024;

} // namespace platform::limits
