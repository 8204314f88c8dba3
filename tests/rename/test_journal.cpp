// The journal of a folder's last rename: what it records, the journals it refuses, undoing,
// and what it makes of a rename killed at any point.
#include "app/Cli.h"
#include "rename/FolderSnapshot.h"
#include "rename/RenameJournal.h"
#include "rename/RenameTestSupport.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cerrno>
#include <cstring>
#include <random>
#include <sys/mount.h>
#include <unistd.h>

using testsupport::Captured;

namespace {

class JournalFolder : public ::testing::Test {
protected:
    ~JournalFolder() override { testsupport::removeRawNames(tmp.path()); }
    QString dir() const { return tmp.path(); }
    QString at(const QString &name) const { return tmp.path() + QLatin1Char('/') + name; }
    void make(std::initializer_list<const char *> names)
    {
        for (const char *n : names)
            writeFile(at(QString::fromUtf8(n)), QByteArray("bytes of ") + n);
    }
    // Runs a command line, keeping what it printed.
    int run(const QStringList &args)
    {
        Captured o(stdout), e(stderr);
        const int status = app::runCommandLine(args);
        out = o.text();
        err = e.text();
        return status;
    }
    QString journalPath() const { return renbulk::FolderJournal(dir()).journalPath(); }
    QByteArray journalBytes() const { return testsupport::readBytes(journalPath()); }

    QTemporaryDir tmp;
    QString out, err;
};

renbulk::Journal sampleJournal()
{
    renbulk::Journal j;
    j.folder = QStringLiteral("/home/u/Pictures/trip");
    j.folderInode = 1234;
    j.user = 1000;
    j.state = renbulk::JournalState::Renaming;
    // Names a line-based record could trip over: blanks, "%", "*", a leading dash, stray bytes.
    j.files.push_back({"a b.jpg", ".pixmar-rename-1-1", "", "T-0000.jpg", {11, 5, -7, 3}});
    j.files.push_back({"100%*.x", "", "", "T-0001.x", {12, 0, 1700000000123456789, 0}});
    j.files.push_back({platform::pathFromNative("-caf\xe9.png"), "", "-caf~1.png", "T-0002.png", {13, 9, 0, 42}});
    return j;
}

} // namespace

TEST(JournalFormat, ReadsBackWhatItWroteAndRefusesEveryDamage)
{
    const renbulk::Journal j = sampleJournal();
    const QByteArray bytes = renbulk::serializeJournal(j);
    const auto back = renbulk::parseJournal(bytes);
    ASSERT_TRUE(back.journal);
    EXPECT_EQ(back.journal->folder, j.folder);
    EXPECT_EQ(back.journal->folderInode, j.folderInode);
    EXPECT_EQ(back.journal->user, j.user);
    EXPECT_EQ(back.journal->state, j.state);
    ASSERT_EQ(back.journal->files.size(), j.files.size());
    for (size_t i = 0; i < j.files.size(); ++i) {
        SCOPED_TRACE(i);
        const auto &a = j.files[i], &b = back.journal->files[i];
        EXPECT_EQ(platform::nativePath(b.oldName), platform::nativePath(a.oldName));
        EXPECT_EQ(b.tempName, a.tempName);
        EXPECT_EQ(b.rescueName, a.rescueName);
        EXPECT_EQ(b.newName, a.newName);
        EXPECT_EQ(b.id.inode, a.id.inode);
        EXPECT_EQ(b.id.size, a.id.size);
        EXPECT_EQ(b.id.mtimeNs, a.id.mtimeNs);
        EXPECT_EQ(b.id.birthNs, a.id.birthNs);
    }

    // Cut anywhere, it is truncated; one byte changed anywhere, it is damaged.
    for (qsizetype cut : {qsizetype(0), qsizetype(10), bytes.size() / 2, bytes.size() - 1}) {
        SCOPED_TRACE(cut);
        const auto r = renbulk::parseJournal(bytes.left(cut));
        EXPECT_FALSE(r.journal);
        EXPECT_EQ(r.fault, renbulk::JournalFault::Truncated);
    }
    const qsizetype lastLine = bytes.lastIndexOf("end ");
    EXPECT_EQ(renbulk::parseJournal(bytes.left(lastLine)).fault, renbulk::JournalFault::Truncated);
    for (qsizetype at : {qsizetype(3), bytes.indexOf("T-0001"), lastLine + 6}) {
        QByteArray damaged = bytes;
        damaged[at] = damaged[at] ^ 0x01;
        const auto r = renbulk::parseJournal(damaged);
        EXPECT_FALSE(r.journal) << at;
        EXPECT_EQ(r.fault, renbulk::JournalFault::Corrupt) << at;
    }

    // Its state changed in place reads back as the same journal in that state.
    const auto done = renbulk::parseJournal(renbulk::withState(bytes, renbulk::JournalState::Done));
    ASSERT_TRUE(done.journal);
    EXPECT_EQ(done.journal->state, renbulk::JournalState::Done);
    EXPECT_EQ(renbulk::withState(bytes, renbulk::JournalState::Done),
              renbulk::serializeJournal([&] { auto d = j; d.state = renbulk::JournalState::Done; return d; }()));

    // Whole and checksummed, yet impossible for a run to have written: still refused.
    auto impossible = [](renbulk::Journal bad) {
        return renbulk::parseJournal(renbulk::serializeJournal(bad)).journal.has_value();
    };
    renbulk::Journal twoUnderOneName = j;
    twoUnderOneName.files[1].oldName = j.files[0].oldName;
    EXPECT_FALSE(impossible(twoUnderOneName));
    renbulk::Journal notOurTemp = j;
    notOurTemp.files[0].tempName = "holiday.jpg";
    EXPECT_FALSE(impossible(notOurTemp));
    renbulk::Journal leavesTheFolder = j;
    leavesTheFolder.files[2].newName = "../T-0002.png";
    EXPECT_FALSE(impossible(leavesTheFolder));
    renbulk::Journal relative = j;
    relative.folder = "Pictures/trip";
    EXPECT_FALSE(impossible(relative));
}

