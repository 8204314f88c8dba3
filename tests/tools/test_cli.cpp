// `pixmar text` and `pixmar watermark`: the windows driven from the command line.
#include "ToolTestSupport.h"

#include "app/Cli.h"

#include <QDir>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <QTemporaryDir>
#include <csignal>
#include <functional>

using tooltest::maxChannel;

namespace {

class Cli : public ::testing::Test {
protected:
    Cli()
    {
        shell::setVarbahasa(QStringLiteral("eng"));
        src = tmp.path() + QStringLiteral("/src");
        out = tmp.path() + QStringLiteral("/out");
        QDir().mkpath(src);
        QDir().mkpath(out);
    }
    int run(int (*command)(app::CliSession &, const QStringList &), const QStringList &args,
            bool stop = false, std::function<void(int)> onProgress = {})
    {
        app::CliSession session;
        session.onErrorStop = stop;
        if (onProgress)
            session.toolkit.onProgress = [&](int i, int, const QString &) { onProgress(i); };
        const int status = command(session, args);
        messages = session.toolkit.messages;
        return status;
    }
    QStringList outFiles() const { return QDir(out).entryList(QDir::Files, QDir::Name); }
    QString lastText() const { return messages.empty() ? QString() : messages.back().text; }

    QTemporaryDir tmp;
    QString src, out;
    std::vector<platform::ScriptedToolkit::Message> messages;
};

} // namespace

TEST_F(Cli, WatermarkWritesOneFilePerAcceptedPictureWithTheMarkAtTheGivenPixels)
{
    testsupport::writeSolid(src + QStringLiteral("/a.bmp"), 300, 100, Qt::black);
    testsupport::writeSolid(src + QStringLiteral("/b.jpg"), 120, 80, Qt::gray);
    testsupport::writeBytes(src + QStringLiteral("/notes.txt"), "x");
    const int status = run(app::cliWatermark,
                           {QStringLiteral("--dir"), src, QStringLiteral("--target"), out,
                            QStringLiteral("--text"), QStringLiteral("Sample"), QStringLiteral("--level"),
                            QStringLiteral("50%"), QStringLiteral("--at"), QStringLiteral("20,20")});
    EXPECT_EQ(status, app::kExitOk);
    EXPECT_EQ(outFiles(), QStringList({QStringLiteral("awtx-a.bmp"), QStringLiteral("awtx-b.jpg")}));
    EXPECT_TRUE(lastText().startsWith(QStringLiteral("Adding text watermark for 3 file(s) DONE.")));
    const QImage a = QImage(out + QStringLiteral("/awtx-a.bmp")).convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(maxChannel(a), 128);
    EXPECT_EQ(maxChannel(a, QRect(0, 0, 20, 100)), 0);
    EXPECT_EQ(maxChannel(a, QRect(0, 0, 300, 20)), 0);
}

TEST_F(Cli, TextTurnsThePixelsIntoTheTextToolsTwips)
{
    testsupport::writeSolid(src + QStringLiteral("/a.bmp"), 200, 100, Qt::black);
    const int status = run(app::cliText,
                           {QStringLiteral("--file"), src + QStringLiteral("/a.bmp"), QStringLiteral("--target"),
                            out, QStringLiteral("--text"), QStringLiteral("Hi"), QStringLiteral("--color"),
                            QStringLiteral("white"), QStringLiteral("--size"), QStringLiteral("20"),
                            QStringLiteral("--at"), QStringLiteral("30,40")});
    EXPECT_EQ(status, app::kExitOk);
    EXPECT_EQ(outFiles(), QStringList{QStringLiteral("adt-a.bmp")});
    const QImage a = QImage(out + QStringLiteral("/adt-a.bmp")).convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(maxChannel(a), 255);
    EXPECT_EQ(maxChannel(a, QRect(0, 0, 30, 100)), 0);
    EXPECT_EQ(maxChannel(a, QRect(0, 0, 200, 40)), 0);
}

