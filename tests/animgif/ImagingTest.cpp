// The imaging library stand-in and the two classes that wrap it: status texts, the encoder
// table, loading, property items, single-picture saves and drawing into a device image.
#include "GifTestSupport.h"
#include "animgif/cBitmap.h"
#include "animgif/cGDIP.h"
#include "platform/GdiPlus.h"
#include "support/TestSupport.h"

#include <FreeImage.h>
#include <QImageReader>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <array>
#include <vector>

namespace gp = platform::gdiplus;

struct cGDIPTestAccess {
    static void addPatterns(cGDIP &g, const QString &list, qint32 index)
    {
        g.AddPatterns(list, QStringLiteral(";"), index);
    }
};

namespace {

struct Reported {
    qint32 status;
    QString text;
    QString className;
};

class Imaging : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QObject::connect(&gdip, &cGDIP::Error, [this](qint32 s, const QString &t, const QString &c) {
            reported.push_back({s, t, c});
        });
    }
    QString path(const QString &name) const { return dir.filePath(name); }
    QString save(const QImage &img, const QString &name, const char *format = nullptr)
    {
        const QString p = path(name);
        EXPECT_TRUE(img.save(p, format));
        return p;
    }

    QTemporaryDir dir;
    cGDIP gdip;
    std::vector<Reported> reported;
};

// The class id of the GIF encoder, from the library's own list.
gp::GUID gifEncoder()
{
    std::uint32_t count = 0, bytes = 0;
    gp::GdipGetImageEncodersSize(&count, &bytes);
    std::vector<gp::ImageCodecInfo> list((bytes + sizeof(gp::ImageCodecInfo) - 1) / sizeof(gp::ImageCodecInfo));
    gp::GdipGetImageEncoders(count, bytes, list.data());
    for (std::uint32_t i = 0; i < count; ++i)
        if (QString::fromUtf16(list[i].MimeType) == u"image/gif")
            return list[i].Clsid;
    return {};
}

// Builds a PNG file whose header claims the given size (valid chunks and CRCs, no pixels).
QByteArray pngHeaderOnly(quint32 w, quint32 h)
{
    constexpr int kRgba = 6;
    return testsupport::pngFile({{"IHDR", testsupport::pngHeader(w, h, 8, kRgba)}, {"IDAT", {}}, {"IEND", {}}});
}

} // namespace

TEST_F(Imaging, StatusTextsReachListenersWithTheClassName)
{
    const std::vector<std::pair<qint32, const char *>> cases = {
        {1, "Generic Error"}, {2, "Invalid Parameter"}, {7, "Win32 Error"},
        {10, "File Not Found"}, {13, "Unknown Image Format"}, {17, "Unsupported Gdiplus Version"},
        {18, "Gdiplus Not Initialized"}, {20, "Property Not Supported"},
        {0, "Unknown GDI+ Error"}, {21, "Unknown GDI+ Error"}, {-1, "Unknown GDI+ Error"}};
    for (const auto &[status, text] : cases)
        gdip.error(status, QStringLiteral("cSomething"));
    ASSERT_EQ(reported.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(reported[i].status, cases[i].first);
        EXPECT_EQ(reported[i].text, QString::fromLatin1(cases[i].second)) << cases[i].first;
        EXPECT_EQ(reported[i].className, QStringLiteral("cSomething"));
    }
}

