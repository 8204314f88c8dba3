#include "shell/Form.h"
#include "shell/Texts.h"
#include "shell/frmAbout.h"
#include "shell/frmUtama.h"
#include "support/TestSupport.h"

#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <gtest/gtest.h>

namespace {

struct MainWindowTest : ::testing::Test {
    testsupport::ScriptedFixture fx;
    frmUtama main;
    MainWindowTest() { main.activate(); }

    QStringList barCaptions() const
    {
        QStringList out;
        for (QAction *a : main.menus()->actions())
            out << a->text();
        return out;
    }
};

} // namespace

TEST_F(MainWindowTest, StartsInEnglishWithTheMenuBarInOrder)
{
    EXPECT_EQ(shell::varbahasa(), "eng");
    EXPECT_EQ(main.windowTitle(), " Pixmar 1.1");
    EXPECT_EQ(barCaptions(),
              QStringList({"Insert Text on Picture", "Add Text Watermark", "Add LOGO Watermark",
                           "Rotate Picture", "Animated GIF", "Rename File in Bulk", "Pixmar",
                           "Help", "Exit"}));
    // Help is the only drop-down.
    for (QAction *a : main.menus()->actions())
        EXPECT_EQ(a->menu() != nullptr, a->text() == "Help");
    QStringList help;
    for (QAction *a : main.mnu_help->actions())
        help << a->text();
    EXPECT_EQ(help, QStringList({"&Manual", "Contact Us"}));
}

TEST_F(MainWindowTest, FlagsSwitchLanguageAndASecondClickChangesNothing)
{
    main.PicBM_Click();
    EXPECT_EQ(shell::varbahasa(), "bm");
    EXPECT_EQ(barCaptions(),
              QStringList({"Masukkan Teks Di Gambar", "Letak Teks Watermark", "Letak LOGO Watermark",
                           "Ubah Posisi Gambar", "Bina Fail GIF Animasi",
                           "Penamaan Fail Secara Pukal", "Pixmar", "Bantuan", "Keluar"}));
    EXPECT_EQ(main.windowTitle(), " Pixmar 1.1");
    EXPECT_EQ(main.mnu_man->text(), "&Manual");
    const QStringList once = barCaptions();
    main.PicBM_Click();
    EXPECT_EQ(barCaptions(), once);
    main.PicEng_Click();
    EXPECT_EQ(shell::varbahasa(), "eng");
    EXPECT_EQ(main.PicBM->toolTip(), "Bahasa Malaysia");
    EXPECT_EQ(main.PicEng->toolTip(), "English");
}

TEST_F(MainWindowTest, ToolTakesOverAndHandsBackReapplyingCaptions)
{
    main.mnu_txtwatermark_Click();
    shell::Form *tool = main.formByName("frm_Watertext");
    EXPECT_FALSE(main.isEnabled());
    EXPECT_TRUE(tool->isVisible());
    EXPECT_EQ(tool->windowTitle(), " Add Text Watermark On Picture");

    // The language changes while the tool is away, as a flag click would before opening it.
    main.langflag = true;
    tool->handBackToMain();
    EXPECT_TRUE(main.isEnabled());
    EXPECT_FALSE(tool->isVisible());
    EXPECT_EQ(main.mnu_exit->text(), "Keluar");   // re-activated, captions re-applied

    main.mnu_txtwatermark_Click();
    EXPECT_EQ(main.formByName("frm_Watertext"), tool);   // Exit keeps the window
    EXPECT_EQ(tool->windowTitle(), " Letak Teks Watermark Di Gambar");
    tool->close();                        // the frame unloads it
    EXPECT_TRUE(main.isEnabled());
}

TEST_F(MainWindowTest, ExitUnloadsOpenWindowsInTheFixedOrder)
{
    main.mnu_about_Click();
    main.about()->cmdOK_Click();
    main.mnu_ren_Click();
    main.formByName("frm_RenBulk")->handBackToMain();
    main.mnu_addtext_Click();
    main.formByName("frm_Addtext")->handBackToMain();
    main.mnu_gif_Click();
    main.formByName("frm_AnimGif")->handBackToMain();
    main.mnu_exit_Click();
    EXPECT_EQ(main.unloadOrder(),
              QStringList({"frm_AnimGif", "frm_RenBulk", "frmAbout", "frm_Addtext", "frmUtama"}));
    EXPECT_TRUE(fx.tk.messages.empty());
}

