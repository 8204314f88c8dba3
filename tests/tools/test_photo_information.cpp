// Keep Photo Information: the camera's EXIF, XMP, IPTC and colour profile go to the output,
// upright and without the old thumbnail; broken information never stops the picture.
#include "ToolTestSupport.h"

#include "app/Cli.h"

#include <QColorSpace>
#include <QProcess>
#include <QtEndian>
#include <exiv2/exiv2.hpp>
#include <libheif/heif.h>

namespace {

struct Info {
    QString model, orientation, xmpTitle, iptcCaption;
    long iccSize = 0;
    bool thumbnail = false;
    QSize size;
};

Info readInfo(const QString &path)
{
    Info i;
    auto img = Exiv2::ImageFactory::open(std::string(QFile::encodeName(path).constData()));
    img->readMetadata();
    auto value = [](auto &data, auto key) {
        auto it = data.findKey(key);
        return it == data.end() ? QString() : QString::fromStdString(it->toString());
    };
    i.model = value(img->exifData(), Exiv2::ExifKey("Exif.Image.Model"));
    i.orientation = value(img->exifData(), Exiv2::ExifKey("Exif.Image.Orientation"));
    i.xmpTitle = value(img->xmpData(), Exiv2::XmpKey("Xmp.dc.source"));
    i.iptcCaption = value(img->iptcData(), Exiv2::IptcKey("Iptc.Application2.Caption"));
    i.iccSize = img->iccProfileDefined() ? img->iccProfile()->size_ : 0;
    i.thumbnail = Exiv2::ExifThumbC(img->exifData()).copy().size_ > 0;
    i.size = QSize(img->pixelWidth(), img->pixelHeight());
    return i;
}

// A phone photo stored sideways (orientation 6) with a camera model, a thumbnail, XMP, IPTC
// and an sRGB profile.
void writePhoto(const QString &path, int w, int h)
{
    QImage img = testsupport::gradientImage(w, h).convertToFormat(QImage::Format_RGB32);
    img.setColorSpace(QColorSpace::SRgb);
    ASSERT_TRUE(img.save(path, "JPEG", 90));
    auto meta = Exiv2::ImageFactory::open(std::string(QFile::encodeName(path).constData()));
    meta->readMetadata();
    Exiv2::ExifData &exif = meta->exifData();
    exif["Exif.Image.Model"] = "PixCam 7";
    exif["Exif.Image.Orientation"] = uint16_t(6);
    QByteArray thumb;
    {
        QBuffer b(&thumb);
        b.open(QIODevice::WriteOnly);
        img.scaled(32, 24).save(&b, "JPEG");
    }
    Exiv2::ExifThumb(exif).setJpegThumbnail(reinterpret_cast<const Exiv2::byte *>(thumb.constData()), long(thumb.size()));
    meta->xmpData()["Xmp.dc.source"] = "holiday";
    meta->iptcData()["Iptc.Application2.Caption"] = "At the beach";
    meta->writeMetadata();
}

// The warnings logged while it lives.
class WarningLog {
public:
    WarningLog() { previous_ = qInstallMessageHandler(&keep); }
    ~WarningLog() { qInstallMessageHandler(previous_); }
    QString text() const { return kept().join(QLatin1Char('\n')); }
    static void clear() { kept().clear(); }

private:
    static QStringList &kept()
    {
        static QStringList messages;
        return messages;
    }
    static void keep(QtMsgType type, const QMessageLogContext &, const QString &message)
    {
        if (type == QtWarningMsg)
            kept() << message;
    }
    QtMessageHandler previous_ = nullptr;
};

class PhotoInformation : public tooltest::ToolFixture {
protected:
    int watermark(const QString &file, const QStringList &extra)
    {
        app::CliSession session;
        return app::cliWatermark(session, QStringList{QStringLiteral("--file"), file, QStringLiteral("--target"), out,
                                                      QStringLiteral("--text"), QStringLiteral("X"),
                                                      QStringLiteral("--at"), QStringLiteral("10,10")} + extra);
    }
};

} // namespace

TEST_F(PhotoInformation, KeptUprightWithoutTheThumbnailAndOnlyWhenAsked)
{
    writePhoto(in(QStringLiteral("P.jpg")), 320, 240);
    const Info source = readInfo(in(QStringLiteral("P.jpg")));
    ASSERT_EQ(source.model, "PixCam 7");
    ASSERT_TRUE(source.thumbnail);
    ASSERT_GT(source.iccSize, 0);

    ASSERT_EQ(watermark(in(QStringLiteral("P.jpg")), {QStringLiteral("--original-size"), QStringLiteral("--quality"),
                                                      QStringLiteral("92"), QStringLiteral("--keep-metadata")}),
              app::kExitOk);
    const Info kept = readInfo(at(QStringLiteral("awtx-P.jpg")));
    EXPECT_EQ(kept.size, QSize(240, 320));   // upright, at its own size
    EXPECT_EQ(kept.model, "PixCam 7");
    EXPECT_EQ(kept.orientation, "1");
    EXPECT_EQ(kept.xmpTitle, "holiday");
    EXPECT_EQ(kept.iptcCaption, "At the beach");
    EXPECT_EQ(kept.iccSize, source.iccSize);
    EXPECT_FALSE(kept.thumbnail);

    QFile::remove(at(QStringLiteral("awtx-P.jpg")));
    ASSERT_EQ(watermark(in(QStringLiteral("P.jpg")), {}), app::kExitOk);
    const Info plain = readInfo(at(QStringLiteral("awtx-P.jpg")));
    EXPECT_TRUE(plain.model.isEmpty());
    EXPECT_TRUE(plain.orientation.isEmpty());
    EXPECT_EQ(plain.iccSize, 0);
}

