// Progress and Stop in the animated GIF window: listing and building, driven offscreen.
#include "GifTestSupport.h"
#include "animgif/frm_AnimGif.h"
#include "platform/Files.h"
#include "platform/Progress.h"
#include "shell/Texts.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class StopGif : public ::testing::Test, public testsupport::ScriptedFixture {
protected:
    StopGif()
    {
        shell::setVarbahasa("eng");
        w.activate();
        dir = tmp.filePath("pics");
        QDir().mkpath(dir);
        const QColor colours[] = {Qt::red, Qt::green, Qt::blue, Qt::white};
        for (int i = 0; i < 4; ++i)
            giftest::solidPicture(16, 12, colours[i]).save(dir + QStringLiteral("/%1.bmp").arg(i), "BMP");
    }
    ~StopGif() override { shell::setVarbahasa("eng"); }
    void listAll()
    {
        w.txtdelay->setText("20");
        tk.folderAnswers.push_back(dir);
        w.cmddir_Click();
    }
    QStringList folderEntries() const
    {
        return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }
    QString gif() const { return dir + "/Pixmar-anim.gif"; }

    QTemporaryDir tmp;
    QString dir;
    frm_AnimGif w;
};

} // namespace

TEST_F(StopGif, AStoppedListingKeepsWhatItListedAndSaysHowMany)
{
    QStringList shown;
    tk.onProgress = [&](int i, int, const QString &) {
        shown << w.progressLabel()->text();
        if (i == 2)
            w.stopButton()->click();
    };
    listAll();
    EXPECT_EQ(shown, (QStringList{"1 of 4: 0.bmp", "2 of 4: 1.bmp"}));
    EXPECT_EQ(w.lstFiles->count(), 2);
    EXPECT_EQ(tk.messages.back().text, "Stopped. 2 of 4 file(s) were listed.");
    EXPECT_TRUE(w.outcome().stopped);
    EXPECT_FALSE(platform::stopRequested());
    EXPECT_EQ(tk.busyDepth, 0);
}

TEST_F(StopGif, AStoppedBuildWritesNothingAndKeepsTheOlderGif)
{
    listAll();
    w.cmdCreate_Click();   // the older GIF
    ASSERT_EQ(tk.messages.back().text, "Animated GIF file created successfully!");
    const QByteArray older = testsupport::readBytes(gif());
    const QStringList before = folderEntries();

    // Stopped between frames (pressed twice), then during the final write: each time the
    // build is abandoned, the list kept for building again.
    for (int stopAt : {2, 4}) {
        w.txtDirectory->setText(dir);
        tk.onProgress = [&](int i, int, const QString &) {
            if (i == stopAt) {
                w.stopCommand();
                w.stopCommand();
            }
        };
        w.cmdCreate_Click();
        tk.onProgress = nullptr;
        EXPECT_EQ(tk.messages.back().text,
                  QStringLiteral("Stopped after %1 of 4 picture(s). No GIF was written; an older one is kept.")
                      .arg(stopAt));
        EXPECT_TRUE(w.outcome().stopped);
        EXPECT_FALSE(w.outcome().built);
        EXPECT_EQ(testsupport::readBytes(gif()), older);
        EXPECT_EQ(folderEntries(), before);   // no temporary left
        EXPECT_EQ(w.lstFiles->count(), 4);
        EXPECT_FALSE(platform::stopRequested());
    }

    // In Malay too.
    shell::setVarbahasa("bm");
    tk.onProgress = [&](int i, int, const QString &) {
        if (i == 3)
            w.stopCommand();
    };
    w.cmdCreate_Click();
    EXPECT_EQ(tk.messages.back().text,
              "Dihentikan selepas 3 daripada 4 gambar. Tiada GIF ditulis; fail lama kekal.");
}
