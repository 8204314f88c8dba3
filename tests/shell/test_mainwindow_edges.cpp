// What a new user meets at the edges of the main and about windows: the other language, the
// window manager's close, a desktop without a program for the manual, the about window's rules.
#include "platform/Toolkit.h"
#include "shell/Texts.h"
#include "shell/frmAbout.h"
#include "shell/frmUtama.h"
#include "support/TestSupport.h"

#include <QCloseEvent>
#include <QFrame>
#include <QImageReader>
#include <QLabel>
#include <QMenuBar>
#include <QWindow>
#include <gtest/gtest.h>

namespace {

struct MainWindowEdges : ::testing::Test {
    testsupport::ScriptedFixture fx;
    frmUtama main;
    MainWindowEdges() { main.activate(); }

    // As the window manager closes a window (Alt+F4, the frame's close button).
    void closeFromWindowManager(QWidget *w)
    {
        QCloseEvent e;
        QCoreApplication::sendEvent(w->windowHandle(), &e);
    }
};

} // namespace

TEST_F(MainWindowEdges, MalayCaptionsWrapTheMenuBarAndKeepTheDesignClientArea)
{
    const QSize design(1009, 635);   // 15135 x 9525 twips
    ASSERT_EQ(QSize(main.clientWidthPx(), main.clientHeightPx()), design);
    const int englishHeight = main.height();
    const int englishBar = main.menus()->height();

    main.PicBM_Click();
    EXPECT_EQ(main.width(), design.width());
    EXPECT_EQ(QSize(main.clientWidthPx(), main.clientHeightPx()), design);
    EXPECT_GT(main.menus()->height(), englishBar);   // a second row
    EXPECT_EQ(main.height(), design.height() + main.menus()->height());
    // The background is the picture as it is, not stretched to a wider window.
    const QSize picture = QImageReader(main.backgroundPath()).size();
    EXPECT_EQ(main.background().size(), picture);
    EXPECT_EQ(main.mnu_contact->text(), "Hubungi Kami");
    EXPECT_EQ(main.mnu_man->text(), "&Manual");

    // Every entry stays on a row the user can click.
    QList<QAction *> shown;
    for (QMenuBar *row : main.menus()->findChildren<QMenuBar *>())
        if (row->isVisibleTo(&main))
            shown += row->actions();
    EXPECT_EQ(shown, main.menus()->actions());

    main.PicEng_Click();
    EXPECT_EQ(main.width(), design.width());
    EXPECT_EQ(main.height(), englishHeight);
    EXPECT_EQ(QSize(main.clientWidthPx(), main.clientHeightPx()), design);

    // A window made narrower by hand wraps its English menu bar as well.
    main.resize(500, main.height());
    EXPECT_GT(main.menus()->height(), englishBar);
    EXPECT_EQ(main.clientHeightPx(), design.height());
}

TEST_F(MainWindowEdges, WindowManagerCannotCloseTheMainWindowWhileAToolIsOpen)
{
    main.mnu_rotate_Click();
    shell::Form *tool = main.formByName("frm_Pusing");
    closeFromWindowManager(&main);
    EXPECT_TRUE(main.isVisible());
    EXPECT_TRUE(tool->isVisible());
    EXPECT_TRUE(main.unloadOrder().isEmpty());

    tool->handBackToMain();
    main.mnu_about_Click();   // the about window counts as well
    closeFromWindowManager(&main);
    EXPECT_TRUE(main.isVisible());
    main.about()->cmdOK_Click();

    // With every tool handed back the frame ends the program as Exit does.
    closeFromWindowManager(&main);
    EXPECT_FALSE(main.isVisible());
    EXPECT_EQ(main.unloadOrder(), QStringList({"frm_Pusing", "frmAbout", "frmUtama"}));
}

TEST_F(MainWindowEdges, ManualWithoutAProgramForHtmlNamesItsPathInBothLanguages)
{
    fx.tk.documentHandler = false;
    main.mnu_man_Click();
    ASSERT_EQ(fx.tk.messages.size(), 1u);
    const auto &eng = fx.tk.messages[0];
    EXPECT_EQ(eng.icon, platform::MsgIcon::Error);
    EXPECT_TRUE(eng.text.startsWith(shell::tx("main.msg.noManualHandler", "eng") + shell::CRLF));
    EXPECT_TRUE(eng.text.endsWith("/PX-English.html"));
    EXPECT_TRUE(QFileInfo(eng.text.section(shell::CRLF, 1)).isFile());

    main.PicBM_Click();
    main.mnu_man_Click();
    ASSERT_EQ(fx.tk.messages.size(), 2u);
    EXPECT_TRUE(fx.tk.messages[1].text.startsWith(shell::tx("main.msg.noManualHandler", "bm")));
    EXPECT_TRUE(fx.tk.messages[1].text.endsWith("/PX-Malay.html"));
    EXPECT_NE(shell::tx("main.msg.noManualHandler", "bm"), shell::tx("main.msg.noManualHandler", "eng"));

    // The desktop's own toolkit says so too when nothing on the path could open it.
    platform::QtToolkit qt;
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", "/nonexistent");
    EXPECT_FALSE(qt.openDocument(fx.tk.openedDocuments[0]));
    qputenv("PATH", path);
}

TEST_F(MainWindowEdges, AboutWindowDrawsTwoSeparatorLinesApart)
{
    main.mnu_about_Click();
    frmAbout *about = main.about();
    about->Form_Resize();
    const QImage shot = about->client()->grab().toImage();
    // Down the middle column, between the description and the notice: runs of rows darker
    // than the window's background are the lines drawn.
    const int x = shot.width() / 2;
    const int from = about->lblDescription->geometry().bottom() + 1;
    const int to = about->lblDisclaimer->geometry().top();
    const int ground = qGray(shot.pixel(x, from));
    int runs = 0;
    bool inRun = false;
    for (int y = from; y < to; ++y) {
        const bool dark = qGray(shot.pixel(x, y)) < ground - 30;
        if (dark && !inRun)
            ++runs;
        inRun = dark;
    }
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(about->client()->findChildren<QFrame *>("separator").size(), 2);
}
