// Hostile files of the formats read when all picture formats are taken, each made here so that
// its every byte is known: a claimed size far over the limits must be refused before the
// decoder allocates for it, a cut file refused as such, and the odd but valid layouts decoded
// with their pixels. Every refusal names the file, as the run's "Continue?" shows it.
#include "platform/Decoder.h"
#include "platform/Errors.h"
#include "support/HostileFiles.h"
#include "support/TestSupport.h"

#include <QColorSpace>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>
#include <libheif/heif.h>

#include <cstring>

using namespace platform;
using namespace hostile;
namespace dec = platform::decoder;

namespace {

struct HostileFormats : ::testing::Test {
    QString path(const QString &name) const { return tmp.filePath(name); }
    QString write(const QString &name, const QByteArray &bytes) const
    {
        EXPECT_TRUE(testsupport::writeBytes(path(name), bytes));
        return path(name);
    }
    // Refused, and the message the user sees names the file.
    void expectRefusedByName(const QString &file, dec::Failure expected)
    {
        const dec::Decoded d = dec::decode(file);
        EXPECT_EQ(d.failure, expected) << file.toStdString() << ": " << d.reason.toStdString();
        EXPECT_TRUE(d.image.isNull());
        if (d.failure != dec::Failure::None)
            EXPECT_TRUE(dec::errorOf(d, file).description().contains(QFileInfo(file).fileName()))
                << dec::errorOf(d, file).description().toStdString();
    }
    testsupport::ScriptedFixture fx;
    QTemporaryDir tmp;
};

} // namespace

TEST_F(HostileFormats, HeifClaimingAHugeSizeOrCutShortIsRefusedByName)
{
    const QByteArray heic = heif(tmp, false);
    ASSERT_FALSE(heic.isEmpty()) << "heif-enc is needed";
    // Every size box of the file claims 100 000 × 100 000; nothing of that size may be allocated.
    const QByteArray huge = claimingSize(heic, 100000, 100000);
    ASSERT_NE(huge, heic);
    expectRefusedByName(write(QStringLiteral("huge.heic"), huge), dec::Failure::TooLarge);

    const dec::Decoded whole = dec::decode(write(QStringLiteral("whole.heic"), heic));
    EXPECT_EQ(whole.failure, dec::Failure::None);
    EXPECT_EQ(whole.image.size(), QSize(64, 48));

    const QByteArray avif = heif(tmp, true);
    ASSERT_FALSE(avif.isEmpty());
    const QString cut = write(QStringLiteral("cut.avif"), avif.left(avif.size() / 2));
    const dec::Decoded d = dec::decode(cut);
    EXPECT_NE(d.failure, dec::Failure::None);
    EXPECT_TRUE(d.image.isNull());
    EXPECT_TRUE(dec::errorOf(d, cut).description().contains(QStringLiteral("cut.avif")));
}

TEST_F(HostileFormats, APngBombIsRefusedFromItsHeader)
{
    // A few hundred bytes claiming 60 000 × 60 000: refused on the header, before any row.
    const QString bomb = write(QStringLiteral("bomb.png"), pngBomb(60000, 60000));
    expectRefusedByName(bomb, dec::Failure::TooLarge);
}

TEST_F(HostileFormats, GreyWithAlphaKeepsBothAndSixteenBitTiffKeepsItsColours)
{
    // Grey and alpha a pixel: one clear, one solid.
    const QByteArray rows = QByteArray("\0", 1) + QByteArray("\xC8\x00\x32\xFF", 4);
    const QString ga = write(QStringLiteral("ga.png"), testsupport::pngFile({{"IHDR", testsupport::pngHeader(2, 1, 8, 4)},
                                                                           {"IDAT", testsupport::pngStoredData(rows)},
                                                                           {"IEND", {}}}));
    const dec::Decoded g = dec::decode(ga);
    ASSERT_EQ(g.failure, dec::Failure::None) << g.reason.toStdString();
    ASSERT_EQ(g.image.size(), QSize(2, 1));
    EXPECT_EQ(qAlpha(g.image.pixel(0, 0)), 0);
    EXPECT_EQ(g.image.pixel(1, 0), qRgba(0x32, 0x32, 0x32, 0xFF));

    QImage deep(3, 2, QImage::Format_RGBA64);
    deep.fill(QColor::fromRgba64(0x1234, 0x8000, 0xFFFF, 0xFFFF));
    deep.setPixelColor(0, 0, QColor::fromRgba64(0, 0, 0, 0));
    const QString tif = path(QStringLiteral("deep.tif"));
    ASSERT_TRUE(deep.save(tif, "tiff"));
    const dec::Decoded t = dec::decode(tif);
    ASSERT_EQ(t.failure, dec::Failure::None) << t.reason.toStdString();
    ASSERT_EQ(t.image.size(), QSize(3, 2));
    EXPECT_EQ(qAlpha(t.image.pixel(0, 0)), 0);
    const QColor c = t.image.pixelColor(2, 1);
    EXPECT_NEAR(c.red(), 0x12, 1);
    EXPECT_NEAR(c.green(), 0x80, 1);
    EXPECT_NEAR(c.blue(), 0xFF, 1);
    EXPECT_EQ(c.alpha(), 0xFF);
}

