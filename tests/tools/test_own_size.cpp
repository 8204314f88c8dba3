// Outputs at the picture's own size: what the preview showed, scaled by each picture's own
// factor; a picture too large for it is refused by name and the run goes on.
#include "ToolTestSupport.h"

#include "app/Cli.h"
#include "platform/Limits.h"
#include "tools/frm_Watertext.h"

#include <QTransform>

namespace {

// The box of the pixels brighter than the black ground.
QRect brightBox(const QImage &img)
{
    QRect box;
    for (int y = 0; y < img.height(); ++y) {
        const QRgb *row = reinterpret_cast<const QRgb *>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if (qGray(row[x]) > 60)
                box |= QRect(x, y, 1, 1);
    }
    return box;
}

class OwnSize : public tooltest::ToolFixture {
protected:
    int run(int (*command)(app::CliSession &, const QStringList &), const QStringList &args)
    {
        app::CliSession session;
        const int status = command(session, args);
        messages = session.toolkit.messages;
        return status;
    }
    QImage output(const QString &name) const { return QImage(at(name)).convertToFormat(QImage::Format_RGB32); }

    // The three tools that put a mark on a picture, white on black (the logo a plain white
    // block written beside the pictures), with the text at `textSize` points, each with the
    // name of its output of `picture`.
    struct MarkCase {
        int (*command)(app::CliSession &, const QStringList &);
        QStringList args;
        QString output;
    };
    QList<MarkCase> markCases(const QString &picture, const QString &textSize)
    {
        QImage logo(40, 30, QImage::Format_RGB32);
        logo.fill(Qt::white);
        EXPECT_TRUE(logo.save(in(QStringLiteral("logo.png"))));
        return {
            {app::cliText, {QStringLiteral("--text"), QStringLiteral("Hello"), QStringLiteral("--color"),
                            QStringLiteral("white"), QStringLiteral("--size"), textSize},
             QStringLiteral("adt-") + picture},
            {app::cliWatermark, {QStringLiteral("--text"), QStringLiteral("Hello"), QStringLiteral("--size"),
                                 textSize, QStringLiteral("--level"), QStringLiteral("10%")},
             QStringLiteral("awtx-") + picture},
            {app::cliLogo, {QStringLiteral("--logo"), in(QStringLiteral("logo.png")), QStringLiteral("--level"),
                            QStringLiteral("10%")},
             QStringLiteral("awlo-") + picture},
        };
    }

    // The case's outputs of `picture` clicked at `click`: fitted, then at its own size.
    std::pair<QImage, QImage> fittedAndOwn(const MarkCase &c, const QString &picture, const QString &click)
    {
        const QStringList base = QStringList{QStringLiteral("--file"), in(picture), QStringLiteral("--target"), out,
                                             QStringLiteral("--at"), click} + c.args;
        EXPECT_EQ(run(c.command, base), app::kExitOk);
        const QImage fitted = output(c.output);
        QFile::remove(at(c.output));
        EXPECT_EQ(run(c.command, base + QStringList{QStringLiteral("--original-size")}), app::kExitOk);
        return {fitted, output(c.output)};
    }

    std::vector<platform::ScriptedToolkit::Message> messages;
};

} // namespace

TEST_F(OwnSize, TextAndWatermarksAreDrawnWhereThePreviewShowedThemScaledByThePicturesFactor)
{
    // Wider than the window only, so that the plain output is the fitted picture itself.
    constexpr int kW = 3000, kH = 500;
    ASSERT_TRUE(testsupport::writeSolid(in(QStringLiteral("p.bmp")), kW, kH, Qt::black));
    for (const MarkCase &c : markCases(QStringLiteral("p.bmp"), QStringLiteral("20"))) {
        SCOPED_TRACE(c.output.toStdString());
        const auto [fitted, own] = fittedAndOwn(c, QStringLiteral("p.bmp"), QStringLiteral("50,40"));
        ASSERT_EQ(own.size(), QSize(kW, kH));
        ASSERT_LT(fitted.width(), kW);
        const double factor = double(kW) / fitted.width();
        const QRect small = brightBox(fitted), large = brightBox(own);
        ASSERT_FALSE(small.isEmpty());
        ASSERT_FALSE(large.isEmpty());
        EXPECT_NEAR(large.left(), small.left() * factor, factor + 2);
        EXPECT_NEAR(large.top(), small.top() * factor, factor + 2);
        EXPECT_NEAR(large.height(), small.height() * factor, 0.15 * small.height() * factor + 2);
        EXPECT_NEAR(large.width(), small.width() * factor, 0.15 * small.width() * factor + 2);
        // The same blend: the mark's brightest pixel is as bright at both sizes.
        EXPECT_NEAR(tooltest::maxChannel(own, large), tooltest::maxChannel(fitted, small), 3);
    }
}

