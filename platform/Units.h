#pragma once
#include <cmath>
#include <cstdint>

namespace platform {

// Coordinates of windows and surfaces: twips (1/1440 inch) or pixels.
enum class ScaleMode { Twips = 1, Pixels = 3 };

constexpr int kTwipsPerInch = 1440;
constexpr double kTwipsPerInchD = 1440.0;
constexpr double kHimetricPerInch = 2540.0;

// Rounds to the nearest whole number with halves going to the even neighbour: opacities and
// pixel counts are rounded so everywhere, so that the window, the command line and the saved
// pictures agree to the pixel.
inline std::int64_t roundHalfEven(double v) { return static_cast<std::int64_t>(std::nearbyint(v)); }

} // namespace platform
