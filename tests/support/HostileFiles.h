#pragma once
// Hostile pictures of the formats read when all picture formats are taken, made by the tests
// so that every byte is known and nothing is downloaded.
#include "support/TestSupport.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSize>
#include <QTemporaryDir>
#include <QtEndian>

namespace hostile {

// A 64 × 48 HEIC, or AVIF, made in `dir` with the encoder the machine's HEIF library brings
// (libheif-examples); empty when it cannot be made.
inline QByteArray heif(const QTemporaryDir &dir, bool avif)
{
    const QString from = dir.filePath(QStringLiteral("from.png"));
    testsupport::gradientImage(64, 48).save(from, "png");
    const QString to = dir.filePath(avif ? QStringLiteral("made.avif") : QStringLiteral("made.heic"));
    QStringList args{QStringLiteral("-q"), QStringLiteral("50"), QStringLiteral("-o"), to, from};
    if (avif)
        args.prepend(QStringLiteral("-A"));
    if (QProcess::execute(QStringLiteral("heif-enc"), args) != 0)
        return {};
    QFile f(to);
    f.open(QIODevice::ReadOnly);
    const QByteArray bytes = f.readAll();
    f.close();
    QFile::remove(to);
    QFile::remove(from);
    return bytes;
}

// The HEIC with every size box claiming w × h.
inline QByteArray claimingSize(QByteArray heic, quint32 w, quint32 h)
{
    for (qsizetype at = heic.indexOf("ispe"); at >= 0; at = heic.indexOf("ispe", at + 4)) {
        qToBigEndian(w, heic.data() + at + 8);
        qToBigEndian(h, heic.data() + at + 12);
    }
    return heic;
}

// A few hundred bytes of PNG claiming w × h true colour.
inline QByteArray pngBomb(quint32 w, quint32 h)
{
    return testsupport::pngFile({{"IHDR", testsupport::pngHeader(w, h, 8, 2)},
                                 {"IDAT", testsupport::pngStoredData(QByteArray(1 + 3 * 8, '\0'))},
                                 {"IEND", {}}});
}

inline void putBe32(QByteArray &b, qsizetype at, quint32 v) { qToBigEndian(v, b.data() + at); }

inline void appendLe16(QByteArray &b, quint16 v)
{
    char s[2];
    qToLittleEndian(v, s);
    b.append(s, 2);
}
inline void appendLe32(QByteArray &b, quint32 v)
{
    char s[4];
    qToLittleEndian(v, s);
    b.append(s, 4);
}

// A grey TIFF of `pages` pages of 1 × 1, every page reading the one pixel byte `grey`.
inline QByteArray manyPageTiff(int pages, quint8 grey)
{
    constexpr quint32 kFirstIfd = 10, kIfdSize = 2 + 9 * 12 + 4;
    QByteArray b("II*\0", 4);
    appendLe32(b, kFirstIfd);
    b += char(grey);
    b += '\0';   // IFDs start on a word boundary
    auto entry = [&b](quint16 tag, quint16 type, quint32 value) {
        appendLe16(b, tag);
        appendLe16(b, type);
        appendLe32(b, 1);
        appendLe32(b, value);   // a SHORT sits in the low bytes of a little-endian word
    };
    for (int i = 0; i < pages; ++i) {
        appendLe16(b, 9);
        entry(256, 3, 1);     // width
        entry(257, 3, 1);     // height
        entry(258, 3, 8);     // bits per sample
        entry(259, 3, 1);     // no compression
        entry(262, 3, 1);     // black is zero
        entry(273, 4, 8);     // the strip: the pixel byte
        entry(277, 3, 1);     // samples per pixel
        entry(278, 3, 1);     // rows per strip
        entry(279, 4, 1);     // strip byte count
        appendLe32(b, i + 1 < pages ? kFirstIfd + quint32(i + 1) * kIfdSize : 0);
    }
    return b;
}

// A 1 × 1 CMYK TIFF, eight bits an ink, of the one pixel `cmyk`.
inline QByteArray cmykTiff(const QByteArray &cmyk)
{
    constexpr quint32 kBits = 8, kPixel = 16, kIfd = 20;
    QByteArray b("II*\0", 4);
    appendLe32(b, kIfd);
    for (int i = 0; i < 4; ++i)
        appendLe16(b, 8);   // bits of each ink, at kBits
    b += cmyk;              // at kPixel
    auto entry = [&b](quint16 tag, quint16 type, quint32 count, quint32 value) {
        appendLe16(b, tag);
        appendLe16(b, type);
        appendLe32(b, count);
        appendLe32(b, value);
    };
    appendLe16(b, 9);
    entry(256, 3, 1, 1);
    entry(257, 3, 1, 1);
    entry(258, 3, 4, kBits);
    entry(259, 3, 1, 1);
    entry(262, 3, 1, 5);   // separated: inks
    entry(273, 4, 1, kPixel);
    entry(277, 3, 1, 4);
    entry(278, 3, 1, 1);
    entry(279, 4, 1, 4);
    appendLe32(b, 0);
    return b;
}

inline QByteArray riffChunk(const QByteArray &fourcc, const QByteArray &data)
{
    QByteArray b = fourcc;
    appendLe32(b, quint32(data.size()));
    b += data;
    if (data.size() % 2)
        b += '\0';
    return b;
}
inline void appendLe24(QByteArray &b, quint32 v)
{
    b += char(v & 0xFF);
    b += char((v >> 8) & 0xFF);
    b += char((v >> 16) & 0xFF);
}

// An animated WebP of `frames` frames, each the whole canvas, made of the one still `frame`
// (a whole WebP file as the toolkit writes it losslessly).
inline QByteArray animatedWebp(const QByteArray &still, QSize size, int frames)
{
    // The still's image chunk, whatever its kind, follows "RIFF" size "WEBP".
    const QByteArray image = still.mid(12);
    QByteArray vp8x;
    vp8x += char(0x02 | 0x10);   // animation, alpha
    vp8x += QByteArray(3, '\0');
    appendLe24(vp8x, quint32(size.width() - 1));
    appendLe24(vp8x, quint32(size.height() - 1));
    QByteArray anim;
    appendLe32(anim, 0);   // background
    appendLe16(anim, 0);   // loop for ever
    QByteArray body = QByteArray("WEBP") + riffChunk("VP8X", vp8x) + riffChunk("ANIM", anim);
    for (int i = 0; i < frames; ++i) {
        QByteArray frame;
        appendLe24(frame, 0);
        appendLe24(frame, 0);
        appendLe24(frame, quint32(size.width() - 1));
        appendLe24(frame, quint32(size.height() - 1));
        appendLe24(frame, 100);
        frame += '\0';
        body += riffChunk("ANMF", frame + image);
    }
    QByteArray b("RIFF");
    appendLe32(b, quint32(body.size()));
    return b + body;
}

} // namespace hostile
