#include "app/Cli.h"
#include "rename/FolderSnapshot.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <cstdio>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

// Sends a standard stream into a file for the lifetime of the object.
class Captured {
public:
    explicit Captured(FILE *stream) : stream_(stream), fd_(fileno(stream))
    {
        file_.open();
        std::fflush(stream_);
        saved_ = ::dup(fd_);
        ::dup2(file_.handle(), fd_);
    }
    ~Captured() { restore(); }
    QString text()
    {
        restore();
        file_.seek(0);
        return QString::fromUtf8(file_.readAll());
    }

private:
    void restore()
    {
        if (saved_ < 0)
            return;
        std::fflush(stream_);
        ::dup2(saved_, fd_);
        ::close(saved_);
        saved_ = -1;
    }
    FILE *stream_;
    int fd_;
    int saved_ = -1;
    QTemporaryFile file_;
};

} // namespace

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
