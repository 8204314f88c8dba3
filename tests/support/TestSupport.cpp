#include "support/TestSupport.h"

#include <QFile>
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
