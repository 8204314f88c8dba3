// A GIF build that fails part way, on a real file system: a full disk, a read-only one, a
// picture that breaks among many. Each gives the window's usual message and leaves the folder
// holding what it held before: no partial GIF, no temporary file.
#include "GifTestSupport.h"
#include "animgif/frm_AnimGif.h"
#include "shell/Texts.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>

namespace {

// Noise codes badly, so a handful of these frames make a GIF of several hundred kilobytes.
QImage noise(int w, int h, quint32 seed)
{
    QRandomGenerator rng(seed);
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(int(rng.bounded(256)), int(rng.bounded(256)), int(rng.bounded(256))));
    return img;
}

// A small file system of its own mounted on a folder, for as long as the object lives. Only
// the superuser may mount one; elsewhere `mounted` is false and the test says why it skips.
class SmallDisk {
public:
    SmallDisk(const QString &where, const char *size) : where_(QFile::encodeName(where))
    {
        const QByteArray options = QByteArray("size=") + size;
        mounted = ::mount("tmpfs", where_.constData(), "tmpfs", 0, options.constData()) == 0;
    }
    ~SmallDisk()
    {
        if (mounted)
            ::umount2(where_.constData(), MNT_DETACH);
    }
    bool makeReadOnly()
    {
        return ::mount("tmpfs", where_.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    bool mounted = false;

private:
    QByteArray where_;
};

// Files a process may write no further than `bytes` into; writing past it fails with EFBIG
// (the signal that would end the process is ignored meanwhile).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

class GifFaults : public ::testing::Test, public testsupport::ScriptedFixture {
protected:
    GifFaults()
    {
        shell::setVarbahasa("eng");
        w.activate();
    }
    ~GifFaults() override { shell::setVarbahasa("eng"); }

    QString folder(const QString &name)
    {
        const QString p = tmp.filePath(name);
        QDir().mkpath(p);
        return p;
    }
    // Six frames that make a large GIF, in a folder of their own on the ordinary disk.
    QString largeFrames()
    {
        const QString dir = folder(QStringLiteral("frames"));
        for (int i = 0; i < 6; ++i)
            EXPECT_TRUE(noise(400, 300, quint32(i + 1)).save(dir + QStringLiteral("/%1.bmp").arg(i), "BMP"));
        return dir;
    }
    void listFolder(const QString &dir)
    {
        w.txtdelay->setText(QStringLiteral("10"));
        w.txtdelay_LostFocus();
        tk.folderAnswers.push_back(dir);
        w.cmddir_Click();
    }
    // The last folder holds a picture and an older GIF that must survive the failed build.
    void prepareLast(const QString &last)
    {
        ASSERT_TRUE(giftest::solidPicture(12, 8, Qt::red).save(last + QStringLiteral("/z.bmp"), "BMP"));
        ASSERT_TRUE(giftest::writeBytes(last + QStringLiteral("/Pixmar-anim.gif"), "the old animation"));
    }
    void expectOnlyTheOldFile(const QString &last)
    {
        EXPECT_EQ(giftest::fileBytes(last + QStringLiteral("/Pixmar-anim.gif")), QByteArray("the old animation"));
        EXPECT_EQ(files(last), (QStringList{"Pixmar-anim.gif", "z.bmp"}));
    }
    static QStringList files(const QString &dir)
    {
        return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }
    // The build failed with the message the window gives for `text`, the list and the boxes
    // kept for another try.
    void expectFailedWith(const QString &text)
    {
        ASSERT_EQ(tk.messages.size(), 1u);
        EXPECT_EQ(tk.messages.back().title, "Error");
        EXPECT_EQ(tk.messages.back().text, text);
        EXPECT_FALSE(w.outcome().built);
        EXPECT_GT(w.lstFiles->count(), 0);
        EXPECT_FALSE(w.txtDirectory->text().isEmpty());
    }

    QTemporaryDir tmp;
    frm_AnimGif w;
};

} // namespace

TEST_F(GifFaults, AFullDiskFailsTheBuildAndLeavesOnlyTheOldFile)
{
    const QString frames = largeFrames();
    const QString last = folder(QStringLiteral("small"));
    SmallDisk disk(last, "96k");
    std::optional<FileSizeLimit> limit;
    if (!disk.mounted)
        limit.emplace(96 * 1024);   // not allowed to mount: files may not grow past the size
    prepareLast(last);
    listFolder(frames);
    listFolder(last);
    ASSERT_EQ(w.lstFiles->count(), 7);
    w.cmdCreate_Click();
    limit.reset();

    // The system's reason, not only the library's status, says what went wrong.
    const QString reason = QString::fromLocal8Bit(std::strerror(disk.mounted ? ENOSPC : EFBIG));
    expectFailedWith(QStringLiteral("Cannot write %1 (%2)").arg(last + QStringLiteral("/Pixmar-anim.gif"), reason));
    expectOnlyTheOldFile(last);

    // In the other language the same, the reason as the system gives it.
    shell::setVarbahasa("bm");
    tk.messages.clear();
    if (!disk.mounted)
        limit.emplace(96 * 1024);
    w.cmdCreate_Click();
    limit.reset();
    expectFailedWith(QStringLiteral("Tidak dapat menulis %1 (%2)").arg(last + QStringLiteral("/Pixmar-anim.gif"), reason));
    expectOnlyTheOldFile(last);
}

TEST_F(GifFaults, AReadOnlyDiskFailsTheBuildAndLeavesOnlyTheOldFile)
{
    const QString frames = largeFrames();
    const QString last = folder(QStringLiteral("readonly"));
    SmallDisk disk(last, "1m");
    if (!disk.mounted)
        GTEST_SKIP() << "mounting needs the superuser (a read-only file is tested elsewhere)";
    prepareLast(last);
    ASSERT_TRUE(disk.makeReadOnly());
    listFolder(frames);
    listFolder(last);
    w.cmdCreate_Click();

    expectFailedWith(QStringLiteral("Permission denied: %1").arg(last + QStringLiteral("/Pixmar-anim.gif")));
    expectOnlyTheOldFile(last);
}

TEST_F(GifFaults, APictureThatBreaksLateAmongManyLeavesNoPartialFile)
{
    // Frames already coded and written when the fifth picture turns out broken.
    const QString frames = largeFrames();
    listFolder(frames);
    ASSERT_EQ(w.lstFiles->count(), 6);
    const QString broken = frames + QStringLiteral("/4.bmp");
    QByteArray bytes = giftest::fileBytes(broken);
    bytes.truncate(bytes.size() / 3);
    ASSERT_TRUE(giftest::writeBytes(broken, bytes));
    w.cmdCreate_Click();

    ASSERT_EQ(tk.messages.size(), 1u);
    EXPECT_EQ(tk.messages.back().title, "Error");
    EXPECT_TRUE(tk.messages.back().text.contains(broken)) << tk.messages.back().text.toStdString();
    EXPECT_FALSE(w.outcome().built);
    EXPECT_EQ(files(frames), (QStringList{"0.bmp", "1.bmp", "2.bmp", "3.bmp", "4.bmp", "5.bmp"}));
}
