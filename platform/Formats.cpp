#include "platform/Formats.h"

#include <FreeImage.h>
#include <libheif/heif.h>

#include <algorithm>

namespace platform::formats {

const std::vector<Format> &all()
{
    static const std::vector<Format> table = {
        {Id::Bmp, "Bitmap", {QStringLiteral(".bmp")}, QByteArrayLiteral("BM"), FIF_BMP, "bmp",
         false, false, false},
        {Id::Jpeg, "JPEG", {QStringLiteral(".jpg"), QStringLiteral(".jpeg"), QStringLiteral(".jpe"), QStringLiteral(".jfif")},
         QByteArrayLiteral("\xFF\xD8\xFF"), FIF_JPEG, "jpeg", false, true, true},
        {Id::Png, "PNG", {QStringLiteral(".png")}, QByteArrayLiteral("\x89PNG\r\n\x1A\n"), FIF_PNG,
         "png", true, true, false},
        {Id::Tiff, "TIFF", {QStringLiteral(".tif"), QStringLiteral(".tiff")}, QByteArray(), FIF_TIFF,
         "tiff", true, true, false},
        {Id::Gif, "GIF", {QStringLiteral(".gif")}, QByteArrayLiteral("GIF8"), -1, "gif", true, false,
         false},
        // Its signature is RIFF, a size, then WEBP: told apart in byContent.
        {Id::WebP, "WebP", {QStringLiteral(".webp")}, QByteArray(), FIF_WEBP, "webp", true, true, true},
        // An "ftyp" box whose brand names the kind: told apart in byContent.
        {Id::Heic, "HEIC", {QStringLiteral(".heic"), QStringLiteral(".heif")}, QByteArray(), -1, "heif", true,
         true, true, heif_compression_HEVC},
        {Id::Avif, "AVIF", {QStringLiteral(".avif")}, QByteArray(), -1, "avif", true, true, true,
         heif_compression_AV1},
    };
    return table;
}

const Format &get(Id id) { return all()[size_t(id)]; }

const Format *byExtension(const QString &extension)
{
    const QString ext = extension.toLower();
    for (const Format &f : all())
        if (f.extensions.contains(ext))
            return &f;
    return nullptr;
}

const Format *byContent(const QByteArray &head)
{
    // TIFF begins with either byte order's mark.
    if (head.startsWith("II*\0") || head.startsWith(QByteArrayLiteral("MM\0*")))
        return &get(Id::Tiff);
    if (head.startsWith("RIFF") && head.mid(8, 4) == "WEBP")
        return &get(Id::WebP);
    if (head.mid(4, 4) == "ftyp") {
        const QByteArray brand = head.mid(8, 4);
        if (brand == "avif" || brand == "avis")
            return &get(Id::Avif);
        if (brand.startsWith("he") || brand == "mif1" || brand == "msf1")
            return &get(Id::Heic);
    }
    for (const Format &f : all())
        if (!f.signature.isEmpty() && head.startsWith(f.signature))
            return &f;
    return nullptr;
}

bool writable(const Format &format)
{
    if (format.freeImageCode >= 0)
        return true;
    return format.heifCompression >= 0
        && heif_have_encoder_for_format(static_cast<heif_compression_format>(format.heifCompression));
}

const Format &outputFor(const QString &extension)
{
    const Format *f = byExtension(extension);
    return f && f->freeImageCode >= 0 ? *f : get(Id::Bmp);
}

QStringList allPictureExtensions()
{
    QStringList out;
    for (const Format &f : all())
        out << f.extensions;
    return out;
}

const Format &outputForContent(const Format &content)
{
    // A phone's HEIC or AVIF photo stays one where it can be written; else it goes out as the
    // JPEG everything reads.
    if (content.id == Id::Heic || content.id == Id::Avif)
        return writable(content) ? content : get(Id::Jpeg);
    if (content.id == Id::Gif || content.freeImageCode < 0)
        return get(Id::Png);
    return content;
}

QString openFilterForAll()
{
    QStringList patterns, parts;
    for (const Format &f : all()) {
        QStringList mine;
        for (const QString &e : f.extensions)
            mine << QLatin1Char('*') + e;
        patterns << mine;
        parts << QStringLiteral("%1 (%2)|%2").arg(QLatin1String(f.filterName), mine.join(QLatin1String("; ")));
    }
    const QString joined = patterns.join(QLatin1String("; "));
    return QStringLiteral("All Image Files (%1)| %1|").arg(joined) + parts.join(QLatin1Char('|'));
}

QStringList extensionsOf(std::initializer_list<Id> ids)
{
    QStringList out;
    for (Id id : ids)
        out << get(id).extensions.front();
    return out;
}

QString openFilter(std::initializer_list<Id> ids)
{
    QStringList patterns, parts;
    for (Id id : ids) {
        const QString pattern = QLatin1Char('*') + get(id).extensions.front();
        patterns << pattern;
        parts << QStringLiteral("%1 (%2)|%2").arg(QLatin1String(get(id).filterName), pattern);
    }
    const QString joined = patterns.join(QLatin1String("; "));
    return QStringLiteral("All Image Files (%1)| %1|").arg(joined) + parts.join(QLatin1Char('|'));
}

} // namespace platform::formats
