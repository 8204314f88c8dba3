#include "platform/Formats.h"

#include <FreeImage.h>

#include <algorithm>

namespace platform::formats {

const std::vector<Format> &all()
{
    static const std::vector<Format> table = {
        {Id::Bmp, "Bitmap", {QStringLiteral(".bmp")}, QByteArrayLiteral("BM"), FIF_BMP, "bmp",
         false, false, false},
        {Id::Jpeg, "JPEG", {QStringLiteral(".jpg"), QStringLiteral(".jpeg")},
         QByteArrayLiteral("\xFF\xD8\xFF"), FIF_JPEG, "jpeg", false, true, true},
        {Id::Png, "PNG", {QStringLiteral(".png")}, QByteArrayLiteral("\x89PNG\r\n\x1A\n"), FIF_PNG,
         "png", true, true, false},
        {Id::Tiff, "TIFF", {QStringLiteral(".tif"), QStringLiteral(".tiff")}, QByteArray(), FIF_TIFF,
         "tiff", true, true, false},
        {Id::Gif, "GIF", {QStringLiteral(".gif")}, QByteArrayLiteral("GIF8"), -1, "gif", true, false,
         false},
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
    for (const Format &f : all())
        if (!f.signature.isEmpty() && head.startsWith(f.signature))
            return &f;
    return nullptr;
}

const Format &outputFor(const QString &extension)
{
    const Format *f = byExtension(extension);
    return f && f->freeImageCode >= 0 ? *f : get(Id::Bmp);
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