TEST_F(OwnSize, OnAPictureWhoseTwoFactorsDifferTheMarkGoesAcrossByTheWidthFactor)
{
    // Fitted to the window's width, 35 pixels high become a whole number of preview rows: the
    // height factor is not the width factor, and only the width one says where x lies.
    constexpr int kW = 3000, kH = 35, kX = 300;
    ASSERT_TRUE(testsupport::writeSolid(in(QStringLiteral("strip.bmp")), kW, kH, Qt::black));
    for (const MarkCase &c : markCases(QStringLiteral("strip.bmp"), QStringLiteral("6"))) {
        SCOPED_TRACE(c.output.toStdString());
        const auto [fitted, own] = fittedAndOwn(c, QStringLiteral("strip.bmp"), QStringLiteral("%1,0").arg(kX));
        ASSERT_EQ(own.size(), QSize(kW, kH));
        const double byWidth = double(kW) / fitted.width(), byHeight = double(kH) / fitted.height();
        ASSERT_GT(std::abs(byWidth - byHeight) * kX, 8.0);   // else the test could not tell them
        const QRect small = brightBox(fitted), large = brightBox(own);
        ASSERT_FALSE(small.isEmpty());
        ASSERT_FALSE(large.isEmpty());
        EXPECT_NEAR(small.left(), kX, 2);
        EXPECT_NEAR(large.left(), small.left() * byWidth, 2);
    }
}

TEST_F(OwnSize, RotateTurnsThePictureAtItsOwnSizePixelForPixel)
{
    const QImage source = testsupport::gradientImage(2100, 700).convertToFormat(QImage::Format_RGB32);
    ASSERT_TRUE(source.save(in(QStringLiteral("r.bmp"))));
    for (const char *way : {"--plus", "--minus"}) {
        SCOPED_TRACE(way);
        QFile::remove(at(QStringLiteral("rot-r.bmp")));
        ASSERT_EQ(run(app::cliRotate, {QStringLiteral("--file"), in(QStringLiteral("r.bmp")), QStringLiteral("--target"),
                                       out, QString::fromLatin1(way), QStringLiteral("--original-size")}),
                  app::kExitOk);
        const int degrees = QByteArray(way) == "--plus" ? 90 : -90;
        EXPECT_EQ(output(QStringLiteral("rot-r.bmp")), source.transformed(QTransform().rotate(degrees)));
    }
}

namespace {

// A small JPEG whose header claims 12000 x 9000 pixels: within what the decoder takes, over
// what an output at its own size may have.
QByteArray claimsTooLarge()
{
    QByteArray jpeg;
    {
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        testsupport::gradientImage(64, 64).save(&buffer, "JPEG");
    }
    const qsizetype sof = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    jpeg[sof + 5] = char(9000 >> 8);
    jpeg[sof + 6] = char(9000 & 0xFF);
    jpeg[sof + 7] = char(12000 >> 8);
    jpeg[sof + 8] = char(12000 & 0xFF);
    return jpeg;
}

} // namespace

TEST_F(OwnSize, APictureTooLargeIsRefusedByNameWithTheLimitAndTheRunGoesOn)
{
    ASSERT_GT(12000LL * 9000, platform::limits::kMaxOwnSizePixels);
    testsupport::writeBytes(in(QStringLiteral("a-huge.jpg")), claimsTooLarge());
    ASSERT_TRUE(testsupport::writeSolid(in(QStringLiteral("b.jpg")), 300, 200, Qt::gray));
    EXPECT_EQ(run(app::cliWatermark, {QStringLiteral("--dir"), src, QStringLiteral("--target"), out,
                                      QStringLiteral("--text"), QStringLiteral("x"), QStringLiteral("--original-size")}),
              app::kExitFailed);
    EXPECT_EQ(outFiles(), QStringList{QStringLiteral("awtx-b.jpg")});
    QStringList texts;
    for (const auto &m : messages)
        texts << m.text;
    const QString all = texts.join(QLatin1Char('\n'));
    EXPECT_TRUE(all.contains(QStringLiteral("Picture too large for its own size:"))) << all.toStdString();
    EXPECT_TRUE(all.contains(QStringLiteral("a-huge.jpg")));
    EXPECT_TRUE(all.contains(QString::number(platform::limits::kMaxOwnSizePixels))) << all.toStdString();
}

