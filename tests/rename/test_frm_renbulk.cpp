#include "rename/frm_RenBulk.h"
#include "app/Cli.h"
#include "rename/FolderSnapshot.h"
#include "rename/ListBox.h"
#include "rename/RenameTestSupport.h"
#include "platform/Progress.h"
#include "platform/Settings.h"
#include "shell/Texts.h"
#include "support/BusyProbe.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QBrush>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

using platform::MsgIcon;
using platform::MsgResult;

// The real window, shown offscreen, driven through the scripted toolkit.
class RenBulkWindow : public ::testing::Test, public testsupport::ScriptedFixture {
protected:
    RenBulkWindow() { shell::setVarbahasa("eng"); w.activate(); }
    ~RenBulkWindow() override { shell::setVarbahasa("eng"); }

    QString at(const QString &name) const { return tmp.path() + QLatin1Char('/') + name; }
    void make(std::initializer_list<const char *> names)
    {
        for (const char *n : names)
            writeFile(at(QString::fromUtf8(n)), QByteArray("bytes of ") + n);
    }
    // The folder button, answered with the temp folder.
    void list()
    {
        tk.folderAnswers.push_back(tmp.path());
        w.cmddir_Click();
    }
    // Rename with the prefix, recording what the After list receives.
    void rename(const QString &prefix)
    {
        w.txtname->setText(prefix);
        w.lstFiles2->onItemAdded = [this](const QString &p) { after << p; };
        w.cmdRen_Click();
    }
    QStringList texts() const
    {
        QStringList out;
        for (const auto &m : tk.messages)
            out << m.text;
        return out;
    }
    void expectCleared() const
    {
        EXPECT_EQ(w.lstFiles1->count(), 0);
        EXPECT_EQ(w.lstFiles2->count(), 0);
        EXPECT_FALSE(w.lstFiles1->isVisible());
        EXPECT_FALSE(w.lstFiles2->isVisible());
        EXPECT_TRUE(w.txtDirectory->text().isEmpty());
        EXPECT_TRUE(w.txtname->text().isEmpty());
    }

    QTemporaryDir tmp;
    frm_RenBulk w;
    QStringList after;
};

} // namespace

TEST_F(RenBulkWindow, RenamesTheExampleFolderInListOrder)
{
    // Hidden files and sub-folders are neither listed nor renamed.
    make({"a.jpg", "b.JPG", "readme", ".hidden.jpg"});
    QDir(tmp.path()).mkdir("album");
    writeFile(at("album/inner.jpg"), "inner");
    const FolderSnapshot before = snapshotFolder(tmp.path());
    list();
    EXPECT_TRUE(w.lstFiles1->isVisible());
    EXPECT_EQ(w.txtDirectory->text(), tmp.path());
    EXPECT_EQ(w.lstFiles1->items(), QStringList({at("a.jpg"), at("b.JPG"), at("readme")}));
    EXPECT_EQ(w.lstFiles1->model()->rowCount(), 3);   // all shown once the listing ends

    rename("Trip");
    EXPECT_EQ(after, QStringList({at("Trip-0000.jpg"), at("Trip-0001.JPG"), at("Trip-0002.readme")}));
    ASSERT_EQ(tk.messages.size(), 1u);
    EXPECT_EQ(tk.messages[0].text, "3 files were renamed.");
    EXPECT_EQ(tk.messages[0].title, "Pixmar");
    EXPECT_EQ(tk.messages[0].icon, MsgIcon::Information);
    expectCleared();
    EXPECT_TRUE(w.outcome().ran);
    EXPECT_EQ(w.outcome().renamed, 3);
    EXPECT_FALSE(w.outcome().refused || w.outcome().limitReached);
    EXPECT_TRUE(w.outcome().failures.empty());
    EXPECT_EQ(snapshotFolder(tmp.path()), renamed(before, {{"a.jpg", "Trip-0000.jpg"},
                                                           {"b.JPG", "Trip-0001.JPG"},
                                                           {"readme", "Trip-0002.readme"}}));
    EXPECT_EQ(testsupport::readBytes(at("album/inner.jpg")), "inner");
}