TEST_F(Cli, ExitStatusesTellFaultsFailuresAndStops)
{
    const QStringList base = {QStringLiteral("--dir"), src, QStringLiteral("--text"), QStringLiteral("x")};
    EXPECT_EQ(run(app::cliWatermark, {QStringLiteral("--dir"), src, QStringLiteral("--target"), out}),
              app::kExitInputFault);   // no --text
    EXPECT_EQ(run(app::cliWatermark, base + QStringList{QStringLiteral("--level"), QStringLiteral("15%")}),
              app::kExitInputFault);
    EXPECT_EQ(run(app::cliWatermark, base), app::kExitInputFault);   // no target: the window's check
    EXPECT_EQ(lastText(), QStringLiteral("Please specify Target Folder!"));
    const QStringList withTarget = base + QStringList{QStringLiteral("--target"), out};
    EXPECT_EQ(run(app::cliText, withTarget), app::kExitInputFault);   // nothing in the folder
    EXPECT_EQ(run(app::cliWatermark, {QStringLiteral("--dir"), src + QStringLiteral("/gone"), QStringLiteral("--text"),
                                      QStringLiteral("x"), QStringLiteral("--target"), out}),
              app::kExitInputFault);
    EXPECT_TRUE(outFiles().isEmpty());

    testsupport::writeSolid(src + QStringLiteral("/a.jpg"), 20, 20, Qt::white);
    testsupport::writeBytes(src + QStringLiteral("/b.jpg"), "broken");
    testsupport::writeSolid(src + QStringLiteral("/c.jpg"), 20, 20, Qt::white);
    EXPECT_EQ(run(app::cliWatermark, withTarget), app::kExitFailed);
    EXPECT_TRUE(lastText().startsWith(QStringLiteral("Adding text watermark for 2 file(s) DONE.")));
    QDir(out).removeRecursively();
    QDir().mkpath(out);
    EXPECT_EQ(run(app::cliText, withTarget, true), app::kExitFailed);   // --on-error stop
    EXPECT_EQ(messages.back().buttons, platform::MsgButtons::YesNo);     // no report after it
    EXPECT_EQ(outFiles(), QStringList{QStringLiteral("adt-a.jpg")});
    QFile::remove(src + QStringLiteral("/b.jpg"));
    for (const char *at : {"nan,1", "1,inf", "1e300,0", "1,2,3", "x,1"}) {   // no point on a picture
        EXPECT_EQ(run(app::cliText, withTarget + QStringList{QStringLiteral("--at"), QLatin1String(at)}),
                  app::kExitInputFault) << at;
        EXPECT_TRUE(messages.empty()) << at;   // refused before the window is driven
    }
    EXPECT_EQ(run(app::cliText, withTarget + QStringList{QStringLiteral("--at"), QStringLiteral("-3,2.5")}),
              app::kExitOk);
}