TEST_F(OwnSize, AFirstPictureTooLargeIsToldOnceInTheWindowByNameWithTheLimit)
{
    testsupport::writeBytes(in(QStringLiteral("a-huge.jpg")), claimsTooLarge());
    ASSERT_TRUE(testsupport::writeSolid(in(QStringLiteral("b.jpg")), 300, 200, Qt::gray));
    frm_Watertext w;
    w.run().output.originalSize = true;
    w.vartext = QStringLiteral("x");
    tk.defaultAnswer = platform::MsgResult::Yes;
    bulk(w, src, out);
    w.mnu_loadpic_Click();
    w.clickAtPixels(5, 5);
    w.mnu_sav_Click();
    EXPECT_EQ(outFiles(), QStringList{QStringLiteral("awtx-b.jpg")});
    QStringList about;
    for (const auto &m : tk.messages)
        if (m.text.contains(QStringLiteral("a-huge.jpg")))
            about << m.text;
    ASSERT_EQ(about.size(), 1) << about.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(about[0].contains(QStringLiteral("Picture too large for its own size:")));
    EXPECT_TRUE(about[0].contains(QString::number(platform::limits::kMaxOwnSizePixels)));
}

using tooltest::firstQuantiser;

TEST_F(OwnSize, TurnsWrittenABandAtATimeAreTheWholePictureTurnedPixelForPixel)
{
    // A bitmap keeps its pixels: the output must be the source turned, exactly, across
    // several bands of the turned picture's rows.
    QImage source = testsupport::gradientImage(700, 1300).convertToFormat(QImage::Format_RGB32);
    for (int x = 0; x < source.width(); x += 29)
        source.setPixel(x, (x * 7) % source.height(), qRgb(255, 0, 255));
    ASSERT_TRUE(source.save(in(QStringLiteral("t.bmp"))));
    for (const auto &[flag, degrees] : {std::pair{"--plus", 90}, std::pair{"--minus", -90}}) {
        SCOPED_TRACE(flag);
        QFile::remove(at(QStringLiteral("rot-t.bmp")));
        ASSERT_EQ(run(app::cliRotate, {QStringLiteral("--file"), in(QStringLiteral("t.bmp")), QStringLiteral("--target"),
                                       out, QLatin1String(flag), QStringLiteral("--original-size")}),
                  app::kExitOk);
        EXPECT_EQ(output(QStringLiteral("rot-t.bmp")), source.transformed(QTransform().rotate(degrees)));
    }
}

TEST_F(OwnSize, LosslessTurnsKeepTheJpegAsItWasAndFallBackWhereTheBlocksDoNotFit)
{
    struct Case {
        QSize size;
        bool whole;   // sides a whole number of 16-pixel blocks
    };
    for (const Case c : {Case{QSize(320, 160), true}, Case{QSize(321, 161), false}}) {
        SCOPED_TRACE(c.whole);
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        const QImage source = testsupport::gradientImage(c.size.width(), c.size.height());
        ASSERT_TRUE(source.save(in(QStringLiteral("t.jpg")), "JPEG", 97));
        const QByteArray original = testsupport::readBytes(in(QStringLiteral("t.jpg")));
        ASSERT_EQ(run(app::cliRotate, {QStringLiteral("--file"), in(QStringLiteral("t.jpg")), QStringLiteral("--target"),
                                       out, QStringLiteral("--plus"), QStringLiteral("--original-size"),
                                       QStringLiteral("--lossless")}),
                  app::kExitOk);
        const QByteArray turned = testsupport::readBytes(at(QStringLiteral("rot-t.jpg")));
        const QImage img = QImage::fromData(turned).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(img.size(), c.size.transposed());
        // Untouched coefficients keep the source's tables; a re-encoded picture has quality 75's.
        EXPECT_EQ(firstQuantiser(turned) == firstQuantiser(original), c.whole);
        // Either way the right picture: the source turned clockwise, give or take the coding.
        const QImage expected = QImage::fromData(original).convertToFormat(QImage::Format_RGB32)
                                    .transformed(QTransform().rotate(90));
        int worst = 0;
        for (int y = 0; y < img.height(); y += 7)
            for (int x = 0; x < img.width(); x += 7)
                worst = std::max(worst, std::abs(qGray(img.pixel(x, y)) - qGray(expected.pixel(x, y))));
        EXPECT_LT(worst, 24);
    }
}