TEST_F(RenBulkWindow, KeepsEverythingAfterTheFirstDotAndDropsBlanksAroundThePrefix)
{
    make({"photo.final.JPG", "readme"});
    shell::setVarbahasa("bm");
    list();
    rename("  Trip  ");
    EXPECT_EQ(after, QStringList({at("Trip-0000.final.JPG"), at("Trip-0001.readme")}));
    EXPECT_EQ(texts(), QStringList({"2 fail telah dinamakan semula."}));
    EXPECT_TRUE(QFile::exists(at("Trip-0000.final.JPG")));
}

TEST_F(RenBulkWindow, ReportsZeroForAnEmptyFolderAndWithoutAListing)
{
    w.cmddir_Click();   // the folder picker cancelled
    EXPECT_EQ(texts(), QStringList({"Please specify Source Directory!"}));
    EXPECT_EQ(tk.messages[0].title, "Pixmar: Invalid Path");
    EXPECT_FALSE(w.lstFiles1->isVisible());
    EXPECT_TRUE(w.outcome().refused);
    EXPECT_FALSE(w.outcome().ran);

    tk.messages.clear();
    list();
    EXPECT_EQ(w.lstFiles1->count(), 0);
    rename("Trip");
    EXPECT_EQ(texts(), QStringList({"0 files were renamed."}));
    EXPECT_FALSE(w.outcome().refused);   // a new folder starts the record afresh
    EXPECT_TRUE(w.outcome().ran);
    EXPECT_EQ(w.outcome().renamed, 0);

    // No folder listed at all: nothing in the folder changes.
    make({"a.jpg"});
    const FolderSnapshot before = snapshotFolder(tmp.path());
    tk.messages.clear();
    w.txtDirectory->setText(tmp.path());
    rename("Trip");
    EXPECT_EQ(texts(), QStringList({"0 files were renamed."}));
    EXPECT_EQ(snapshotFolder(tmp.path()), before);
}

TEST_F(RenBulkWindow, StopsAtTheLimitWithItsMessageBeforeTheReport)
{
    constexpr int kFiles = 10001;
    for (int i = 0; i < kFiles; ++i)
        writeFile(at(QStringLiteral("f%1.dat").arg(i, 5, 10, QLatin1Char('0'))), QByteArray::number(i));
    list();
    ASSERT_EQ(w.lstFiles1->count(), kFiles);
    rename("N");
    EXPECT_EQ(after.size(), 10000);
    EXPECT_EQ(after.back(), at("N-9999.dat"));
    EXPECT_EQ(texts(), QStringList({"The number of files exceeds the limit (9999)!",
                                    "10000 files were renamed."}));
    EXPECT_EQ(tk.messages[0].title, "Pixmar");
    // The 10001st file keeps its name and its bytes.
    EXPECT_EQ(testsupport::readBytes(at("f10000.dat")), "10000");
    EXPECT_EQ(testsupport::readBytes(at("N-0000.dat")), "0");
    EXPECT_EQ(testsupport::readBytes(at("N-9999.dat")), "9999");
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden).size(), kFiles);
    EXPECT_TRUE(w.outcome().limitReached);
    EXPECT_EQ(w.outcome().renamed, 10000);
    EXPECT_TRUE(w.outcome().failures.empty());
}

