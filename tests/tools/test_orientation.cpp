// Phone photos stored sideways with an EXIF orientation: every tool and the GIF builder see
// them upright, and an output never carries the tag on.
#include "ToolTestSupport.h"

#include "app/Cli.h"
#include "platform/Decoder.h"

#include <QBuffer>
#include <QDir>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>

namespace {

enum Quadrant { Red, Green, Blue, White, Other };

// Stored picture: red top-left, green top-right, blue bottom-left, white bottom-right.
QImage quadrants(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool right = x >= w / 2, bottom = y >= h / 2;
            img.setPixel(x, y, !bottom ? (right ? qRgb(0, 255, 0) : qRgb(255, 0, 0))
                                       : (right ? qRgb(255, 255, 255) : qRgb(0, 0, 255)));
        }
    return img;
}

Quadrant quadrantAt(const QImage &img, int x, int y)
{
    const QRgb p = img.pixel(x, y);
    auto hi = [](int v) { return v > 170; };
    auto lo = [](int v) { return v < 85; };
    if (hi(qRed(p)) && hi(qGreen(p)) && hi(qBlue(p)))
        return White;
    if (hi(qRed(p)) && lo(qGreen(p)) && lo(qBlue(p)))
        return Red;
    if (lo(qRed(p)) && hi(qGreen(p)) && lo(qBlue(p)))
        return Green;
    if (lo(qRed(p)) && lo(qGreen(p)) && hi(qBlue(p)))
        return Blue;
    return Other;
}

// The four corners (inset past the JPEG's blurring) in reading order.
std::array<Quadrant, 4> corners(const QImage &img)
{
    const int i = 4, r = img.width() - 1 - i, b = img.height() - 1 - i;
    return {quadrantAt(img, i, i), quadrantAt(img, r, i), quadrantAt(img, i, b), quadrantAt(img, r, b)};
}

// An EXIF APP1 segment holding only the orientation tag, little-endian.
QByteArray exifOrientation(quint16 value)
{
    QByteArray tiff("II*\0\x08\0\0\0", 8);
    auto le16 = [&tiff](quint16 v) { tiff.append(char(v & 0xFF)).append(char(v >> 8)); };
    auto le32 = [&](quint32 v) { le16(quint16(v & 0xFFFF)); le16(quint16(v >> 16)); };
    le16(1);        // one entry
    le16(0x0112);   // Orientation
    le16(3);        // SHORT
    le32(1);
    le16(value);
    le16(0);
    le32(0);        // no next IFD
    const QByteArray body = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray seg("\xFF\xE1", 2);
    seg.append(char((body.size() + 2) >> 8)).append(char((body.size() + 2) & 0xFF));
    return seg + body;
}

QByteArray jpegWithOrientation(const QImage &img, int orientation)
{
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "JPEG", 100);
    if (orientation > 0)
        jpeg.insert(2, exifOrientation(quint16(orientation)));
    return jpeg;
}

// Where each stored quadrant ends up in the upright picture, for orientations 1 to 8:
// corners in reading order.
const std::array<std::array<Quadrant, 4>, 9> kUpright = {{
    {},
    {Red, Green, Blue, White},   // 1 as stored
    {Green, Red, White, Blue},   // 2 mirrored left to right
    {White, Blue, Green, Red},   // 3 half turn
    {Blue, White, Red, Green},   // 4 mirrored top to bottom
    {Red, Blue, Green, White},   // 5 transposed
    {Blue, Red, White, Green},   // 6 turned clockwise to view
    {White, Green, Blue, Red},   // 7 transversed
    {Green, White, Red, Blue},   // 8 turned anticlockwise to view
}};

constexpr int kW = 160, kH = 96;   // whole JPEG blocks both ways

QSize uprightSize(int orientation) { return orientation >= 5 ? QSize(kH, kW) : QSize(kW, kH); }

class Orientation : public ::testing::Test {
protected:
    Orientation()
    {
        shell::setVarbahasa(QStringLiteral("eng"));
        src = tmp.path() + QStringLiteral("/src");
        out = tmp.path() + QStringLiteral("/out");
        QDir().mkpath(src);
        QDir().mkpath(out);
    }
    QString photo(int orientation)
    {
        const QString path = src + QStringLiteral("/o%1.jpg").arg(orientation);
        testsupport::writeBytes(path, jpegWithOrientation(quadrants(kW, kH), orientation));
        return path;
    }
    int run(int (*command)(app::CliSession &, const QStringList &), const QStringList &args)
    {
        app::CliSession session;
        return command(session, args);
    }
    QImage output(const QString &name) const
    {
        return QImage(out + QLatin1Char('/') + name).convertToFormat(QImage::Format_RGB32);
    }

