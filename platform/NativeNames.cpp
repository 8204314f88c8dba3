// Names exactly as the file system holds them (declared in Files.h).
#include "platform/Files.h"

#include "platform/Errors.h"

#include <QFileInfo>
#include <QSet>
#include <dirent.h>
#include <sys/stat.h>

namespace platform {
namespace {

// A byte that is no part of valid UTF-8 travels as U+DC00 + byte, as Python's
// "surrogateescape" carries it: lone surrogates never come out of decoding valid UTF-8.
constexpr char16_t kCarriedFirst = 0xDC80;
constexpr char16_t kCarriedLast = 0xDCFF;
constexpr char16_t kCarriedBase = 0xDC00;

bool isCarried(QChar c) { return c.unicode() >= kCarriedFirst && c.unicode() <= kCarriedLast; }

// The length of the valid UTF-8 sequence at `i`, or 0 when the byte there starts none
// (stray continuation bytes, overlong forms, surrogates and code points past U+10FFFF).
int validSequenceAt(const QByteArray &s, qsizetype i)
{
    const auto b0 = uchar(s[i]);
    if (b0 < 0x80)
        return 1;
    int length;
    char32_t cp;
    char32_t least;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2, cp = b0 & 0x1F, least = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3, cp = b0 & 0x0F, least = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4, cp = b0 & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (i + length > s.size())
        return 0;
    for (int k = 1; k < length; ++k) {
        const auto b = uchar(s[i + k]);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

QString pathFromNative(const QByteArray &bytes)
{
    if (bytes.isValidUtf8())
        return QString::fromUtf8(bytes);
    QString out;
    out.reserve(bytes.size());
    qsizetype i = 0;
    while (i < bytes.size()) {
        const int length = validSequenceAt(bytes, i);
        if (length > 0) {
            out += QString::fromUtf8(bytes.constData() + i, length);
            i += length;
        } else {
            out += QChar(char16_t(kCarriedBase + uchar(bytes[i])));
            ++i;
        }
    }
    return out;
}

QByteArray nativePath(const QString &path)
{
    if (std::none_of(path.begin(), path.end(), isCarried))
        return path.toUtf8();
    QByteArray out;
    out.reserve(path.size() * 2);
    qsizetype start = 0;
    for (qsizetype i = 0; i <= path.size(); ++i) {
        if (i < path.size() && !isCarried(path[i]))
            continue;
        out += QStringView(path).mid(start, i - start).toUtf8();
        if (i < path.size())
            out += char(path[i].unicode() - kCarriedBase);
        start = i + 1;
    }
    return out;
}

QString shownPath(const QString &path)
{
    if (std::none_of(path.begin(), path.end(), isCarried))
        return path;
    QString out;
    for (QChar c : path) {
        if (isCarried(c))
            out += QStringLiteral("\\x")
                   + QString::number(c.unicode() - kCarriedBase, 16).toUpper().rightJustified(2, u'0');
        else
            out += c;
    }
    return out;
}

QSet<QString> folderEntryNames(const QString &folder)
{
    QSet<QString> names;
    DIR *dir = ::opendir(nativePath(withSeparator(folder)).constData());
    if (!dir)
        return names;
    while (const dirent *e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        if (name != "." && name != "..")
            names.insert(pathFromNative(name));
    }
    ::closedir(dir);
    return names;
}

QStringList listPlainFilesExact(const QString &folder)
{
    // The same checks and errors as the plain listing, so both refuse a folder alike.
    QFileInfo fi(folder);
    if (!fi.exists() || !fi.isDir())
        throw AppError(ErrorKind::PathNotFound, {folder}, {}, QStringLiteral("Dir"));
    const QByteArray dirBytes = nativePath(withSeparator(folder));
    DIR *dir = ::opendir(dirBytes.constData());
    if (!dir)
        throw systemError(errno, ErrorKind::PermissionDenied, folder, QStringLiteral("Dir"));
    QStringList names;
    while (const dirent *e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        if (name.startsWith('.'))
            continue;
        // A link counts when it leads to a regular file, as in the plain listing; the entry's
        // own type spares a look at every plain file of a large folder.
        struct stat st;
        if (e->d_type == DT_REG
            || (e->d_type != DT_DIR && ::stat((dirBytes + name).constData(), &st) == 0 && S_ISREG(st.st_mode)))
            names << pathFromNative(name);
    }
    ::closedir(dir);
    sortForListing(names);
    return names;
}

} // namespace platform