TEST_F(Imaging, EncoderTableFindsPatternsWhateverTheirCase)
{
    ASSERT_TRUE(gdip.started());
    const qint32 gif = gdip.ExtensionExists(QStringLiteral("*.gif"));
    ASSERT_GE(gif, 0);
    EXPECT_EQ(gdip.ExtensionExists(QStringLiteral("*.GIF")), gif);
    EXPECT_EQ(gdip.ExtensionExists(QStringLiteral("*.Gif")), gif);
    EXPECT_TRUE(gdip.EncoderClsid(gif) == gp::EncoderClsidGIF);

    EXPECT_EQ(gdip.ExtensionExists(QStringLiteral("*.xyz")), -1);
    EXPECT_EQ(gdip.ExtensionExists(QStringLiteral("*.")), -1);
    EXPECT_EQ(gdip.ExtensionExists(QString()), -1);

    // Every pattern of a multi-pattern list leads to its encoder.
    const qint32 jpeg = gdip.ExtensionExists(QStringLiteral("*.jpg"));
    ASSERT_GE(jpeg, 0);
    for (const char *p : {"*.JPEG", "*.jpe", "*.JFIF"})
        EXPECT_EQ(gdip.ExtensionExists(QString::fromLatin1(p)), jpeg) << p;
    EXPECT_TRUE(gdip.EncoderClsid(jpeg) == gp::EncoderClsidJPEG);
    EXPECT_TRUE(gdip.EncoderClsid(gdip.ExtensionExists(QStringLiteral("*.tiff"))) == gp::EncoderClsidTIFF);
    EXPECT_TRUE(gdip.EncoderClsid(gdip.ExtensionExists(QStringLiteral("*.bmp"))) == gp::EncoderClsidBMP);
    EXPECT_TRUE(gdip.EncoderClsid(gdip.ExtensionExists(QStringLiteral("*.png"))) == gp::EncoderClsidPNG);
}

TEST_F(Imaging, PatternListsAreSplitOnTheSeparator)
{
    // A blank after the last separator is trimmed away; inner patterns stay as listed.
    cGDIPTestAccess::addPatterns(gdip, QStringLiteral("*.AAA ;*.BBB "), 41);
    EXPECT_EQ(gdip.ExtensionExists(QStringLiteral("*.bbb")), 41);
    EXPECT_EQ(gdip.ExtensionExists(QStringLiteral("*.BBB ")), -1);
    EXPECT_EQ(gdip.ExtensionExists(QStringLiteral("*.AAA ")), 41);
    EXPECT_EQ(gdip.ExtensionExists(QStringLiteral("*.AAA")), -1);
    // A list ending in its separator adds nothing after it; a pattern already known keeps
    // its first encoder.
    cGDIPTestAccess::addPatterns(gdip, QStringLiteral("*.CCC;  "), 42);
    EXPECT_EQ(gdip.ExtensionExists(QStringLiteral("*.ccc")), 42);
    cGDIPTestAccess::addPatterns(gdip, QStringLiteral("*.CCC"), 43);
    EXPECT_EQ(gdip.ExtensionExists(QStringLiteral("*.CCC")), 42);
}

TEST_F(Imaging, GuidTextsParseToThePublishedValues)
{
    EXPECT_TRUE(cGDIP::GuidFromString(QStringLiteral("{292266FC-AC40-47BF-8CFC-A85B89A655DE}"))
                == gp::EncoderSaveFlag);
    EXPECT_TRUE(cGDIP::GuidFromString(QStringLiteral("{557cf402-1a04-11d3-9a73-0000f81ef32e}"))
                == gp::EncoderClsidGIF);
    const gp::GUID zero{};
    EXPECT_TRUE(cGDIP::GuidFromString(QStringLiteral("292266FC-AC40-47BF-8CFC-A85B89A655DE")) == zero);
    EXPECT_TRUE(cGDIP::GuidFromString(QStringLiteral("{not a guid at all, not a guid at al}")) == zero);
}