TEST_F(RenBulkWindow, RefusesANameHeldOutsideTheRun)
{
    make({"a.jpg", "b.jpg"});
    list();
    // Taken after the listing: a file the run does not rename.
    writeFile(at("Trip-0001.jpg"), "someone else's");
    const FolderSnapshot before = snapshotFolder(tmp.path());
    rename("Trip");
    ASSERT_EQ(tk.messages.size(), 2u);
    EXPECT_EQ(tk.messages[0].title, "Pixmar: File Name Taken");
    EXPECT_TRUE(tk.messages[0].text.contains(at("b.jpg")));
    EXPECT_TRUE(tk.messages[0].text.contains(at("Trip-0001.jpg")));
    EXPECT_EQ(tk.messages[1].text, "0 files were renamed.");
    EXPECT_TRUE(after.isEmpty());
    EXPECT_EQ(snapshotFolder(tmp.path()), before);
    EXPECT_TRUE(w.outcome().refused);
    EXPECT_FALSE(w.outcome().ran);

    // In Malay, and with a folder holding the name.
    QFile::remove(at("Trip-0001.jpg"));
    QDir(tmp.path()).mkdir("Trip-0000.jpg");
    shell::setVarbahasa("bm");
    tk.messages.clear();
    list();
    rename("Trip");
    ASSERT_EQ(tk.messages.size(), 2u);
    EXPECT_EQ(tk.messages[0].title, "Pixmar: Nama Fail Sudah Wujud");
    EXPECT_TRUE(tk.messages[0].text.contains(at("a.jpg")));
    EXPECT_EQ(tk.messages[1].text, "0 fail telah dinamakan semula.");
    EXPECT_EQ(snapshotFolder(tmp.path()).count("a.jpg"), 1u);
}

TEST_F(RenBulkWindow, FreesNamesHeldByFilesOfTheListing)
{
    make({"a.jpg", "b.jpg", "Trip-0001.jpg"});
    const FolderSnapshot before = snapshotFolder(tmp.path());
    list();
    rename("Trip");
    EXPECT_EQ(texts(), QStringList({"3 files were renamed."}));
    EXPECT_EQ(after, QStringList({at("Trip-0000.jpg"), at("Trip-0001.jpg"), at("Trip-0002.jpg")}));
    EXPECT_EQ(snapshotFolder(tmp.path()), renamed(before, {{"a.jpg", "Trip-0000.jpg"},
                                                           {"b.jpg", "Trip-0001.jpg"},
                                                           {"Trip-0001.jpg", "Trip-0002.jpg"}}));
}

TEST_F(RenBulkWindow, SwapsTwoFilesWhoseNamesEachOtherWants)
{
    // A listing order where each file wants the other's name (a file system that lists in
    // another order gives it).
    make({"P-0000.x", "P-0001.x"});
    const FolderSnapshot before = snapshotFolder(tmp.path());
    w.txtDirectory->setText(tmp.path());
    w.lstFiles1->addItem(at("P-0001.x"));
    w.lstFiles1->addItem(at("P-0000.x"));
    rename("P");
    EXPECT_EQ(texts(), QStringList({"2 files were renamed."}));
    EXPECT_EQ(snapshotFolder(tmp.path()), renamed(before, {{"P-0001.x", "P-0000.x"},
                                                           {"P-0000.x", "P-0001.x"}}));
}

TEST_F(RenBulkWindow, AFailureMidwayPutsEveryFileBack)
{
    make({"a.jpg", "b.jpg", "Trip-0001.jpg", "z.jpg"});
    list();
    // z.jpg vanishes while the run lets events run after its second file.
    int renamedSoFar = 0;
    w.lstFiles2->onItemAdded = [&](const QString &p) {
        after << p;
        if (++renamedSoFar == 2)
            QFile::remove(at("z.jpg"));
    };
    FolderSnapshot expected = snapshotFolder(tmp.path());
    expected.erase("z.jpg");
    w.txtname->setText("Trip");
    w.cmdRen_Click();
    ASSERT_EQ(tk.messages.size(), 2u);
    EXPECT_EQ(tk.messages[0].title, "Error");
    EXPECT_EQ(tk.messages[0].icon, MsgIcon::Error);
    EXPECT_TRUE(tk.messages[0].text.startsWith("File " + at("z.jpg") + " could not be renamed: "));
    EXPECT_TRUE(tk.messages[0].text.endsWith("\r\nEvery file keeps its old name."));
    EXPECT_EQ(tk.messages[1].text, "0 files were renamed.");
    // Every file under its old name, byte for byte, and no temporary name left.
    EXPECT_EQ(snapshotFolder(tmp.path()), expected);
    EXPECT_TRUE(w.outcome().ran);
    EXPECT_EQ(w.outcome().renamed, 0);
    ASSERT_EQ(w.outcome().failures.size(), 1u);
    EXPECT_EQ(w.outcome().failures[0].path, at("z.jpg"));
    EXPECT_FALSE(w.outcome().failures[0].reason.isEmpty());
}

