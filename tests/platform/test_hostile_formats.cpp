// Hostile files of the formats read when all picture formats are taken, each made here so that
// its every byte is known: a claimed size far over the limits must be refused before the
// decoder allocates for it, a cut file refused as such, and the odd but valid layouts decoded
// with their pixels. Every refusal names the file, as the run's "Continue?" shows it.
#include "platform/Decoder.h"
#include "platform/Errors.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

using namespace platform;
namespace dec = platform::decoder;

namespace {

struct HostileFormats : ::testing::Test {
    QString path(const QString &name) const { return tmp.filePath(name); }
    QString write(const QString &name, const QByteArray &bytes) const
    {
        EXPECT_TRUE(testsupport::writeBytes(path(name), bytes));
        return path(name);
    }
    // Made with the encoder the machine's HEIF library brings (libheif-examples).
    QByteArray heif(bool avif) const
    {
        const QString from = path(QStringLiteral("from.png"));
        testsupport::gradientImage(64, 48).save(from, "png");
        const QString to = path(avif ? QStringLiteral("made.avif") : QStringLiteral("made.heic"));
        QStringList args{QStringLiteral("-q"), QStringLiteral("50"), QStringLiteral("-o"), to, from};
        if (avif)
            args.prepend(QStringLiteral("-A"));
        if (QProcess::execute(QStringLiteral("heif-enc"), args) != 0)
            return {};
        QFile f(to);
        f.open(QIODevice::ReadOnly);
        const QByteArray bytes = f.readAll();
        f.close();
        QFile::remove(to);
        return bytes;
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

void putBe32(QByteArray &b, qsizetype at, quint32 v) { qToBigEndian(v, b.data() + at); }

void appendLe16(QByteArray &b, quint16 v)
{
    char s[2];
    qToLittleEndian(v, s);
    b.append(s, 2);
}
void appendLe32(QByteArray &b, quint32 v)
{
    char s[4];
    qToLittleEndian(v, s);
    b.append(s, 4);
}

// A grey TIFF of `pages` pages of 1 × 1, every page reading the one pixel byte `grey`.
QByteArray manyPageTiff(int pages, quint8 grey)
{
    constexpr quint32 kFirstIfd = 10, kIfdSize = 2 + 9 * 12 + 4;
    QByteArray b("II*\0", 4);
    appendLe32(b, kFirstIfd);
    b += char(grey);
    b += '\0';   // IFDs start on a word boundary
    auto entry = [&b](quint16 tag, quint16 type, quint32 value) {
        appendLe16(b, tag);
        appendLe16(b, type);
        appendLe32(b, 1);
        appendLe32(b, value);   // a SHORT sits in the low bytes of a little-endian word
    };
    for (int i = 0; i < pages; ++i) {
        appendLe16(b, 9);
        entry(256, 3, 1);     // width
        entry(257, 3, 1);     // height
        entry(258, 3, 8);     // bits per sample
        entry(259, 3, 1);     // no compression
        entry(262, 3, 1);     // black is zero
        entry(273, 4, 8);     // the strip: the pixel byte
        entry(277, 3, 1);     // samples per pixel
        entry(278, 3, 1);     // rows per strip
        entry(279, 4, 1);     // strip byte count
        appendLe32(b, i + 1 < pages ? kFirstIfd + quint32(i + 1) * kIfdSize : 0);
    }
    return b;
}

// A 1 × 1 CMYK TIFF, eight bits an ink, of the one pixel `cmyk`.
QByteArray cmykTiff(const QByteArray &cmyk)
{
    constexpr quint32 kBits = 8, kPixel = 16, kIfd = 20;
    QByteArray b("II*\0", 4);
    appendLe32(b, kIfd);
    for (int i = 0; i < 4; ++i)
        appendLe16(b, 8);   // bits of each ink, at kBits
    b += cmyk;              // at kPixel
    auto entry = [&b](quint16 tag, quint16 type, quint32 count, quint32 value) {
        appendLe16(b, tag);
        appendLe16(b, type);
        appendLe32(b, count);
        appendLe32(b, value);
    };
    appendLe16(b, 9);
    entry(256, 3, 1, 1);
    entry(257, 3, 1, 1);
    entry(258, 3, 4, kBits);
    entry(259, 3, 1, 1);
    entry(262, 3, 1, 5);   // separated: inks
    entry(273, 4, 1, kPixel);
    entry(277, 3, 1, 4);
    entry(278, 3, 1, 1);
    entry(279, 4, 1, 4);
    appendLe32(b, 0);
    return b;
}

QByteArray riffChunk(const QByteArray &fourcc, const QByteArray &data)
{
    QByteArray b = fourcc;
    appendLe32(b, quint32(data.size()));
    b += data;
    if (data.size() % 2)
        b += '\0';
    return b;
}
void appendLe24(QByteArray &b, quint32 v)
{
    b += char(v & 0xFF);
    b += char((v >> 8) & 0xFF);
    b += char((v >> 16) & 0xFF);
}

// An animated WebP of `frames` frames, each the whole canvas, made of the one still `frame`
// (a whole WebP file as the toolkit writes it losslessly).
QByteArray animatedWebp(const QByteArray &still, QSize size, int frames)
{
    // The still's image chunk, whatever its kind, follows "RIFF" size "WEBP".
    const QByteArray image = still.mid(12);
    QByteArray vp8x;
    vp8x += char(0x02 | 0x10);   // animation, alpha
    vp8x += QByteArray(3, '\0');
    appendLe24(vp8x, quint32(size.width() - 1));
    appendLe24(vp8x, quint32(size.height() - 1));
    QByteArray anim;
    appendLe32(anim, 0);   // background
    appendLe16(anim, 0);   // loop for ever
    QByteArray body = QByteArray("WEBP") + riffChunk("VP8X", vp8x) + riffChunk("ANIM", anim);
    for (int i = 0; i < frames; ++i) {
        QByteArray frame;
        appendLe24(frame, 0);
        appendLe24(frame, 0);
        appendLe24(frame, quint32(size.width() - 1));
        appendLe24(frame, quint32(size.height() - 1));
        appendLe24(frame, 100);
        frame += '\0';
        body += riffChunk("ANMF", frame + image);
    }
    QByteArray b("RIFF");
    appendLe32(b, quint32(body.size()));
    return b + body;
}

} // namespace

TEST_F(HostileFormats, HeifClaimingAHugeSizeOrCutShortIsRefusedByName)
{
    const QByteArray heic = heif(false);
    ASSERT_FALSE(heic.isEmpty()) << "heif-enc is needed";
    // Every size box of the file claims 100 000 × 100 000; nothing of that size may be allocated.
    QByteArray huge = heic;
    int patched = 0;
    for (qsizetype at = huge.indexOf("ispe"); at >= 0; at = huge.indexOf("ispe", at + 4), ++patched) {
        putBe32(huge, at + 8, 100000);
        putBe32(huge, at + 12, 100000);
    }
    ASSERT_GT(patched, 0);
    expectRefusedByName(write(QStringLiteral("huge.heic"), huge), dec::Failure::TooLarge);

    const dec::Decoded whole = dec::decode(write(QStringLiteral("whole.heic"), heic));
    EXPECT_EQ(whole.failure, dec::Failure::None);
    EXPECT_EQ(whole.image.size(), QSize(64, 48));

    const QByteArray avif = heif(true);
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
    QByteArray rows(1 + 3 * 8, '\0');
    const QString bomb = write(QStringLiteral("bomb.png"),
                               testsupport::pngFile({{"IHDR", testsupport::pngHeader(60000, 60000, 8, 2)},
                                                     {"IDAT", testsupport::pngStoredData(rows)},
                                                     {"IEND", {}}}));
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
