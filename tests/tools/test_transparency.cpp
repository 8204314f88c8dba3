// A transparent picture through every picture tool under the format options: what is clear
// stays clear, what is half transparent keeps its own colour, and the mark shows wherever it
// is drawn, the clear parts included; turned pictures take their transparency with them.
#include "ToolTestSupport.h"

#include "app/Cli.h"

#include <QImageReader>

namespace {

constexpr int kW = 300, kH = 200;

// Left half opaque red with a band of half-transparent blue across it; right half clear.
QRgb sourcePixel(int x, int y)
{
    if (x >= kW / 2)
        return qRgba(0, 0, 0, 0);
    if (y >= 80 && y < 120)
        return qRgba(0, 0, 255, 128);
    return qRgba(200, 30, 30, 255);
}

class Transparency : public tooltest::ToolFixture {
protected:
    Transparency()
    {
        QImage half(kW, kH, QImage::Format_ARGB32);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                half.setPixel(x, y, sourcePixel(x, y));
        EXPECT_TRUE(half.save(in(QStringLiteral("half.png")), "png"));
        logo = tmp.filePath(QStringLiteral("logo.bmp"));
        EXPECT_TRUE(testsupport::writeSolid(logo, 40, 20, Qt::white));
    }
    int run(int (*command)(app::CliSession &, const QStringList &), const QStringList &args)
    {
        app::CliSession session;
        return command(session, args);
    }
    QImage output(const QString &name) const
    {
        return QImage(at(name)).convertToFormat(QImage::Format_ARGB32);
    }
    // The most opaque pixel of a rectangle.
    static int mostOpaque(const QImage &img, QRect r)
    {
        int most = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                most = std::max(most, qAlpha(img.pixel(x, y)));
        return most;
    }
    QString logo;
};

// The parts of an output the mark does not reach are the source's, by kind of pixel.
void expectSourceAround(const QImage &img, const std::string &what)
{
    ASSERT_EQ(img.size(), QSize(kW, kH)) << what;
    EXPECT_EQ(qAlpha(img.pixel(250, 150)), 0) << what;
    EXPECT_EQ(qAlpha(img.pixel(60, 170)), 255) << what;
    EXPECT_NEAR(qRed(img.pixel(60, 170)), 200, 6) << what;
    // Half transparent blue, not blue mixed with a background it never had.
    const QRgb half = img.pixel(60, 100);
    EXPECT_NEAR(qAlpha(half), 128, 2) << what;
    EXPECT_LE(qRed(half), 8) << what;
    EXPECT_LE(qGreen(half), 8) << what;
    EXPECT_GE(qBlue(half), 245) << what;
}

} // namespace

TEST_F(Transparency, MarksOverTheClearPartShowThereAndLeaveTheRestAsItWas)
{
    const QStringList place = {QStringLiteral("--dir"), src, QStringLiteral("--target"), out,
                               QStringLiteral("--at"), QStringLiteral("200,10"), QStringLiteral("--all-formats")};
    // Black text: on a clear picture drawn on black, or with the picture's own alpha put
    // back over it, it would not be there at all.
    const std::vector<std::tuple<const char *, int (*)(app::CliSession &, const QStringList &), QStringList>> tools = {
        {"adt-", app::cliText,
         {QStringLiteral("--text"), QStringLiteral("Sample"), QStringLiteral("--color"), QStringLiteral("black"),
          QStringLiteral("--size"), QStringLiteral("14")}},
        {"awtx-", app::cliWatermark,
         {QStringLiteral("--text"), QStringLiteral("Sample"), QStringLiteral("--size"), QStringLiteral("14"),
          QStringLiteral("--level"), QStringLiteral("10%")}},
        {"awlo-", app::cliLogo, {QStringLiteral("--logo"), logo}},
    };
    for (const bool ownSize : {false, true}) {
        for (const char *format : {"png", "webp", "tif"}) {
            for (const auto &[prefix, command, args] : tools) {
                const std::string what = std::string(prefix) + format + (ownSize ? " own size" : " fitted");
                QStringList all = place + args + QStringList{QStringLiteral("--format"), QLatin1String(format)};
                if (ownSize)
                    all << QStringLiteral("--original-size");
                ASSERT_EQ(run(command, all), app::kExitOk) << what;
                const QImage img = output(QLatin1String(prefix) + QStringLiteral("half.") + QLatin1String(format));
                expectSourceAround(img, what);
                // The mark is there, over what was clear, and only near where it was put.
                EXPECT_GE(mostOpaque(img, QRect(200, 10, 45, 18)), 200) << what;
                EXPECT_EQ(mostOpaque(img, QRect(160, 60, 130, 130)), 0) << what;
            }
        }
    }
    // A watermark lightens: over a clear pixel it is light, at the level's opacity.
    const QImage marked = output(QStringLiteral("awtx-half.png"));
    for (int y = 10; y < 28; ++y)
        for (int x = 200; x < 245; ++x)
            if (qAlpha(marked.pixel(x, y)) > 0) {
                EXPECT_LE(qAlpha(marked.pixel(x, y)), 230);
                EXPECT_GE(qRed(marked.pixel(x, y)), 250);
            }
}