    QTemporaryDir tmp;
    QString src, out;
};

} // namespace

TEST_F(Orientation, TheDecoderTurnsAllEightValuesUprightAndReportsTheUprightSize)
{
    for (int o = 1; o <= 8; ++o) {
        SCOPED_TRACE(o);
        const platform::decoder::Decoded d = platform::decoder::decode(photo(o));
        ASSERT_EQ(d.failure, platform::decoder::Failure::None);
        EXPECT_EQ(d.original, uprightSize(o));
        EXPECT_EQ(d.image.size(), uprightSize(o));
        EXPECT_EQ(corners(d.image.convertToFormat(QImage::Format_RGB32)), kUpright[o]);
    }
}

TEST_F(Orientation, UntaggedAndInvalidValuesDecodeExactlyAsStored)
{
    const platform::decoder::Decoded plain = platform::decoder::decode(photo(0));
    ASSERT_EQ(plain.failure, platform::decoder::Failure::None);
    for (int invalid : {0, 9, 300}) {
        SCOPED_TRACE(invalid);
        const QString path = src + QStringLiteral("/bad%1.jpg").arg(invalid);
        testsupport::writeBytes(path, jpegWithOrientation(quadrants(kW, kH), 0)
                                          .insert(2, exifOrientation(quint16(invalid))));
        const platform::decoder::Decoded d = platform::decoder::decode(path);
        ASSERT_EQ(d.failure, platform::decoder::Failure::None);
        EXPECT_EQ(d.image, plain.image);
    }
}

TEST_F(Orientation, TiffsAreTurnedUprightByTheirOwnOrientationTagToo)
{
    // The orientation values as the toolkit's writer takes them, to write each into a TIFF.
    using T = QImageIOHandler::Transformation;
    const std::array<QImageIOHandler::Transformations, 9> tagged = {
        T::TransformationNone, T::TransformationNone, T::TransformationMirror, T::TransformationRotate180,
        T::TransformationFlip, T::TransformationFlipAndRotate90, T::TransformationRotate90,
        T::TransformationMirrorAndRotate90, T::TransformationRotate270};
    auto tiff = [&](int o) {
        const QString path = src + QStringLiteral("/o%1.tif").arg(o);
        QImageWriter writer(path, "tiff");
        writer.setTransformation(tagged[o]);
        EXPECT_TRUE(writer.write(quadrants(kW, kH))) << writer.errorString().toStdString();
        return path;
    };
    for (int o = 1; o <= 8; ++o) {
        SCOPED_TRACE(o);
        const QString path = tiff(o);
        const platform::decoder::Decoded d = platform::decoder::decode(path);
        ASSERT_EQ(d.failure, platform::decoder::Failure::None);
        EXPECT_EQ(d.format, "tiff");
        EXPECT_EQ(d.original, uprightSize(o));
        EXPECT_EQ(d.image.size(), uprightSize(o));
        EXPECT_EQ(corners(d.image.convertToFormat(QImage::Format_RGB32)), kUpright[o]);
    }
    // An invalid value is ignored: the picture as stored.
    QByteArray bytes = testsupport::readBytes(tiff(6));
    const QByteArray entry("\x12\x01\x03\x00\x01\x00\x00\x00\x06\x00", 10);
    const qsizetype at = bytes.indexOf(entry);
    ASSERT_GE(at, 0);
    bytes[at + 8] = 9;
    testsupport::writeBytes(src + QStringLiteral("/bad.tif"), bytes);
    const platform::decoder::Decoded bad = platform::decoder::decode(src + QStringLiteral("/bad.tif"));
    ASSERT_EQ(bad.failure, platform::decoder::Failure::None);
    EXPECT_EQ(corners(bad.image.convertToFormat(QImage::Format_RGB32)), kUpright[1]);

    // Through a tool, at the picture's own size: upright, and untagged.
    ASSERT_EQ(run(app::cliText, {QStringLiteral("--file"), tiff(8), QStringLiteral("--target"), out,
                                 QStringLiteral("--text"), QStringLiteral("."), QStringLiteral("--original-size")}),
              app::kExitOk);
    const QString written = out + QStringLiteral("/adt-o8.tif");
    EXPECT_EQ(corners(output(QStringLiteral("adt-o8.tif"))), kUpright[8]);
    EXPECT_EQ(output(QStringLiteral("adt-o8.tif")).size(), uprightSize(8));
    EXPECT_TRUE(QImageReader(written).transformation() == QImageIOHandler::TransformationNone);
}

