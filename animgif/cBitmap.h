#pragma once
#include "platform/GdiPlus.h"
#include <QByteArray>
#include <QPointer>
#include <QString>
#include <span>

class cGDIP;

// One imaging-library picture: loads a file, sets property items and takes part in the
// multi-frame save. Every library call's status passes through CheckStatus, which keeps the
// last failure in CurErr and reports it through the Error signal of the cGDIP given.
// The object owns its image and disposes of it when destroyed.
class cBitmap {
public:
    using GpStatus = platform::gdiplus::GpStatus;
    using GpImage = platform::gdiplus::GpImage;

    cBitmap() = default;
    ~cBitmap();
    cBitmap(const cBitmap &) = delete;
    cBitmap &operator=(const cBitmap &) = delete;

    // Where failures are reported; set it before loading. May stay empty.
    void setGdip(cGDIP *oGdip) { gdip_ = oGdip; }
    cGDIP *gdip() const { return gdip_; }

    // Loads a picture, then reads its pixel format and size; those reads happen even after
    // a failed load, so a failed load reports three failures. Returns the load's status.
    GpStatus LoadFromFile(const QString &sFilename);
    GpImage *Handle() const { return image_; }
    // Replaces this object's picture by a lWidth x lHeight copy of another one's (the
    // library's thumbnail, no abort callback); size and pixel format are read afterwards.
    GpStatus CreateThumbFromImage(qint32 lWidth, qint32 lHeight, GpImage *lBitmapHandle);

    // A property of 32-bit signed values (type 9), 4 bytes per element.
    GpStatus SetPropertyItemArray(platform::gdiplus::PROPID ePropTag,
                                  std::span<const qint32> lParams);
    // A one-value property; its width comes from the type (1: 1 byte, 3: 2 bytes, 4: 4 bytes),
    // the lowest bytes of lValue are stored. Any other type sets nothing and returns 0.
    GpStatus SetPropertyItem(platform::gdiplus::PROPID ePropTag, quint16 ePropTagType,
                             qint32 lValue);

    GpStatus SaveToFile(const QString &sFilename, const platform::gdiplus::CLSID &encoder,
                        const platform::gdiplus::EncoderParameters *params);
    // Adds another picture as a frame of the file this one opened.
    GpStatus SaveAddImage(GpImage *image, const platform::gdiplus::EncoderParameters *params);
    GpStatus SaveAdd(const platform::gdiplus::EncoderParameters *params);

    void Dispose();

    GpStatus CurErr() const { return lastStatus_; }
    qint32 Width() const { return width_; }
    qint32 Height() const { return height_; }
    platform::gdiplus::PixelFormat PixelFormat() const { return pixelFormat_; }

private:
    GpStatus CheckStatus(GpStatus status);
    // Reads the pixel format and the size, each read's status through CheckStatus.
    void readFormatAndSize();

    GpImage *image_ = nullptr;
    QPointer<cGDIP> gdip_;
    GpStatus lastStatus_ = 0;
    platform::gdiplus::PixelFormat pixelFormat_ = 0;
    qint32 width_ = 0;
    qint32 height_ = 0;
    QByteArray propertyBuffer_;   // the value of the last property item set
};