TEST_F(Cli, PicturesWhoseNamesAreNotUtf8AreNamedAndFailTheRun)
{
    testsupport::writeSolid(src + QStringLiteral("/a.jpg"), 20, 20, Qt::white);
    const QByteArray picture = testsupport::readBytes(src + QStringLiteral("/a.jpg"));
    ASSERT_TRUE(testsupport::writeBytesRawName(src, "b\xff.jpg", picture));
    ASSERT_TRUE(testsupport::writeBytesRawName(src, "n\xfe.txt", "x"));
    const QStringList args = {QStringLiteral("--dir"), src, QStringLiteral("--text"), QStringLiteral("x"),
                              QStringLiteral("--target"), out};
    EXPECT_EQ(run(app::cliWatermark, args), app::kExitFailed);
    const QString named = QStringLiteral("File name is not UTF-8, not processed: ") + src +
        QStringLiteral("/b\\xFF.jpg");
    ASSERT_GE(messages.size(), 2u);
    EXPECT_TRUE(std::any_of(messages.begin(), messages.end(), [&](const auto &m) {
        return m.buttons == platform::MsgButtons::YesNo && m.text.startsWith(named);
    }));
    // The other file of another kind is listed as such, by its shown name.
    EXPECT_TRUE(lastText().startsWith(QStringLiteral("Adding text watermark for 2 file(s) DONE.")));
    EXPECT_TRUE(lastText().contains(QStringLiteral("n\\xFE.txt")));
    EXPECT_EQ(outFiles(), QStringList{QStringLiteral("awtx-a.jpg")});
    EXPECT_EQ(testsupport::readBytes(src + QStringLiteral("/a.jpg")), picture);

    // Only such pictures in the folder: not "no picture here", but each one named.
    QFile::remove(src + QStringLiteral("/a.jpg"));
    EXPECT_EQ(run(app::cliText, args), app::kExitFailed);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.startsWith(named + QStringLiteral("\r\n")));
    EXPECT_TRUE(testsupport::existsRawName(src, "b\xff.jpg"));
}

TEST_F(Cli, EachErrorIsPrintedOnceAndANonFileIsRefusedByName)
{
    testsupport::writeBytes(src + QStringLiteral("/a.jpg"), "broken");
    testsupport::writeSolid(src + QStringLiteral("/b.jpg"), 20, 20, Qt::white);
    const QString broken = QStringLiteral("Invalid picture: ") + src + QStringLiteral("/a.jpg");
    {
        testsupport::Captured err(stderr);
        EXPECT_EQ(app::runCommandLine({QStringLiteral("text"), QStringLiteral("--dir"), src,
                                       QStringLiteral("--text"), QStringLiteral("x"),
                                       QStringLiteral("--target"), out}),
                  app::kExitFailed);
        const QString printed = err.text();
        EXPECT_EQ(printed.count(broken), 1) << printed.toStdString();
        EXPECT_TRUE(printed.contains(QStringLiteral("Continue?")));
    }
    EXPECT_EQ(outFiles(), QStringList{QStringLiteral("adt-b.jpg")});

    // A FIFO given as the file: refused at once (as a missing file is), by name, and nothing
    // is written.
    const QString fifo = src + QStringLiteral("/pipe.jpg");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (auto command : {app::cliText, app::cliWatermark, app::cliRotate}) {
        QStringList args = {QStringLiteral("--file"), fifo, QStringLiteral("--target"), out};
        args << (command == app::cliRotate ? QStringLiteral("--plus") : QStringLiteral("--text"));
        if (command != app::cliRotate)
            args << QStringLiteral("x");
        EXPECT_EQ(run(command, args), app::kExitInputFault);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, QStringLiteral("Not a regular file: ") + fifo);
    }
    EXPECT_EQ(outFiles(), QStringList{QStringLiteral("adt-b.jpg")});
}

TEST_F(Cli, SigintOrSigtermStopsAfterTheFileInHandWithExitOne)
{
    for (const char *name : {"a.bmp", "b.bmp", "c.bmp", "d.bmp"})
        testsupport::writeSolid(src + QLatin1Char('/') + QLatin1String(name), 40, 30, Qt::gray);
    const QStringList args = {QStringLiteral("--dir"), src, QStringLiteral("--target"), out,
                              QStringLiteral("--text"), QStringLiteral("x")};
    int signal = SIGINT;
    const auto raiseAt = [&signal](int at) {
        return [&signal, at](int i) {
            if (i == at) {
                std::raise(signal);
                std::raise(signal);   // a second one is the same request
            }
        };
    };
    EXPECT_EQ(run(app::cliWatermark, args, false, raiseAt(2)), app::kExitFailed);
    EXPECT_EQ(lastText(), QStringLiteral("Stopped. 2 of 4 file(s) were done."));
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name),
              (QStringList{QStringLiteral("awtx-a.bmp"), QStringLiteral("awtx-b.bmp")}));

    // The handler is the session's only: afterwards the signal is back to what it was.
    struct sigaction now {};
    sigaction(SIGINT, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL);

    QDir(out).removeRecursively();
    QDir().mkpath(out);
    signal = SIGTERM;
    EXPECT_EQ(run(app::cliText, args, false, raiseAt(3)), app::kExitFailed);
    EXPECT_EQ(outFiles().size(), 3);
    EXPECT_EQ(lastText(), QStringLiteral("Stopped. 3 of 4 file(s) were done."));
    // A signal before the session does not stop the next one.
    EXPECT_EQ(run(app::cliText, args), app::kExitOk);
}

