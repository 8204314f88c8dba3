#include "tools/PhotoInformation.h"

#include "platform/Files.h"
#include "platform/Limits.h"

#include <QFile>
#include <QLoggingCategory>
#include <QStringList>

#include <exiv2/exiv2.hpp>

#include <mutex>

Q_LOGGING_CATEGORY(lcPhotoInfo, "pixmar.tools.photoinfo", QtWarningMsg)

namespace tools {
namespace {

// What the library said it could not read while the current thread read a file's information.
thread_local QStringList *unreadNotes = nullptr;

void routeExivMessages()
{
    static const bool done = [] {
        Exiv2::LogMsg::setHandler([](int level, const char *message) {
            qCDebug(lcPhotoInfo) << "exiv2:" << message;
            if (unreadNotes && level >= Exiv2::LogMsg::warn)
                *unreadNotes << QString::fromLocal8Bit(message).trimmed();
        });
        // The XMP toolkit is shared by the workers of a bulk run; it locks through this.
        static std::mutex xmpLock;
        Exiv2::XmpParser::initialize(
            [](void *data, bool lock) {
                auto *m = static_cast<std::mutex *>(data);
                if (lock)
                    m->lock();
                else
                    m->unlock();
            },
            &xmpLock);
        return true;
    }();
    Q_UNUSED(done);
}

struct Parts {
    bool exif = true, xmp = true, iptc = true, icc = true;
};

void uprightAndUnthumbed(Exiv2::ExifData &exif, Exiv2::XmpData &xmp)
{
    auto orientation = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
    if (orientation != exif.end())
        orientation->setValue("1");
    Exiv2::ExifThumb(exif).erase();
    auto xmpOrientation = xmp.findKey(Exiv2::XmpKey("Xmp.tiff.Orientation"));
    if (xmpOrientation != xmp.end())
        xmpOrientation->setValue("1");
}

QByteArray write(const QByteArray &encoded, Exiv2::Image &src, const Parts &parts)
{
    Exiv2::Image::AutoPtr out =
        Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte *>(encoded.constData()), long(encoded.size()));
    out->readMetadata();
    Exiv2::ExifData exif = parts.exif ? src.exifData() : Exiv2::ExifData();
    Exiv2::XmpData xmp = parts.xmp ? src.xmpData() : Exiv2::XmpData();
    uprightAndUnthumbed(exif, xmp);
    if (parts.exif) {
        // The sizes the camera wrote are those of its picture, not of this one.
        for (const char *key : {"Exif.Photo.PixelXDimension", "Exif.Photo.PixelYDimension"}) {
            auto it = exif.findKey(Exiv2::ExifKey(key));
            if (it != exif.end())
                exif.erase(it);
        }
    }
    out->setExifData(exif);
    out->setXmpData(xmp);
    out->setIptcData(parts.iptc ? src.iptcData() : Exiv2::IptcData());
    if (parts.icc && src.iccProfileDefined()) {
        Exiv2::DataBuf profile(src.iccProfile()->pData_, src.iccProfile()->size_);
        out->setIccProfile(profile, true);
    }
    out->writeMetadata();
    Exiv2::BasicIo &io = out->io();
    if (io.open() != 0)
        throw Exiv2::Error(Exiv2::kerDataSourceOpenFailed, "memory");
    QByteArray bytes(qsizetype(io.size()), Qt::Uninitialized);
    io.seek(0, Exiv2::BasicIo::beg);
    const long got = io.read(reinterpret_cast<Exiv2::byte *>(bytes.data()), long(bytes.size()));
    io.close();
    if (got != long(bytes.size()))
        throw Exiv2::Error(Exiv2::kerFailedToReadImageData);
    return bytes;
}

} // namespace

QByteArray withPhotoInformation(const QByteArray &encoded, const QString &source, QString &warning)
{
    routeExivMessages();
    warning.clear();
    Exiv2::Image::AutoPtr src;
    // A part the library passes over as broken (a truncated EXIF directory) is left out as
    // surely as one it refuses: the warning says so.
    QStringList unread;
    unreadNotes = &unread;
    try {
        src = Exiv2::ImageFactory::open(std::string(QFile::encodeName(source).constData()));
        src->readMetadata();
    } catch (const std::exception &e) {
        unreadNotes = nullptr;
        warning = QString::fromLocal8Bit(e.what());
        return encoded;
    }
    unreadNotes = nullptr;
    // Everything first; what cannot go in is left out, the largest and least checked first.
    Parts parts;
    QStringList dropped;
    QString lastError;
    if (qint64(src->xmpPacket().size()) > platform::limits::kMaxKeptXmpBytes) {
        parts.xmp = false;
        dropped << QStringLiteral("XMP");
        lastError = QStringLiteral("its XMP block of %1 bytes is over the %2 kept")
                        .arg(qint64(src->xmpPacket().size()))
                        .arg(platform::limits::kMaxKeptXmpBytes);
    }
    const std::pair<bool Parts::*, const char *> order[] = {
        {nullptr, nullptr}, {&Parts::xmp, "XMP"}, {&Parts::icc, "ICC"}, {&Parts::iptc, "IPTC"}, {&Parts::exif, "EXIF"}};
    for (const auto &[part, name] : order) {
        if (part) {
            if (!(parts.*part))
                continue;   // left out already
            parts.*part = false;
            dropped << QLatin1String(name);
        }
        try {
            QByteArray out = write(encoded, *src, parts);
            QStringList notes;
            if (!dropped.isEmpty())
                notes << QStringLiteral("%1 left out: %2").arg(dropped.join(QStringLiteral(", ")), lastError);
            if (!unread.isEmpty())
                notes << QStringLiteral("unreadable parts left out: %1").arg(unread.join(QStringLiteral("; ")));
            warning = notes.join(QStringLiteral("; "));
            return out;
        } catch (const std::exception &e) {
            lastError = QString::fromLocal8Bit(e.what());
        }
    }
    warning = QStringLiteral("photo information left out: %1").arg(lastError);
    return encoded;
}

std::optional<CaptureStamp> readCaptureStamp(const QString &path)
{
    routeExivMessages();
    // EXIF tags of the Photo directory: DateTimeOriginal, SubSecTimeOriginal, OffsetTimeOriginal.
    constexpr uint16_t kDateTimeOriginal = 0x9003;
    constexpr uint16_t kSubSecTimeOriginal = 0x9291;
    constexpr uint16_t kOffsetTimeOriginal = 0x9011;
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(std::string(platform::nativePath(path).constData()));
        // A video's metadata can lie anywhere in a large file; pictures keep theirs in front.
        if (QString::fromStdString(image->mimeType()).startsWith(QLatin1String("video/")))
            return std::nullopt;
        image->readMetadata();
        const Exiv2::ExifData &exif = image->exifData();
        auto text = [&exif](uint16_t tag) {
            const auto it = exif.findKey(Exiv2::ExifKey(tag, "Photo"));
            return it == exif.end() ? QString() : QString::fromStdString(it->toString()).trimmed();
        };
        CaptureStamp stamp{text(kDateTimeOriginal), text(kSubSecTimeOriginal), text(kOffsetTimeOriginal)};
        if (stamp.dateTime.isEmpty())
            return std::nullopt;
        return stamp;
    } catch (const std::exception &e) {
        qCDebug(lcPhotoInfo) << "no capture time in" << platform::shownPath(path) << e.what();
        return std::nullopt;
    }
}

} // namespace tools
