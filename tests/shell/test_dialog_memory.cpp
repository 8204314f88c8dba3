// Dialogs that start where the user left off: each tool's file and folder dialogs in the folder
// that tool used last (kept between sessions), the font dialog on the font the label shows.
#include "app/Cli.h"
#include "platform/Settings.h"
#include "rename/frm_RenBulk.h"
#include "shell/Helpers.h"
#include "shell/frmUtama.h"
#include "support/TestSupport.h"
#include "tools/frm_Addtext.h"
#include "tools/frm_Pusing.h"
#include "tools/frm_WaterLogo.h"

#include <QApplication>
#include <QDir>
#include <QFontDialog>
#include <QFontInfo>
#include <QSettings>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// A settings file of the test's own, so that what other tests chose does not show here.
struct DialogMemory : ::testing::Test {
    QTemporaryDir config, tmp;
    QByteArray saved = qgetenv("PIXMAR_CONFIG");
    testsupport::ScriptedFixture fx;

    DialogMemory()
    {
        qputenv("PIXMAR_CONFIG", config.filePath("pixmar.conf").toUtf8());
        QDir(tmp.path()).mkpath("a");
        QDir(tmp.path()).mkpath("b");
    }
    ~DialogMemory() override { qputenv("PIXMAR_CONFIG", saved); }
    QString at(const QString &name) const { return tmp.filePath(name); }
    // A new session reads the file afresh.
    void newSession()
    {
        qputenv("PIXMAR_CONFIG", saved);
        platform::setting("x");
        qputenv("PIXMAR_CONFIG", config.filePath("pixmar.conf").toUtf8());
    }
};

} // namespace

TEST_F(DialogMemory, FolderDialogsStartWhereTheSameToolLeftOffAcrossSessions)
{
    {
        frmUtama main;
        main.activate();
        main.mnu_rotate_Click();
        frm_Pusing *rotate = main.pusing();
        fx.tk.folderAnswers = {at("a")};
        rotate->mnu_bulk_Click();
        fx.tk.folderAnswers = {QString()};   // cancelled: remembers nothing
        rotate->mnu_folder_Click();
        fx.tk.folderAnswers = {at("b")};
        rotate->mnu_folder_Click();
        EXPECT_EQ(fx.tk.folderStartFolders, QStringList({"", at("a"), at("a")}));
        rotate->handBackToMain();

        // Another tool has a memory of its own.
        main.mnu_ren_Click();
        fx.tk.folderAnswers = {at("a")};
        main.renbulk()->cmddir_Click();
        EXPECT_EQ(fx.tk.folderStartFolders.last(), "");
        main.renbulk()->handBackToMain();
    }
    newSession();
    frmUtama main;
    main.activate();
    main.mnu_rotate_Click();
    fx.tk.folderAnswers = {at("a")};
    main.pusing()->mnu_bulk_Click();
    EXPECT_EQ(fx.tk.folderStartFolders.last(), at("b"));

    // A remembered folder that has gone leaves the choice to the desktop.
    QDir(at("a")).removeRecursively();
    main.pusing()->mnu_folder_Click();
    EXPECT_EQ(fx.tk.folderStartFolders.last(), "");
}

TEST_F(DialogMemory, OpenFileDialogsStartInTheFolderOfTheLastChosenFile)
{
    frmUtama main;
    main.activate();
    main.mnu_logowatermark_Click();
    frm_WaterLogo *logo = main.waterlogo();
    ASSERT_TRUE(testsupport::writeSolid(at("b/logo.png"), 8, 8, Qt::red));
    fx.tk.openAnswers = {at("b/logo.png")};
    logo->mnu_txtwtr_Click();
    fx.tk.openAnswers = {std::nullopt};
    logo->mnu_single_Click();
    fx.tk.folderAnswers = {QString()};
    logo->mnu_bulk_Click();
    EXPECT_EQ(fx.tk.openStartFolders, QStringList({"", at("b")}));
    EXPECT_EQ(fx.tk.folderStartFolders, QStringList({at("b")}));
    EXPECT_EQ(shell::lastFolder(logo), at("b"));
    EXPECT_EQ(shell::lastFolder(main.addtext()), "");
}

TEST_F(DialogMemory, CommandLineNeitherReadsNorWritesTheMemory)
{
    ASSERT_TRUE(testsupport::writeSolid(at("a/p.jpg"), 8, 8, Qt::blue));
    testsupport::Captured out(stdout), err(stderr);
    EXPECT_EQ(app::runCommandLine({"rotate", "--dir", at("a"), "--target", at("b"), "--plus"}),
              app::kExitOk);
    EXPECT_TRUE(QSettings(config.filePath("pixmar.conf"), QSettings::IniFormat).allKeys().isEmpty());
    platform::setToolkit(&fx.tk);   // the command line put the desktop's toolkit back
    // And the windows remember again afterwards.
    frmUtama main;
    main.activate();
    main.mnu_rotate_Click();
    fx.tk.folderAnswers = {at("a")};
    main.pusing()->mnu_bulk_Click();
    EXPECT_EQ(shell::lastFolder(main.pusing()), at("a"));
}

TEST_F(DialogMemory, FontDialogsOpenOnTheFontTheLabelShows)
{
    frmUtama main;
    main.activate();
    main.mnu_addtext_Click();
    frm_Addtext *tool = main.addtext();
    tool->CommonDialog.font = {QStringLiteral("Times New Roman"), 10.5, true, true};
    tool->mnu_fontstyle_Click();
    ASSERT_EQ(fx.tk.fontShown.size(), 1u);
    EXPECT_EQ(fx.tk.fontShown[0], tool->CommonDialog.font);

    // The desktop's dialog: a family that is not installed comes up as the one drawn for it,
    // bold and italic as set, and OK alone leaves the font as the label shows it.
    platform::QtToolkit qt;
    platform::FontSpec font{QStringLiteral("Times New Roman"), 10.5, true, true};
    QFont shown;
    QTimer::singleShot(0, [&] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *d = qobject_cast<QFontDialog *>(w); d && d->isVisible()) {
                shown = d->currentFont();
                d->accept();
            }
        }
    });
    ASSERT_TRUE(qt.showFont(font, nullptr));
    EXPECT_EQ(shown.family(), QFontInfo(QFont("Times New Roman")).family());
    EXPECT_TRUE(shown.bold());
    EXPECT_TRUE(shown.italic());
    EXPECT_EQ(shown.pointSize(), 11);   // the dialog offers whole sizes
    EXPECT_EQ(font, (platform::FontSpec{QStringLiteral("Times New Roman"), 10.5, true, true}));
}