TEST_F(MainWindowTest, ContactMessageAndManualFollowTheLanguage)
{
    main.mnu_contact_Click();
    ASSERT_EQ(fx.tk.messages.size(), 1u);
    EXPECT_EQ(fx.tk.messages[0].title, "Pixmar");
    EXPECT_TRUE(fx.tk.messages[0].text.startsWith("Please do no hesitate to contact us.\r\n"));
    EXPECT_EQ(fx.tk.messages[0].icon, platform::MsgIcon::Information);
    main.mnu_man_Click();
    main.PicBM_Click();
    main.mnu_contact_Click();
    EXPECT_TRUE(fx.tk.messages[1].text.startsWith("Sila hubungi kami untuk sebarang pertanyaan.\r\n"));
    main.mnu_man_Click();
    ASSERT_EQ(fx.tk.openedDocuments.size(), 2);
    EXPECT_TRUE(fx.tk.openedDocuments[0].endsWith("/PX-English.html"));
    EXPECT_TRUE(fx.tk.openedDocuments[1].endsWith("/PX-Malay.html"));
}

TEST_F(MainWindowTest, ResizeStretchesBackgroundAndKeepsFlagsAboveTheBottom)
{
    main.resize(900, 700);
    main.Form_Resize();
    ASSERT_FALSE(main.background().isNull());
    EXPECT_EQ(main.background().size(), QSize(main.clientWidthPx(), main.clientHeightPx()));
    const int expectedTop = main.clientHeightPx() - int(std::lround(430 / 15.0));
    EXPECT_EQ(main.PicBM->y(), expectedTop);
    EXPECT_EQ(main.PicEng->y(), expectedTop);
    EXPECT_EQ(main.PicBM->x(), 11);    // 165 twips
    EXPECT_EQ(main.PicEng->x(), 59);   // 885 twips
}

TEST(MainWindowBackground, MissingBackgroundLeavesTheWindowPlain)
{
    testsupport::ScriptedFixture fx;
    QTemporaryDir empty;
    const QByteArray saved = qgetenv("PIXMAR_HOME");
    qputenv("PIXMAR_HOME", empty.path().toUtf8());
    {
        frmUtama main;
        main.activate();
        const QPoint flag = main.PicBM->pos();
        main.resize(800, 600);
        EXPECT_FALSE(main.Form_Resize());
        EXPECT_TRUE(main.background().isNull());
        EXPECT_EQ(main.PicBM->pos(), flag);
        main.mnu_man_Click();   // no manual: no message, nothing opened
        EXPECT_TRUE(fx.tk.openedDocuments.isEmpty());
        EXPECT_TRUE(fx.tk.messages.empty());
    }
    qputenv("PIXMAR_HOME", saved);
}

TEST_F(MainWindowTest, AboutWindowDescribesInTheCurrentLanguage)
{
    main.PicBM_Click();
    main.mnu_about_Click();
    frmAbout *about = main.about();
    EXPECT_EQ(about->windowTitle(), "Pixmar");
    EXPECT_TRUE(about->lblDescription->text().startsWith("Pixmar adalah aplikasi"));
    EXPECT_TRUE(about->lblDescription->text().endsWith("secara satu persatu atau secara pukal."));
    about->cmdOK_Click();
    main.PicEng_Click();
    main.mnu_about_Click();
    EXPECT_TRUE(about->lblDescription->text().endsWith("either on single or bulk image files and etc at once."));

    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", "/nonexistent");
    about->cmdSysInfo_Click();
    qputenv("PATH", path);
    ASSERT_FALSE(fx.tk.messages.empty());
    EXPECT_EQ(fx.tk.messages.back().text, "System Information Is Unavailable At This Time");
    EXPECT_TRUE(about->isVisible());
}
