#include "rename/RenamePlan.h"
#include "rename/FolderSnapshot.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace renbulk;

namespace {

class RenamePlanFolder : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    QString dir() const { return tmp.path() + QLatin1Char('/'); }
    QString at(const QString &name) const { return dir() + name; }
    // Fills the folder with files whose bytes name them, returns their paths in the order given.
    QStringList make(std::initializer_list<const char *> names)
    {
        QStringList paths;
        for (const char *n : names) {
            writeFile(at(QString::fromUtf8(n)), QByteArray("content of ") + n);
            paths << at(QString::fromUtf8(n));
        }
        return paths;
    }
};

} // namespace

TEST(RenameNaming, KeepsEverythingAfterTheFirstDotAndNumbersWithFourDigits)
{
    EXPECT_EQ(keptPart("photo.final.JPG"), "final.JPG");
    EXPECT_EQ(keptPart("readme"), "readme");
    EXPECT_EQ(keptPart("trailing."), "");
    EXPECT_EQ(runningNumber(0), "0000");
    EXPECT_EQ(runningNumber(12), "0012");
    EXPECT_EQ(runningNumber(9999), "9999");
    EXPECT_EQ(newFileName("Trip", 2, "readme"), "Trip-0002.readme");
    EXPECT_EQ(newFileName("", 0, "a.jpg"), "-0000.jpg");
    EXPECT_EQ(effectivePrefix("  Trip \t"), "Trip");
}

TEST(RenameNaming, RefusesPrefixesThatWouldLeaveTheFolder)
{
    EXPECT_TRUE(prefixIsSafe("Trip_2024-&"));
    EXPECT_TRUE(prefixIsSafe(""));
    EXPECT_TRUE(prefixIsSafe(".."));   // "..-0000.jpg" is a plain name in the same folder
    EXPECT_FALSE(prefixIsSafe("../Trip"));
    EXPECT_FALSE(prefixIsSafe("/tmp/x"));
    EXPECT_FALSE(prefixIsSafe("..\\Trip"));
    EXPECT_FALSE(prefixIsSafe(QStringLiteral("a") + QChar(0) + "b"));
    EXPECT_FALSE(prefixIsSafe("a\nb"));
}

TEST(RenamePlanning, MapsEveryEntryInListOrderUpToTheLimit)
{
    const RenamePlan plan = planRename({"/p/a.jpg", "/p/b.JPG", "/p/readme"}, " Trip ");
    ASSERT_EQ(plan.entries.size(), 3u);
    EXPECT_EQ(plan.entries[0].newPath, "/p/Trip-0000.jpg");
    EXPECT_EQ(plan.entries[1].newPath, "/p/Trip-0001.JPG");
    EXPECT_EQ(plan.entries[2].newPath, "/p/Trip-0002.readme");
    EXPECT_EQ(plan.entries[2].oldPath, "/p/readme");
    EXPECT_FALSE(plan.limitReached);

    QStringList many;
    for (int i = 0; i <= kMaxFiles; ++i)
        many << QStringLiteral("/p/f%1.txt").arg(i);
    const RenamePlan capped = planRename(many, "X");
    EXPECT_EQ(capped.entries.size(), size_t(kMaxFiles));
    EXPECT_EQ(capped.entries.back().newPath, "/p/X-9999.txt");
    EXPECT_TRUE(capped.limitReached);
    many.removeLast();
    EXPECT_FALSE(planRename(many, "X").limitReached);
}

TEST_F(RenamePlanFolder, RenamesInPlaceKeepingEveryByte)
{
    const QStringList paths = make({"a.jpg", "b.JPG", "readme"});
    const FolderSnapshot before = snapshotFolder(dir());
    const RenamePlan plan = planRename(paths, "Trip");
    ASSERT_FALSE(findClash(plan));
    QStringList seen;
    const RenameOutcome out = executePlan(plan, [&](qsizetype i, const QString &p) {
        EXPECT_EQ(i, seen.size());
        seen << p;
    });
    EXPECT_FALSE(out.failed);
    EXPECT_EQ(out.renamed, 3);
    EXPECT_EQ(seen, QStringList({at("Trip-0000.jpg"), at("Trip-0001.JPG"), at("Trip-0002.readme")}));
    EXPECT_EQ(snapshotFolder(dir()), renamed(before, {{"a.jpg", "Trip-0000.jpg"},
                                                      {"b.JPG", "Trip-0001.JPG"},
                                                      {"readme", "Trip-0002.readme"}}));
}