TEST_F(Transparency, ATurnedPictureTakesItsTransparencyWithIt)
{
    for (const bool ownSize : {false, true}) {
        for (const bool clockwise : {true, false}) {
            for (const char *format : {"png", "webp"}) {
                const std::string what = std::string(format) + (clockwise ? " plus" : " minus")
                    + (ownSize ? " own size" : " fitted");
                QStringList args = {QStringLiteral("--dir"), src, QStringLiteral("--target"), out,
                                    clockwise ? QStringLiteral("--plus") : QStringLiteral("--minus"),
                                    QStringLiteral("--all-formats"), QStringLiteral("--format"), QLatin1String(format)};
                if (ownSize)
                    args << QStringLiteral("--original-size");
                ASSERT_EQ(run(app::cliRotate, args), app::kExitOk) << what;
                const QImage img = output(QStringLiteral("rot-half.") + QLatin1String(format));
                ASSERT_EQ(img.size(), QSize(kH, kW)) << what;
                // Each turned pixel is the source's at the place it came from.
                for (const QPoint p : {QPoint(20, 20), QPoint(180, 20), QPoint(20, 280), QPoint(180, 280),
                                       QPoint(100, 60), QPoint(100, 240), QPoint(60, 100)}) {
                    const QPoint from = clockwise ? QPoint(p.y(), kH - 1 - p.x()) : QPoint(kW - 1 - p.y(), p.x());
                    const QRgb want = sourcePixel(from.x(), from.y());
                    const QRgb got = img.pixel(p);
                    EXPECT_NEAR(qAlpha(got), qAlpha(want), 2) << what << " at " << p.x() << "," << p.y();
                    if (qAlpha(want) != 0)
                        EXPECT_NEAR(qBlue(got), qBlue(want), 8) << what << " at " << p.x() << "," << p.y();
                }
            }
        }
    }
}

TEST_F(Transparency, OnlyWhereTheOutputHoldsItAndOnlyUnderTheFormatOptions)
{
    // As JPEG there is no transparency to keep: an opaque picture, as the fitted run always
    // drew it.
    ASSERT_EQ(run(app::cliText, {QStringLiteral("--file"), in(QStringLiteral("half.png")), QStringLiteral("--target"),
                                 out, QStringLiteral("--text"), QStringLiteral("x"), QStringLiteral("--format"),
                                 QStringLiteral("jpg")}),
              app::kExitOk);
    const QImage jpeg(at(QStringLiteral("adt-half.jpg")));
    ASSERT_FALSE(jpeg.isNull());
    EXPECT_FALSE(jpeg.hasAlphaChannel());

    // Without a format option the tool writes what it always wrote, byte for byte whatever
    // else a run with the options wrote before.
    ASSERT_EQ(run(app::cliText, {QStringLiteral("--file"), in(QStringLiteral("half.png")), QStringLiteral("--target"),
                                 out, QStringLiteral("--text"), QStringLiteral("x")}),
              app::kExitOk);
    QFile first(at(QStringLiteral("adt-half.png")));
    ASSERT_TRUE(first.open(QIODevice::ReadOnly));
    const QByteArray before = first.readAll();
    first.close();
    EXPECT_FALSE(QImage(at(QStringLiteral("adt-half.png"))).hasAlphaChannel());
    ASSERT_EQ(run(app::cliText, {QStringLiteral("--file"), in(QStringLiteral("half.png")), QStringLiteral("--target"),
                                 out, QStringLiteral("--text"), QStringLiteral("x"), QStringLiteral("--format"),
                                 QStringLiteral("png")}),
              app::kExitOk);
    EXPECT_TRUE(QImage(at(QStringLiteral("adt-half.png"))).hasAlphaChannel());
    ASSERT_EQ(run(app::cliText, {QStringLiteral("--file"), in(QStringLiteral("half.png")), QStringLiteral("--target"),
                                 out, QStringLiteral("--text"), QStringLiteral("x"), QStringLiteral("--format"),
                                 QStringLiteral("same")}),
              app::kExitOk);
    QFile again(at(QStringLiteral("adt-half.png")));
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), before);
}
