// The gif command: the window driven from the arguments, its boxes printed.
#include "GifTestSupport.h"
#include "app/Cli.h"
#include "platform/Settings.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>

namespace {

using testsupport::Captured;

QString makeFolder(const QTemporaryDir &tmp, const QString &name, std::initializer_list<QColor> colours)
{
    const QString dir = tmp.filePath(name);
    QDir().mkpath(dir);
    int i = 0;
    for (const QColor &c : colours)
        giftest::solidPicture(12, 8, c).save(dir + QStringLiteral("/%1.bmp").arg(i++), "BMP");
    return dir;
}

} // namespace

TEST(GifCommand, WritesTheGifIntoTheLastFolderAndPrintsTheSuccess)
{
    QTemporaryDir tmp;
    const QString a = makeFolder(tmp, "a", {Qt::red, Qt::green});
    const QString b = makeFolder(tmp, "b", {Qt::blue});
    Captured out(stdout), err(stderr);
    const int status = app::runCommandLine({"gif", "--delay", "10", a, "--delay", "0", b});
    EXPECT_EQ(out.text(), "Animated GIF file created successfully!\n");
    EXPECT_EQ(err.text(), "");
    EXPECT_EQ(status, app::kExitOk);
    const giftest::File gif = giftest::readGif(b + "/Pixmar-anim.gif");
    ASSERT_TRUE(gif.ok);
    ASSERT_EQ(gif.frames.size(), 3u);
    EXPECT_EQ(gif.frames[0].delayCs, 10);
    EXPECT_EQ(gif.frames[1].delayCs, 10);
    EXPECT_EQ(gif.frames[2].delayCs, 1);
    EXPECT_EQ(*gif.loopCount, 0);
    EXPECT_FALSE(QFile::exists(a + "/Pixmar-anim.gif"));

    // In Malay, and a second run replaces the file.
    Captured out2(stdout);
    EXPECT_EQ(app::runCommandLine({"--lang", "bm", "gif", "--delay", "5", b}), app::kExitOk);
    EXPECT_EQ(out2.text(), "Fail GIF Animasi berjaya dibina!\n");
    EXPECT_EQ(giftest::readGif(b + "/Pixmar-anim.gif").frames.size(), 1u);
}

TEST(GifCommand, ABrokenPictureIsSkippedAndMakesTheRunAFailure)
{
    QTemporaryDir tmp;
    const QString a = makeFolder(tmp, "a", {Qt::red, Qt::green});
    giftest::writeBytes(a + "/1b.bmp", "broken");
    {
        Captured out(stdout), err(stderr);
        EXPECT_EQ(app::runCommandLine({"gif", "--delay", "10", a}), app::kExitFailed);
        EXPECT_EQ(out.text(), "Animated GIF file created successfully!\n");
        EXPECT_TRUE(err.text().contains("1b.bmp"));
        EXPECT_TRUE(err.text().endsWith("\nContinue?\n"));
    }
    EXPECT_EQ(giftest::readGif(a + "/Pixmar-anim.gif").frames.size(), 2u);

    // Told to stop on the first error, nothing is built.
    QFile::remove(a + "/Pixmar-anim.gif");
    Captured out(stdout), err(stderr);
    EXPECT_EQ(app::runCommandLine({"--on-error", "stop", "gif", "--delay", "10", a}), app::kExitFailed);
    EXPECT_EQ(out.text(), "");
    EXPECT_FALSE(QFile::exists(a + "/Pixmar-anim.gif"));
}

TEST(GifCommand, BadArgumentsAndRefusalsAreInputFaults)
{
    QTemporaryDir tmp;
    const QString a = makeFolder(tmp, "a", {Qt::red});
    const QString empty = makeFolder(tmp, "empty", {});
    Captured err(stderr);
    for (const QStringList &args : {QStringList{"gif"}, QStringList{"gif", a},
                                    QStringList{"gif", "--delay", "10"},
                                    QStringList{"gif", "--delay", "1x", a},
                                    QStringList{"gif", "--delay", "123456", a},
                                    QStringList{"gif", "--delay", "10", a + "/nowhere"},
                                    QStringList{"gif", "--speed", "3", a}})
        EXPECT_EQ(app::runCommandLine(args), app::kExitInputFault) << args.join(' ').toStdString();
    {
        Captured out(stdout);
        EXPECT_EQ(app::runCommandLine({"gif", "--delay", "60001", a}), app::kExitInputFault);
        EXPECT_EQ(app::runCommandLine({"gif", "--delay", "10", empty}), app::kExitInputFault);
        EXPECT_EQ(out.text(), "");
    }
    const QString printed = err.text();
    EXPECT_TRUE(printed.contains("Exceeding the limit (60000)!\n"));
    EXPECT_TRUE(printed.contains("No files selected.\n"));
    EXPECT_FALSE(QFile::exists(a + "/Pixmar-anim.gif"));
    EXPECT_FALSE(QFile::exists(empty + "/Pixmar-anim.gif"));
}

TEST(GifCommand, AFailedBuildIsAFailureAndLeavesTheUsersFile)
{
    QTemporaryDir tmp;
    const QString a = makeFolder(tmp, "a", {Qt::red});
    const QString target = a + "/Pixmar-anim.gif";
    ASSERT_TRUE(giftest::writeBytes(target, "the user's own file"));
    ASSERT_TRUE(QFile::setPermissions(target, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    Captured out(stdout), err(stderr);
    EXPECT_EQ(app::runCommandLine({"gif", "--delay", "10", a}), app::kExitFailed);
    EXPECT_EQ(out.text(), "");
    EXPECT_EQ(err.text(), "Permission denied: " + target + "\n");
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(giftest::fileBytes(target), QByteArray("the user's own file"));
}

TEST(GifCommand, FitScalesLargePicturesDownAndIgnoresTheWindowsSetting)
{
    QTemporaryDir tmp;
    const QString a = makeFolder(tmp, "a", {Qt::red, Qt::blue});   // 12 x 8 pictures
    // The window's remembered box is not the command's business.
    platform::setSetting(QStringLiteral("animgif/fit"), QStringLiteral("3x2"));
    {
        Captured out(stdout), err(stderr);
        EXPECT_EQ(app::runCommandLine({"gif", "--delay", "10", a}), app::kExitOk);
    }
    giftest::File gif = giftest::readGif(a + "/Pixmar-anim.gif");
    EXPECT_EQ(QSize(gif.width, gif.height), QSize(12, 8));

    {
        Captured out(stdout), err(stderr);
        EXPECT_EQ(app::runCommandLine({"gif", "--fit", "6x6", "--delay", "10", a}), app::kExitOk);
    }
    gif = giftest::readGif(a + "/Pixmar-anim.gif");
    ASSERT_EQ(gif.frames.size(), 2u);
    EXPECT_EQ(QSize(gif.width, gif.height), QSize(6, 4));
    EXPECT_EQ(platform::setting(QStringLiteral("animgif/fit")).toString(), "3x2");
    platform::setSetting(QStringLiteral("animgif/fit"), QString());

    Captured err(stderr);
    for (const char *bad : {"0x4", "6", "six", "70000x10"})
        EXPECT_EQ(app::runCommandLine({"gif", "--fit", bad, "--delay", "10", a}), app::kExitInputFault) << bad;
    EXPECT_EQ(app::runCommandLine({"gif", "--delay", "10", a, "--fit"}), app::kExitInputFault);
    EXPECT_TRUE(err.text().contains("--fit takes WxH"));
}
