#include "animgif/cBitmap.h"
#include "animgif/cGDIP.h"
#include "platform/Units.h"
#include <QtEndian>
#include <algorithm>

namespace gp = platform::gdiplus;

namespace {
constexpr int kSignedLongBytes = 4;
const QString kClassName = QStringLiteral("cBitmap");
} // namespace

cBitmap::~cBitmap() { Dispose(); }

cBitmap::GpStatus cBitmap::CheckStatus(GpStatus status)
{
    if (status == gp::Ok) {
        lastStatus_ = gp::Ok;
        return gp::Ok;
    }
    lastStatus_ = status;
    if (gdip_)
        gdip_->error(status, kClassName);
    return lastStatus_;
}

cBitmap::GpStatus cBitmap::LoadFromFile(const QString &sFilename)
{
    // Loading over a loaded picture gives the old one back to the library first, so that
    // nothing is left behind (the writer loads every object once anyway).
    Dispose();
    GpImage *handle = nullptr;
    const GpStatus loaded = CheckStatus(gp::GdipLoadImageFromFile(gp::widePath(sFilename), &handle));
    image_ = handle;
    readFormatAndSize();
    return loaded;
}

void cBitmap::readFormatAndSize()
{
    gp::PixelFormat format = 0;
    if (CheckStatus(gp::GdipGetImagePixelFormat(image_, &format)) == gp::Ok)
        pixelFormat_ = format;
    float w = 0, h = 0;
    if (CheckStatus(gp::GdipGetImageDimension(image_, &w, &h)) == gp::Ok) {
        width_ = qint32(platform::roundHalfEven(w));
        height_ = qint32(platform::roundHalfEven(h));
    }
}

cBitmap::GpStatus cBitmap::CreateThumbFromImage(qint32 lWidth, qint32 lHeight, GpImage *lBitmapHandle)
{
    GpImage *thumb = nullptr;
    const GpStatus made = CheckStatus(gp::GdipGetImageThumbnail(
        lBitmapHandle, std::uint32_t(std::max(lWidth, 0)), std::uint32_t(std::max(lHeight, 0)),
        &thumb, nullptr, nullptr));
    if (made != gp::Ok)
        return made;
    Dispose();
    image_ = thumb;
    readFormatAndSize();
    return made;
}

cBitmap::GpStatus cBitmap::SetPropertyItemArray(gp::PROPID ePropTag, std::span<const qint32> lParams)
{
    propertyBuffer_.resize(qsizetype(lParams.size()) * kSignedLongBytes);
    for (size_t i = 0; i < lParams.size(); ++i)
        qToLittleEndian(lParams[i], propertyBuffer_.data() + i * kSignedLongBytes);
    gp::PropertyItem item{ePropTag, std::uint32_t(propertyBuffer_.size()),
                          gp::PropertyTagTypeSLONG, propertyBuffer_.data()};
    return CheckStatus(gp::GdipSetPropertyItem(image_, &item));
}

cBitmap::GpStatus cBitmap::SetPropertyItem(gp::PROPID ePropTag, quint16 ePropTagType, qint32 lValue)
{
    int width = 0;
    switch (ePropTagType) {
    case gp::PropertyTagTypeByte: width = 1; break;
    case gp::PropertyTagTypeShort: width = 2; break;
    case gp::PropertyTagTypeLong: width = 4; break;
    default: return gp::Ok;
    }
    propertyBuffer_.resize(width);
    const auto v = quint32(lValue);
    for (int i = 0; i < width; ++i)
        propertyBuffer_[i] = char((v >> (8 * i)) & 0xFF);
    gp::PropertyItem item{ePropTag, std::uint32_t(width), ePropTagType, propertyBuffer_.data()};
    return CheckStatus(gp::GdipSetPropertyItem(image_, &item));
}

cBitmap::GpStatus cBitmap::SaveToFile(const QString &sFilename, const gp::CLSID &encoder,
                                      const gp::EncoderParameters *params)
{
    return CheckStatus(gp::GdipSaveImageToFile(image_, gp::widePath(sFilename), &encoder, params));
}

cBitmap::GpStatus cBitmap::SaveAddImage(GpImage *image, const gp::EncoderParameters *params)
{
    return CheckStatus(gp::GdipSaveAddImage(image_, image, params));
}

cBitmap::GpStatus cBitmap::SaveAdd(const gp::EncoderParameters *params)
{
    return CheckStatus(gp::GdipSaveAdd(image_, params));
}

void cBitmap::Dispose()
{
    if (image_) {
        gp::GdipDisposeImage(image_);
        image_ = nullptr;
    }
}