TEST_F(HostileFormats, ATiffOfTenThousandPagesGivesItsFirst)
{
    const QString many = write(QStringLiteral("many.tif"), manyPageTiff(10000, 0x80));
    const dec::Decoded d = dec::decode(many);
    ASSERT_EQ(d.failure, dec::Failure::None) << d.reason.toStdString();
    ASSERT_EQ(d.image.size(), QSize(1, 1));
    EXPECT_EQ(qGray(d.image.pixel(0, 0)), 0x80);
}

TEST_F(HostileFormats, ACmykTiffIsReadInColourAndAnAnimatedWebpGivesItsFirstFrame)
{
    // Cyan-free, full magenta and yellow: red on paper.
    const QString cmyk = write(QStringLiteral("cmyk.tif"), cmykTiff(QByteArray("\x00\xFF\xFF\x00", 4)));
    const dec::Decoded c = dec::decode(cmyk);
    ASSERT_EQ(c.failure, dec::Failure::None) << c.reason.toStdString();
    ASSERT_EQ(c.image.size(), QSize(1, 1));
    const QColor p = c.image.pixelColor(0, 0);
    EXPECT_GT(p.red(), 200);
    EXPECT_LT(p.green(), 60);
    EXPECT_LT(p.blue(), 60);

    QImage still(24, 16, QImage::Format_ARGB32);
    still.fill(qRgba(10, 200, 30, 255));
    still.setPixel(0, 0, qRgba(0, 0, 0, 0));
    const QString stillPath = path(QStringLiteral("still.webp"));
    ASSERT_TRUE(still.save(stillPath, "webp", 100));
    QFile f(stillPath);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString moving = write(QStringLiteral("moving.webp"), animatedWebp(f.readAll(), still.size(), 500));
    ASSERT_EQ(QImageReader(moving).imageCount(), 500);   // a true animation, as the toolkit sees it
    const dec::Decoded w = dec::decode(moving);
    ASSERT_EQ(w.failure, dec::Failure::None) << w.reason.toStdString();
    ASSERT_EQ(w.image.size(), still.size());
    EXPECT_EQ(qAlpha(w.image.pixel(0, 0)), 0);
    EXPECT_EQ(w.image.pixel(5, 5), qRgba(10, 200, 30, 255));
}

TEST_F(HostileFormats, ABackgroundColourDoesNotFillTheTransparentColourOfADeepPng)
{
    // Sixteen bits a channel, one colour marked transparent and a background chunk naming
    // another: the background is a hint for viewers and must not be painted in.
    const QByteArray red("\xFF\xFF\x00\x00\x00\x00", 6), blue("\x00\x00\x00\x00\xFF\xFF", 6);
    const QByteArray rows = QByteArray("\0", 1) + red + blue;
    const QString logo = write(QStringLiteral("logo.png"),
                               testsupport::pngFile({{"IHDR", testsupport::pngHeader(2, 1, 16, 2)},
                                                     {"tRNS", red},
                                                     {"bKGD", QByteArray("\x00\x00\xFF\xFF\x00\x00", 6)},
                                                     {"IDAT", testsupport::pngStoredData(rows)},
                                                     {"IEND", {}}}));
    const dec::Decoded d = dec::decode(logo);
    ASSERT_EQ(d.failure, dec::Failure::None) << d.reason.toStdString();
    ASSERT_EQ(d.image.size(), QSize(2, 1));
    EXPECT_EQ(d.image.pixelColor(0, 0).alpha(), 0);
    EXPECT_EQ(d.image.pixelColor(1, 0).rgba(), qRgba(0, 0, 255, 255));
}

