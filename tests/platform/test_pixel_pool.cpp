// Large pictures decoded one after another reuse the blocks the last ones left, never while
// any copy of the last one still holds its block, and every pixel is the decoder's.
#include "platform/Decoder.h"
#include "platform/PixelPool.h"
#include "support/TestSupport.h"

#include <QImageReader>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace pool = platform::pixelpool;

TEST(PixelPool, ABlockServesTheNextPictureOfItsSizeOnlyOnceEveryCopyIsGone)
{
    pool::release();
    const QSize land(2048, 2048 + 512), port = land.transposed();
    const uchar *first = nullptr, *second = nullptr;
    {
        QImage a = pool::image(land, QImage::Format_RGB32);
        ASSERT_FALSE(a.isNull());
        a.fill(Qt::red);
        first = a.constBits();
        const QImage copy = a;   // shares the block
        a = QImage();
        const QImage meanwhile = pool::image(land, QImage::Format_RGB32);
        second = meanwhile.constBits();
        EXPECT_NE(second, first) << "a block still in use was handed out again";
        EXPECT_EQ(copy.pixel(10, 10), QColor(Qt::red).rgb());
    }
    EXPECT_GE(pool::keptBytes(), qsizetype(land.width()) * land.height() * 4);
    // The portrait picture after the landscape one takes a block of the same bytes.
    const QImage b = pool::image(port, QImage::Format_RGB32);
    EXPECT_TRUE(b.constBits() == first || b.constBits() == second);
    EXPECT_EQ(b.size(), port);
    // Small and indexed images are the allocator's own.
    EXPECT_EQ(pool::image(QSize(64, 48), QImage::Format_RGB32).size(), QSize(64, 48));
    EXPECT_EQ(pool::image(land, QImage::Format_Indexed8).format(), QImage::Format_Indexed8);
    pool::release();
    EXPECT_EQ(pool::keptBytes(), 0);
}

TEST(PixelPool, APictureDecodedIntoAUsedBlockHasOnlyItsOwnPixels)
{
    QTemporaryDir tmp;
    // Two photos of one size, the second a different picture from the first: what the
    // first left in its block must not show through anywhere in the second.
    const QSize size(2400, 1800);
    const QString red = tmp.filePath(QStringLiteral("red.jpg")), other = tmp.filePath(QStringLiteral("other.jpg"));
    QImage fill(size, QImage::Format_RGB32);
    fill.fill(QColor(250, 10, 10));
    ASSERT_TRUE(fill.save(red, "jpeg", 90));
    ASSERT_TRUE(testsupport::gradientImage(size.width(), size.height()).save(other, "jpeg", 90));
    pool::release();
    {
        const platform::decoder::Decoded first = platform::decoder::decode(red);
        ASSERT_EQ(first.failure, platform::decoder::Failure::None);
    }
    ASSERT_GT(pool::keptBytes(), 0);
    const platform::decoder::Decoded second = platform::decoder::decode(other);
    ASSERT_EQ(second.failure, platform::decoder::Failure::None);
    QImageReader reader(other);
    reader.setAutoTransform(false);
    const QImage fresh = reader.read().convertToFormat(second.image.format());
    ASSERT_EQ(fresh.size(), second.image.size());
    EXPECT_TRUE(fresh == second.image);
    pool::release();
}