TEST_F(Imaging, LoadsEachFormatWithItsPixelFormatAndSize)
{
    QImage alpha(5, 3, QImage::Format_ARGB32);
    alpha.fill(qRgba(10, 200, 30, 128));
    const QString gifFile = path(QStringLiteral("d.gif"));
    ASSERT_TRUE(giftest::writeSolidGif(gifFile, 7, 2, qRgb(255, 0, 0)));

    // TIFF comes from FreeImage, so this also reads a file another library wrote.
    const QString tiff = path(QStringLiteral("t.tif"));
    {
        FIBITMAP *dib = FreeImage_Allocate(6, 4, 24);
        ASSERT_NE(dib, nullptr);
        ASSERT_TRUE(FreeImage_Save(FIF_TIFF, dib, QFile::encodeName(tiff).constData(), 0));
        FreeImage_Unload(dib);
    }
    struct Case {
        QString file;
        gp::PixelFormat format;
        int w, h;
    };
    const std::vector<Case> cases = {
        {save(giftest::gradientPicture(9, 4), QStringLiteral("a.jpg"), "JPEG"), gp::PixelFormat24bppRGB, 9, 4},
        {save(giftest::gradientPicture(8, 6), QStringLiteral("b.bmp"), "BMP"), gp::PixelFormat24bppRGB, 8, 6},
        {save(alpha, QStringLiteral("c.png"), "PNG"), gp::PixelFormat32bppARGB, 5, 3},
        {gifFile, gp::PixelFormat8bppIndexed, 7, 2},
        {tiff, gp::PixelFormat24bppRGB, 6, 4},
        // The name does not decide the format, the content does.
        {save(giftest::gradientPicture(3, 3), QStringLiteral("png-named.jpg"), "PNG"), gp::PixelFormat24bppRGB, 3, 3},
    };
    for (const Case &c : cases) {
        cBitmap bmp;
        bmp.setGdip(&gdip);
        EXPECT_EQ(bmp.LoadFromFile(c.file), gp::Ok) << c.file.toStdString();
        EXPECT_EQ(bmp.PixelFormat(), c.format) << c.file.toStdString();
        EXPECT_EQ(bmp.Width(), c.w);
        EXPECT_EQ(bmp.Height(), c.h);
    }
    EXPECT_TRUE(reported.empty());
}

TEST_F(Imaging, BrokenAndHostileFilesFailCleanly)
{
    giftest::writeBytes(path(QStringLiteral("text.jpg")), "this is not a picture\n");
    giftest::writeBytes(path(QStringLiteral("empty.bmp")), QByteArray());
    giftest::writeBytes(path(QStringLiteral("huge.png")), pngHeaderOnly(100000, 100000));
    const QByteArray jpeg = [this] {
        save(giftest::gradientPicture(64, 64), QStringLiteral("full.jpg"), "JPEG");
        return giftest::fileBytes(path(QStringLiteral("full.jpg")));
    }();
    giftest::writeBytes(path(QStringLiteral("cut.jpg")), jpeg.left(20));
    giftest::writeBytes(path(QStringLiteral("half.jpg")), jpeg.left(jpeg.size() / 2));

    const std::vector<std::pair<QString, gp::GpStatus>> cases = {
        {path(QStringLiteral("missing.jpg")), gp::InvalidParameter},
        {path(QStringLiteral("text.jpg")), gp::UnknownImageFormat},
        {path(QStringLiteral("empty.bmp")), gp::UnknownImageFormat},
        {path(QStringLiteral("cut.jpg")), gp::UnknownImageFormat},
        {path(QStringLiteral("half.jpg")), gp::UnknownImageFormat},
        {path(QStringLiteral("huge.png")), gp::ValueOverflow},
        {dir.path(), gp::AccessDenied},
    };
    for (const auto &[file, status] : cases) {
        gp::GpImage *img = reinterpret_cast<gp::GpImage *>(0x1);
        EXPECT_EQ(gp::GdipLoadImageFromFile(gp::widePath(file), &img), status) << file.toStdString();
        EXPECT_EQ(img, nullptr);
    }
}

TEST_F(Imaging, FailedLoadReportsThreeTimesAndSuccessResetsCurErr)
{
    cBitmap bmp;
    bmp.setGdip(&gdip);
    const gp::GpStatus missing = bmp.LoadFromFile(path(QStringLiteral("nowhere.bmp")));
    EXPECT_NE(missing, gp::Ok);
    EXPECT_EQ(bmp.CurErr(), missing);
    EXPECT_EQ(bmp.Handle(), nullptr);
    // The load, then the pixel format and the size of no image.
    ASSERT_EQ(reported.size(), 3u);
    for (const Reported &r : reported) {
        EXPECT_EQ(r.status, missing);
        EXPECT_EQ(r.text, cGDIP::StatusText(missing));
        EXPECT_EQ(r.className, QStringLiteral("cBitmap"));
    }

    // A broken picture: the load's own status is reported first.
    giftest::writeBytes(path(QStringLiteral("broken.jpg")), "not a picture");
    EXPECT_EQ(bmp.LoadFromFile(path(QStringLiteral("broken.jpg"))), gp::UnknownImageFormat);
    ASSERT_EQ(reported.size(), 6u);
    EXPECT_EQ(reported[3].status, gp::UnknownImageFormat);
    EXPECT_EQ(reported[3].text, QStringLiteral("Unknown Image Format"));

    EXPECT_EQ(bmp.LoadFromFile(save(giftest::gradientPicture(4, 4), QStringLiteral("ok.bmp"))), gp::Ok);
    EXPECT_EQ(bmp.CurErr(), gp::Ok);
    EXPECT_EQ(reported.size(), 6u);

    // Without a cGDIP nothing is reported, but CurErr still records the failure.
    cBitmap silent;
    EXPECT_EQ(silent.LoadFromFile(path(QStringLiteral("nowhere.bmp"))), missing);
    EXPECT_EQ(silent.CurErr(), missing);
    EXPECT_EQ(reported.size(), 6u);
}

