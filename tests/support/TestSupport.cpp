#include "support/TestSupport.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QtEndian>
#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace testsupport {

bool writeSolid(const QString &path, int w, int h, QColor color)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(color);
    return img.save(path);
}

QImage gradientImage(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb((x * 37 + 11) & 0xFF, (y * 53 + 7) & 0xFF, (x * 13 + y * 29) & 0xFF));
    return img;
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

namespace {

QByteArray bigEndian32(quint32 v)
{
    QByteArray b(4, '\0');
    qToBigEndian(v, b.data());
    return b;
}

quint32 crc32(const QByteArray &data)
{
    quint32 c = 0xFFFFFFFFu;
    for (char ch : data) {
        c ^= quint8(ch);
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return c ^ 0xFFFFFFFFu;
}

QByteArray encoded(const QImage &img, const char *format, bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(90);
    writer.setProgressiveScanWrite(progressive);
    writer.write(img);
    return bytes;
}

} // namespace

QByteArray pngFile(const std::vector<std::pair<QByteArray, QByteArray>> &chunks)
{
    QByteArray out("\x89PNG\r\n\x1a\n", 8);
    for (const auto &[type, data] : chunks)
        out += bigEndian32(quint32(data.size())) + type + data + bigEndian32(crc32(type + data));
    return out;
}

QByteArray pngHeader(quint32 w, quint32 h, int bitDepth, int colourType)
{
    QByteArray d = bigEndian32(w) + bigEndian32(h);
    d += char(bitDepth);
    d += char(colourType);
    d += QByteArray(3, '\0');   // deflate, adaptive filtering, no interlace
    return d;
}

QByteArray pngStoredData(const QByteArray &scanlines)
{
    QByteArray z("\x78\x01", 2);
    constexpr qsizetype kMaxStored = 65535;
    qsizetype at = 0;
    do {
        const qsizetype n = std::min(kMaxStored, scanlines.size() - at);
        const bool last = at + n == scanlines.size();
        z += char(last ? 1 : 0);
        QByteArray len(4, '\0');
        qToLittleEndian(quint16(n), len.data());
        qToLittleEndian(quint16(~quint16(n)), len.data() + 2);
        z += len + scanlines.mid(at, n);
        at += n;
    } while (at < scanlines.size());
    quint32 a = 1, b = 0;
    for (char ch : scanlines) {
        a = (a + quint8(ch)) % 65521;
        b = (b + a) % 65521;
    }
    return z + bigEndian32((b << 16) | a);
}

QByteArray jpegBytes(int w, int h, bool progressive)
{
    return encoded(gradientImage(w, h), "JPEG", progressive);
}

QByteArray bitmapBytes(int w, int h) { return encoded(gradientImage(w, h), "BMP"); }

QByteArray bitmapHeaderOnly(qint32 w, qint32 h)
{
    QByteArray b(54, '\0');
    b[0] = 'B';
    b[1] = 'M';
    qToLittleEndian<quint32>(54, b.data() + 2);
    qToLittleEndian<quint32>(54, b.data() + 10);
    qToLittleEndian<quint32>(40, b.data() + 14);
    qToLittleEndian<qint32>(w, b.data() + 18);
    qToLittleEndian<qint32>(h, b.data() + 22);
    qToLittleEndian<quint16>(1, b.data() + 26);
    qToLittleEndian<quint16>(24, b.data() + 28);
    return b;
}

Captured::Captured(FILE *stream) : stream_(stream), fd_(fileno(stream))
{
    file_.open();
    std::fflush(stream_);
    saved_ = ::dup(fd_);
    ::dup2(file_.handle(), fd_);
}

QString Captured::text()
{
    restore();
    file_.seek(0);
    return QString::fromUtf8(file_.readAll());
}

void Captured::restore()
{
    if (saved_ < 0)
        return;
    std::fflush(stream_);
    ::dup2(saved_, fd_);
    ::close(saved_);
    saved_ = -1;
}

} // namespace testsupport

namespace testsupport {

bool writeBytesRawName(const QString &folder, const QByteArray &name, const QByteArray &bytes)
{
    const QByteArray path = QFile::encodeName(folder) + '/' + name;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && ok;
}

bool existsRawName(const QString &folder, const QByteArray &name)
{
    struct stat st;
    return ::lstat((QFile::encodeName(folder) + '/' + name).constData(), &st) == 0;
}

void removeRawNames(const QString &folder)
{
    const QByteArray base = QFile::encodeName(folder) + '/';
    DIR *dir = ::opendir(base.constData());
    if (!dir)
        return;
    QList<QByteArray> names;
    while (const dirent *e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        if (!name.isValidUtf8())
            names << name;
    }
    ::closedir(dir);
    for (const QByteArray &name : names)
        ::unlink((base + name).constData());
}

} // namespace testsupport