TEST_F(PhotoInformation, BrokenInformationIsLeftOutAndThePictureStillWritten)
{
    // A bad colour profile beside good EXIF: the library refuses to read the file's
    // information at all, so none of it goes over, and the picture is written all the same.
    writePhoto(in(QStringLiteral("icc.jpg")), 160, 96);
    QByteArray bytes = testsupport::readBytes(in(QStringLiteral("icc.jpg")));
    QByteArray badIcc = QByteArray("ICC_PROFILE\0\x01\x01", 14) + QByteArray(200, '\x7f');
    QByteArray seg("\xFF\xE2", 2);
    seg.append(char((badIcc.size() + 2) >> 8)).append(char((badIcc.size() + 2) & 0xFF));
    // Every good profile segment goes; the bad one takes their place.
    for (qsizetype at; (at = bytes.indexOf(QByteArray("ICC_PROFILE")) - 4) > 0;)
        bytes.remove(at, ((uchar(bytes[at + 2]) << 8) | uchar(bytes[at + 3])) + 2);
    bytes.insert(2, seg + badIcc);
    testsupport::writeBytes(in(QStringLiteral("icc.jpg")), bytes);

    // EXIF cut short: its first directory says it has more entries than the segment holds.
    QByteArray cut;
    {
        QBuffer b(&cut);
        b.open(QIODevice::WriteOnly);
        testsupport::gradientImage(160, 96).save(&b, "JPEG");
    }
    const QByteArray tiff = QByteArray("Exif\0\0II*\0\x08\0\0\0\xff\x7f\x0f\x01\x02\0", 20);
    QByteArray app1("\xFF\xE1", 2);
    app1.append(char(0)).append(char(tiff.size() + 2));
    cut.insert(2, app1 + tiff);
    testsupport::writeBytes(in(QStringLiteral("cut.jpg")), cut);

    for (const char *name : {"icc.jpg", "cut.jpg"}) {
        SCOPED_TRACE(name);
        WarningLog log;
        WarningLog::clear();
        ASSERT_EQ(watermark(in(QString::fromLatin1(name)), {QStringLiteral("--keep-metadata")}), app::kExitOk);
        EXPECT_FALSE(QImage(at(QStringLiteral("awtx-") + QString::fromLatin1(name))).isNull());
        // Left out, and said so.
        EXPECT_TRUE(log.text().contains(QStringLiteral("photo information"))) << log.text().toStdString();
    }
    const Info icc = readInfo(at(QStringLiteral("awtx-icc.jpg")));
    EXPECT_EQ(icc.iccSize, 0);
    EXPECT_EQ(icc.size, QSize(96, 160));
}

TEST_F(PhotoInformation, AHugeXmpBlockIsLeftOutWithAWarningAndTheRestKept)
{
    // Several megabytes of XMP on a PNG, which can carry them (a JPEG cannot), beside EXIF.
    const QString png = in(QStringLiteral("big.png"));
    ASSERT_TRUE(testsupport::gradientImage(120, 80).save(png));
    {
        auto meta = Exiv2::ImageFactory::open(std::string(QFile::encodeName(png).constData()));
        meta->readMetadata();
        meta->exifData()["Exif.Image.Model"] = "PixCam 7";
        meta->xmpData()["Xmp.dc.source"] = std::string(4 << 20, 'A');
        meta->writeMetadata();
    }
    ASSERT_GT(readInfo(png).xmpTitle.size(), 4 << 20 - 1);
    WarningLog log;
    WarningLog::clear();
    app::CliSession session;
    ASSERT_EQ(app::cliText(session, {QStringLiteral("--file"), png, QStringLiteral("--target"), out,
                                     QStringLiteral("--text"), QStringLiteral("X"), QStringLiteral("--keep-metadata")}),
              app::kExitOk);
    const Info kept = readInfo(at(QStringLiteral("adt-big.png")));
    EXPECT_EQ(kept.model, "PixCam 7");
    EXPECT_TRUE(kept.xmpTitle.isEmpty());
    EXPECT_LT(QFileInfo(at(QStringLiteral("adt-big.png"))).size(), 1 << 20);
    EXPECT_TRUE(log.text().contains(QStringLiteral("XMP left out"))) << log.text().toStdString();
}