TEST_F(Imaging, PropertyItemsTakeTheWidthOfTheirType)
{
    // What a property holds shows in the GIF it is written into: the loop block reads the
    // loop count's first element at the width of its type, the frame its delay.
    struct Case {
        std::uint16_t loopType;
        std::optional<int> loops;   // in the written file
        qint32 delay;
        int delayCs;                // in the written file
    };
    const Case cases[] = {
        {3, 0x2345, 10, 10},           // short: two bytes of 0x12345
        {1, 0x45, 0x01020304, 0xFFFF}, // byte: one; a delay past 16 bits is held at the top
        {4, 0x2345, 7, 7},             // long: all four, of which the loop block keeps 16 bits
        {2, std::nullopt, 5, 5},       // text has no width here: nothing is set
    };
    const gp::GUID gif = gifEncoder();
    int n = 0;
    for (const Case &c : cases) {
        cBitmap bmp;
        bmp.setGdip(&gdip);
        ASSERT_EQ(bmp.LoadFromFile(save(giftest::gradientPicture(4, 4), QStringLiteral("p.png"))), gp::Ok);
        EXPECT_EQ(bmp.SetPropertyItem(0x5101, c.loopType, 0x12345), gp::Ok);
        const std::array<qint32, 2> delays = {c.delay, -1};
        EXPECT_EQ(bmp.SetPropertyItemArray(0x5100, delays), gp::Ok);
        const QString out = path(QStringLiteral("prop%1.gif").arg(++n));
        ASSERT_EQ(bmp.SaveToFile(out, gif, nullptr), gp::Ok);
        const giftest::File written = giftest::readGif(out);
        ASSERT_EQ(written.frames.size(), 1u);
        EXPECT_EQ(written.loopCount, c.loops) << c.loopType;
        EXPECT_EQ(written.frames[0].delayCs, c.delayCs) << c.loopType;
    }
    EXPECT_TRUE(reported.empty());
}

TEST_F(Imaging, PropertyOnADisposedImageFailsAndASuccessResetsCurErr)
{
    cBitmap bmp;
    bmp.setGdip(&gdip);
    EXPECT_EQ(bmp.SetPropertyItem(0x5101, 3, 1), gp::InvalidParameter);   // no image yet
    EXPECT_EQ(bmp.CurErr(), gp::InvalidParameter);
    ASSERT_EQ(reported.size(), 1u);
    ASSERT_EQ(bmp.LoadFromFile(save(giftest::gradientPicture(2, 2), QStringLiteral("q.bmp"))), gp::Ok);
    EXPECT_EQ(bmp.SetPropertyItem(0x5101, 3, 1), gp::Ok);
    EXPECT_EQ(bmp.CurErr(), gp::Ok);

    gp::GpImage *stale = bmp.Handle();
    bmp.Dispose();
    EXPECT_EQ(bmp.Handle(), nullptr);
    EXPECT_EQ(gp::GdipDisposeImage(stale), gp::InvalidParameter);
    gp::PixelFormat f;
    EXPECT_EQ(gp::GdipGetImagePixelFormat(stale, &f), gp::InvalidParameter);
}

