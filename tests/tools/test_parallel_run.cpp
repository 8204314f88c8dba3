// Bulk runs on worker threads: whatever the thread count, the same files with the same bytes,
// the same questions in the same order and the same report; what was worked ahead of a "No"
// or a stop never reaches the target.
#include "ToolTestSupport.h"

#include "app/Cli.h"
#include "platform/Progress.h"

#include <QCryptographicHash>
#include <QDir>
#include <QTemporaryDir>

#include <map>

namespace {

using Command = int (*)(app::CliSession &, const QStringList &);

struct RunRecord {
    int status = 0;
    QStringList messages;                 // every box, in order
    std::map<QString, QByteArray> files;  // target entries (hidden ones too) and their digests
    bool operator==(const RunRecord &) const = default;
};

class ParallelRun : public ::testing::Test {
protected:
    ParallelRun()
    {
        shell::setVarbahasa(QStringLiteral("eng"));
        src = tmp.path() + QStringLiteral("/src");
        QDir().mkpath(src);
    }

    // A folder a user has: photographs of several sizes (some reduced in both passes of the
    // fit), other formats, a file of another kind and broken pictures among them.
    void fillSource()
    {
        int n = 0;
        for (QSize s : {QSize(2400, 1700), QSize(640, 480), QSize(1700, 2600), QSize(333, 777),
                        QSize(3000, 900), QSize(48, 36)})
            testsupport::writeBytes(src + QStringLiteral("/photo%1.jpg").arg(++n),
                                    testsupport::jpegBytes(s.width(), s.height()));
        testsupport::writeSolid(src + QStringLiteral("/plain.bmp"), 900, 700, Qt::darkCyan);
        testsupport::writeSolid(src + QStringLiteral("/shot.png"), 1200, 800, Qt::darkRed);
        testsupport::writeBytes(src + QStringLiteral("/notes.txt"), "not a picture");
        broken = tooltest::writeBrokenPictures(src);
    }

    RunRecord run(Command command, QStringList args, const QString &target, bool stopOnError = false,
                  int stopAt = 0)
    {
        QDir().mkpath(target);
        app::CliSession session;
        session.onErrorStop = stopOnError;
        if (stopAt)
            session.toolkit.onProgress = [stopAt](int i, int, const QString &) {
                if (i == stopAt)
                    platform::requestStop();
            };
        RunRecord r;
        r.status = command(session, args << QStringLiteral("--target") << target);
        for (const auto &m : session.toolkit.messages)
            r.messages << m.title + QStringLiteral(": ") + QString(m.text).replace(target, QStringLiteral("T"));
        for (const QString &name : QDir(target).entryList(QDir::Files | QDir::Hidden | QDir::System))
            r.files[name] = QCryptographicHash::hash(testsupport::readBytes(target + QLatin1Char('/') + name),
                                                     QCryptographicHash::Md5);
        return r;
    }

    QString target(const QString &name) const { return tmp.path() + QLatin1Char('/') + name; }

    QTemporaryDir tmp;
    QString src;
    QStringList broken;
};

struct ToolArgs {
    const char *name;
    Command command;
    QStringList args;
};

std::vector<ToolArgs> tools_(const QString &logo)
{
    return {
        {"text", app::cliText, {"--text", "Sample", "--size", "30", "--color", "yellow", "--at", "40,30"}},
        {"watermark", app::cliWatermark, {"--text", "Sample", "--level", "30%", "--at", "20,20"}},
        {"logo", app::cliLogo, {"--logo", logo, "--level", "50%", "--at", "10,15"}},
        {"rotate", app::cliRotate, {"--plus"}},
    };
}

} // namespace