TEST_F(RenamePlanFolder, FindsNamesHeldOutsideTheRun)
{
    const QStringList paths = make({"a.jpg", "b.jpg"});
    writeFile(at(".hidden"), "h");
    QDir(dir()).mkdir("Trip-0001.jpg");   // a folder holds the second new name
    const RenamePlan plan = planRename(paths, "Trip");
    const auto clash = findClash(plan);
    ASSERT_TRUE(clash);
    EXPECT_EQ(clash->wantedBy, at("b.jpg"));
    EXPECT_EQ(clash->takenBy, at("Trip-0001.jpg"));

    // A dangling link holds its name too.
    QDir(dir()).rmdir("Trip-0001.jpg");
    ASSERT_EQ(::symlink("nowhere", QFile::encodeName(at("Trip-0000.jpg")).constData()), 0);
    const auto linkClash = findClash(plan);
    ASSERT_TRUE(linkClash);
    EXPECT_EQ(linkClash->wantedBy, at("a.jpg"));

    // A file of the listing beyond the run is outside it as well.
    QFile::remove(at("Trip-0000.jpg"));
    QStringList capped;
    for (int i = 0; i < kMaxFiles; ++i)
        capped << at(QStringLiteral("f%1").arg(i, 5, 10, QLatin1Char('0')));
    capped << at("Y-0000.f00000");
    writeFile(capped.last(), "beyond the limit");
    const auto beyond = findClash(planRename(capped, "Y"));
    ASSERT_TRUE(beyond);
    EXPECT_EQ(beyond->takenBy, capped.last());
}

TEST_F(RenamePlanFolder, FreesNamesHeldByFilesOfTheRun)
{
    // The second file's new name is the third file's old one.
    const QStringList paths = make({"a.jpg", "b.jpg", "Trip-0001.jpg"});
    const FolderSnapshot before = snapshotFolder(dir());
    const RenamePlan plan = planRename(paths, "Trip");
    ASSERT_FALSE(findClash(plan));
    const RenameOutcome out = executePlan(plan);
    EXPECT_FALSE(out.failed);
    EXPECT_EQ(out.renamed, 3);
    EXPECT_EQ(snapshotFolder(dir()), renamed(before, {{"a.jpg", "Trip-0000.jpg"},
                                                      {"b.jpg", "Trip-0001.jpg"},
                                                      {"Trip-0001.jpg", "Trip-0002.jpg"}}));
}

TEST_F(RenamePlanFolder, SwapsTwoNames)
{
    const QStringList paths = make({"P-0001.x", "P-0000.x"});
    const FolderSnapshot before = snapshotFolder(dir());
    const RenamePlan plan = planRename(paths, "P");
    ASSERT_FALSE(findClash(plan));
    EXPECT_FALSE(executePlan(plan).failed);
    const FolderSnapshot after = snapshotFolder(dir());
    EXPECT_EQ(after.at("P-0000.x"), before.at("P-0001.x"));
    EXPECT_EQ(after.at("P-0001.x"), before.at("P-0000.x"));
    EXPECT_EQ(after.size(), 2u);

    // A file already under its new name stays.
    const RenamePlan same = planRename({at("P-0000.x")}, "P");
    ASSERT_FALSE(findClash(same));
    EXPECT_EQ(executePlan(same).renamed, 1);
    EXPECT_EQ(snapshotFolder(dir()), after);
}

TEST_F(RenamePlanFolder, AFailureMidwayPutsEveryFileBack)
{
    const QStringList paths = make({"a.jpg", "b.jpg", "Trip-0001.jpg", "c.jpg", "z.jpg"});
    const RenamePlan plan = planRename(paths, "Trip");
    ASSERT_FALSE(findClash(plan));
    QFile::remove(at("z.jpg"));   // vanished since the listing
    const FolderSnapshot before = snapshotFolder(dir());
    qsizetype reported = 0;
    const RenameOutcome out = executePlan(plan, [&](qsizetype, const QString &) { ++reported; });
    EXPECT_TRUE(out.failed);
    EXPECT_EQ(out.renamed, 0);
    EXPECT_EQ(out.failedPath, at("z.jpg"));
    EXPECT_FALSE(out.description.isEmpty());
    EXPECT_TRUE(out.notRestored.empty());
    EXPECT_EQ(reported, 4);
    // Every file under its old name, nothing under a temporary one.
    EXPECT_EQ(snapshotFolder(dir()), before);
}

TEST_F(RenamePlanFolder, UndoNeverReplacesAFileThatTookAnOldName)
{
    const QStringList paths = make({"a.jpg", "b.jpg", "c.jpg"});
    const RenamePlan plan = planRename(paths, "Q");
    FolderSnapshot expected;
    const RenameOutcome out = executePlan(plan, [&](qsizetype i, const QString &) {
        if (i != 1)
            return;
        // Someone writes a new a.jpg and removes c.jpg while the run goes on.
        writeFile(at("a.jpg"), "newcomer");
        QFile::remove(at("c.jpg"));
        expected = renamed(snapshotFolder(dir()), {{"Q-0001.jpg", "b.jpg"}});
    });
    EXPECT_TRUE(out.failed);
    ASSERT_EQ(out.notRestored.size(), 1u);
    EXPECT_EQ(out.notRestored[0].first, at("a.jpg"));
    EXPECT_EQ(out.notRestored[0].second, at("Q-0000.jpg"));
    EXPECT_EQ(snapshotFolder(dir()), expected);
    EXPECT_EQ(expected.at("a.jpg"), "newcomer");
    EXPECT_EQ(expected.at("Q-0000.jpg"), "content of a.jpg");
}
