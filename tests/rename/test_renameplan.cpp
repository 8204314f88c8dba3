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
