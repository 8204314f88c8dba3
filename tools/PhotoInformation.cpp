#include "tools/PhotoInformation.h"

#include "platform/Files.h"
#include "platform/Formats.h"
#include "platform/Limits.h"

#include <QFile>
#include <QLoggingCategory>
#include <QStringList>
#include <QtEndian>

#include <exiv2/exiv2.hpp>
#include <libheif/heif.h>

#include <mutex>
#include <stdexcept>
#include <vector>

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

// What the source's information says once its pixels are written upright at another size.
void asWritten(Exiv2::ExifData &exif, Exiv2::XmpData &xmp)
{
    uprightAndUnthumbed(exif, xmp);
    // The sizes the camera wrote are those of its picture, not of this one.
    for (const char *key : {"Exif.Photo.PixelXDimension", "Exif.Photo.PixelYDimension"}) {
        auto it = exif.findKey(Exiv2::ExifKey(key));
        if (it != exif.end())
            exif.erase(it);
    }
}

// The information of a source picture, however it was read.
struct Source {
    Exiv2::ExifData exif;
    Exiv2::XmpData xmp;
    Exiv2::IptcData iptc;
    qint64 xmpBytes = 0;
    QByteArray icc;

    bool iccProfileDefined() const { return !icc.isEmpty(); }
    const Exiv2::ExifData &exifData() const { return exif; }
    const Exiv2::XmpData &xmpData() const { return xmp; }
    const Exiv2::IptcData &iptcData() const { return iptc; }
};

bool isHeif(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const platform::formats::Format *f = platform::formats::byContent(file.read(16));
    return f && (f->id == platform::formats::Id::Heic || f->id == platform::formats::Id::Avif);
}

// A HEIF file's EXIF and XMP items, read by libheif, which knows every way the cameras lay
// them out. Its colour profile is not kept: the decoder turned the pixels into sRGB.
Source readHeif(const QString &path)
{
    Source out;
    heif_context *context = heif_context_alloc();
    heif_image_handle *handle = nullptr;
    const struct Release {
        heif_context *c;
        heif_image_handle *&h;
        ~Release()
        {
            if (h)
                heif_image_handle_release(h);
            heif_context_free(c);
        }
    } release{context, handle};
    heif_error e = heif_context_read_from_file(context, QFile::encodeName(path).constData(), nullptr);
    if (e.code == heif_error_Ok)
        e = heif_context_get_primary_image_handle(context, &handle);
    if (e.code != heif_error_Ok)
        throw std::runtime_error(e.message);
    const auto blocks = [handle](const char *type) {
        std::vector<QByteArray> found;
        const int n = heif_image_handle_get_number_of_metadata_blocks(handle, type);
        std::vector<heif_item_id> ids(size_t(std::max(n, 0)));
        heif_image_handle_get_list_of_metadata_block_IDs(handle, type, ids.data(), n);
        for (heif_item_id id : ids) {
            QByteArray data(qsizetype(heif_image_handle_get_metadata_size(handle, id)), Qt::Uninitialized);
            if (heif_image_handle_get_metadata(handle, id, data.data()).code == heif_error_Ok)
                found.push_back(std::move(data));
        }
        return found;
    };
    for (const QByteArray &exif : blocks("Exif")) {
        // Four bytes telling where the TIFF structure starts after them.
        if (exif.size() < 4)
            continue;
        const qint64 at = 4 + qint64(qFromBigEndian<quint32>(exif.constData()));
        if (at + 8 > exif.size())
            throw std::runtime_error("its EXIF block is cut");
        Exiv2::ExifParser::decode(out.exif, reinterpret_cast<const Exiv2::byte *>(exif.constData() + at),
                                  uint32_t(exif.size() - at));
        break;
    }
    for (const QByteArray &xmp : blocks("mime")) {
        if (!xmp.contains("x:xmpmeta") && !xmp.contains("<rdf:RDF"))
            continue;
        out.xmpBytes = xmp.size();
        if (out.xmpBytes <= platform::limits::kMaxKeptXmpBytes
            && Exiv2::XmpParser::decode(out.xmp, xmp.toStdString()) != 0)
            throw std::runtime_error("its XMP block cannot be read");
        break;
    }
    return out;
}

Source readSource(const QString &path)
{
    if (isHeif(path))
        return readHeif(path);
    Exiv2::Image::AutoPtr src = Exiv2::ImageFactory::open(std::string(QFile::encodeName(path).constData()));
    src->readMetadata();
    Source out;
    out.exif = src->exifData();
    out.xmp = src->xmpData();
    out.iptc = src->iptcData();
    out.xmpBytes = qint64(src->xmpPacket().size());
    if (src->iccProfileDefined())
        out.icc = QByteArray(reinterpret_cast<const char *>(src->iccProfile()->pData_), src->iccProfile()->size_);
    return out;
}

QByteArray write(const QByteArray &encoded, const Source &src, const Parts &parts)
{
    Exiv2::Image::AutoPtr out =
        Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte *>(encoded.constData()), long(encoded.size()));
    out->readMetadata();
    Exiv2::ExifData exif = parts.exif ? src.exifData() : Exiv2::ExifData();
    Exiv2::XmpData xmp = parts.xmp ? src.xmpData() : Exiv2::XmpData();
    asWritten(exif, xmp);
    out->setExifData(exif);
    out->setXmpData(xmp);
    out->setIptcData(parts.iptc ? src.iptcData() : Exiv2::IptcData());
    if (parts.icc && src.iccProfileDefined()) {
        Exiv2::DataBuf profile(reinterpret_cast<const Exiv2::byte *>(src.icc.constData()), long(src.icc.size()));
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
    Source src;
    // A part the library passes over as broken (a truncated EXIF directory) is left out as
    // surely as one it refuses: the warning says so.
    QStringList unread;
    unreadNotes = &unread;
    try {
        src = readSource(source);
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
    if (src.xmpBytes > platform::limits::kMaxKeptXmpBytes) {
        parts.xmp = false;
        dropped << QStringLiteral("XMP");
        lastError = QStringLiteral("its XMP block of %1 bytes is over the %2 kept")
                        .arg(src.xmpBytes)
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
            QByteArray out = write(encoded, src, parts);
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

PhotoInformationBlocks photoInformationBlocks(const QString &source, QString &warning)
{
    routeExivMessages();
    warning.clear();
    QStringList unread;
    unreadNotes = &unread;
    PhotoInformationBlocks out;
    try {
        Source src = readSource(source);
        Exiv2::ExifData &exif = src.exif;
        Exiv2::XmpData &xmp = src.xmp;
        if (src.xmpBytes > platform::limits::kMaxKeptXmpBytes) {
            unread << QStringLiteral("its XMP block of %1 bytes is over the %2 kept")
                          .arg(src.xmpBytes)
                          .arg(platform::limits::kMaxKeptXmpBytes);
            xmp.clear();
        }
        asWritten(exif, xmp);
        if (!exif.empty()) {
            Exiv2::Blob blob;
            Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);
            out.exif = QByteArray(reinterpret_cast<const char *>(blob.data()), qsizetype(blob.size()));
        }
        std::string packet;
        if (!xmp.empty() && Exiv2::XmpParser::encode(packet, xmp) == 0)
            out.xmp = QByteArray::fromStdString(packet);
    } catch (const std::exception &e) {
        unread << QString::fromLocal8Bit(e.what());
    }
    unreadNotes = nullptr;
    if (!unread.isEmpty())
        warning = QStringLiteral("left out: %1").arg(unread.join(QStringLiteral("; ")));
    return out;
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