TEST_F(RenBulkWindow, RefusesAPastedPrefixThatLeavesTheFolder)
{
    make({"a.jpg"});
    QDir(tmp.path()).mkdir("inner");
    const QString folder = tmp.path();
    const FolderSnapshot before = snapshotFolder(folder);
    tk.folderAnswers.push_back(at("inner"));
    writeFile(at("inner/x.jpg"), "x");
    w.cmddir_Click();
    for (const char *prefix : {"../Trip", "/tmp/Trip", "..\\Trip"}) {
        SCOPED_TRACE(prefix);
        tk.messages.clear();
        rename(prefix);
        ASSERT_EQ(tk.messages.size(), 1u);
        EXPECT_EQ(tk.messages[0].title, "Pixmar: Invalid Prefix Name");
        EXPECT_EQ(tk.messages[0].text, "The prefix name must not contain \"/\", \"\\\" or control characters!");
        // Nothing moved, the listing stays for another try.
        EXPECT_EQ(w.lstFiles1->count(), 1);
        EXPECT_EQ(snapshotFolder(folder), before);
        EXPECT_EQ(testsupport::readBytes(at("inner/x.jpg")), "x");
        EXPECT_TRUE(w.outcome().refused);
        EXPECT_FALSE(w.outcome().ran);
    }
    tk.messages.clear();
    rename("..");   // a plain name in the same folder
    EXPECT_EQ(texts(), QStringList({"1 files were renamed."}));
    EXPECT_EQ(testsupport::readBytes(at("inner/..-0000.jpg")), "x");
}

TEST_F(RenBulkWindow, CaptionsFilterClearAndResize)
{
    EXPECT_EQ(w.windowTitle(), " Rename File in Bulk");
    EXPECT_EQ(w.Label1[2]->text(), "Directory");
    shell::setVarbahasa("bm");
    w.Form_Activate();
    EXPECT_EQ(w.windowTitle(), " Menamakan Fail Secara Pukal");
    EXPECT_EQ(w.cmdRen->text(), "Nama Semula");
    EXPECT_EQ(w.cmdclr->text(), "Padam");
    EXPECT_EQ(w.Label1[0]->text(), "Nama Awalan Baru");
    EXPECT_EQ(w.Label3->text(), "Sebelum");
    EXPECT_EQ(w.Label2->text(), "Selepas");

    QTest::keyClicks(w.txtname, "Tr ip.2-_&");
    EXPECT_EQ(w.txtname->text(), "Trip2-_&");

    make({"a.jpg"});
    list();
    w.Form_Activate();   // lists hide, contents stay
    EXPECT_FALSE(w.lstFiles1->isVisible());
    EXPECT_EQ(w.lstFiles1->count(), 1);
    w.cmdclr_Click();
    expectCleared();

    w.resize(w.width(), w.height() + 150);
    QCoreApplication::processEvents();
    EXPECT_EQ(w.lstFiles1->height(), std::lround((w.clientHeightPx() * 15 - 2800) / 15.0));
    EXPECT_EQ(w.lstFiles2->height(), w.lstFiles1->height());

    w.mnu_exit_Click();
    EXPECT_FALSE(w.isVisible());
}