TEST_F(JournalFolder, RenameThenUndoGivesBackEveryNameExactly)
{
    // Blanks, dots, leading dashes, stray bytes, and old names that are other files' new ones
    // (P-0001.x and P-0002.x move on through temporary names).
    make({"a b.jpg", "photo.final.JPG", "-rf", "--help.txt", "x...dots", "P-0001.x", "P-0002.x"});
    ASSERT_TRUE(testsupport::writeBytesRawName(dir(), "caf\xe9 \xff.png", "latin-1"));
    const FolderSnapshot before = snapshotFolder(dir());

    EXPECT_EQ(run({"rename", dir(), "--prefix", "P"}), app::kExitOk) << err.toStdString();
    EXPECT_TRUE(out.endsWith("8 files were renamed.\n"));
    EXPECT_TRUE(out.contains(dir() + "/P-0003.png\n")) << out.toStdString();
    const FolderSnapshot renamedFolder = snapshotFolder(dir());
    EXPECT_EQ(renamedFolder.size(), before.size());
    EXPECT_EQ(renamedFolder.count("P-0000.jpg"), 0u);
    EXPECT_EQ(renamedFolder.count("P-0007...dots"), 1u);   // everything after the first dot
    EXPECT_TRUE(QFile::exists(journalPath()));

    EXPECT_EQ(run({"rename", "--undo", dir()}), app::kExitOk) << err.toStdString();
    EXPECT_EQ(out, "8 files in " + dir() + " have their old names again.\n");
    EXPECT_EQ(snapshotFolder(dir()), before);
    EXPECT_TRUE(testsupport::existsRawName(dir(), "caf\xe9 \xff.png"));
    // A completed undo removes the journal: there is nothing left to undo.
    EXPECT_FALSE(QFile::exists(journalPath()));
    EXPECT_EQ(run({"rename", "--undo", dir()}), app::kExitInputFault);
    EXPECT_EQ(err, "There is no rename to undo in " + dir() + ".\n");
    EXPECT_EQ(snapshotFolder(dir()), before);
}