TEST_F(Imaging, EveryListedEncoderWritesARealFileOfItsFormat)
{
    std::uint32_t count = 0, bytes = 0;
    ASSERT_EQ(gp::GdipGetImageEncodersSize(&count, &bytes), gp::Ok);
    ASSERT_GE(count, 5u);
    std::vector<gp::ImageCodecInfo> list((bytes + sizeof(gp::ImageCodecInfo) - 1) / sizeof(gp::ImageCodecInfo));
    EXPECT_EQ(gp::GdipGetImageEncoders(count, bytes - 1, list.data()), gp::InvalidParameter);
    ASSERT_EQ(gp::GdipGetImageEncoders(count, bytes, list.data()), gp::Ok);

    const QImage source = giftest::gradientPicture(32, 24);
    cBitmap bmp;
    bmp.setGdip(&gdip);
    ASSERT_EQ(bmp.LoadFromFile(save(source, QStringLiteral("src.png"))), gp::Ok);

    QStringList seen;
    for (std::uint32_t i = 0; i < count; ++i) {
        const QString mime = QString::fromUtf16(list[i].MimeType);
        const QString patterns = QString::fromUtf16(list[i].FilenameExtension);
        EXPECT_EQ(patterns, patterns.toUpper());
        const QString first = patterns.section(u';', 0, 0).mid(1);   // "*.BMP" -> ".BMP"
        const QString out = path(QStringLiteral("out") + first);
        ASSERT_EQ(bmp.SaveToFile(out, list[i].Clsid, nullptr), gp::Ok) << mime.toStdString();

        // Read back by the other library: the file really is of that format.
        const FREE_IMAGE_FORMAT fif = FreeImage_GetFileType(QFile::encodeName(out).constData(), 0);
        cBitmap back;
        ASSERT_EQ(back.LoadFromFile(out), gp::Ok) << mime.toStdString();
        EXPECT_EQ(back.Width(), 32);
        EXPECT_EQ(back.Height(), 24);
        if (mime == u"image/bmp")
            EXPECT_EQ(fif, FIF_BMP);
        else if (mime == u"image/jpeg")
            EXPECT_EQ(fif, FIF_JPEG);
        else if (mime == u"image/gif")
            EXPECT_EQ(fif, FIF_GIF);
        else if (mime == u"image/tiff")
            EXPECT_EQ(fif, FIF_TIFF);
        else if (mime == u"image/png")
            EXPECT_EQ(fif, FIF_PNG);
        seen << mime;
    }
    EXPECT_EQ(seen, (QStringList{"image/bmp", "image/jpeg", "image/gif", "image/tiff", "image/png"}));

    // Lossless formats give the pixels back exactly; JPEG and GIF come close.
    EXPECT_EQ(giftest::meanAbsDiff(QImage(path(QStringLiteral("out.PNG"))), source), 0.0);
    EXPECT_EQ(giftest::meanAbsDiff(QImage(path(QStringLiteral("out.BMP"))), source), 0.0);
    EXPECT_LT(giftest::meanAbsDiff(QImage(path(QStringLiteral("out.JPG"))), source), 6.0);
    // TIFF goes through FreeImage both ways (Qt has no TIFF plugin here): no channel swaps.
    cBitmap tif;
    ASSERT_EQ(tif.LoadFromFile(path(QStringLiteral("out.TIF"))), gp::Ok);
    QImage device(32, 24, QImage::Format_RGB32);
    gp::GpGraphics *g = nullptr;
    ASSERT_EQ(gp::GdipCreateFromHDC(&device, &g), gp::Ok);
    EXPECT_EQ(gp::GdipDrawImageRectI(g, tif.Handle(), 0, 0, 32, 24), gp::Ok);
    gp::GdipDeleteGraphics(g);
    EXPECT_EQ(giftest::meanAbsDiff(device, source), 0.0);
    const giftest::File gif = giftest::readGif(path(QStringLiteral("out.GIF")));
    ASSERT_EQ(gif.frames.size(), 1u);
    EXPECT_LT(giftest::meanAbsDiff(gif.frames[0].image, source), 6.0);
}

