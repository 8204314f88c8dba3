// The plain parts of the batch run that the window tests cannot reach precisely: the fit
// arithmetic and the conversion's failures.
#include "ToolTestSupport.h"

#include "platform/Errors.h"
#include "platform/Picture.h"
#include "tools/BatchRun.h"

using namespace tools;

TEST(BatchRunFit, WidthFirstThenHeightStrictAndNeverEnlarged)
{
    const FitResult exact = fitInto(1000, 500, 1000, 500);   // equal is not larger
    EXPECT_FALSE(exact.reducedWidth || exact.reducedHeight);

    const FitResult wide = fitInto(2000, 400, 1000, 500);
    EXPECT_EQ(wide.width, 1000);
    EXPECT_EQ(wide.height, 200);
    EXPECT_TRUE(wide.reducedWidth);
    EXPECT_FALSE(wide.reducedHeight);

    const FitResult both = fitInto(2000, 2000, 1000, 500);   // 1000 × 1000 after the width step
    EXPECT_EQ(both.width, 500);
    EXPECT_EQ(both.height, 500);
    EXPECT_TRUE(both.reducedWidth && both.reducedHeight);

    const FitResult tall = fitInto(300, 1000, 1000, 500);
    EXPECT_EQ(tall.width, 150);
    EXPECT_FALSE(tall.reducedWidth);
    EXPECT_TRUE(tall.reducedHeight);
}

class BatchRunFiles : public tooltest::ToolFixture {};

TEST_F(BatchRunFiles, ConversionFailuresRaiseAndWriteNothing)
{
    // Not a bitmap at all, a bitmap FreeImage refuses, and a target that cannot be written.
    testsupport::writeBytes(at(QStringLiteral("text.bmp")), "not a bitmap");
    EXPECT_THROW(convertBitmapFile(at(QStringLiteral("text.bmp")), at(QStringLiteral("a.jpg")), kFormatJpeg),
                 platform::AppError);
    EXPECT_THROW(convertBitmapFile(at(QStringLiteral("missing.bmp")), at(QStringLiteral("b.jpg")), kFormatJpeg),
                 platform::AppError);
    platform::savePicture(testsupport::gradientImage(8, 8), at(QStringLiteral("ok.bmp")));
    try {
        convertBitmapFile(at(QStringLiteral("ok.bmp")), out + QStringLiteral("/no/such/c.jpg"), kFormatJpeg);
        FAIL() << "a save into a missing folder must fail";
    } catch (const platform::AppError &e) {
        EXPECT_TRUE(e.description().contains(QStringLiteral("c.jpg")));
    }
    EXPECT_EQ(outFiles(), QStringList({QStringLiteral("ok.bmp"), QStringLiteral("text.bmp")}));
}