TEST_F(JournalFolder, UndoIsRefusedWithNothingMovedWhenAFileChangedOrANameIsTaken)
{
    make({"a.jpg", "b.jpg", "c.jpg"});
    ASSERT_EQ(run({"rename", dir(), "--prefix", "T"}), app::kExitOk);
    const QByteArray journal = journalBytes();
    auto expectRefused = [&](const QString &says) {
        const FolderSnapshot now = snapshotFolder(dir());
        EXPECT_EQ(run({"rename", "--undo", dir()}), app::kExitInputFault);
        EXPECT_TRUE(err.contains(says)) << err.toStdString();
        EXPECT_EQ(out, "");
        EXPECT_EQ(snapshotFolder(dir()), now);
        EXPECT_EQ(journalBytes(), journal);   // still there for when the folder is mended
    };
    // Renamed since.
    ASSERT_TRUE(QFile::rename(at("T-0001.jpg"), at("elsewhere.jpg")));
    expectRefused(at("T-0001.jpg") + " has been renamed, removed or replaced since the rename. Nothing was undone.");
    QFile::rename(at("elsewhere.jpg"), at("T-0001.jpg"));
    // A name they need back taken by a newcomer.
    writeFile(at("a.jpg"), "newcomer");
    expectRefused(at("T-0000.jpg") + " cannot be given the name " + at("a.jpg")
                  + " because that name is taken. Nothing was changed.");
    QFile::remove(at("a.jpg"));
    // Replaced: another file under the same name (which often gets the inode number the
    // removed one had).
    QFile::remove(at("T-0002.jpg"));
    writeFile(at("T-0002.jpg"), "bytes of c.jpg");
    expectRefused(at("T-0002.jpg") + " has been renamed, removed or replaced");
    // Removed.
    QFile::remove(at("T-0002.jpg"));
    expectRefused(at("T-0002.jpg") + " has been renamed, removed or replaced");
}

TEST_F(JournalFolder, TheJournalHoldsOnlyTheLastRenameAndARunThatChangesNothingKeepsIt)
{
    make({"a.jpg", "b.jpg"});
    ASSERT_EQ(run({"rename", dir(), "--prefix", "One"}), app::kExitOk);
    const FolderSnapshot afterFirst = snapshotFolder(dir());
    ASSERT_EQ(run({"rename", dir(), "--prefix", "Two"}), app::kExitOk);
    const QByteArray second = journalBytes();
    const auto recorded = renbulk::parseJournal(second).journal;
    ASSERT_TRUE(recorded);
    ASSERT_EQ(recorded->files.size(), 2u);
    for (const renbulk::JournalFile &f : recorded->files) {
        EXPECT_TRUE(f.oldName.startsWith("One-"));
        EXPECT_TRUE(f.newName.startsWith("Two-"));
    }

    // A run refused for a taken name writes no journal; one that fails midway, every file
    // back, puts the journal of the run before back.
    QDir(dir()).mkdir("Three-0001.jpg");   // a folder: not in the run, yet it holds the name
    EXPECT_EQ(run({"rename", dir(), "--prefix", "Three"}), app::kExitInputFault);
    QDir(dir()).rmdir("Three-0001.jpg");
    EXPECT_EQ(journalBytes(), second);
    {
        renbulk::FolderJournal journal(dir());
        ASSERT_TRUE(journal.hold());
        // Another program takes the second file away after the first move.
        const auto outcome = renbulk::executeJournaled(renametest::planFolder(dir(), "Three"), journal, {}, {},
                                                       [&] { QFile::rename(at("Two-0001.jpg"), at("away.jpg")); });
        EXPECT_TRUE(outcome.failed);
        EXPECT_EQ(outcome.failedPath, at("Two-0001.jpg"));
        EXPECT_TRUE(outcome.notRestored.empty());
    }
    EXPECT_EQ(journalBytes(), second);
    QFile::rename(at("away.jpg"), at("Two-0001.jpg"));

    // A plan that reaches into another folder could not be recorded: it does not start.
    {
        QTemporaryDir other;
        writeFile(other.path() + "/x.jpg", "x");
        renbulk::FolderJournal journal(dir());
        ASSERT_TRUE(journal.hold());
        const auto outcome = renbulk::executeJournaled(
            renbulk::planRename({at("Two-0000.jpg"), other.path() + "/x.jpg"}, "Four"), journal);
        EXPECT_FALSE(outcome.journalError.isEmpty());
        EXPECT_TRUE(QFile::exists(other.path() + "/x.jpg"));
        EXPECT_TRUE(QFile::exists(at("Two-0000.jpg")));
    }
    EXPECT_EQ(journalBytes(), second);

    // Undo goes back to the first rename's names, not to the original ones.
    ASSERT_EQ(run({"rename", "--undo", dir()}), app::kExitOk) << err.toStdString();
    EXPECT_EQ(snapshotFolder(dir()), afterFirst);
    EXPECT_EQ(run({"rename", "--undo", dir()}), app::kExitInputFault);
}