TEST_F(Imaging, MultiFrameSavesFollowTheProtocol)
{
    cBitmap first, second;
    first.setGdip(&gdip);
    ASSERT_EQ(first.LoadFromFile(save(giftest::gradientPicture(8, 8), QStringLiteral("1.bmp"))), gp::Ok);
    ASSERT_EQ(second.LoadFromFile(save(giftest::gradientPicture(8, 8, 1), QStringLiteral("2.bmp"))), gp::Ok);
    std::uint32_t flag = 0;
    gp::EncoderParameters params{1, {{gp::EncoderSaveFlag, 1, gp::EncoderParameterValueTypeLong, &flag}}};

    // Adding or flushing before a file was opened is a state error.
    flag = gp::EncoderValueFrameDimensionTime;
    EXPECT_EQ(first.SaveAddImage(second.Handle(), &params), gp::WrongState);
    flag = gp::EncoderValueFlush;
    EXPECT_EQ(first.SaveAdd(&params), gp::WrongState);
    // Several frames only go into GIF files here.
    flag = gp::EncoderValueMultiFrame;
    EXPECT_EQ(first.SaveToFile(path(QStringLiteral("m.png")), gp::EncoderClsidPNG, &params), gp::NotImplemented);

    EXPECT_EQ(first.SaveToFile(path(QStringLiteral("m.gif")), gp::EncoderClsidGIF, &params), gp::Ok);
    flag = gp::EncoderValueFlush;   // the wrong flag for an added frame
    EXPECT_EQ(first.SaveAddImage(second.Handle(), &params), gp::InvalidParameter);
    flag = gp::EncoderValueFrameDimensionTime;
    EXPECT_EQ(first.SaveAddImage(second.Handle(), &params), gp::Ok);
    EXPECT_EQ(first.SaveAddImage(second.Handle(), &params), gp::Ok);   // the same picture again
    flag = gp::EncoderValueFlush;
    EXPECT_EQ(first.SaveAdd(&params), gp::Ok);
    EXPECT_EQ(first.SaveAdd(&params), gp::WrongState);   // closed already
    const giftest::File gif = giftest::readGif(path(QStringLiteral("m.gif")));
    ASSERT_TRUE(gif.ok);
    EXPECT_EQ(gif.frames.size(), 3u);
    EXPECT_FALSE(gif.loopCount.has_value());   // no loop property: plays once

    // An unknown encoder id is refused.
    const gp::CLSID unknown{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_EQ(first.SaveToFile(path(QStringLiteral("x.gif")), unknown, nullptr), gp::InvalidParameter);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("x.gif"))));
}

TEST(ImagingLibrary, CallsNeedALiveStartToken)
{
    const QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("a.bmp"));
    ASSERT_TRUE(giftest::gradientPicture(4, 4).save(file));
    gp::GpImage *img = nullptr;
    EXPECT_EQ(gp::GdipLoadImageFromFile(gp::widePath(file), &img), gp::GdiplusNotInitialized);

    gp::GdiplusStartupInput input;
    input.GdiplusVersion = 9;
    gp::ULONG_PTR bad = 0;
    EXPECT_EQ(gp::GdiplusStartup(&bad, &input, nullptr), gp::UnsupportedGdiplusVersion);
    EXPECT_EQ(bad, 0u);
    input.GdiplusVersion = 1;
    input.SuppressBackgroundThread = 1;   // there are no hooks to give such a caller
    gp::GdiplusStartupOutput hooks;
    EXPECT_EQ(gp::GdiplusStartup(&bad, &input, &hooks), gp::NotImplemented);
    EXPECT_EQ(bad, 0u);
    EXPECT_EQ(hooks.NotificationHook, nullptr);
    input.SuppressBackgroundThread = 0;

    input.GdiplusVersion = 1;
    gp::ULONG_PTR a = 0, b = 0;
    ASSERT_EQ(gp::GdiplusStartup(&a, &input, nullptr), gp::Ok);
    ASSERT_EQ(gp::GdiplusStartup(&b, &input, nullptr), gp::Ok);
    EXPECT_NE(a, 0u);
    EXPECT_NE(a, b);
    ASSERT_EQ(gp::GdipLoadImageFromFile(gp::widePath(file), &img), gp::Ok);
    gp::GdiplusShutdown(a);
    std::uint32_t w = 0;
    EXPECT_EQ(gp::GdipGetImageWidth(img, &w), gp::Ok);   // still started through b
    EXPECT_EQ(w, 4u);
    gp::GdiplusShutdown(b);
    // The last shut-down released what was left; the old handle is no longer usable.
    EXPECT_EQ(gp::GdipGetImageWidth(img, &w), gp::GdiplusNotInitialized);
    ASSERT_EQ(gp::GdiplusStartup(&a, &input, nullptr), gp::Ok);
    EXPECT_EQ(gp::GdipGetImageWidth(img, &w), gp::InvalidParameter);
    gp::GdiplusShutdown(a);

    // A cGDIP made while nothing else runs starts and stops the library on its own.
    {
        cGDIP g;
        EXPECT_TRUE(g.started());
        EXPECT_EQ(gp::GdipLoadImageFromFile(gp::widePath(file), &img), gp::Ok);
    }
    EXPECT_EQ(gp::GdipLoadImageFromFile(gp::widePath(file), &img), gp::GdiplusNotInitialized);
}