TEST_F(ParallelRun, EveryToolGivesTheSameFilesQuestionsAndReportWhateverTheThreadCount)
{
    fillSource();
    const QString logo = tmp.path() + QStringLiteral("/logo.png");
    testsupport::writeSolid(logo, 120, 60, Qt::white);
    // The outputs at the pictures' own size go through other steps on the workers.
    for (const QStringList &output : {QStringList{}, QStringList{"--original-size", "--quality", "90"}})
    for (const ToolArgs &t : tools_(logo)) {
        SCOPED_TRACE(t.name);
        SCOPED_TRACE(output.join(' ').toStdString());
        const QString tag = QLatin1String(t.name) + QString::number(output.size());
        const QStringList bulk = QStringList{"--dir", src} + t.args + output;
        const RunRecord one = run(t.command, bulk + QStringList{"--jobs", "1"}, target(tag + QStringLiteral("-1")));
        const RunRecord three = run(t.command, bulk + QStringList{"--jobs", "3"}, target(tag + QStringLiteral("-3")));
        EXPECT_EQ(one.status, app::kExitFailed);   // the broken pictures failed
        EXPECT_EQ(one.messages.filter(QStringLiteral("Continue?")).size(), broken.size());
        EXPECT_GE(one.files.size(), 7u);   // six photographs and the bitmap, the PNG where taken
        EXPECT_TRUE(one == three);
        EXPECT_EQ(one.messages, three.messages);

        // A picture on its own is worked on the run's own thread: the same bytes again.
        for (const QString &name : {QStringLiteral("photo1.jpg"), QStringLiteral("photo3.jpg"),
                                    QStringLiteral("plain.bmp")}) {
            const RunRecord single = run(t.command, QStringList{"--file", src + QLatin1Char('/') + name} + t.args + output,
                                         target(tag + QStringLiteral("-") + name));
            ASSERT_EQ(single.files.size(), 1u) << name.toStdString();
            EXPECT_EQ(single.files.begin()->second, three.files.at(single.files.begin()->first))
                << name.toStdString();
        }
    }
}

TEST_F(ParallelRun, WorkDoneAheadOfANoOrAStopIsDroppedAndNothingTemporaryRemains)
{
    fillSource();
    const QStringList args = {"--dir", src, "--text", "x", "--at", "5,5"};
    struct Case {
        const char *name;
        bool no;       // "No" at the first broken picture
        int stopAt;    // a stop at this entry
        size_t written;
    };
    // The listing: empty.bmp, huge.bmp, notes.txt, photo1 … photo6, plain.bmp, shot.png, …
    for (const Case &c : {Case{"no", true, 0, 0}, Case{"stop6", false, 6, 3}, Case{"stop10", false, 10, 7}}) {
        SCOPED_TRACE(c.name);
        const RunRecord one = run(app::cliWatermark, args + QStringList{"--jobs", "1"},
                                  target(QLatin1String(c.name) + QStringLiteral("-1")), c.no, c.stopAt);
        platform::clearStop();
        const RunRecord four = run(app::cliWatermark, args + QStringList{"--jobs", "4"},
                                   target(QLatin1String(c.name) + QStringLiteral("-4")), c.no, c.stopAt);
        platform::clearStop();
        EXPECT_EQ(four.status, app::kExitFailed);
        EXPECT_EQ(four.files.size(), c.written);
        for (const auto &f : four.files)
            EXPECT_FALSE(f.first.startsWith(QLatin1Char('.'))) << f.first.toStdString();
        EXPECT_TRUE(one == four);
        EXPECT_EQ(one.messages, four.messages);
        if (c.stopAt)
            EXPECT_TRUE(four.messages.back().contains(QStringLiteral("Stopped.")));
    }
}

TEST_F(ParallelRun, AThreadCountOutsideTheRangeIsRefused)
{
    testsupport::writeSolid(src + QStringLiteral("/a.jpg"), 40, 30, Qt::gray);
    for (const char *bad : {"0", "-2", "x", "65"})
        EXPECT_EQ(run(app::cliWatermark, {"--dir", src, "--text", "x", "--jobs", bad}, target("bad")).status,
                  app::kExitInputFault)
            << bad;
}
