// The scaler every output passes through must give Qt's smooth scaling pixel for pixel: the
// outputs written before it existed are the reference.
#include "platform/SmoothScale.h"

#include <QColorSpace>
#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

QImage noise(int w, int h, QImage::Format format, quint32 seed)
{
    QRandomGenerator rng(seed);
    QImage img(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            // Mostly smooth with sharp edges and full-range extremes, as photos and drawn marks are.
            const quint32 r = rng.generate();
            line[x] = (r & 7) == 0 ? (r & 8 ? 0xffffffffu : 0xff000000u)
                                  : qRgba(x * 255 / std::max(1, w - 1), (r >> 8) & 0xff,
                                          y * 255 / std::max(1, h - 1), (r >> 24) | 0x0f);
        }
    }
    return img.convertToFormat(format);
}

void expectSameAsQt(const QImage &src, QSize to)
{
    const QImage ours = platform::smoothScaled(src, to);
    const QImage qt = src.scaled(to, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    ASSERT_EQ(ours.size(), qt.size());
    ASSERT_EQ(ours.format(), qt.format());
    for (int y = 0; y < qt.height(); ++y)
        ASSERT_EQ(0, std::memcmp(ours.constScanLine(y), qt.constScanLine(y), size_t(qt.width()) * qt.depth() / 8))
            << src.size().width() << "x" << src.size().height() << " -> " << to.width() << "x"
            << to.height() << " format " << src.format() << ", row " << y;
}

} // namespace

// Every case on the processor's widest kernels and on those of processors without AVX2.
class SmoothScale : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { before_ = platform::useWideKernels(GetParam()); }
    void TearDown() override { platform::useWideKernels(before_); }

private:
    bool before_ = true;
};

INSTANTIATE_TEST_SUITE_P(Kernels, SmoothScale, ::testing::Values(true, false),
                         [](const auto &info) { return info.param ? "Wide" : "Narrow"; });

TEST_P(SmoothScale, EnlargingAndReducingGiveQtsPixels)
{
    const QList<std::pair<QSize, QSize>> cases = {
        // The fitted outputs: a camera's photo reduced from its decoded eighths to the
        // preview, and the preview doubled.
        {{1008, 756}, {849, 637}}, {{756, 1008}, {478, 637}}, {{849, 637}, {1698, 1274}},
        {{478, 637}, {956, 1274}}, {{1512, 1134}, {849, 637}},
        // Odd ratios, one side unchanged, tiny and one-pixel pictures, large factors.
        {{3, 5}, {7, 11}}, {{1, 1}, {9, 4}}, {{2, 1}, {5, 3}}, {{17, 9}, {17, 30}},
        {{100, 80}, {99, 79}}, {{100, 80}, {3, 2}}, {{1000, 7}, {13, 1}}, {{9, 640}, {1, 37}},
        {{641, 479}, {640, 478}}, {{64, 48}, {640, 480}}, {{333, 200}, {1000, 601}},
    };
    quint32 seed = 1;
    for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32_Premultiplied})
        for (const auto &[from, to] : cases)
            expectSameAsQt(noise(from.width(), from.height(), format, seed++), to);
    // And sizes drawn at random, both ways.
    QRandomGenerator rng(23);
    for (int i = 0; i < 300; ++i) {
        const QSize from(rng.bounded(1, 90), rng.bounded(1, 90));
        const bool up = i % 2;
        const QSize to = up ? QSize(from.width() + rng.bounded(0, 200), from.height() + rng.bounded(0, 200))
                            : QSize(rng.bounded(1, from.width() + 1), rng.bounded(1, from.height() + 1));
        if (to == from || (!up && (to.width() == from.width() || to.height() == from.height())))
            continue;
        expectSameAsQt(noise(from.width(), from.height(), i % 4 < 2 ? QImage::Format_RGB32
                                                                    : QImage::Format_ARGB32_Premultiplied,
                             seed++),
                       to);
    }
}

TEST(SmoothScaleOther, OtherCasesAndMetadataAreQts)
{
    QImage src = noise(120, 90, QImage::Format_RGB32, 7);
    src.setDotsPerMeterX(3780);
    src.setDotsPerMeterY(2835);
    src.setText("Comment", "kept");
    src.setColorSpace(QColorSpace::DisplayP3);
    for (const QSize to : {QSize(240, 180), QSize(60, 45)}) {
        const QImage ours = platform::smoothScaled(src, to);
        EXPECT_EQ(ours.dotsPerMeterX(), 3780);
        EXPECT_EQ(ours.dotsPerMeterY(), 2835);
        EXPECT_EQ(ours.text("Comment"), "kept");
        EXPECT_EQ(ours.colorSpace(), QColorSpace(QColorSpace::DisplayP3));
    }
    // One side up and one down, and formats the fast paths do not take.
    expectSameAsQt(src, QSize(200, 40));
    expectSameAsQt(src, QSize(50, 160));
    expectSameAsQt(noise(50, 40, QImage::Format_ARGB32, 8), QSize(120, 30));
    expectSameAsQt(noise(50, 40, QImage::Format_RGB888, 9), QSize(120, 100));
    expectSameAsQt(noise(50, 40, QImage::Format_Grayscale8, 10), QSize(20, 10));
    EXPECT_EQ(platform::smoothScaled(src, src.size()).constBits(), src.constBits());
}
