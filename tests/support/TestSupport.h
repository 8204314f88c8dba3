#pragma once
#include "platform/Toolkit.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <cstdio>
#include <ostream>
#include <utility>
#include <vector>

namespace testsupport {

// A scripted toolkit installed for the test's lifetime, with the fixed screen of the tests
// (15 twips per pixel, 1920 pixels wide).
class ScriptedFixture {
public:
    ScriptedFixture() : scoped_(tk) {}
    platform::ScriptedToolkit tk;

private:
    platform::ScopedToolkit scoped_;
};

// A solid-colour picture written to `path` in the format its extension names.
bool writeSolid(const QString &path, int w, int h, QColor color);
// A picture with a distinct colour per pixel (so turns and shifts show).
QImage gradientImage(int w, int h);
// Writes raw bytes (for broken files).
bool writeBytes(const QString &path, const QByteArray &bytes);
QByteArray readBytes(const QString &path);
// Writes raw bytes under a name given as raw bytes (names that are not UTF-8), in `folder`.
bool writeBytesRawName(const QString &folder, const QByteArray &name, const QByteArray &bytes);
// True when `folder` holds an entry of exactly that byte name.
bool existsRawName(const QString &folder, const QByteArray &name);
// Removes every entry of `folder` whose name is not UTF-8 (Qt cannot name them, so a
// temporary folder holding one could not be removed).
void removeRawNames(const QString &folder);

// A PNG file built by hand, so that a test knows every byte a decoder is given: the signature,
// then each chunk (type and data) with its length and checksum.
QByteArray pngFile(const std::vector<std::pair<QByteArray, QByteArray>> &chunks);
// The IHDR data of a w × h PNG with the given bit depth and colour type.
QByteArray pngHeader(quint32 w, quint32 h, int bitDepth, int colourType);
// IDAT data holding `scanlines` (each row led by its filter byte) as a zlib stream of stored
// blocks: no compressor needed to make it, so the pixels are exactly the ones written.
QByteArray pngStoredData(const QByteArray &scanlines);

// A JPEG of a w × h gradient, baseline or progressive.
QByteArray jpegBytes(int w, int h, bool progressive = false);
// A 24-bit bitmap of a w × h gradient.
QByteArray bitmapBytes(int w, int h);
// A bitmap header (classic, 24 bits) that claims w × h pixels and holds none.
QByteArray bitmapHeaderOnly(qint32 w, qint32 h);

// Sends a standard stream (stdout, stderr) into a file for the lifetime of the object, so
// that a command run in-process can be read back.
class Captured {
public:
    explicit Captured(FILE *stream);
    ~Captured() { restore(); }
    Captured(const Captured &) = delete;
    Captured &operator=(const Captured &) = delete;
    QString text();

private:
    void restore();
    FILE *stream_;
    int fd_;
    int saved_ = -1;
    QTemporaryFile file_;
};

} // namespace testsupport

// Readable failure messages: texts shown as text.
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