TEST_F(Cli, AStopAskedWhileTheLastFileIsReportedEndsAsACompletedRun)
{
    for (const char *name : {"a.bmp", "b.bmp", "c.bmp"})
        testsupport::writeSolid(src + QLatin1Char('/') + QLatin1String(name), 40, 30, Qt::gray);
    // On worker threads and on the run's own: nothing is left to stop, so the run is done.
    for (const char *jobs : {"1", "2"}) {
        SCOPED_TRACE(jobs);
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        const QStringList args = {QStringLiteral("--dir"), src, QStringLiteral("--target"), out,
                                  QStringLiteral("--text"), QStringLiteral("x"), QStringLiteral("--jobs"),
                                  QLatin1String(jobs)};
        EXPECT_EQ(run(app::cliWatermark, args, false, [](int i) {
                      if (i == 3)
                          std::raise(SIGINT);
                  }),
                  app::kExitOk);
        EXPECT_TRUE(lastText().startsWith(QStringLiteral("Adding text watermark for 3 file(s) DONE.")))
            << lastText().toStdString();
        EXPECT_EQ(outFiles(), (QStringList{QStringLiteral("awtx-a.bmp"), QStringLiteral("awtx-b.bmp"),
                                           QStringLiteral("awtx-c.bmp")}));
    }
}

TEST_F(Cli, ARunClearsTheTemporariesOfEndedRunsAndNeverThoseOfRunningProcesses)
{
    testsupport::writeSolid(src + QStringLiteral("/a.bmp"), 40, 30, Qt::gray);
    // A process that has ended: its number names no process now.
    const pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
    ASSERT_GT(ended, 0);
    ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
    const auto temporary = [this](qint64 pid, const char *name) {
        const QString path = out + QStringLiteral("/.pixmar-part-%1-").arg(pid) + QLatin1String(name);
        EXPECT_TRUE(testsupport::writeBytes(path, "half a picture"));
        return path;
    };
    const QString stale = temporary(ended, "awtx-a.bmp");
    const QString ours = temporary(::getpid(), "in-hand.bmp");      // this very process, at work
    const QString other = temporary(::getppid(), "in-hand.bmp");    // another one still running
    EXPECT_EQ(run(app::cliWatermark, {QStringLiteral("--dir"), src, QStringLiteral("--target"), out,
                                      QStringLiteral("--text"), QStringLiteral("x")}),
              app::kExitOk);
    EXPECT_FALSE(QFile::exists(stale));
    EXPECT_EQ(QString::fromLatin1(testsupport::readBytes(ours)), QStringLiteral("half a picture"));
    EXPECT_EQ(QString::fromLatin1(testsupport::readBytes(other)), QStringLiteral("half a picture"));
    EXPECT_EQ(outFiles(), QStringList{QStringLiteral("awtx-a.bmp")});
}

