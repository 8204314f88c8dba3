// Progress and Stop in the picture tool windows, driven offscreen: the stop arrives from the
// scripted toolkit while the run reports a file or asks "Continue?".
#include "ToolTestSupport.h"
#include "platform/Progress.h"
#include "tools/frm_Watertext.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

namespace {

class StopRun : public tooltest::ToolFixture {
protected:
    StopRun()
    {
        w.activate();
        for (const char *name : {"a.bmp", "b.bmp", "c.bmp", "d.bmp"})
            testsupport::writeSolid(in(QLatin1String(name)), 120, 60, Qt::black);
    }
    void prepare()
    {
        bulk(w, src, out);
        w.mnu_loadpic_Click();
        tk.inputAnswers = {QStringLiteral("Mark")};
        w.mnu_txtwtr_Click();
    }
    // Everything in the target, temporaries included.
    QStringList targetEntries() const
    {
        return QDir(out).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }
    frm_Watertext w;
};

} // namespace

TEST_F(StopRun, StopEndsTheRunAfterTheFileInHandAndSaysHowManyWereDone)
{
    prepare();
    QStringList shown;
    bool stripVisible = false;
    tk.onProgress = [&](int i, int, const QString &) {
        shown << w.progressLabel()->text();
        stripVisible = w.progressStrip()->isVisibleTo(&w);
        if (i == 2) {
            // Two stops in a row are one stop.
            w.stopButton()->click();
            w.stopButton()->click();
        }
    };
    w.mnu_sav_Click();
    EXPECT_EQ(shown, (QStringList{"1 of 4: a.bmp", "2 of 4: b.bmp"}));
    EXPECT_TRUE(stripVisible);
    EXPECT_FALSE(w.progressStrip()->isVisibleTo(&w));
    EXPECT_EQ(targetEntries(), (QStringList{"awtx-a.bmp", "awtx-b.bmp"}));
    EXPECT_EQ(QImage(at("awtx-b.bmp")).size(), QSize(120, 60));   // written whole
    EXPECT_EQ(lastText(), "Stopped. 2 of 4 file(s) were done.");
    EXPECT_EQ(w.outcome().end, tools::RunOutcome::End::Stopped);
    EXPECT_TRUE(w.outcome().stopped);
    EXPECT_EQ(w.outcome().done, 2);
    EXPECT_FALSE(platform::stopRequested());   // used up with the run
    EXPECT_EQ(tk.busyDepth, 0);
    EXPECT_TRUE(w.mnu_exit->isEnabled());

    // Save again goes on from the next file; a second stop ends it again.
    shown.clear();
    tk.onProgress = [&](int i, int, const QString &) {
        shown << w.progressLabel()->text();
        if (i == 3)
            w.stopCommand();
    };
    w.mnu_sav_Click();
    EXPECT_EQ(shown, (QStringList{"3 of 4: c.bmp"}));
    EXPECT_EQ(targetEntries(), (QStringList{"awtx-a.bmp", "awtx-b.bmp", "awtx-c.bmp"}));
    EXPECT_EQ(w.outcome().done, 1);

    // Without a stop the rest runs to its report.
    tk.onProgress = nullptr;
    w.mnu_sav_Click();
    EXPECT_EQ(w.outcome().end, tools::RunOutcome::End::Reported);
    EXPECT_EQ(targetEntries().size(), 4);
}

TEST_F(StopRun, AStopDuringContinueEndsTheRunWhateverTheAnswer)
{
    testsupport::writeBytes(in("b2.bmp"), "not a picture");
    prepare();
    tk.onMessage = [&](const platform::ScriptedToolkit::Message &m) {
        if (m.buttons == platform::MsgButtons::YesNo)
            w.stopCommand();
    };
    tk.messageAnswers = {platform::MsgResult::Yes};
    w.mnu_sav_Click();
    EXPECT_EQ(questions().size(), 1);
    // a, b, then the broken b2 asked about: no output for it, nothing after it.
    EXPECT_EQ(targetEntries(), (QStringList{"awtx-a.bmp", "awtx-b.bmp"}));
    EXPECT_EQ(lastText(), "Stopped. 2 of 5 file(s) were done.");
    EXPECT_TRUE(w.outcome().stopped);
    EXPECT_EQ(w.outcome().failures.size(), 1u);
    EXPECT_FALSE(platform::stopRequested());
}

TEST_F(StopRun, EscStopsAndTheMessageFollowsTheLanguage)
{
    shell::setVarbahasa(QStringLiteral("bm"));
    prepare();
    QString caption;
    tk.onProgress = [&](int i, int, const QString &) {
        caption = w.stopButton()->text();
        if (i == 1)
            QTest::keyClick(&w, Qt::Key_Escape);
    };
    w.mnu_sav_Click();
    EXPECT_EQ(caption, "Henti");
    EXPECT_EQ(targetEntries(), (QStringList{"awtx-a.bmp"}));
    EXPECT_EQ(lastText(), "Dihentikan. 1 daripada 4 fail telah siap.");
}

TEST_F(StopRun, AStopAskedWhileIdleDoesNothing)
{
    w.stopCommand();
    EXPECT_FALSE(platform::stopRequested());
    prepare();
    w.mnu_sav_Click();
    EXPECT_EQ(w.outcome().end, tools::RunOutcome::End::Reported);
    EXPECT_EQ(targetEntries().size(), 4);
}
