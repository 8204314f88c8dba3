// Outputs that cannot be written: a target disk that fills up part way, a read-only target, and
// a run killed while it writes. Whatever happens, the picture concerned is named with the
// system's reason, and the target holds nothing but whole outputs.
#include "ToolTestSupport.h"

#include "app/Cli.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageReader>
#include <QRandomGenerator>

#include <csignal>
#include <functional>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Noise codes badly: a picture of it makes a large output whatever the format.
QImage noise(int w, int h, quint32 seed)
{
    QRandomGenerator rng(seed);
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < w; ++x)
            line[x] = qRgb(int(rng.bounded(256)), int(rng.bounded(256)), int(rng.bounded(256)));
    }
    return img;
}

// A tmpfs of its own on a folder for as long as the object lives. Only the superuser may mount
// one; elsewhere `mounted` is false and `why` says so.
class SmallDisk {
public:
    SmallDisk(const QString &where, qint64 bytes) : where_(QFile::encodeName(where))
    {
        const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0755";
        mounted = ::mount("tmpfs", where_.constData(), "tmpfs", 0, options.constData()) == 0;
        if (!mounted)
            why = QStringLiteral("cannot mount a tmpfs (%1): the test needs the superuser")
                      .arg(QString::fromLocal8Bit(std::strerror(errno)));
    }
    ~SmallDisk()
    {
        if (mounted)
            ::umount2(where_.constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;
    bool makeReadOnly()
    {
        return ::mount("tmpfs", where_.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    bool mounted = false;
    QString why;

private:
    QByteArray where_;
};

qint64 pages(qint64 bytes) { return (bytes + 4095) / 4096 * 4096; }

class WriteFaults : public tooltest::ToolFixture {
protected:
    int run(int (*command)(app::CliSession &, const QStringList &), const QStringList &args, bool stop)
    {
        app::CliSession session;
        session.onErrorStop = stop;
        const int status = command(session, args);
        messages = session.toolkit.messages;
        return status;
    }
    // Everything in a folder, hidden files included.
    static QStringList entries(const QString &dir)
    {
        return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }
    QString allMessages() const
    {
        QStringList t;
        for (const auto &m : messages)
            t << m.text;
        return t.join(QLatin1Char('\n'));
    }
    static void expectDecodes(const QString &path)
    {
        QImageReader reader(path);
        const QImage img = reader.read();
        EXPECT_FALSE(img.isNull()) << path.toStdString() << ": " << reader.errorString().toStdString();
    }

    // Starts the program with `args`, quiet, and kills it once `killNow` says so (checked over
    // and over while it runs). False when it ended first or was not killed within a minute.
    static bool killedWhen(const std::vector<QByteArray> &args, const std::function<bool()> &killNow)
    {
        const pid_t child = ::fork();
        if (child < 0)
            return false;
        if (child == 0) {
            // Its report would only interleave with the test's.
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, STDOUT_FILENO);
            ::dup2(quiet, STDERR_FILENO);
            std::vector<char *> argv{const_cast<char *>(PIXMAR_BINARY)};
            for (const QByteArray &a : args)
                argv.push_back(const_cast<char *>(a.constData()));
            argv.push_back(nullptr);
            ::execv(PIXMAR_BINARY, argv.data());
            ::_exit(127);
        }
        QElapsedTimer clock;
        clock.start();
        bool ended = false;
        while (!ended && clock.elapsed() < 60000 && !killNow())
            ended = ::waitpid(child, nullptr, WNOHANG) == child;
        if (ended)
            return false;
        ::kill(child, SIGKILL);
        int status = 0;
        return ::waitpid(child, &status, 0) == child && WIFSIGNALED(status);
    }

    std::vector<platform::ScriptedToolkit::Message> messages;
};

// One tool's command, with what it writes first for a name.
struct Tool {
    const char *name;
    int (*command)(app::CliSession &, const QStringList &);
    QStringList options;
    QString prefix;   // of its outputs
};

class FullDisk : public WriteFaults {
protected:
    FullDisk()
    {
        // Small, large, small: the large one's output cannot fit in what the small ones leave.
        testsupport::writeSolid(src + QStringLiteral("/a.jpg"), 120, 90, Qt::darkGreen);
        testsupport::writeSolid(src + QStringLiteral("/b.jpg"), 120, 90, Qt::darkBlue);
        EXPECT_TRUE(noise(1400, 1000, 7).save(src + QStringLiteral("/c.jpg"), "JPEG", 95));
        testsupport::writeSolid(src + QStringLiteral("/d.jpg"), 120, 90, Qt::darkRed);
        logo = tmp.path() + QStringLiteral("/logo.bmp");
        testsupport::writeSolid(logo, 30, 20, Qt::yellow);
    }
    QList<Tool> tools() const
    {
        const QStringList text = {QStringLiteral("--text"), QStringLiteral("Mark")};
        return {
            {"watermark", app::cliWatermark, text, QStringLiteral("awtx-")},
            {"logo", app::cliLogo, {QStringLiteral("--logo"), logo}, QStringLiteral("awlo-")},
            {"text", app::cliText, text, QStringLiteral("adt-")},
            {"rotate", app::cliRotate, {QStringLiteral("--plus")}, QStringLiteral("rot-")},
            // At the picture's own size a JPEG is written a band at a time.
            {"rotate own size", app::cliRotate, {QStringLiteral("--plus"), QStringLiteral("--original-size")},
             QStringLiteral("rot-")},
            // Turned without decoding: the output comes whole from the source's coefficients.
            {"rotate lossless", app::cliRotate,
             {QStringLiteral("--plus"), QStringLiteral("--original-size"), QStringLiteral("--lossless")},
             QStringLiteral("rot-")},
        };
    }
    QStringList argsFor(const Tool &t, const QString &target, const char *jobs) const
    {
        return QStringList{QStringLiteral("--dir"), src, QStringLiteral("--target"), target,
                           QStringLiteral("--jobs"), QLatin1String(jobs)} + t.options;
    }
    QString logo;
};

} // namespace

TEST_F(FullDisk, TheOutputThatDoesNotFitFailsWithTheReasonAndLeavesNothingBehind)
{
    for (const Tool &tool : tools()) {
        // The outputs' sizes on an ordinary disk tell how small the full one must be.
        const QString sized = tmp.path() + QStringLiteral("/sized-") + QString::number(qHash(QLatin1String(tool.name)));
        QDir().mkpath(sized);
        ASSERT_EQ(run(tool.command, argsFor(tool, sized, "1"), false), app::kExitOk) << tool.name;
        const QString outA = tool.prefix + QStringLiteral("a.jpg"), outC = tool.prefix + QStringLiteral("c.jpg");
        const qint64 small = pages(QFileInfo(sized + QLatin1Char('/') + outA).size());
        const qint64 large = QFileInfo(sized + QLatin1Char('/') + outC).size();
        const qint64 room = 3 * small + 2 * 4096;
        ASSERT_GT(large, room) << tool.name;

        for (const char *jobs : {"1", "2"}) {
            for (const bool stop : {false, true}) {
                SCOPED_TRACE(std::string(tool.name) + ", --jobs " + jobs + (stop ? ", stop" : ", continue"));
                SmallDisk disk(out, room);
                if (!disk.mounted)
                    GTEST_SKIP() << disk.why.toStdString();
                const int status = run(tool.command, argsFor(tool, out, jobs), stop);
                EXPECT_EQ(status, app::kExitFailed);

                // The large one named, with the system's reason, and never called done.
                const QString failed = out + QLatin1Char('/') + outC;
                const QString said = allMessages();
                EXPECT_TRUE(said.contains(failed)) << said.toStdString();
                EXPECT_TRUE(said.contains(QString::fromLocal8Bit(std::strerror(ENOSPC)))) << said.toStdString();
                EXPECT_FALSE(said.contains(QStringLiteral("for 4 file(s) DONE"))) << said.toStdString();

                // Only whole outputs: those before it, and after it only when the run went on.
                QStringList expected = {tool.prefix + QStringLiteral("a.jpg"), tool.prefix + QStringLiteral("b.jpg")};
                if (!stop)
                    expected << tool.prefix + QStringLiteral("d.jpg");
                EXPECT_EQ(entries(out), expected) << said.toStdString();
                for (const QString &name : entries(out))
                    expectDecodes(out + QLatin1Char('/') + name);
            }
        }
    }
    EXPECT_EQ(entries(src), (QStringList{"a.jpg", "b.jpg", "c.jpg", "d.jpg"}));
}

TEST_F(WriteFaults, AReadOnlyTargetWritesNothingAndSaysWhy)
{
    testsupport::writeSolid(src + QStringLiteral("/a.jpg"), 120, 90, Qt::gray);
    testsupport::writeSolid(src + QStringLiteral("/b.bmp"), 120, 90, Qt::gray);
    const QByteArray a = testsupport::readBytes(src + QStringLiteral("/a.jpg"));
    SmallDisk disk(out, 1 << 20);
    if (!disk.mounted)
        GTEST_SKIP() << disk.why.toStdString();
    ASSERT_TRUE(disk.makeReadOnly());
    for (const char *jobs : {"1", "2"}) {
        SCOPED_TRACE(jobs);
        const int status = run(app::cliWatermark,
                               {QStringLiteral("--dir"), src, QStringLiteral("--target"), out, QStringLiteral("--text"),
                                QStringLiteral("x"), QStringLiteral("--jobs"), QLatin1String(jobs)},
                               false);
        EXPECT_EQ(status, app::kExitFailed);
        const QString said = allMessages();
        EXPECT_TRUE(said.contains(out + QStringLiteral("/awtx-a.jpg"))) << said.toStdString();
        EXPECT_TRUE(said.contains(out + QStringLiteral("/awtx-b.bmp"))) << said.toStdString();
        EXPECT_TRUE(said.contains(QStringLiteral("Permission denied"))) << said.toStdString();
        EXPECT_TRUE(entries(out).isEmpty());
    }
    EXPECT_EQ(entries(src), (QStringList{"a.jpg", "b.bmp"}));
    EXPECT_EQ(testsupport::readBytes(src + QStringLiteral("/a.jpg")), a);
}

TEST_F(WriteFaults, ARunKilledWhileItWritesLeavesOnlyWholeOutputs)
{
    // Outputs large enough that writing one takes a while: the kill lands while one is written.
    for (int i = 0; i < 6; ++i)
        ASSERT_TRUE(noise(2400, 1800, quint32(i + 1)).save(src + QStringLiteral("/p%1.bmp").arg(i), "BMP"));
    for (const char *jobs : {"1", "2"}) {
        SCOPED_TRACE(jobs);
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        // Killed as soon as anything of the second output can be seen in the target.
        ASSERT_TRUE(killedWhen({"watermark", "--dir", QFile::encodeName(src), "--target", QFile::encodeName(out),
                                "--text", "x", "--original-size", "--jobs", jobs},
                               [this] { return entries(out).size() >= 2; }))
            << "the run ended before it could be killed";

        const QStringList left = entries(out);
        EXPECT_FALSE(left.isEmpty());
        for (const QString &name : left) {
            EXPECT_TRUE(name.startsWith(QStringLiteral("awtx-p"))) << name.toStdString();
            expectDecodes(out + QLatin1Char('/') + name);
        }
    }
}

TEST_F(WriteFaults, AGifBuildKilledPartWayLeavesTheOldFileAndNothingElse)
{
    for (int i = 0; i < 12; ++i)
        ASSERT_TRUE(noise(1600, 1200, quint32(i + 40)).save(src + QStringLiteral("/f%1.png").arg(i, 2, 10, QLatin1Char('0')), "PNG"));
    const QString gif = src + QStringLiteral("/Pixmar-anim.gif");
    ASSERT_TRUE(testsupport::writeBytes(gif, QByteArray("the GIF of an earlier build")));
    const QByteArray old = testsupport::readBytes(gif);
    const QStringList before = entries(src);
    // Killed while the frames are being coded.
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(killedWhen({"gif", "--all-formats", "--delay", "10", QFile::encodeName(src)},
                           [&clock] { return clock.elapsed() > 400; }))
        << "the build ended before it could be killed";
    EXPECT_EQ(entries(src), before);
    EXPECT_EQ(testsupport::readBytes(gif), old);
}