TEST_F(RenBulkWindow, WhileListingOrRenamingItCannotBeClosedRestartedOrCleared)
{
    make({"a.jpg", "b.jpg", "c.jpg"});
    const QString elsewhere = tmp.path() + "/nowhere";
    testsupport::BusyProbe probe(w, {w.txtDirectory, w.cmddir, w.txtname, w.cmdRen, w.cmdclr}, [this] {
        w.cmddir_Click();
        w.ListFolder();
        w.cmdRen_Click();
        w.cmdclr_Click();
        w.mnu_exit_Click();
    });
    tk.onDoEvents = [&] { probe(); };
    tk.folderAnswers = {tmp.path(), elsewhere};
    w.cmddir_Click();
    EXPECT_GT(probe.pokes, 0);
    EXPECT_EQ(w.lstFiles1->items(), QStringList({at("a.jpg"), at("b.jpg"), at("c.jpg")}));
    EXPECT_EQ(tk.folderAnswers, std::deque<QString>{elsewhere});   // no second listing began
    EXPECT_TRUE(tk.messages.empty());                                // nor a rename
    EXPECT_EQ(w.txtDirectory->text(), tmp.path());

    probe.pokes = 0;
    rename("Trip");
    tk.onDoEvents = nullptr;
    EXPECT_GT(probe.pokes, 0);
    EXPECT_FALSE(probe.closed);
    EXPECT_FALSE(probe.anyEnabled);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(after, QStringList({at("Trip-0000.jpg"), at("Trip-0001.jpg"), at("Trip-0002.jpg")}));
    EXPECT_EQ(texts(), QStringList({"3 files were renamed."}));
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files, QDir::Name),
              QStringList({"Trip-0000.jpg", "Trip-0001.jpg", "Trip-0002.jpg"}));
    EXPECT_TRUE(probe.allEnabled());
    EXPECT_EQ(tk.busyDepth, 0);
}

TEST_F(RenBulkWindow, AStoppedRenameIsUndoneAndSaysHowFarItGot)
{
    make({"a.jpg", "b.jpg", "c.jpg", "d.jpg"});
    list();
    const FolderSnapshot before = snapshotFolder(tmp.path());
    QStringList shown;
    tk.onProgress = [&](int i, int, const QString &) {
        shown << w.progressLabel()->text();
        if (i == 2) {
            w.stopButton()->click();
            w.stopButton()->click();
        }
    };
    rename("Trip");
    tk.onProgress = nullptr;
    EXPECT_EQ(shown, (QStringList{"1 of 4: Trip-0000.jpg", "2 of 4: Trip-0001.jpg"}));
    EXPECT_EQ(texts(), (QStringList{"Stopped after 2 of 4 file(s); the renaming is undone.\r\n"
                                    "Every file keeps its old name.",
                                    "0 files were renamed."}));
    EXPECT_EQ(snapshotFolder(tmp.path()), before);
    EXPECT_TRUE(w.outcome().stopped);
    EXPECT_EQ(w.outcome().renamed, 0);
    EXPECT_FALSE(platform::stopRequested());
    EXPECT_EQ(tk.busyDepth, 0);
}

TEST_F(RenBulkWindow, AStoppedListingKeepsWhatItListed)
{
    make({"a.jpg", "b.jpg", "c.jpg"});
    tk.onProgress = [&](int i, int, const QString &) {
        if (i == 1)
            QTest::keyClick(&w, Qt::Key_Escape);
    };
    list();
    tk.onProgress = nullptr;
    EXPECT_EQ(w.lstFiles1->items(), QStringList{at("a.jpg")});
    EXPECT_EQ(texts(), QStringList{"Stopped. 1 of 3 file(s) were listed."});
    EXPECT_TRUE(w.outcome().stopped);
}