TEST_F(Orientation, ReducedAndCutDecodesWorkInUprightPixels)
{
    platform::decoder::Hints reduce;
    QSize seen;
    reduce.drawnSize = [&seen](QSize original) {
        seen = original;
        return original / 2;
    };
    const platform::decoder::Decoded half = platform::decoder::decode(photo(6), reduce);
    EXPECT_EQ(seen, uprightSize(6));
    EXPECT_EQ(half.image.size(), uprightSize(6) / 2);
    EXPECT_EQ(corners(half.image.convertToFormat(QImage::Format_RGB32)), kUpright[6]);

    platform::decoder::Hints cut;
    cut.shownPart = [](QSize) { return QRect(0, 0, 40, 40); };
    const platform::decoder::Decoded part = platform::decoder::decode(photo(8), cut);
    ASSERT_EQ(part.image.size(), QSize(40, 40));
    EXPECT_EQ(quadrantAt(part.image.convertToFormat(QImage::Format_RGB32), 5, 5), kUpright[8][0]);
}

TEST_F(Orientation, TextWatermarkRotateAndGifOutputsAreUprightAndUntagged)
{
    for (int o = 1; o <= 8; ++o) {
        SCOPED_TRACE(o);
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        const QString file = photo(o);
        const QString name = QStringLiteral("o%1.jpg").arg(o);
        // The marks go in the middle, clear of the corners that are checked.
        const QString at = QStringLiteral("%1,%2").arg(uprightSize(o).width() / 2).arg(uprightSize(o).height() / 2);
        ASSERT_EQ(run(app::cliText, {QStringLiteral("--file"), file, QStringLiteral("--target"), out,
                                     QStringLiteral("--text"), QStringLiteral("."), QStringLiteral("--at"), at}),
                  app::kExitOk);
        ASSERT_EQ(run(app::cliWatermark, {QStringLiteral("--file"), file, QStringLiteral("--target"), out,
                                          QStringLiteral("--text"), QStringLiteral("."), QStringLiteral("--at"), at}),
                  app::kExitOk);
        ASSERT_EQ(run(app::cliRotate, {QStringLiteral("--file"), file, QStringLiteral("--target"), out,
                                       QStringLiteral("--plus")}),
                  app::kExitOk);
        for (const QString &prefix : {QStringLiteral("adt-"), QStringLiteral("awtx-")}) {
            const QImage img = output(prefix + name);
            EXPECT_EQ(img.size(), uprightSize(o)) << prefix.toStdString();
            EXPECT_EQ(corners(img), kUpright[o]) << prefix.toStdString();
            EXPECT_TRUE(QImageReader(out + QLatin1Char('/') + prefix + name).transformation()
                        == QImageIOHandler::TransformationNone);
        }
        // A quarter turn of the upright picture: portrait photos come out landscape.
        const QImage turned = output(QStringLiteral("rot-") + name);
        EXPECT_EQ(turned.width() > turned.height(), o >= 5);
        const std::array<Quadrant, 4> u = kUpright[o], t = corners(turned);
        const std::array<Quadrant, 4> clockwise = {u[2], u[0], u[3], u[1]};
        const std::array<Quadrant, 4> anticlockwise = {u[1], u[3], u[0], u[2]};
        EXPECT_TRUE(t == clockwise || t == anticlockwise);
    }

    QDir(out).removeRecursively();
    QDir().mkpath(out);
    for (int o : {1, 6, 8})
        QFile::copy(photo(o), out + QStringLiteral("/%1.jpg").arg(o));
    ASSERT_EQ(run(app::cliGif, {QStringLiteral("--delay"), QStringLiteral("10"), out}), app::kExitOk);
    QImageReader gif(out + QStringLiteral("/Pixmar-anim.gif"));
    for (int o : {1, 6, 8}) {
        SCOPED_TRACE(o);
        const QImage frame = gif.read().convertToFormat(QImage::Format_RGB32);
        ASSERT_FALSE(frame.isNull());
        // Each frame is fitted into the first one's size on a black ground, keeping its proportions.
        QRect box;
        for (int y = 0; y < frame.height(); ++y)
            for (int x = 0; x < frame.width(); ++x)
                if (frame.pixel(x, y) != qRgb(0, 0, 0))
                    box |= QRect(x, y, 1, 1);
        const QSize upright = uprightSize(o);
        EXPECT_EQ(box.width() > box.height(), upright.width() > upright.height());
        EXPECT_EQ(corners(frame.copy(box)), kUpright[o]);
    }
}

