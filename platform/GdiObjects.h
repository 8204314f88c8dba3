#pragma once
#include <QImage>
#include <cstdint>

// Stand-ins for GDI's memory device contexts, bitmaps and solid brushes: the calls a routine
// makes to render into an off-screen bitmap of the display's depth. Objects are handed out as
// handles and kept in a table, so a handle that was deleted (or never existed) is refused
// instead of being used after it went.
//
// A bitmap's pixels are an image with eight bits per channel (as elsewhere in the platform
// layer, see GdiBitmap.h). A 32-bit bitmap has a spare byte per pixel that drawing with
// transparency fills with the alpha it leaves: its image is Format_ARGB32_Premultiplied, and
// a brush fills it with the spare byte 0. Bitmaps of other depths have no room for alpha
// (Format_RGB32, which AlphaBlend reads as alpha 0).
namespace platform::gdi {

struct GdiObject;                 // a bitmap or a solid brush
using HGDIOBJ = GdiObject *;
using HBITMAP = GdiObject *;
using HBRUSH = GdiObject *;
struct DeviceContext;
using HDC = DeviceContext *;
using COLORREF = std::uint32_t;   // 0x00BBGGRR

constexpr std::uint32_t PATCOPY = 0x00F00021;

// A memory device context with the screen's format (`reference` nullptr) or another
// context's. It starts with the stock 1 × 1 monochrome bitmap and the stock white brush.
HDC CreateCompatibleDC(HDC reference);
// Deletes the context; the objects selected into it are not deleted.
bool DeleteDC(HDC dc);
// A context's capabilities (GdiBitmap.h's indexes): a memory context has the display's format.
int GetDeviceCaps(HDC dc, int index);

// A bitmap of width × height with `planes` colour planes of `bitsPerPixel` bits, its pixels 0.
// nullptr for an empty size, a size beyond Limits.h or a layout the device cannot make.
// Initial bits are not supported (nullptr only): the callers draw into their bitmaps.
HBITMAP CreateBitmap(int width, int height, unsigned planes, unsigned bitsPerPixel,
                     const void *bits);
HBRUSH CreateSolidBrush(COLORREF color);
// Selects a bitmap or brush into the context and gives back the one it replaces; nullptr when
// a handle is invalid or the bitmap is selected into another context.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// Deletes a bitmap or brush. Refused (false) while it is selected into a context, as GDI
// refuses; stock objects are never deleted (true, nothing happens).
bool DeleteObject(HGDIOBJ object);

// Fills (x, y, w, h) of the context's bitmap with its brush; only PATCOPY is supported.
bool PatBlt(HDC dc, int x, int y, int w, int h, std::uint32_t rop);

// The image a context draws on, its selected bitmap's: what the blits and the imaging
// library's drawing calls take as a device. nullptr for an invalid handle.
QImage *deviceImage(HDC dc);
// The pixels of a bitmap (null image for an invalid handle or a brush).
QImage bitmapImage(HBITMAP bitmap);

// Contexts and (non-stock) objects alive, so that tests can see that a routine released
// what it made.
int liveHandleCount();

} // namespace platform::gdi