TEST_F(Imaging, DrawsIntoADeviceImageBlendingTransparentParts)
{
    // A 2 x 2 logo: red, transparent / green, blue.
    QImage logo(2, 2, QImage::Format_ARGB32);
    logo.setPixel(0, 0, qRgba(255, 0, 0, 255));
    logo.setPixel(1, 0, qRgba(255, 255, 255, 0));
    logo.setPixel(0, 1, qRgba(0, 255, 0, 255));
    logo.setPixel(1, 1, qRgba(0, 0, 255, 255));
    cBitmap bmp;
    ASSERT_EQ(bmp.LoadFromFile(save(logo, QStringLiteral("logo.png"))), gp::Ok);
    EXPECT_EQ(bmp.PixelFormat(), gp::PixelFormat32bppARGB);

    QImage device(6, 4, QImage::Format_RGB32);
    device.fill(qRgb(0, 0, 0));
    gp::GpGraphics *g = nullptr;
    ASSERT_EQ(gp::GdipCreateFromHDC(&device, &g), gp::Ok);
    EXPECT_EQ(gp::GdipSetInterpolationMode(g, gp::InterpolationModeHighQualityBicubic), gp::Ok);
    EXPECT_EQ(gp::GdipSetInterpolationMode(g, gp::InterpolationMode(42)), gp::InvalidParameter);
    ASSERT_EQ(gp::GdipDrawImageRectI(g, bmp.Handle(), 1, 1, 2, 2), gp::Ok);
    EXPECT_EQ(device.pixel(1, 1), qRgb(255, 0, 0));
    EXPECT_EQ(device.pixel(2, 1), qRgb(0, 0, 0));   // transparent: the background stays
    EXPECT_EQ(device.pixel(1, 2), qRgb(0, 255, 0));
    EXPECT_EQ(device.pixel(2, 2), qRgb(0, 0, 255));
    EXPECT_EQ(device.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(device.pixel(3, 1), qRgb(0, 0, 0));

    // Nearest neighbour stretches each pixel into a block; a source rectangle picks a part.
    device.fill(qRgb(0, 0, 0));
    ASSERT_EQ(gp::GdipSetInterpolationMode(g, gp::InterpolationModeNearestNeighbor), gp::Ok);
    ASSERT_EQ(gp::GdipDrawImageRectRectI(g, bmp.Handle(), 0, 0, 4, 2, 0, 1, 2, 1, gp::UnitPixel,
                                         nullptr, nullptr, nullptr), gp::Ok);
    for (int y = 0; y < 2; ++y) {
        EXPECT_EQ(device.pixel(0, y), qRgb(0, 255, 0));
        EXPECT_EQ(device.pixel(1, y), qRgb(0, 255, 0));
        EXPECT_EQ(device.pixel(2, y), qRgb(0, 0, 255));
        EXPECT_EQ(device.pixel(3, y), qRgb(0, 0, 255));
    }
    EXPECT_EQ(device.pixel(0, 2), qRgb(0, 0, 0));
    EXPECT_EQ(gp::GdipDrawImageRectRectI(g, bmp.Handle(), 0, 0, 4, 2, 0, 0, 2, 2, gp::UnitWorld,
                                         nullptr, nullptr, nullptr), gp::NotImplemented);
    EXPECT_EQ(gp::GdipDeleteGraphics(g), gp::Ok);
    EXPECT_EQ(gp::GdipDeleteGraphics(g), gp::InvalidParameter);
    EXPECT_EQ(gp::GdipCreateFromHDC(nullptr, &g), gp::InvalidParameter);
}