TEST_F(RenBulkWindow, TypingThePrefixFillsTheAfterListBeforeAnythingMoves)
{
    make({"b.jpg", "a.JPG", "readme"});
    QDir(tmp.path()).mkdir("Trip-0002.readme");   // held outside the run
    const FolderSnapshot before = snapshotFolder(tmp.path());
    list();
    EXPECT_FALSE(w.lstFiles2->isVisible());   // no prefix yet
    QTest::keyClicks(w.txtname, "Trip");
    EXPECT_TRUE(w.lstFiles2->isVisible());
    EXPECT_EQ(w.lstFiles2->items(), QStringList({at("Trip-0000.JPG"), at("Trip-0001.jpg"),
                                                 at("Trip-0002.readme") + "   [name already taken by another file]"}));
    EXPECT_FALSE(w.lstFiles2->isMarked(0));
    EXPECT_TRUE(w.lstFiles2->isMarked(2));
    EXPECT_EQ(w.lstFiles2->model()->data(w.lstFiles2->model()->index(2, 0), Qt::ForegroundRole).value<QBrush>().color(),
              QColor(Qt::red));
    // Each keystroke follows; in Malay the mark is Malay.
    shell::setVarbahasa("bm");
    QTest::keyClick(w.txtname, Qt::Key_Backspace);
    EXPECT_EQ(w.lstFiles2->item(0), at("Tri-0000.JPG"));
    EXPECT_FALSE(w.lstFiles2->isMarked(2));
    QTest::keyClicks(w.txtname, "p");
    EXPECT_TRUE(w.lstFiles2->item(2).endsWith("[nama sudah digunakan oleh fail lain]"));
    EXPECT_EQ(snapshotFolder(tmp.path()), before);
    EXPECT_TRUE(tk.messages.empty());

    // Rename is refused for the marked name, as before; the preview stays.
    w.cmdRen_Click();
    EXPECT_EQ(tk.messages[0].title, "Pixmar: Nama Fail Sudah Wujud");
    EXPECT_EQ(snapshotFolder(tmp.path()), before);

    // Without the name held, Rename shows the names as they are reached.
    shell::setVarbahasa("eng");
    QDir(tmp.path()).rmdir("Trip-0002.readme");
    tk.messages.clear();
    list();
    w.txtname->clear();
    EXPECT_FALSE(w.lstFiles2->isVisible());
    rename("Trip");
    EXPECT_EQ(after, QStringList({at("Trip-0000.JPG"), at("Trip-0001.jpg"), at("Trip-0002.readme")}));
    EXPECT_EQ(texts(), QStringList({"3 files were renamed."}));
}

TEST_F(RenBulkWindow, TheOrderMenuReordersBeforeAnythingMovesAndIsRemembered)
{
    make({"a.jpg", "b.jpg", "c.jpg"});
    auto age = [&](const char *name, qint64 seconds) {
        const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(at(name)).constData(), times, 0), 0);
    };
    age("a.jpg", 3000000);
    age("b.jpg", 1000000);
    age("c.jpg", 2000000);
    EXPECT_TRUE(w.mnu_orderName->isChecked());
    list();
    w.txtname->setText("T");
    w.mnu_orderModified->trigger();
    EXPECT_TRUE(w.mnu_orderModified->isChecked());
    EXPECT_EQ(w.lstFiles1->items(), QStringList({at("b.jpg"), at("c.jpg"), at("a.jpg")}));
    EXPECT_EQ(w.lstFiles2->items(), QStringList({at("T-0000.jpg"), at("T-0001.jpg"), at("T-0002.jpg")}));
    EXPECT_EQ(platform::setting(frm_RenBulk::kOrderSettingKey).toString(), "modified");

    // A new window starts with the remembered order and lists in it.
    {
        frm_RenBulk again;
        again.activate();
        EXPECT_TRUE(again.mnu_orderModified->isChecked());
        tk.folderAnswers.push_back(tmp.path());
        again.cmddir_Click();
        EXPECT_EQ(again.lstFiles1->items(), QStringList({at("b.jpg"), at("c.jpg"), at("a.jpg")}));
        again.close();
    }
    const FolderSnapshot before = snapshotFolder(tmp.path());
    rename("T");
    EXPECT_EQ(snapshotFolder(tmp.path()), renamed(before, {{"b.jpg", "T-0000.jpg"}, {"c.jpg", "T-0001.jpg"},
                                                           {"a.jpg", "T-0002.jpg"}}));
    w.mnu_orderName->trigger();
    EXPECT_EQ(platform::setting(frm_RenBulk::kOrderSettingKey).toString(), "name");
    shell::setVarbahasa("bm");
    w.Form_Activate();
    EXPECT_EQ(w.mnu_order->title(), "Susunan");
    EXPECT_EQ(w.mnu_orderTaken->text(), "Ikut Tarikh Diambil");
    EXPECT_EQ(w.mnu_undo->text(), "Buat Asal Nama Semula");
}

