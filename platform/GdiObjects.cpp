#include "platform/GdiObjects.h"

#include "platform/Gdi.h"
#include "platform/GdiBitmap.h"
#include "platform/HandleTable.h"
#include "platform/Limits.h"

#include <memory>

namespace platform::gdi {

struct GdiObject {
    enum class Kind { Bitmap, Brush } kind;
    bool stock = false;
    QImage pixels;                  // bitmap
    COLORREF color = 0;             // brush
    DeviceContext *selectedIn = nullptr;   // bitmap: the context it is selected into
};

struct DeviceContext {
    HBITMAP bitmap = nullptr;
    HBRUSH brush = nullptr;
};

namespace {

struct Handles {
    HandleTable<GdiObject> objects;
    HandleTable<DeviceContext> contexts;
};

Handles &handles()
{
    static Handles instance;
    return instance;
}

GdiObject *stockBitmap()
{
    // Every new context holds this until a bitmap of its own is selected.
    static GdiObject mono{GdiObject::Kind::Bitmap, true, [] {
                              QImage img(1, 1, QImage::Format_RGB32);
                              img.fill(Qt::black);
                              return img;
                          }()};
    return &mono;
}

GdiObject *stockWhiteBrush()
{
    static GdiObject white{GdiObject::Kind::Brush, true, QImage(), 0x00FFFFFF};
    return &white;
}

bool valid(DeviceContext *dc) { return handles().contexts.contains(dc); }

// Checked against the table before anything is read through the handle.
bool valid(GdiObject *o)
{
    return o && (o == stockBitmap() || o == stockWhiteBrush() || handles().objects.contains(o));
}

GdiObject *add(std::unique_ptr<GdiObject> o) { return handles().objects.add(std::move(o)); }

} // namespace

HDC CreateCompatibleDC(HDC reference)
{
    if (reference && !valid(reference))
        return nullptr;
    auto dc = std::make_unique<DeviceContext>();
    dc->bitmap = stockBitmap();
    dc->brush = stockWhiteBrush();
    return handles().contexts.add(std::move(dc));
}

bool DeleteDC(HDC dc)
{
    if (!valid(dc))
        return false;
    if (dc->bitmap && !dc->bitmap->stock)
        dc->bitmap->selectedIn = nullptr;
    handles().contexts.remove(dc);
    return true;
}

int GetDeviceCaps(HDC dc, int index) { return valid(dc) ? GetDeviceCaps(index) : 0; }

HBITMAP CreateBitmap(int width, int height, unsigned planes, unsigned bitsPerPixel,
                     const void *bits)
{
    if (bits || planes != 1 || width <= 0 || height <= 0)
        return nullptr;
    if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 16
        && bitsPerPixel != 24 && bitsPerPixel != 32)
        return nullptr;
    if (width > limits::kMaxPictureSide || height > limits::kMaxPictureSide
        || std::int64_t(width) * height > limits::kMaxPicturePixels)
        return nullptr;
    const bool spareByte = bitsPerPixel == 32;
    QImage pixels(width, height, spareByte ? QImage::Format_ARGB32_Premultiplied
                                           : QImage::Format_RGB32);
    if (pixels.isNull())
        return nullptr;
    pixels.fill(spareByte ? 0u : 0xFF000000u);
    return add(std::make_unique<GdiObject>(GdiObject{GdiObject::Kind::Bitmap, false,
                                                     std::move(pixels)}));
}

HBRUSH CreateSolidBrush(COLORREF color)
{
    return add(std::make_unique<GdiObject>(
        GdiObject{GdiObject::Kind::Brush, false, QImage(), color & 0x00FFFFFF}));
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object)
{
    if (!valid(dc) || !valid(object))
        return nullptr;
    if (object->kind == GdiObject::Kind::Brush) {
        HGDIOBJ previous = dc->brush;
        dc->brush = object;
        return previous;
    }
    if (!object->stock && object->selectedIn && object->selectedIn != dc)
        return nullptr;
    HGDIOBJ previous = dc->bitmap;
    if (!previous->stock)
        previous->selectedIn = nullptr;
    dc->bitmap = object;
    if (!object->stock)
        object->selectedIn = dc;
    return previous;
}

bool DeleteObject(HGDIOBJ object)
{
    if (!valid(object))
        return false;
    if (object->stock)
        return true;
    if (object->selectedIn)
        return false;
    if (object->kind == GdiObject::Kind::Brush
        && handles().contexts.any([object](const DeviceContext &dc) { return dc.brush == object; }))
        return false;
    handles().objects.remove(object);
    return true;
}

bool PatBlt(HDC dc, int x, int y, int w, int h, std::uint32_t rop)
{
    if (!valid(dc) || rop != PATCOPY)
        return false;
    QImage &device = dc->bitmap->pixels;
    const QRgb colour = qRgb(dc->brush->color & 0xFF, (dc->brush->color >> 8) & 0xFF,
                             (dc->brush->color >> 16) & 0xFF);
    // A brush leaves the spare byte of a 32-bit bitmap 0; an image without one is opaque.
    return PatBlt(device, x, y, w, h, device.hasAlphaChannel() ? colour & 0x00FFFFFF : colour);
}

QImage *deviceImage(HDC dc) { return valid(dc) ? &dc->bitmap->pixels : nullptr; }

QImage bitmapImage(HBITMAP bitmap)
{
    if (!valid(bitmap) || bitmap->kind != GdiObject::Kind::Bitmap)
        return QImage();
    return bitmap->pixels;
}

int liveHandleCount() { return int(handles().objects.size() + handles().contexts.size()); }

} // namespace platform::gdi
