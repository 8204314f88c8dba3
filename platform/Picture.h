#pragma once
#include <QImage>
#include <QSize>
#include <QString>
#include <functional>

namespace platform {

// A picture as the toolkit hands it around: an image plus the size of the picture it was
// made from. Loaded pictures may have been decoded at a reduced scale; their reported size
// stays the file's own, so that the fit arithmetic does not depend on how they were decoded.
class Picture {
public:
    Picture() = default;
    explicit Picture(QImage image, QSize originalPixels = {});

    bool isNull() const { return image_.isNull(); }
    const QImage &image() const { return image_; }
    // The picture's own size, as its file gives it, in pixels and in HIMETRIC (1/100 mm, at
    // the screen's dpi).
    QSize pixelSize() const { return original_; }
    int widthHimetric() const;
    int heightHimetric() const;

private:
    QImage image_;
    QSize original_;
};

// Given the picture's own pixel size, tells the size it will be painted at (or an invalid
// size when unknown). Pictures much larger than that are decoded at a reduced scale, never
// below it, where the decoder offers it.
using PaintSizeHint = std::function<QSize(QSize original)>;

// Loads a picture file (BMP, JPEG, PNG, TIFF, GIF, ...) through platform/Decoder.h. Throws
// the decoder's AppError (decoder::errorOf): FileNotFound when the file is missing, NotAFile
// for a folder, FIFO or device (never opened), CannotRead when it cannot be read,
// InvalidPicture when it is not a readable picture, DamagedPicture or PictureCutShort when it
// is damaged, PictureTooLarge when it claims an unreasonable size (see Limits.h).
Picture loadPicture(const QString &path, const PaintSizeHint &hint = {});

// Writes an image as a bitmap file whatever the extension: 24 bits per pixel, classic
// 40-byte header (the form FreeImage reads). Throws AppError when the file cannot be written.
void savePicture(const QImage &image, const QString &path);
// The same for a picture of `size` whose rows `band(top, rows)` gives a band at a time, as an
// image `rows` high in any format: no second whole copy of a large picture is made.
using PictureBand = std::function<QImage(int top, int rows)>;
void savePicture(QSize size, const PictureBand &band, const QString &path);
// The bands of a whole image (which must outlive the result).
PictureBand bandsOf(const QImage &image);

// Convert HIMETRIC to pixels and back at the screen's dpi (from the toolkit's metrics).
double himetricToPixels(double himetric, bool horizontal = true);
double pixelsToHimetric(double pixels, bool horizontal = true);

} // namespace platform
