// Writes the fuzz targets' seed corpus at build time: make_fuzz_seeds <folder> fills
// <folder>/decoder with small pictures of every kind the decoder meets and
// <folder>/gif_writer with scripts for the GIF writer. Nothing binary is kept in the tree.
#include "GifWriterScript.h"
#include "support/JpegSamples.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPainter>

#include <cstdio>

using testsupport::JpegKind;

namespace {

// Sides that are no whole number of blocks, so that every seed has partial edge blocks.
constexpr int kW = 37, kH = 23;

QImage scene(int w, int h, bool alpha = false)
{
    QImage img(w, h, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgba((x * 255) / w, (y * 255) / h, (x * y) & 0xFF,
                                     alpha && (x + y) % 5 == 0 ? 0 : 255));
    return img;
}

QByteArray saved(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

bool put(const QDir &dir, const QString &name, const QByteArray &bytes)
{
    QFile f(dir.filePath(name));
    if (bytes.isEmpty() || !f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "make_fuzz_seeds: cannot write %s\n", qPrintable(f.fileName()));
        return false;
    }
    return true;
}

bool decoderSeeds(const QDir &dir)
{
    const QImage picture = scene(kW, kH);
    const QByteArray baseline = testsupport::jpegOfKind(picture);
    JpegKind progressive;
    progressive.progressive = true;
    JpegKind full;
    full.subsampled = false;
    JpegKind restarts;
    restarts.restartRows = 1;
    JpegKind arithmetic;
    arithmetic.arithmetic = true;
    JpegKind arithmeticProgressive = progressive;
    arithmeticProgressive.arithmetic = true;
    JpegKind grey;
    grey.colour = JpegKind::Colour::Grey;
    JpegKind greyProgressive = progressive;
    greyProgressive.colour = JpegKind::Colour::Grey;
    JpegKind cmyk;
    cmyk.colour = JpegKind::Colour::Cmyk;
    const QByteArray thumbnail = testsupport::jpegOfKind(scene(8, 6));
    QByteArray comment("\xFF\xFE\x00\x07hello", 9);

    bool ok = put(dir, "baseline.jpg", baseline)
        && put(dir, "progressive.jpg", testsupport::jpegOfKind(picture, progressive))
        && put(dir, "full-colour.jpg", testsupport::jpegOfKind(picture, full))
        && put(dir, "restarts.jpg", testsupport::jpegOfKind(picture, restarts))
        && put(dir, "arithmetic.jpg", testsupport::jpegOfKind(picture, arithmetic))
        && put(dir, "arithmetic-progressive.jpg", testsupport::jpegOfKind(picture, arithmeticProgressive))
        && put(dir, "grey.jpg", testsupport::jpegOfKind(picture, grey))
        && put(dir, "grey-progressive.jpg", testsupport::jpegOfKind(picture, greyProgressive))
        && put(dir, "cmyk.jpg", testsupport::jpegOfKind(picture, cmyk))
        && put(dir, "exif-thumbnail.jpg", testsupport::withSegment(baseline, testsupport::exifSegment(1, thumbnail)))
        && put(dir, "exif-thumbnail-turned-progressive.jpg",
               testsupport::withSegment(testsupport::jpegOfKind(picture, progressive),
                                        testsupport::exifSegment(6, thumbnail)))
        && put(dir, "comment.jpg", testsupport::withSegment(baseline, comment))
        && put(dir, "trailing-data.jpg", baseline + QByteArray("\0\xFF\xD8\xFF\xE1junk", 10))
        && put(dir, "bitmap.bmp", saved(picture, "BMP"))
        && put(dir, "alpha.png", saved(scene(kW, kH, true), "PNG"))
        && put(dir, "deep.png", saved(scene(kW, kH, true).convertToFormat(QImage::Format_RGBA64), "PNG"))
        && put(dir, "picture.tif", saved(picture, "TIFF"));
    // Every orientation a camera writes: each turns the picture its own way as it is read.
    for (int orientation = 2; ok && orientation <= 8; ++orientation)
        ok = put(dir, QStringLiteral("orientation-%1.jpg").arg(orientation),
                 testsupport::withSegment(baseline, testsupport::exifSegment(orientation)));
    return ok;
}

gifscript::Frame newFrame(const QImage &image, int delayCs)
{
    gifscript::Frame f;
    f.image = image;
    f.delayCs = delayCs;
    return f;
}

gifscript::Frame touchedFrame(QRect part, QRgb colour, int delayCs)
{
    gifscript::Frame f;
    f.kind = gifscript::Frame::Kind::Touched;
    f.touched = part;
    f.colour = colour;
    f.delayCs = delayCs;
    return f;
}

gifscript::Frame repeatedFrame(int delayCs)
{
    gifscript::Frame f;
    f.kind = gifscript::Frame::Kind::Repeat;
    f.delayCs = delayCs;
    return f;
}

void greyRamp(gifscript::Script &s, int w, int h)
{
    s.palette.clear();
    for (int i = 0; i < 256; ++i)
        s.palette.push_back(qRgb(i, i, i));
    s.indexedSize = QSize(w, h);
    s.indices.clear();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            s.indices.push_back(std::uint8_t((x * 255 / w + (x * 7 + y * 3) % 5) & 0xFF));
}

bool gifWriterSeeds(const QDir &dir)
{
    std::vector<gifscript::Script> scripts;
    {   // One opaque frame filling the canvas, looping for ever.
        gifscript::Script s;
        s.canvas = QSize(kW, kH);
        s.loopCount = 0;
        s.frames.push_back(newFrame(scene(kW, kH), 10));
        greyRamp(s, 40, 30);
        s.transparentIndex = 5;
        scripts.push_back(s);
    }
    {   // A burst that repeats and touches up its first frame: what is left out shows through.
        gifscript::Script s;
        s.canvas = QSize(48, 32);
        s.dither = 0.0f;
        s.lzwTolerance = 0;
        s.repeatTolerance = 4;
        s.frames.push_back(newFrame(scene(48, 32), 5));
        s.frames.push_back(touchedFrame(QRect(10, 8, 12, 6), qRgb(200, 30, 40), 5));
        s.frames.push_back(repeatedFrame(0));
        s.frames.push_back(touchedFrame(QRect(40, 20, 30, 30), qRgb(10, 230, 40), -3));
        s.frames.push_back(touchedFrame(QRect(0, 0, 4, 4), qRgba(0, 0, 0, 0), 70000));
        greyRamp(s, 64, 64);
        s.indexedTolerance = 8;
        scripts.push_back(s);
    }
    {   // Transparent pictures and pictures of other sizes than the canvas, played three times.
        gifscript::Script s;
        s.canvas = QSize(20, 20);
        s.loopCount = 3;
        s.speed = 10;
        s.frames.push_back(newFrame(scene(20, 20, true), 7));
        s.frames.push_back(newFrame(scene(40, 10, true), 7));
        s.frames.push_back(newFrame(scene(5, 60), 7));
        s.palette = {qRgb(0, 0, 0), qRgb(255, 255, 255)};
        s.transparentIndex = 0;
        s.indexedSize = QSize(9, 7);
        s.indices.assign(63, 1);
        scripts.push_back(s);
    }
    {   // Every pixel format a decoded picture comes in.
        gifscript::Script s;
        s.canvas = QSize(16, 12);
        s.speed = 1;
        s.dither = 1.0f;
        QImage indexed = scene(16, 12).convertToFormat(QImage::Format_Indexed8);
        QImage mono = scene(16, 12).convertToFormat(QImage::Format_Mono);
        s.frames.push_back(newFrame(indexed, 2));
        s.frames.push_back(newFrame(mono, 2));
        s.frames.push_back(newFrame(scene(16, 12).convertToFormat(QImage::Format_Grayscale8), 2));
        s.frames.push_back(newFrame(scene(16, 12, true).convertToFormat(QImage::Format_RGBA64), 2));
        s.frames.push_back(newFrame(scene(16, 12).convertToFormat(QImage::Format_RGB16), 2));
        s.frames.push_back(newFrame(scene(16, 12, true).convertToFormat(QImage::Format_ARGB32_Premultiplied), 2));
        s.palette = {qRgb(10, 20, 30)};
        scripts.push_back(s);
    }
    for (size_t i = 0; i < scripts.size(); ++i)
        if (!put(dir, QStringLiteral("script-%1").arg(i + 1), gifscript::write(scripts[i])))
            return false;
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds <folder>\n");
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    for (const char *sub : {"decoder", "gif_writer"})
        if (!root.mkpath(QLatin1String(sub)))
            return 1;
    return decoderSeeds(QDir(root.filePath("decoder"))) && gifWriterSeeds(QDir(root.filePath("gif_writer"))) ? 0 : 1;
}
