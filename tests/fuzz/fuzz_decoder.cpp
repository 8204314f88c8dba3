// The picture decoder on hostile files: its own walks over a file's structure (the JPEG
// marker walk and its segment checks, the bitmap and PNG header checks, the TIFF orientation)
// and the upright JPEG reader behind them, each input decoded whole, reduced and in part, as
// the tools ask for it. Beyond the sanitizers, every result must keep the decoder's promises.
#include "FuzzSupport.h"
#include "platform/Decoder.h"

#include <QBuffer>
#include <QImageReader>

namespace decoder = platform::decoder;

namespace {

using fuzzsupport::check;

// Pictures that claim more pixels than this are left out: decoding them says nothing more
// about the structure checks and would slow every input down. The limits themselves are
// covered by the test suite.
constexpr qint64 kMaxFuzzPixels = 1 << 18;

QSize claimedSize(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return reader.canRead() ? reader.size() : QSize();
}

bool isTiff(const QByteArray &bytes)
{
    return bytes.startsWith(QByteArray("II*\0", 4)) || bytes.startsWith(QByteArray("MM\0*", 4));
}

// What every result promises, whatever was asked.
void checkCommon(const decoder::Decoded &d)
{
    if (d.failure != decoder::Failure::None) {
        check(d.image.isNull(), "a failed decode keeps no image");
        return;
    }
    check(!d.image.isNull(), "a decode without failure gives an image");
    check(d.original.isValid() && decoder::sizeAllowed(d.original.width(), d.original.height()),
          "the picture's own size is within the limits");
    check(QRect(QPoint(0, 0), d.original).contains(d.part), "the part lies within the picture");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size)
{
    static fuzzsupport::MemoryFile file;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const QSize claimed = claimedSize(bytes);
    if (claimed.isValid() ? qint64(claimed.width()) * claimed.height() > kMaxFuzzPixels : isTiff(bytes))
        return 0;   // TIFFs go to FreeImage, whose size the toolkit could not read first
    file.set(data, size);
    const QString path = file.path();

    const decoder::Decoded whole = decoder::decode(path);
    checkCommon(whole);
    if (whole.failure == decoder::Failure::None) {
        check(whole.image.size() == whole.original, "a whole decode has the picture's own size");
        check(whole.part == QRect(QPoint(0, 0), whole.original), "a whole decode holds the whole");
    }

    // Reduced, as a preview asks for it: half the size, rounded up.
    decoder::Hints reduced;
    reduced.drawnSize = [](QSize original) { return (original + QSize(1, 1)) / 2; };
    const decoder::Decoded small = decoder::decode(path, reduced);
    checkCommon(small);
    if (small.failure == decoder::Failure::None) {
        const QSize half = (small.original + QSize(1, 1)) / 2;
        const bool smaller = half.width() < small.original.width() && half.height() < small.original.height();
        const QSize expected = smaller ? half : small.original;
        // A format whose size is only known once it is read (MNG) cannot be read reduced.
        check(small.image.size() == expected || (!claimed.isValid() && small.image.size() == small.original),
              "a reduced decode has the drawn size");
    }

    // In part, as a picture larger than its window asks for it: a part that may stick out.
    decoder::Hints part;
    part.shownPart = [](QSize original) {
        return QRect(original.width() / 3, original.height() / 4, original.width() / 2 + 3, original.height());
    };
    const decoder::Decoded some = decoder::decode(path, part);
    checkCommon(some);
    if (some.failure == decoder::Failure::None)
        check(some.image.size() == some.part.size(), "a part decode holds exactly its part");
    return 0;
}
