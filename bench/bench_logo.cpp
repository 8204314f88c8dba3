// The logo step of each entry of a logo run (start the imaging library, load the logo through
// the scaled loader, blend it onto the preview, stop the library) against a plain decode of the
// same logo and against what the run does around it for every picture (decode the picture,
// write the intermediate bitmap, convert it to JPEG).
#include "platform/Gdi.h"
#include "platform/Picture.h"
#include "tools/BatchRun.h"
#include "tools/WatermarkWindow.h"
#include "tools/modGDIPlusResize.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <cstdio>

namespace {

constexpr int kRounds = 20;
constexpr QSize kPreview(1328, 637);   // a photograph fitted into the tool window
constexpr QSize kLogo(400, 200);

QImage logoImage()
{
    QImage img(kLogo, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(255, 255, 255, 220));
    p.drawRoundedRect(QRectF(2, 2, kLogo.width() - 4, kLogo.height() - 4), 30, 30);
    return img;
}

QImage photo(QSize size)
{
    QImage img(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            img.setPixel(x, y, qRgb(x * 255 / size.width(), (x + y) & 0xFF, y * 255 / size.height()));
    return img;
}

template <class F> double msPerRound(F f, int rounds = kRounds)
{
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < rounds; ++i)
        f();
    return double(t.nsecsElapsed()) / 1e6 / rounds;
}

// A memory figure of this process from /proc/self/status, in MB: VmHWM is the peak resident
// memory since the last resetPeak(), VmRSS the current one.
double statusMB(const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}
void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// A logo far larger than the preview: loaded as the tool loads it (only what the preview can
// show) and whole, as it was loaded before.
void hugeLogo(const QString &folder, QSize size)
{
    const QString file = folder + QStringLiteral("/huge-logo.jpg");
    photo(size).save(file, "JPG", 90);
    constexpr int kHugeRounds = 3;
    auto load = [&](QSize shown) {
        auto token = modGDIPlusResize::StartGdiPlus();
        int w = -1, h = -1;
        const platform::Picture p = modGDIPlusResize::LoadPictureScaled(file, w, h, 0, false, shown);
        modGDIPlusResize::StopGdiPlus(token);
        return p.image().size();
    };
    resetPeak();
    double before = statusMB("VmRSS");
    const double shownMs = msPerRound([&] { load(kPreview); }, kHugeRounds);
    const double shownPeak = statusMB("VmHWM") - before;
    resetPeak();
    before = statusMB("VmRSS");
    const double wholeMs = msPerRound([&] { load(QSize()); }, kHugeRounds);
    const double wholePeak = statusMB("VmHWM") - before;
    std::printf("%dx%d JPEG logo on a %dx%d preview: %.0f ms, peak +%.0f MB; whole: %.0f ms, "
                "peak +%.0f MB; ratio %.2f (time)\n",
                size.width(), size.height(), kPreview.width(), kPreview.height(), shownMs,
                shownPeak, wholeMs, wholePeak, shownMs / wholeMs);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir tmp;
    const QString logo = tmp.filePath("logo.png"), picture = tmp.filePath("photo.jpg");
    logoImage().save(logo);
    photo(kPreview).save(picture, "JPG", 90);
    QImage preview = photo(kPreview);

    const double plainMs = msPerRound([&] { platform::loadPicture(logo); });
    const double logoMs = msPerRound([&] {
        auto token = modGDIPlusResize::StartGdiPlus();
        int w = -1, h = -1;
        const platform::Picture p = modGDIPlusResize::LoadPictureScaled(logo, w, h, 0, false);
        platform::gdi::AlphaBlend(preview, 10, 10, w, h, p.image(), 0, 0, tools::blendValueFor(178));
        modGDIPlusResize::StopGdiPlus(token);
    });
    const double entryMs = msPerRound([&] {
        const platform::Picture p = platform::loadPicture(picture);
        platform::savePicture(p.image(), tmp.filePath("adwl-photo.jpg"));
        tools::convertBitmapFile(tmp.filePath("adwl-photo.jpg"), tmp.filePath("awlo-photo.jpg"),
                                 tools::kFormatJpeg);
    });
    std::printf("plain decode of a %dx%d PNG logo: %.2f ms\n", kLogo.width(), kLogo.height(), plainMs);
    std::printf("logo step (start, scaled load, blend, stop): %.2f ms, ratio %.2f to the plain decode\n",
                logoMs, logoMs / plainMs);
    std::printf("rest of an entry (%dx%d JPEG decode, bitmap, JPEG): %.2f ms; the logo step adds %.1f%%\n",
                kPreview.width(), kPreview.height(), entryMs, 100.0 * logoMs / entryMs);
    hugeLogo(tmp.path(), QSize(8000, 6000));
    return 0;
}
