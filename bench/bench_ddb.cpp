// Turning a working surface and its preview through the pixel grid, against decoding and
// encoding a JPEG of the same size (what the rotate tool does around it for every file).
#include "BenchSupport.h"
#include "platform/FreeImagePtr.h"
#include "platform/Gdi.h"
#include "platform/Picture.h"
#include "platform/Surface.h"
#include "tools/DDBHelper.h"

#include <FreeImage.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <random>

namespace {

constexpr int kWork = 1066;      // 16000 twips at 15 twips per pixel
constexpr int kPreview = 533;    // 8000 twips
constexpr int kRounds = 10;

using bench::photo;

void shape(platform::Surface &s, const QImage &img)
{
    s.setScaleMode(platform::ScaleMode::Pixels);
    s.setBorder(false);
    s.setOuterSize(img.width(), img.height(), platform::ScaleMode::Pixels);
    s.setAutoRedraw(true);
    s.drawTarget() = img;
}

void turn(platform::Surface &from, platform::Surface &to)
{
    DDBHelper::PixelGrid grid;
    DDBHelper::FormatCode bits = 0;
    DDBHelper::GetBitmapPixels(from, grid, bits);
    DDBHelper::PixelGrid turned = DDBHelper::RotateGrid(grid, 90);
    to.setOuterSize(turned.width(), turned.height(), platform::ScaleMode::Pixels);
    DDBHelper::SetBitmapPixels(to, bits, turned);
}

// Decode as the tools read pictures (Qt), encode as they write them (FreeImage, JPEG).
void decodeEncode(const QString &in, const QString &out)
{
    const platform::Picture pic = platform::loadPicture(in);
    const QImage rgb = pic.image().convertToFormat(QImage::Format_RGB888).rgbSwapped();
    platform::FreeImagePtr bmp(FreeImage_ConvertFromRawBits(
        const_cast<BYTE *>(rgb.constBits()), rgb.width(), rgb.height(), int(rgb.bytesPerLine()), 24,
        FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK, TRUE));
    FreeImage_Save(FIF_JPEG, bmp.get(), QFile::encodeName(out).constData(), 0);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir tmp;
    const QString jpeg = tmp.filePath("photo.jpg");
    photo(kWork).save(jpeg, "JPG", 90);

    QElapsedTimer t;
    t.start();
    for (int i = 0; i < kRounds; ++i)
        decodeEncode(jpeg, tmp.filePath("out.jpg"));
    const double codecMs = double(t.nsecsElapsed()) / 1e6 / kRounds;

    std::printf("JPEG %dx%d decode + encode: %.2f ms\n", kWork, kWork, codecMs);
    // Depths to run: the arguments, or every layout.
    QList<int> depths;
    for (int i = 1; i < argc; ++i)
        depths << QByteArray(argv[i]).toInt();
    if (depths.isEmpty())
        depths = {32, 24, 16, 15, 8};
    for (const int depth : depths) {
        platform::gdi::setDisplayDepth(depth);
        platform::Surface work, workOut, preview, previewOut;
        shape(work, photo(kWork));
        shape(preview, photo(kPreview));
        workOut.setScaleMode(platform::ScaleMode::Pixels);
        workOut.setBorder(false);
        previewOut.setScaleMode(platform::ScaleMode::Pixels);
        previewOut.setBorder(false);
        t.restart();
        for (int i = 0; i < kRounds; ++i) {
            turn(work, workOut);
            turn(preview, previewOut);
        }
        const double turnMs = double(t.nsecsElapsed()) / 1e6 / kRounds;
        std::printf("depth %2d: grid turn of %dx%d + %dx%d: %.2f ms, %.1f%% of decode + encode "
                    "(ratio %.3f)\n",
                    depth, kWork, kWork, kPreview, kPreview, turnMs, 100.0 * turnMs / codecMs,
                    turnMs / codecMs);
    }
    return 0;
}