TEST_F(RenBulkWindow, UndoRenameGivesTheLastRenamesNamesBackAfterTheWindowWasCleared)
{
    make({"a.jpg", "b.jpg"});
    const FolderSnapshot before = snapshotFolder(tmp.path());
    list();
    rename("Trip");
    expectCleared();
    tk.messages.clear();
    w.mnu_undo->trigger();
    EXPECT_EQ(texts(), QStringList({"2 files in " + tmp.path() + " have their old names again."}));
    EXPECT_EQ(snapshotFolder(tmp.path()), before);
    EXPECT_TRUE(w.outcome().undone);
    // Nothing left to undo: said so, in the folder in the box (picked when the box is empty).
    tk.messages.clear();
    shell::setVarbahasa("bm");
    w.txtDirectory->setText(tmp.path());
    w.mnu_undo_Click();
    EXPECT_EQ(texts(), QStringList({"Tiada penamaan semula untuk dibatalkan dalam " + tmp.path() + "."}));
    EXPECT_EQ(tk.messages[0].title, "Pixmar: Tidak Dapat Dibatalkan");
    EXPECT_TRUE(w.outcome().refused);
}

TEST_F(RenBulkWindow, AFolderWithARenameCutShortAsksWhetherToFinishOrRollItBack)
{
    make({"a.jpg", "b.jpg", "T-0000.jpg", "c.jpg"});
    const FolderSnapshot before = snapshotFolder(tmp.path());
    for (const bool finish : {true, false}) {
        SCOPED_TRACE(finish ? "finish" : "roll back");
        // Killed after the file in T-0000.jpg went to a temporary name and two files took
        // their new names.
        ASSERT_TRUE(renametest::renameKilledAfter(tmp.path(), "T", 3));
        tk.messages.clear();
        tk.messageAnswers = {finish ? MsgResult::Yes : MsgResult::No};
        list();
        ASSERT_GE(tk.messages.size(), 2u);
        EXPECT_EQ(tk.messages[0].text, "A rename of " + tmp.path() + " was interrupted: 2 of 4 files have their "
                                       "new names.\r\nYes finishes it; No rolls it back, giving every file its old name.");
        EXPECT_EQ(tk.messages[0].buttons, platform::MsgButtons::YesNo);
        if (finish) {
            EXPECT_EQ(tk.messages[1].text, "The interrupted rename of " + tmp.path() + " was finished: 4 files have "
                                           "their new names.");
            EXPECT_EQ(snapshotFolder(tmp.path()), renamed(before, {{"a.jpg", "T-0000.jpg"}, {"b.jpg", "T-0001.jpg"},
                                                                   {"c.jpg", "T-0002.jpg"}, {"T-0000.jpg", "T-0003.jpg"}}));
            // The listing shows the names as they are now; the finished rename can be undone.
            EXPECT_EQ(w.lstFiles1->count(), 4);
            EXPECT_EQ(w.lstFiles1->item(3), at("T-0003.jpg"));
            w.mnu_undo_Click();
            EXPECT_TRUE(w.outcome().undone);
        } else {
            EXPECT_EQ(tk.messages[1].text, "The interrupted rename of " + tmp.path() + " was rolled back: 4 files "
                                           "have their old names again.");
        }
        EXPECT_EQ(snapshotFolder(tmp.path()), before);
    }
}

TEST_F(RenBulkWindow, ASecondRenameOfTheFolderIsRefusedWhileTheWindowRenamesIt)
{
    make({"a.jpg", "b.jpg", "c.jpg"});
    list();
    int second = -1;
    QString said;
    tk.onDoEvents = [&] {
        if (second != -1)
            return;
        // The command line, as another Pixmar would, while the window's run lets events run.
        testsupport::Captured out(stdout), err(stderr);
        second = app::runCommandLine({"rename", tmp.path(), "--prefix", "X"});
        said = err.text();
    };
    rename("Trip");
    tk.onDoEvents = nullptr;
    EXPECT_EQ(second, app::kExitInputFault);
    EXPECT_EQ(said, "The folder " + tmp.path() + " is being renamed by another Pixmar. Nothing was changed; try "
                    "again when it has finished.\n");
    EXPECT_EQ(after, QStringList({at("Trip-0000.jpg"), at("Trip-0001.jpg"), at("Trip-0002.jpg")}));
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files), QStringList({"Trip-0000.jpg", "Trip-0001.jpg", "Trip-0002.jpg"}));
}