namespace {

// `image` as a HEIC whose nclx box names `primaries` with the sRGB curve, as phones write
// Display P3 (the encoder tool leaves the box out).
QByteArray heicWithPrimaries(const QImage &image, heif_color_primaries primaries)
{
    heif_context *context = heif_context_alloc();
    heif_encoder *encoder = nullptr;
    heif_image *picture = nullptr;
    heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder);
    heif_encoder_set_lossy_quality(encoder, 95);
    heif_image_create(image.width(), image.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB, &picture);
    heif_image_add_plane(picture, heif_channel_interleaved, image.width(), image.height(), 8);
    int stride = 0;
    uint8_t *plane = heif_image_get_plane(picture, heif_channel_interleaved, &stride);
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    for (int y = 0; y < rgb.height(); ++y)
        std::memcpy(plane + y * stride, rgb.constScanLine(y), size_t(rgb.width()) * 3);
    heif_color_profile_nclx *nclx = heif_nclx_color_profile_alloc();
    nclx->color_primaries = primaries;
    nclx->transfer_characteristics = heif_transfer_characteristic_IEC_61966_2_1;
    nclx->matrix_coefficients = heif_matrix_coefficients_ITU_R_BT_601_6;
    nclx->full_range_flag = 1;
    heif_image_set_nclx_color_profile(picture, nclx);
    heif_encoding_options *options = heif_encoding_options_alloc();
    options->macOS_compatibility_workaround_no_nclx_profile = 0;
    options->output_nclx_profile = nclx;
    heif_context_encode_image(context, picture, encoder, options, nullptr);
    QByteArray out;
    heif_writer writer{1, [](heif_context *, const void *data, size_t size, void *into) {
                           static_cast<QByteArray *>(into)->append(static_cast<const char *>(data), qsizetype(size));
                           return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
                       }};
    heif_context_write(context, &writer, &out);
    heif_encoding_options_free(options);
    heif_nclx_color_profile_free(nclx);
    heif_image_release(picture);
    heif_encoder_release(encoder);
    heif_context_free(context);
    return out;
}

} // namespace

// A phone's HEIC carries its colours as a profile (an ICC one, or the primaries of an nclx
// box) and may carry transparency: both must reach the pixels the tools draw on, in sRGB.
TEST_F(HostileFormats, HeifColourProfilesAreTurnedIntoSrgbAndTransparencyIsKept)
{
    QImage flat(64, 48, QImage::Format_RGB32);
    flat.fill(QColor(40, 200, 60));
    const auto made = [this](const QString &name, const QImage &from, const QStringList &options) {
        const QString png = path(name + QStringLiteral(".png"));
        const QString heic = path(name + QStringLiteral(".heic"));
        EXPECT_TRUE(from.save(png, "png"));
        const QStringList args = options + QStringList{QStringLiteral("-q"), QStringLiteral("95"),
                                                       QStringLiteral("-o"), heic, png};
        return QProcess::execute(QStringLiteral("heif-enc"), args) == 0 ? heic : QString();
    };
    const auto centre = [](const QImage &image) { return QColor(image.pixel(image.width() / 2, image.height() / 2)); };
    const auto near = [](const QColor &a, const QColor &b) {
        return std::abs(a.red() - b.red()) <= 4 && std::abs(a.green() - b.green()) <= 4
            && std::abs(a.blue() - b.blue()) <= 4;
    };
    QImage p3 = flat;
    p3.setColorSpace(QColorSpace::DisplayP3);
    const QColor inSrgb = centre(p3.convertedToColorSpace(QColorSpace::SRgb));
    ASSERT_FALSE(near(inSrgb, QColor(40, 200, 60))) << "the test colour must differ between the spaces";

    const QString plain = made(QStringLiteral("plain"), flat, {});
    ASSERT_FALSE(plain.isEmpty()) << "heif-enc is needed";
    const QString icc = made(QStringLiteral("icc"), p3, {});
    const QString nclx = write(QStringLiteral("nclx.heic"), heicWithPrimaries(flat, heif_color_primaries_SMPTE_EG_432_1));
    const dec::Decoded asIs = dec::decode(plain), fromIcc = dec::decode(icc), fromNclx = dec::decode(nclx);
    ASSERT_EQ(asIs.failure, dec::Failure::None);
    EXPECT_TRUE(near(centre(asIs.image), QColor(40, 200, 60))) << centre(asIs.image).name().toStdString();
    ASSERT_EQ(fromIcc.failure, dec::Failure::None);
    EXPECT_TRUE(near(centre(fromIcc.image), inSrgb)) << centre(fromIcc.image).name().toStdString();
    ASSERT_EQ(fromNclx.failure, dec::Failure::None);
    EXPECT_TRUE(near(centre(fromNclx.image), inSrgb)) << centre(fromNclx.image).name().toStdString();

    QImage clear(64, 48, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    for (int y = 0; y < 48; ++y)
        for (int x = 32; x < 64; ++x)
            clear.setPixel(x, y, qRgba(200, 30, 30, 255));
    const QString withAlpha = made(QStringLiteral("alpha"), clear, {});
    const dec::Decoded a = dec::decode(withAlpha);
    ASSERT_EQ(a.failure, dec::Failure::None);
    ASSERT_TRUE(a.image.hasAlphaChannel());
    EXPECT_EQ(qAlpha(a.image.pixel(4, 24)), 0);
    EXPECT_EQ(qAlpha(a.image.pixel(60, 24)), 255);
    EXPECT_NEAR(qRed(a.image.pixel(60, 24)), 200, 6);
}
