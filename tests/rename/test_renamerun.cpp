// The window-free rename as any host sees it: what it is told, in which order, and what it
// is asked.
#include "rename/FolderSnapshot.h"
#include "rename/RenameJournal.h"
#include "rename/RenameRun.h"
#include "rename/RenameTestSupport.h"
#include "shell/Texts.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Keeps every message and hook as one line of a log; answers questions with `answer`.
class RecordingHost : public renbulk::RenameHost {
public:
    void notice(const QString &text, const QString &) override { log << "notice: " + text; }
    void error(const QString &description) override { log << "error: " + description; }
    void inputFault(const QString &text, const QString &) override { log << "fault: " + text; }
    bool ask(const QString &text, const QString &) override
    {
        log << "ask: " + text;
        return answer;
    }
    void listed(const QString &path) override { paths << path; }
    void renameStarting() override { log << QStringLiteral("starting"); }
    void renamed(const QString &oldPath, const QString &newPath) override { log << oldPath + " -> " + newPath; }
    void renameEnded() override { log << QStringLiteral("ended"); }

    QStringList log;
    QStringList paths;
    bool answer = false;
};

class RenameRunFolder : public ::testing::Test {
protected:
    RenameRunFolder()
    {
        shell::setVarbahasa("eng");
        for (const char *n : {"a.jpg", "b.jpg", "c.jpg"})
            writeFile(at(n), n);
        before = snapshotFolder(dir());
    }
    QString dir() const { return tmp.path(); }
    QString at(const QString &name) const { return tmp.path() + '/' + name; }
    QStringList listing()
    {
        RecordingHost lister;
        RenBulkOutcome o;
        EXPECT_TRUE(renbulk::listFolder(dir() + '/', lister, o));
        return lister.paths;
    }

    QTemporaryDir tmp;
    FolderSnapshot before;
    RecordingHost host;
    RenBulkOutcome outcome;
};

TEST_F(RenameRunFolder, TellsEachFileBetweenStartAndEndThenReportsAndUndoes)
{
    const QStringList paths = listing();
    ASSERT_EQ(paths, QStringList({at("a.jpg"), at("b.jpg"), at("c.jpg")}));
    const renbulk::RenameRun run = renbulk::renameListed(paths, "T", host, outcome);
    EXPECT_EQ(run.end, renbulk::RenameRun::Reported);
    EXPECT_EQ(run.folder, dir());
    EXPECT_EQ(host.log, QStringList({"starting", at("a.jpg") + " -> " + at("T-0000.jpg"),
                                     at("b.jpg") + " -> " + at("T-0001.jpg"),
                                     at("c.jpg") + " -> " + at("T-0002.jpg"), "ended",
                                     "notice: 3 files were renamed."}));
    EXPECT_TRUE(outcome.ran);
    EXPECT_EQ(outcome.renamed, 3);

    EXPECT_TRUE(renbulk::undoRename(dir(), host, outcome));
    EXPECT_TRUE(outcome.undone);
    EXPECT_EQ(snapshotFolder(dir()), before);
}

TEST_F(RenameRunFolder, RefusalsSayWhyEndWithoutAReportAndMoveNothing)
{
    const QStringList paths = listing();
    EXPECT_EQ(renbulk::renameListed(paths, "../up", host, outcome).end, renbulk::RenameRun::BadPrefix);
    {
        renbulk::FolderJournal other(dir());
        ASSERT_TRUE(other.hold());
        const renbulk::RenameRun run = renbulk::renameListed(paths, "T", host, outcome);
        EXPECT_EQ(run.end, renbulk::RenameRun::Refused);
        EXPECT_TRUE(run.folder.isEmpty());
    }
    EXPECT_FALSE(renbulk::undoRename(dir(), host, outcome));   // nothing renamed yet
    ASSERT_EQ(host.log.size(), 3);
    for (const QString &line : std::as_const(host.log))
        EXPECT_TRUE(line.startsWith("fault: ")) << line.toStdString();
    EXPECT_TRUE(outcome.refused);
    EXPECT_FALSE(outcome.ran);
    EXPECT_EQ(snapshotFolder(dir()), before);
}

TEST_F(RenameRunFolder, ARenameCutShortIsLeftRolledBackOrFinishedAsAsked)
{
    ASSERT_TRUE(renametest::renameKilledAfter(dir(), "T", 2));
    const FolderSnapshot cut = snapshotFolder(dir());
    renbulk::settleInterrupted(dir(), renbulk::OnInterrupted::Leave, host, outcome);
    EXPECT_TRUE(outcome.interruptedLeft);
    EXPECT_EQ(snapshotFolder(dir()), cut);

    // Asked and answered No: rolled back.
    host.log.clear();
    renbulk::settleInterrupted(dir(), renbulk::OnInterrupted::Ask, host, outcome);
    ASSERT_EQ(host.log.size(), 2);
    EXPECT_TRUE(host.log[0].startsWith("ask: "));
    EXPECT_FALSE(outcome.recoveryFailed);
    EXPECT_EQ(snapshotFolder(dir()), before);

    // Asked and answered Yes: finished, every file under its new name.
    ASSERT_TRUE(renametest::renameKilledAfter(dir(), "T", 2));
    host.answer = true;
    renbulk::settleInterrupted(dir(), renbulk::OnInterrupted::Ask, host, outcome);
    EXPECT_FALSE(outcome.recoveryFailed);
    EXPECT_EQ(snapshotFolder(dir()),
              renamed(before, {{"a.jpg", "T-0000.jpg"}, {"b.jpg", "T-0001.jpg"}, {"c.jpg", "T-0002.jpg"}}));
}

} // namespace