TEST_F(PhotoInformation, KeptInEveryOutputFormatThatHoldsIt)
{
    writePhoto(in(QStringLiteral("P.jpg")), 320, 240);
    for (const char *format : {"png", "tif", "webp"}) {
        ASSERT_EQ(watermark(in(QStringLiteral("P.jpg")), {QStringLiteral("--keep-metadata"), QStringLiteral("--format"),
                                                          QLatin1String(format)}),
                  app::kExitOk)
            << format;
        const Info kept = readInfo(at(QStringLiteral("awtx-P.") + QLatin1String(format)));
        EXPECT_EQ(kept.model, "PixCam 7") << format;
        EXPECT_EQ(kept.orientation, "1") << format;
        EXPECT_EQ(kept.xmpTitle, "holiday") << format;
        EXPECT_FALSE(kept.thumbnail) << format;
    }
}

namespace {

// The EXIF and XMP items of a HEIF file, as libheif finds them.
Info readHeifInfo(const QString &path)
{
    Info i;
    heif_context *context = heif_context_alloc();
    heif_image_handle *handle = nullptr;
    if (heif_context_read_from_file(context, QFile::encodeName(path).constData(), nullptr).code == heif_error_Ok
        && heif_context_get_primary_image_handle(context, &handle).code == heif_error_Ok) {
        for (const char *type : {"Exif", "mime"}) {
            heif_item_id id = 0;
            if (heif_image_handle_get_list_of_metadata_block_IDs(handle, type, &id, 1) != 1)
                continue;
            QByteArray data(qsizetype(heif_image_handle_get_metadata_size(handle, id)), '\0');
            heif_image_handle_get_metadata(handle, id, data.data());
            if (QByteArray(type) == "Exif") {
                Exiv2::ExifData exif;
                const qsizetype at = 4 + qsizetype(qFromBigEndian<quint32>(data.constData()));
                Exiv2::ExifParser::decode(exif, reinterpret_cast<const Exiv2::byte *>(data.constData() + at),
                                          uint32_t(data.size() - at));
                const auto model = exif.findKey(Exiv2::ExifKey("Exif.Image.Model"));
                const auto orientation = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
                i.model = model == exif.end() ? QString() : QString::fromStdString(model->toString());
                i.orientation = orientation == exif.end() ? QString() : QString::fromStdString(orientation->toString());
                i.thumbnail = Exiv2::ExifThumbC(exif).copy().size_ > 0;
            } else {
                Exiv2::XmpData xmp;
                Exiv2::XmpParser::decode(xmp, data.toStdString());
                const auto source = xmp.findKey(Exiv2::XmpKey("Xmp.dc.source"));
                i.xmpTitle = source == xmp.end() ? QString() : QString::fromStdString(source->toString());
            }
        }
    }
    if (handle)
        heif_image_handle_release(handle);
    heif_context_free(context);
    return i;
}

} // namespace

TEST_F(PhotoInformation, APhoneHeicKeepsItsInformationAsHeicAndInAnyOtherFormat)
{
    writePhoto(tmp.filePath(QStringLiteral("P.jpg")), 320, 240);
    // The encoder tool carries the JPEG's EXIF and XMP over.
    ASSERT_EQ(QProcess::execute(QStringLiteral("heif-enc"), {QStringLiteral("-q"), QStringLiteral("60"), QStringLiteral("-o"),
                                                            in(QStringLiteral("P.heic")), tmp.filePath(QStringLiteral("P.jpg"))}),
              0)
        << "heif-enc is needed";
    ASSERT_EQ(readHeifInfo(in(QStringLiteral("P.heic"))).model, "PixCam 7");
    ASSERT_EQ(watermark(in(QStringLiteral("P.heic")), {QStringLiteral("--all-formats"), QStringLiteral("--keep-metadata")}),
              app::kExitOk);
    const Info heic = readHeifInfo(at(QStringLiteral("awtx-P.heic")));
    EXPECT_EQ(heic.model, "PixCam 7");
    EXPECT_EQ(heic.orientation, "1");
    EXPECT_EQ(heic.xmpTitle, "holiday");
    EXPECT_FALSE(heic.thumbnail);
    for (const char *format : {"jpg", "png"}) {
        ASSERT_EQ(watermark(in(QStringLiteral("P.heic")), {QStringLiteral("--all-formats"), QStringLiteral("--keep-metadata"),
                                                           QStringLiteral("--format"), QLatin1String(format)}),
                  app::kExitOk)
            << format;
        const Info kept = readInfo(at(QStringLiteral("awtx-P.") + QLatin1String(format)));
        EXPECT_EQ(kept.model, "PixCam 7") << format;
        EXPECT_EQ(kept.orientation, "1") << format;
        EXPECT_EQ(kept.xmpTitle, "holiday") << format;
    }
    // Without being asked, none of it.
    QFile::remove(at(QStringLiteral("awtx-P.heic")));
    ASSERT_EQ(watermark(in(QStringLiteral("P.heic")), {QStringLiteral("--all-formats")}), app::kExitOk);
    EXPECT_TRUE(readHeifInfo(at(QStringLiteral("awtx-P.heic"))).model.isEmpty());
}
