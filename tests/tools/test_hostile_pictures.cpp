// Pictures as users' folders hold them, through every tool's command: photos with a video
// after their end marker, and names that are not files at all.
#include "ToolTestSupport.h"

#include "app/Cli.h"

#include <sys/stat.h>

namespace {

class HostilePictures : public tooltest::ToolFixture {
protected:
    // Runs a command; its standard error is kept in `errors`.
    int run(const QStringList &args)
    {
        int status = 0;
        {
            testsupport::Captured err(stderr);
            testsupport::Captured std(stdout);
            status = app::runCommandLine(args);
            errors = err.text();
        }
        platform::setToolkit(&tk);   // the command put the desktop's toolkit back
        return status;
    }

    QString errors;
};

// A phone's motion photo: the picture, then a video of any length after its end marker.
QByteArray motionPhoto(int w, int h)
{
    QByteArray video(96 * 1024, '\0');
    for (qsizetype i = 0; i < video.size(); ++i)
        video[i] = char((i * 2654435761u) >> 13);
    return testsupport::jpegBytes(w, h) + "\0\0\0\x18" "ftypmp42" + video;
}

} // namespace

TEST_F(HostilePictures, AMotionPhotoIsProcessedByEveryTool)
{
    const QString photo = src + QStringLiteral("/motion.jpg");
    ASSERT_TRUE(testsupport::writeBytes(photo, motionPhoto(160, 120)));
    const QString logo = tmp.path() + QStringLiteral("/logo.jpg");
    ASSERT_TRUE(testsupport::writeBytes(logo, motionPhoto(20, 10)));

    const std::vector<std::pair<QStringList, QString>> commands = {
        {{"text", "--file", photo, "--target", out, "--text", "Hi", "--at", "5,5"}, "adt-motion.jpg"},
        {{"watermark", "--file", photo, "--target", out, "--text", "Hi", "--at", "5,5"}, "awtx-motion.jpg"},
        {{"logo", "--file", photo, "--target", out, "--logo", logo, "--at", "5,5"}, "awlo-motion.jpg"},
        {{"rotate", "--file", photo, "--target", out, "--plus"}, ""},
    };
    for (const auto &[args, output] : commands) {
        const QStringList before = outFiles();
        EXPECT_EQ(run(args), app::kExitOk) << args.first().toStdString() << ": " << errors.toStdString();
        EXPECT_EQ(outFiles().size(), before.size() + 1) << args.first().toStdString();
        if (!output.isEmpty())
            EXPECT_TRUE(outFiles().contains(output)) << output.toStdString();
    }
    // The same photo as the logo's picture and as a GIF frame.
    const QString frames = tmp.path() + QStringLiteral("/frames");
    QDir().mkpath(frames);
    ASSERT_TRUE(testsupport::writeBytes(frames + QStringLiteral("/1.jpg"), motionPhoto(40, 30)));
    ASSERT_TRUE(testsupport::writeBytes(frames + QStringLiteral("/2.jpg"), motionPhoto(40, 30)));
    EXPECT_EQ(run({"gif", "--delay", "10", frames}), app::kExitOk) << errors.toStdString();
    EXPECT_TRUE(QFile::exists(frames + QStringLiteral("/Pixmar-anim.gif")));
}

TEST_F(HostilePictures, AFifoIsRefusedAtOnceWhereverAPictureIsExpected)
{
    const QString photo = src + QStringLiteral("/a.jpg");
    ASSERT_TRUE(testsupport::writeBytes(photo, testsupport::jpegBytes(60, 40)));
    const QString fifo = tmp.path() + QStringLiteral("/pipe.png");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    // Nothing ever writes into the FIFO: a tool that opened it would wait for ever.
    EXPECT_EQ(run({"logo", "--file", photo, "--target", out, "--logo", fifo, "--at", "5,5"}), app::kExitFailed);
    EXPECT_TRUE(errors.contains(fifo)) << errors.toStdString();
    // As the picture itself, the tools' own input check refuses it, as it refuses a folder.
    EXPECT_EQ(run({"text", "--file", fifo, "--target", out, "--text", "Hi"}), app::kExitInputFault);
    EXPECT_EQ(run({"rotate", "--file", fifo, "--target", out, "--minus"}), app::kExitInputFault);
    EXPECT_TRUE(outFiles().isEmpty()) << outFiles().join(' ').toStdString();
}