TEST_F(Orientation, LosslessTurnsTurnEveryOrientationUprightWithoutReencoding)
{
    for (int o = 1; o <= 8; ++o) {
        SCOPED_TRACE(o);
        const QString file = photo(o);
        const QString name = QStringLiteral("rot-o%1.jpg").arg(o);
        for (const char *direction : {"--plus", "--minus"}) {
            SCOPED_TRACE(direction);
            ASSERT_EQ(run(app::cliRotate, {QStringLiteral("--file"), file, QStringLiteral("--target"), out,
                                           QLatin1String(direction), QStringLiteral("--original-size"),
                                           QStringLiteral("--lossless")}),
                      app::kExitOk);
            const QByteArray turned = testsupport::readBytes(out + QLatin1Char('/') + name);
            // The source's own tables (quality 100): its coefficients were moved, not re-coded.
            EXPECT_EQ(tooltest::firstQuantiser(turned), 1);
            const QImage img = output(name);
            EXPECT_EQ(img.width() > img.height(), o >= 5);
            const std::array<Quadrant, 4> u = kUpright[o];
            const std::array<Quadrant, 4> expected = QLatin1String(direction) == QLatin1String("--plus")
                ? std::array<Quadrant, 4>{u[2], u[0], u[3], u[1]}
                : std::array<Quadrant, 4>{u[1], u[3], u[0], u[2]};
            EXPECT_EQ(corners(img), expected);
            EXPECT_TRUE(QImageReader(out + QLatin1Char('/') + name).transformation()
                        == QImageIOHandler::TransformationNone);
        }
    }
}

TEST_F(Orientation, PhotosReadWholeAreTurnedAsTheyAreReadIntoTheReadersOwnPixels)
{
    // Read whole, a sideways photo is turned row band by row band; the result is what the
    // reader gives and turns, pixel for pixel, for whole and partial blocks, baseline and
    // progressive, at every orientation.
    for (const QSize size : {QSize(160, 96), QSize(161, 97), QSize(37, 300)})
        for (const bool progressive : {false, true}) {
            QByteArray jpeg = testsupport::jpegBytes(size.width(), size.height(), progressive);
            for (int o = 1; o <= 8; ++o) {
                SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height() << " progressive "
                                                << progressive << " orientation " << o);
                const QString path = src + QStringLiteral("/w%1.jpg").arg(o);
                testsupport::writeBytes(path, QByteArray(jpeg).insert(2, exifOrientation(quint16(o))));
                const platform::decoder::Decoded d = platform::decoder::decode(path);
                ASSERT_EQ(d.failure, platform::decoder::Failure::None);
                QImageReader reader(path);
                reader.setAutoTransform(true);
                const QImage expected = reader.read();
                ASSERT_EQ(d.image.size(), expected.size());
                EXPECT_TRUE(d.image.convertToFormat(QImage::Format_RGB32) == expected.convertToFormat(QImage::Format_RGB32));
                EXPECT_EQ(d.image.dotsPerMeterX(), expected.dotsPerMeterX());
                EXPECT_EQ(d.image.dotsPerMeterY(), expected.dotsPerMeterY());
            }
        }
    // Cut short, a sideways photo is damaged as an upright one is.
    QByteArray cut = testsupport::jpegBytes(320, 240);
    cut = cut.left(cut.size() / 2) + QByteArray("\xFF\xD9", 2);
    const QString path = src + QStringLiteral("/cut.jpg");
    testsupport::writeBytes(path, cut.insert(2, exifOrientation(6)));
    EXPECT_EQ(platform::decoder::decode(path).failure, platform::decoder::Failure::Damaged);
}
