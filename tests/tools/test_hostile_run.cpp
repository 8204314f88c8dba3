// A run over a folder of hostile pictures of the newer formats: the ones a decoder refuses are
// named, each with "Continue?", the run goes on to the others and leaves nothing of the refused
// ones behind; the odd but valid ones are marked and written in their own format.
#include "ToolTestSupport.h"

#include "app/Cli.h"
#include "support/HostileFiles.h"

#include <QImageReader>
#include <algorithm>

namespace {

class HostileRun : public tooltest::ToolFixture {
protected:
    HostileRun()
    {
        QDir(src).removeRecursively();
        QDir().mkpath(src);
    }
    bool named(const char *file) const
    {
        return std::any_of(messages.begin(), messages.end(), [file](const auto &m) {
            return m.text.contains(QLatin1String(file)) && m.text.contains(QStringLiteral("Continue?"));
        });
    }
    std::vector<platform::ScriptedToolkit::Message> messages;
};

} // namespace

TEST_F(HostileRun, RefusedPicturesAreNamedAndTheRestAreMarkedInTheirOwnFormat)
{
    const QByteArray heic = hostile::heif(tmp, false);
    const QByteArray avif = hostile::heif(tmp, true);
    ASSERT_FALSE(heic.isEmpty()) << "heif-enc is needed";
    ASSERT_FALSE(avif.isEmpty());
    testsupport::writeBytes(in(QStringLiteral("huge.heic")), hostile::claimingSize(heic, 100000, 100000));
    testsupport::writeBytes(in(QStringLiteral("cut.avif")), avif.left(avif.size() / 2));
    testsupport::writeBytes(in(QStringLiteral("bomb.png")), hostile::pngBomb(60000, 60000));
    testsupport::writeBytes(in(QStringLiteral("many.tif")), hostile::manyPageTiff(10000, 0x80));

    // Large enough for the mark: 16 bits a channel, and an animation; each with a clear corner.
    QImage deep = testsupport::gradientImage(120, 80).convertToFormat(QImage::Format_RGBA64);
    deep.setPixelColor(119, 79, QColor::fromRgba64(0, 0, 0, 0));
    ASSERT_TRUE(deep.save(in(QStringLiteral("deep.tif")), "tiff"));
    QImage still = testsupport::gradientImage(120, 80).convertToFormat(QImage::Format_ARGB32);
    still.setPixel(119, 79, qRgba(0, 0, 0, 0));
    const QString stillPath = tmp.filePath(QStringLiteral("still.webp"));
    ASSERT_TRUE(still.save(stillPath, "webp", 100));
    QFile f(stillPath);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    testsupport::writeBytes(in(QStringLiteral("moving.webp")), hostile::animatedWebp(f.readAll(), still.size(), 50));

    app::CliSession session;
    const int status = app::cliWatermark(session, {QStringLiteral("--dir"), src, QStringLiteral("--target"), out,
                                                   QStringLiteral("--text"), QStringLiteral("x"),
                                                   QStringLiteral("--original-size"), QStringLiteral("--at"),
                                                   QStringLiteral("2,2"), QStringLiteral("--all-formats")});
    messages = session.toolkit.messages;
    EXPECT_EQ(status, app::kExitFailed);
    for (const char *bad : {"huge.heic", "cut.avif", "bomb.png"})
        EXPECT_TRUE(named(bad)) << bad;
    // Only the outputs of the pictures that were read; nothing half-written, hidden or not.
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{QStringLiteral("awtx-deep.tif"), QStringLiteral("awtx-many.tif"),
                           QStringLiteral("awtx-moving.webp")}));
    EXPECT_EQ(QImageReader(out + QStringLiteral("/awtx-deep.tif")).format(), QByteArray("tiff"));
    EXPECT_EQ(QImageReader(out + QStringLiteral("/awtx-moving.webp")).format(), QByteArray("webp"));
    const QImage clean = still.convertToFormat(QImage::Format_RGB32).copy(0, 0, 40, 30);
    for (const char *marked : {"awtx-deep.tif", "awtx-moving.webp"}) {
        const QImage img = QImage(out + QLatin1Char('/') + QLatin1String(marked)).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(img.size(), QSize(120, 80)) << marked;
        EXPECT_NE(img.copy(0, 0, 40, 30), clean) << marked;
    }
    EXPECT_EQ(QImage(out + QStringLiteral("/awtx-many.tif")).size(), QSize(1, 1));
}