TEST_F(JournalFolder, RefusesACorruptTruncatedForeignOrOtherUsersJournalAndActsOnNothing)
{
    make({"a.jpg", "b.jpg"});
    ASSERT_EQ(run({"rename", dir(), "--prefix", "T"}), app::kExitOk);
    const QByteArray good = journalBytes();
    const FolderSnapshot renamedFolder = snapshotFolder(dir());

    QTemporaryDir other;
    writeFile(other.path() + "/x.jpg", "x");
    ASSERT_EQ(run({"rename", other.path(), "--prefix", "X"}), app::kExitOk);
    const QByteArray foreign = testsupport::readBytes(renbulk::FolderJournal(other.path()).journalPath());

    renbulk::Journal otherUser = *renbulk::parseJournal(good).journal;
    otherUser.user += 1;
    const struct {
        const char *what;
        QByteArray bytes;
        QString says;
    } cases[] = {
        {"truncated", good.left(good.size() - 20), "because it is cut short before its last line."},
        {"corrupt", QByteArray(good).replace("T-0001", "T-0009"), "because it is damaged"},
        {"another folder's", foreign, "because it belongs to another folder (" + other.path() + ")."},
        {"another user's", renbulk::serializeJournal(otherUser), "because it belongs to another user."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(journalPath(), c.bytes);
        for (const QStringList &args : {QStringList{"rename", "--undo", dir()},
                                        QStringList{"rename", dir(), "--prefix", "Z"},
                                        QStringList{"rename", dir(), "--prefix", "Z", "--dry-run"}}) {
            EXPECT_EQ(run(args), app::kExitInputFault) << args.join(' ').toStdString();
            EXPECT_TRUE(err.startsWith("The rename journal of " + dir() + " was not used " + c.says))
                << err.toStdString();
            EXPECT_TRUE(err.contains("Move " + journalPath() + " elsewhere")) << err.toStdString();
            EXPECT_EQ(snapshotFolder(dir()), renamedFolder);
            EXPECT_EQ(journalBytes(), c.bytes);
        }
    }
    // A journal file that another user owns is refused whatever it says.
    writeFile(journalPath(), good);
    ASSERT_EQ(::chown(QFile::encodeName(journalPath()).constData(), 4321, 4321), 0);
    EXPECT_EQ(run({"rename", "--undo", dir()}), app::kExitInputFault);
    EXPECT_TRUE(err.contains("because it belongs to another user.")) << err.toStdString();
    EXPECT_EQ(snapshotFolder(dir()), renamedFolder);
}

TEST_F(JournalFolder, ASecondRenameOfTheFolderIsRefusedWhileTheFirstHoldsIt)
{
    make({"a.jpg", "b.jpg", "c.jpg"});
    const FolderSnapshot before = snapshotFolder(dir());
    {
        renbulk::FolderJournal first(dir());
        ASSERT_TRUE(first.hold());
        for (const QStringList &args : {QStringList{"rename", dir(), "--prefix", "T"},
                                        QStringList{"rename", "--undo", dir()}}) {
            EXPECT_EQ(run(args), app::kExitInputFault);
            EXPECT_TRUE(err.contains("The folder " + dir() + " is being renamed by another Pixmar. Nothing was "
                                     "changed"))
                << err.toStdString();
            EXPECT_EQ(snapshotFolder(dir()), before);
        }
        // The same folder by another path is the same folder.
        QTemporaryDir links;
        ASSERT_TRUE(QFile::link(dir(), links.path() + "/alias"));
        EXPECT_EQ(run({"rename", links.path() + "/alias", "--prefix", "T"}), app::kExitInputFault);
        EXPECT_EQ(snapshotFolder(dir()), before);
    }
    // Let go of, the folder renames.
    EXPECT_EQ(run({"rename", dir(), "--prefix", "T"}), app::kExitOk);
}

TEST_F(JournalFolder, ARenameKilledAtTwentyRandomPointsIsRolledBackEntirelyByUndo)
{
    // 500 files whose old names the other 500 want: a run of 1500 moves, a third of them to
    // temporary names, so kills land before, among and after the temporary moves.
    constexpr int kHalf = 500;
    for (int i = 0; i < kHalf; ++i) {
        writeFile(at(QStringLiteral("a %1.jpg").arg(i, 4, 10, QLatin1Char('0'))), QByteArray::number(i));
        writeFile(at(QStringLiteral("K-%1.jpg").arg(i, 4, 10, QLatin1Char('0'))), "K" + QByteArray::number(i));
    }
    const FolderSnapshot before = snapshotFolder(dir());
    const int moves = renametest::movesOf(renametest::planFolder(dir(), "K"));
    ASSERT_EQ(moves, 3 * kHalf);
    std::random_device seedSource;
    const unsigned seed = seedSource();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    int leftUnderTemporaryNames = 0;
    // Each round starts from the folder the undo of the round before gave back.
    for (int round = 0; round < 20; ++round) {
        const int killAfter = std::uniform_int_distribution<int>(1, moves)(rng);
        SCOPED_TRACE("killed after move " + std::to_string(killAfter));
        ASSERT_TRUE(renametest::renameKilledAfter(dir(), "K", killAfter));
        const QStringList left = QDir(dir()).entryList(QDir::Files | QDir::Hidden);
        ASSERT_EQ(left.size(), 2 * kHalf);   // no file lost or doubled by the kill itself
        leftUnderTemporaryNames += left.filter(renbulk::kTempNamePrefix).isEmpty() ? 0 : 1;

        ASSERT_EQ(run({"rename", "--undo", dir()}), app::kExitOk) << err.toStdString();
        EXPECT_TRUE(out.contains(" have their old names again.")) << out.toStdString();
        // Every file once, under its original name, with its own bytes; no temporary name.
        ASSERT_EQ(snapshotFolder(dir()), before);
        ASSERT_FALSE(QFile::exists(journalPath()));
    }
    // The kills left files under temporary names for undo to put back.
    EXPECT_GT(leftUnderTemporaryNames, 0);
}

TEST_F(JournalFolder, ARenameCutShortIsRolledBackByTheNextRenameWhichSaysSo)
{
    make({"a.jpg", "b.jpg", "T-0000.jpg"});
    const FolderSnapshot before = snapshotFolder(dir());
    ASSERT_TRUE(renametest::renameKilledAfter(dir(), "T", 2));
    ASSERT_NE(snapshotFolder(dir()), before);

    // A dry run leaves it as it is and says so.
    const FolderSnapshot cut = snapshotFolder(dir());
    EXPECT_EQ(run({"rename", dir(), "--prefix", "New", "--dry-run"}), app::kExitInputFault);
    EXPECT_TRUE(out.contains("was interrupted and is left as it is")) << out.toStdString();
    EXPECT_EQ(snapshotFolder(dir()), cut);

    EXPECT_EQ(run({"--lang", "bm", "rename", dir(), "--prefix", "New"}), app::kExitOk) << err.toStdString();
    EXPECT_TRUE(out.startsWith("Penamaan semula " + dir() + " yang terganggu telah dibatalkan: 3 fail kembali "
                               "kepada nama asal.\n"))
        << out.toStdString();
    // Then the new rename, from the original names.
    EXPECT_EQ(snapshotFolder(dir()), renamed(before, {{"a.jpg", "New-0000.jpg"},
                                                      {"b.jpg", "New-0001.jpg"},
                                                      {"T-0000.jpg", "New-0002.jpg"}}));
    EXPECT_TRUE(out.endsWith("3 fail telah dinamakan semula.\n"));
}

TEST_F(JournalFolder, DryRunPrintsOldAndNewNamesAndChangesNothing)
{
    make({"b.jpg", "a b.JPG", "readme"});
    QDir(dir()).mkdir("Trip-0002.readme");   // not in the run, yet it holds a new name
    const FolderSnapshot before = snapshotFolder(dir());
    EXPECT_EQ(run({"rename", dir(), "--prefix", "Trip", "--dry-run"}), app::kExitInputFault);
    EXPECT_EQ(out, at("a b.JPG") + " -> " + at("Trip-0000.JPG") + "\n" + at("b.jpg") + " -> " + at("Trip-0001.jpg")
                       + "\n" + at("readme") + " -> " + at("Trip-0002.readme")
                       + "   [name already taken by another file]\n"
                         "Dry run: 3 files would be renamed; nothing was changed.\n");
    EXPECT_EQ(snapshotFolder(dir()), before);
    EXPECT_FALSE(QFile::exists(journalPath()));

    QDir(dir()).rmdir("Trip-0002.readme");
    EXPECT_EQ(run({"--lang", "bm", "rename", dir(), "--prefix", "Trip", "--dry-run"}), app::kExitOk);
    EXPECT_TRUE(out.endsWith("Larian cuba: 3 fail akan dinamakan semula; tiada apa-apa diubah.\n"));
    EXPECT_EQ(run({"rename", dir(), "--prefix", "../x", "--dry-run"}), app::kExitInputFault);
    EXPECT_TRUE(err.contains("must not contain"));
    EXPECT_EQ(run({"rename", dir(), "--undo", "--prefix", "x"}), app::kExitInputFault);
    EXPECT_EQ(run({"rename", dir(), "--prefix", "x", "--order", "size"}), app::kExitInputFault);
    EXPECT_TRUE(err.contains("--order takes name, taken or modified"));
    EXPECT_EQ(snapshotFolder(dir()).size(), before.size() - 1);
    EXPECT_FALSE(QFile::exists(journalPath()));
}

TEST_F(JournalFolder, TenThousandFilesComeBackUnderTheirOwnNames)
{
    constexpr int kFiles = 10000;
    for (int i = 0; i < kFiles; ++i)
        writeFile(at(QStringLiteral("IMG_%1.jpg").arg(kFiles - 1 - i, 5, 10, QLatin1Char('0'))), QByteArray::number(i));
    const FolderSnapshot before = snapshotFolder(dir());
    ASSERT_EQ(run({"rename", dir(), "--prefix", "Trip"}), app::kExitOk);
    EXPECT_TRUE(out.endsWith("10000 files were renamed.\n"));
    EXPECT_EQ(testsupport::readBytes(at("Trip-0000.jpg")), QByteArray::number(kFiles - 1));
    ASSERT_EQ(run({"rename", "--undo", dir()}), app::kExitOk);
    EXPECT_EQ(snapshotFolder(dir()), before);
}

namespace {

// A small file system of its own, to be made read-only and writable again. Mounting needs
// privileges a test may not have; then the test says so and does not run.
class ScratchMount {
public:
    explicit ScratchMount(const QString &path) : path_(QFile::encodeName(path))
    {
        if (::mount("pixmar-test", path_.constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=4m,mode=0755") == 0)
            mounted_ = true;
        else
            why_ = std::strerror(errno);
    }
    ~ScratchMount()
    {
        if (mounted_)
            ::umount2(path_.constData(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    const std::string &why() const { return why_; }
    bool setReadOnly(bool readOnly)
    {
        const unsigned long flags = MS_REMOUNT | MS_NOSUID | MS_NODEV | (readOnly ? MS_RDONLY : 0);
        return ::mount(nullptr, path_.constData(), nullptr, flags, "size=4m,mode=0755") == 0;
    }

private:
    QByteArray path_;
    bool mounted_ = false;
    std::string why_;
};

} // namespace

TEST_F(JournalFolder, AFolderOnAReadOnlyFileSystemIsRefusedAndKeepsItsUndo)
{
    // Root passes every permission check, so a read-only mount is the honest way to make a
    // folder that cannot change.
    QDir(dir()).mkdir("ro");
    const QString ro = at("ro");
    ScratchMount mount(ro);
    if (!mount.mounted())
        GTEST_SKIP() << "cannot mount a file system here (" << mount.why() << "): the read-only case is not run";
    for (const char *n : {"a.jpg", "b.jpg", "c.jpg"})
        writeFile(ro + '/' + n, n);
    const FolderSnapshot original = snapshotFolder(ro);
    ASSERT_TRUE(mount.setReadOnly(true));
    EXPECT_EQ(run({"rename", ro, "--prefix", "T"}), app::kExitInputFault);
    EXPECT_EQ(err, "The folder " + ro + " is on a read-only file system. Nothing was changed.\n");
    EXPECT_EQ(out, "");
    EXPECT_EQ(snapshotFolder(ro), original);
    EXPECT_FALSE(QFile::exists(renbulk::FolderJournal(ro).journalPath()));

    ASSERT_TRUE(mount.setReadOnly(false));
    ASSERT_EQ(run({"rename", ro, "--prefix", "T"}), app::kExitOk);
    const FolderSnapshot renamedFolder = snapshotFolder(ro);
    ASSERT_TRUE(mount.setReadOnly(true));
    EXPECT_EQ(run({"rename", "--undo", ro}), app::kExitInputFault);
    EXPECT_TRUE(err.contains("is on a read-only file system. Nothing was changed.")) << err.toStdString();
    EXPECT_EQ(snapshotFolder(ro), renamedFolder);
    ASSERT_TRUE(mount.setReadOnly(false));
    EXPECT_EQ(run({"rename", "--undo", ro}), app::kExitOk) << err.toStdString();
    EXPECT_EQ(snapshotFolder(ro), original);
}
