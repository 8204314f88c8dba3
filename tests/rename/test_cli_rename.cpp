#include "app/Cli.h"
#include "rename/FolderSnapshot.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>

using testsupport::Captured;

TEST(RenameCommand, RenamesPrintingEachNewPathThenTheReport)
{
    QTemporaryDir tmp;
    const QString dir = tmp.path();
    for (const char *n : {"a.jpg", "b.JPG", "readme"})
        writeFile(dir + '/' + n, n);
    const FolderSnapshot before = snapshotFolder(dir);
    Captured out(stdout);
    const int status = app::runCommandLine({"rename", dir, "--prefix", "Trip"});
    EXPECT_EQ(out.text(), dir + "/Trip-0000.jpg\n" + dir + "/Trip-0001.JPG\n" + dir
                              + "/Trip-0002.readme\n3 files were renamed.\n");
    EXPECT_EQ(status, app::kExitOk);
    EXPECT_EQ(snapshotFolder(dir), renamed(before, {{"a.jpg", "Trip-0000.jpg"},
                                                    {"b.JPG", "Trip-0001.JPG"},
                                                    {"readme", "Trip-0002.readme"}}));
}

TEST(RenameCommand, ARefusedRunIsAnInputFaultAndChangesNothing)
{
    QTemporaryDir tmp;
    const QString dir = tmp.path();
    writeFile(dir + "/a.jpg", "a");
    writeFile(dir + "/b.jpg", "b");
    QDir(dir).mkdir("Trip-0001.jpg");
    const FolderSnapshot before = snapshotFolder(dir);
    {
        Captured out(stdout), err(stderr);
        EXPECT_EQ(app::runCommandLine({"--lang", "bm", "rename", dir, "--prefix", "Trip"}),
                  app::kExitInputFault);
        EXPECT_EQ(out.text(), "0 fail telah dinamakan semula.\n");
        EXPECT_TRUE(err.text().contains(dir + "/Trip-0001.jpg"));
    }
    {
        Captured out(stdout), err(stderr);
        EXPECT_EQ(app::runCommandLine({"rename", dir, "--prefix", "../up"}), app::kExitInputFault);
        EXPECT_TRUE(out.text().isEmpty());
        EXPECT_TRUE(err.text().contains("must not contain"));
    }
    {
        Captured err(stderr);
        EXPECT_EQ(app::runCommandLine({"rename", dir}), app::kExitInputFault);
        EXPECT_EQ(app::runCommandLine({"rename", dir + "/nowhere", "--prefix", "X"}), app::kExitInputFault);
    }
    EXPECT_EQ(snapshotFolder(dir), before);
}

TEST(RenameCommand, AFileWhoseNameIsNotUtf8IsRenamedShownWithItsStrayBytesAndComesBack)
{
    // Such names used to be left out of the run; the rename now carries their bytes.
    QTemporaryDir tmp;
    const QString dir = tmp.path();
    writeFile(dir + "/a.jpg", "a");
    ASSERT_TRUE(testsupport::writeBytesRawName(dir, "b\xe9.jpg", "b"));
    ASSERT_TRUE(testsupport::writeBytesRawName(dir, "c.caf\xe9", "c"));
    {
        Captured out(stdout), err(stderr);
        EXPECT_EQ(app::runCommandLine({"rename", dir, "--prefix", "Trip"}), app::kExitOk);
        EXPECT_EQ(out.text(), dir + "/Trip-0000.jpg\n" + dir + "/Trip-0001.jpg\n" + dir
                                  + "/Trip-0002.caf\\xE9\n3 files were renamed.\n");
        EXPECT_EQ(err.text(), "");
    }
    EXPECT_FALSE(testsupport::existsRawName(dir, "b\xe9.jpg"));
    EXPECT_EQ(testsupport::readBytes(dir + "/Trip-0001.jpg"), QByteArray("b"));
    EXPECT_TRUE(testsupport::existsRawName(dir, "Trip-0002.caf\xe9"));
    {
        Captured out(stdout);
        EXPECT_EQ(app::runCommandLine({"rename", "--undo", dir}), app::kExitOk);
    }
    EXPECT_TRUE(testsupport::existsRawName(dir, "b\xe9.jpg"));
    EXPECT_TRUE(testsupport::existsRawName(dir, "c.caf\xe9"));
    EXPECT_EQ(testsupport::readBytes(dir + "/a.jpg"), QByteArray("a"));
    testsupport::removeRawNames(dir);
}