TEST_F(Cli, AFileTheToolDoesNotTakeIsAFaultOfTheCommandAndAFolderWithNoneOfThemFails)
{
    // A script checks the exit status: a skipped file must never read as a marked one.
    testsupport::writeSolid(src + QStringLiteral("/shot.png"), 60, 40, Qt::gray);
    const QStringList mark = {QStringLiteral("--target"), out, QStringLiteral("--text"), QStringLiteral("x")};
    shell::setVarbahasa(QStringLiteral("bm"));
    EXPECT_EQ(run(app::cliWatermark, QStringList{QStringLiteral("--file"), src + QStringLiteral("/shot.png")} + mark),
              app::kExitInputFault);
    shell::setVarbahasa(QStringLiteral("eng"));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].role, platform::MsgRole::InputFault);
    EXPECT_TRUE(messages[0].text.contains(QStringLiteral("shot.png")));
    EXPECT_TRUE(messages[0].text.contains(QStringLiteral(".bmp, .jpg")));
    EXPECT_TRUE(messages[0].text.contains(QStringLiteral("tiada apa-apa ditulis")));
    EXPECT_TRUE(outFiles().isEmpty());

    // The text tool takes it.
    EXPECT_EQ(run(app::cliText, QStringList{QStringLiteral("--file"), src + QStringLiteral("/shot.png")} + mark),
              app::kExitOk);
    QFile::remove(out + QStringLiteral("/adt-shot.png"));

    // A folder of which the tool takes nothing: the report as ever, and a failure.
    EXPECT_EQ(run(app::cliRotate, {QStringLiteral("--dir"), src, QStringLiteral("--target"), out,
                                   QStringLiteral("--plus")}),
              app::kExitFailed);
    EXPECT_TRUE(lastText().contains(QStringLiteral("shot.png")));
    EXPECT_TRUE(outFiles().isEmpty());
    // One picture it takes is enough for success.
    testsupport::writeSolid(src + QStringLiteral("/a.jpg"), 60, 40, Qt::gray);
    EXPECT_EQ(run(app::cliRotate, {QStringLiteral("--dir"), src, QStringLiteral("--target"), out,
                                   QStringLiteral("--plus")}),
              app::kExitOk);
}

TEST_F(Cli, AMarkThatMissesAPictureIsReportedAndFailsTheCommand)
{
    // A landscape, a small and a portrait picture, clicked near the first one's far corner.
    testsupport::writeSolid(src + QStringLiteral("/a.jpg"), 600, 400, Qt::gray);
    testsupport::writeSolid(src + QStringLiteral("/b.jpg"), 100, 70, Qt::gray);
    testsupport::writeSolid(src + QStringLiteral("/c.jpg"), 300, 450, Qt::gray);
    const QStringList args = {QStringLiteral("--dir"), src, QStringLiteral("--target"), out,
                              QStringLiteral("--text"), QStringLiteral("Copyright"), QStringLiteral("--at"),
                              QStringLiteral("540,380")};
    for (auto command : {app::cliWatermark, app::cliText}) {
        EXPECT_EQ(run(command, args), app::kExitFailed);
        const QString report = lastText();
        // Every output is written all the same.
        EXPECT_EQ(outFiles().size(), 3);
        const QString outside = QStringLiteral("Mark outside the picture (written without it):\r\nb.jpg");
        const QString cut = QStringLiteral("Mark cut at the picture's edge:\r\na.jpg");
        EXPECT_TRUE(report.contains(outside)) << report.toStdString();
        EXPECT_TRUE(report.contains(cut)) << report.toStdString();
        EXPECT_LT(report.indexOf(QStringLiteral("Total invalid file(s) : 0")), report.indexOf(outside));
        for (const QString &f : outFiles())
            QFile::remove(out + QLatin1Char('/') + f);
    }
    // Clicked where the mark fits on every picture, the report is as it always was.
    EXPECT_EQ(run(app::cliWatermark, {QStringLiteral("--dir"), src, QStringLiteral("--target"), out,
                                      QStringLiteral("--text"), QStringLiteral("c"), QStringLiteral("--at"),
                                      QStringLiteral("2,2")}),
              app::kExitOk);
    EXPECT_TRUE(lastText().endsWith(QStringLiteral("Total invalid file(s) : 0"))) << lastText().toStdString();
}
