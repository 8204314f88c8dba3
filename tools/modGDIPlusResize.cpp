#include "tools/modGDIPlusResize.h"

#include "platform/Errors.h"
#include "platform/GdiBitmap.h"
#include "platform/GdiObjects.h"
#include "platform/OlePicture.h"
#include "platform/Units.h"

#include <algorithm>
#include <memory>

namespace modGDIPlusResize {
namespace {

namespace gp = platform::gdiplus;
namespace gdi = platform::gdi;

struct DisposeImage {
    void operator()(gp::GpImage *image) const { gp::GdipDisposeImage(image); }
};
struct DeleteGraphics {
    void operator()(gp::GpGraphics *graphics) const { gp::GdipDeleteGraphics(graphics); }
};
struct DeleteContext {
    void operator()(gdi::DeviceContext *dc) const { gdi::DeleteDC(dc); }
};
struct DeleteGdiObject {
    void operator()(gdi::GdiObject *object) const { gdi::DeleteObject(object); }
};
using ImagePtr = std::unique_ptr<gp::GpImage, DisposeImage>;
using GraphicsPtr = std::unique_ptr<gp::GpGraphics, DeleteGraphics>;
using ContextPtr = std::unique_ptr<gdi::DeviceContext, DeleteContext>;
using GdiObjectPtr = std::unique_ptr<gdi::GdiObject, DeleteGdiObject>;

// An object selected into a context until the end of the scope; the one it replaced goes
// back in then, so that the object can be deleted (GDI refuses while it is selected).
class Selection {
public:
    Selection(gdi::HDC dc, gdi::HGDIOBJ object) : dc_(dc), previous_(gdi::SelectObject(dc, object)) {}
    ~Selection() { restore(); }
    Selection(const Selection &) = delete;
    Selection &operator=(const Selection &) = delete;
    void restore()
    {
        if (previous_)
            gdi::SelectObject(dc_, previous_);
        previous_ = nullptr;
    }

private:
    gdi::HDC dc_;
    gdi::HGDIOBJ previous_;
};

[[noreturn]] void loadError(const QString &path)
{
    throw platform::AppError(platform::ErrorKind::PictureNotLoaded, {path});
}

} // namespace

Token StartGdiPlus()
{
    gp::GdiplusStartupInput input;
    input.GdiplusVersion = 1;
    Token token = 0;
    gp::GdiplusStartup(&token, &input, nullptr);
    return token;
}

void StopGdiPlus(Token &token) { gp::GdiplusShutdown(token); }

QSize keepProportionsSize(int w0, int h0, int width, int height)
{
    const double r = double(w0) / double(h0);
    const double b = double(width) / double(height);
    if (b < r)
        return {width, int(platform::roundHalfEven(width / r))};
    return {int(platform::roundHalfEven(height * r)), height};
}

platform::Picture LoadPictureScaled(const QString &sFileName, int &lWidth, int &lHeight,
                                    std::uint32_t lBackColor, bool bKeepAspect, QSize shown)
{
    const bool naturalSize = lWidth == -1 || lHeight == -1;
    const bool partShown = naturalSize && !bKeepAspect && shown.isValid() && !shown.isEmpty();
    gp::GpImage *loaded = nullptr;
    const gp::GpStatus status = partShown
        ? gp::loadImageShown(gp::widePath(sFileName), shown, &loaded)
        : gp::GdipLoadImageFromFile(gp::widePath(sFileName), &loaded);
    if (status != gp::Ok)
        loadError(sFileName);
    ImagePtr image(loaded);

    if (naturalSize) {
        std::uint32_t w = 0, h = 0;
        gp::GdipGetImageWidth(image.get(), &w);
        gp::GdipGetImageHeight(image.get(), &h);
        lWidth = int(w);
        lHeight = int(h);
    }
    // Drawn one to one, the part beyond `shown` would never be seen.
    const int targetWidth = partShown ? std::min(lWidth, shown.width()) : lWidth;
    const int targetHeight = partShown ? std::min(lHeight, shown.height()) : lHeight;

    // The target: a bitmap of the display's depth in a memory context, background first.
    ContextPtr dc(gdi::CreateCompatibleDC(nullptr));
    const int planes = gdi::GetDeviceCaps(dc.get(), gdi::PLANES);
    const int bitsPixel = gdi::GetDeviceCaps(dc.get(), gdi::BITSPIXEL);
    GdiObjectPtr bitmap(gdi::CreateBitmap(targetWidth, targetHeight, unsigned(planes),
                                          unsigned(bitsPixel), nullptr));
    if (!bitmap)
        loadError(sFileName);   // a size no bitmap can have: nothing to load the picture into
    Selection bitmapSelection(dc.get(), bitmap.get());
    {
        GdiObjectPtr brush(gdi::CreateSolidBrush(lBackColor));
        Selection brushSelection(dc.get(), brush.get());
        gdi::PatBlt(dc.get(), 0, 0, targetWidth, targetHeight, gdi::PATCOPY);
    }

    {
        gp::GpGraphics *created = nullptr;
        gp::GdipCreateFromHDC(gdi::deviceImage(dc.get()), &created);
        GraphicsPtr graphics(created);
        gp::GdipSetInterpolationMode(graphics.get(), gp::InterpolationModeHighQualityBicubic);
        if (!bKeepAspect) {
            gp::GdipDrawImageRectI(graphics.get(), image.get(), 0, 0, lWidth, lHeight);
        } else {
            std::uint32_t w0 = 0, h0 = 0;
            gp::GdipGetImageWidth(image.get(), &w0);
            gp::GdipGetImageHeight(image.get(), &h0);
            // Top-left, not centred: the rest of the bitmap keeps the background colour.
            const QSize drawn = keepProportionsSize(int(w0), int(h0), lWidth, lHeight);
            gp::GdipDrawImageRectRectI(graphics.get(), image.get(), 0, 0, drawn.width(),
                                       drawn.height(), 0, 0, int(w0), int(h0), gp::UnitPixel,
                                       nullptr, nullptr, nullptr);
        }
    }
    image.reset();

    // Out of the context, which goes; the bitmap leaves the call owned by the picture object.
    bitmapSelection.restore();
    dc.reset();
    const platform::ole::PICTDESC desc{platform::ole::kPictDescSize, platform::ole::PICTYPE_BITMAP,
                                       bitmap.get(), nullptr};
    platform::Picture picture;
    if (platform::ole::OleCreatePictureIndirect(&desc, platform::ole::IID_IDispatch, true,
                                                &picture) != platform::ole::S_OK)
        loadError(sFileName);
    bitmap.release();   // the picture object took it
    return picture;
}

} // namespace modGDIPlusResize
