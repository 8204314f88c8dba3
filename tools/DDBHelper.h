#pragma once
#include <QtGlobal>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

namespace platform { class Surface; }

// Reads the drawn image of a picture surface into a grid of blue-green-red pixels and writes
// such a grid back, converting between the display's raw layouts and the grid.
namespace DDBHelper {

// One grid pixel. For the 15- and 16-bit layouts the fields hold the raw channel values
// (0 to 31, green 0 to 63 at 16 bits), not values scaled to 0 to 255.
struct PixelTriple {
    std::uint8_t Blue;
    std::uint8_t Green;
    std::uint8_t Red;
    bool operator==(const PixelTriple &) const = default;
};
static_assert(sizeof(PixelTriple) == 3);

// Leaves trivially constructible elements uninitialised when a vector is sized, for buffers
// whose every element is written next.
template <class T>
struct DefaultInitAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = DefaultInitAllocator<U>;
    };
    DefaultInitAllocator() = default;
    template <class U>
    DefaultInitAllocator(const DefaultInitAllocator<U> &) noexcept {}
    template <class U>
    void construct(U *p) noexcept(std::is_nothrow_default_constructible_v<U>) { ::new (static_cast<void *>(p)) U; }
    template <class U, class... Args>
    void construct(U *p, Args &&...args) { ::new (static_cast<void *>(p)) U(std::forward<Args>(args)...); }
};

// W x H pixels indexed (x, y) from the top-left; in memory x varies fastest, 3 x W bytes per
// row without padding.
class PixelGrid {
public:
    PixelGrid() = default;
    // Every pixel black.
    PixelGrid(int width, int height)
        : width_(width), height_(height), pixels_(std::size_t(width) * std::size_t(height), PixelTriple{}) {}
    // Pixels left unset, for code that writes every one of them next.
    static PixelGrid uninitialized(int width, int height) { return PixelGrid(width, height, 0); }

    int width() const { return width_; }
    int height() const { return height_; }
    bool isEmpty() const { return pixels_.empty(); }
    PixelTriple &operator()(int x, int y) { return pixels_[std::size_t(y) * width_ + x]; }
    const PixelTriple &operator()(int x, int y) const { return pixels_[std::size_t(y) * width_ + x]; }
    PixelTriple *row(int y) { return pixels_.data() + std::size_t(y) * width_; }
    const PixelTriple *row(int y) const { return pixels_.data() + std::size_t(y) * width_; }
    bool operator==(const PixelGrid &) const = default;

private:
    PixelGrid(int width, int height, int)
        : width_(width), height_(height), pixels_(std::size_t(width) * std::size_t(height)) {}
    int width_ = 0;
    int height_ = 0;
    std::vector<PixelTriple, DefaultInitAllocator<PixelTriple>> pixels_;
};

// Format codes: 8 (palette), 15 (5-5-5), 16 (5-6-5), 24, 32.
using FormatCode = std::int16_t;

// Reads the surface's drawn image into `pixels` (W x H) and its format code into `bits`.
// Throws platform::AppError (ErrorKind::BitsPerPixel) for a layout the grid does not know.
void GetBitmapPixels(platform::Surface &surface, PixelGrid &pixels, FormatCode &bits);
// Packs `pixels` in format `bits` into the surface's drawn image, which the caller has made
// exactly the grid's size, and redraws the surface. The 15- and 16-bit packing clamps
// over-range channels in `pixels` itself. Throws ErrorKind::BitsPerPixel for an unknown code.
void SetBitmapPixels(platform::Surface &surface, FormatCode bits, PixelGrid &pixels);
// Makes the palette of the surface's picture match the system palette entry for entry.
// Throws platform::AppError (ErrorKind::PaletteNotMatched) when the palette cannot be resized.
void MatchColorPalette(platform::Surface &surface);

// The grid turned by 0, 90 (a quarter turn clockwise: the top-left pixel goes to the
// top-right corner), 180 or 270 degrees; any other angle gives the grid unchanged.
PixelGrid RotateGrid(const PixelGrid &src, int angle);
// On a device of 24 or 32 bits, what GetBitmapPixels, RotateGrid and SetBitmapPixels do to a
// 32-bit surface is moving its pixels, the spare byte set: done so, in one pass, into `to`
// sized to the turned pixels plus the allowances. False, with nothing done, on other devices
// and surfaces.
bool TurnWhole(platform::Surface &from, platform::Surface &to, int angle, int allowanceW, int allowanceH);

} // namespace DDBHelper
