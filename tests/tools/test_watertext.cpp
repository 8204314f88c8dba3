// The text watermark window driven offscreen through the scripted toolkit.
#include "ToolTestSupport.h"

#include "tools/frm_Watertext.h"

#include <QAction>
#include <QImageReader>
#include <QLabel>
#include <QMenu>

using tooltest::maxChannel;

namespace {

class Watertext : public tooltest::ToolFixture {
protected:
    Watertext() { w.activate(); }
    void setText(const QString &text, double size = 28)
    {
        tk.inputAnswers = {text};
        w.mnu_txtwtr_Click();
        tk.fontAnswers = {platform::FontSpec{QStringLiteral("DejaVu Sans"), size, true, false}};
        w.mnu_font_Click();
    }
    QImage output(const QString &name) { return QImage(at(name)).convertToFormat(QImage::Format_RGB32); }
    frm_Watertext w;
};

} // namespace

TEST_F(Watertext, EachLevelBrightensTheGlyphsByItsOpacity)
{
    testsupport::writeSolid(in(QStringLiteral("black.bmp")), 200, 60, Qt::black);
    single(w, in(QStringLiteral("black.bmp")), out);
    setText(QStringLiteral("MW"));
    const int expected[] = {230, 204, 178, 153, 128, 102, 76, 51, 26};   // halves to even
    for (int i = 0; i < 9; ++i) {
        w.mnu_loadpic_Click();   // a fresh picture: marks add up on the preview
        w.levelMenus()[size_t(i)]->trigger();
        w.clickAtPixels(5, 5);
        EXPECT_EQ(maxChannel(w.Picture1.visibleImage()), expected[i]) << w.varlevel.toStdString();
        EXPECT_EQ(platform::gdi::packBlendFunction(w.blendfn), quint32(expected[i]) * 65536 + 16777216);
    }
    EXPECT_EQ(maxChannel(w.Picture1.persistentImage()), 0);   // marks stay off the picture
}

TEST_F(Watertext, WhiteTextAtTenPercentOnBlackGives230AndLeavesWhiteAlone)
{
    testsupport::writeSolid(in(QStringLiteral("black.bmp")), 300, 100, Qt::black);
    testsupport::writeSolid(in(QStringLiteral("white.bmp")), 300, 100, Qt::white);
    bulk(w, src, out);
    w.mnu_loadpic_Click();
    setText(QStringLiteral("Sample"));
    w.mnu_10->trigger();
    w.clickAtPixels(10, 20);
    w.mnu_sav_Click();
    const QImage black = output(QStringLiteral("awtx-black.bmp"));
    ASSERT_EQ(black.size(), QSize(300, 100));
    EXPECT_EQ(maxChannel(black), 230);
    int full = 0;
    for (int y = 0; y < black.height(); ++y)
        for (int x = 0; x < black.width(); ++x)
            full += black.pixel(x, y) == qRgb(230, 230, 230);
    EXPECT_GT(full, 50);
    EXPECT_EQ(maxChannel(black, QRect(0, 0, 10, 100)), 0);   // nothing left of the mark
    EXPECT_EQ(maxChannel(black, QRect(0, 0, 300, 20)), 0);   // nor above it
    const QImage white = output(QStringLiteral("awtx-white.bmp"));
    EXPECT_EQ(white.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(white.pixel(60, 40), qRgb(255, 255, 255));
}

TEST_F(Watertext, OutputIsOwnSizeFittedOrTwiceFittedByTheReductions)
{
    testsupport::writeSolid(in(QStringLiteral("a.bmp")), 200, 100, Qt::gray);
    testsupport::writeSolid(in(QStringLiteral("b.bmp")), 2000, 400, Qt::gray);    // width only
    testsupport::writeSolid(in(QStringLiteral("c.bmp")), 300, 1000, Qt::gray);    // height only
    testsupport::writeSolid(in(QStringLiteral("d.jpg")), 2000, 1500, Qt::gray);   // both
    bulk(w, src, out);
    w.mnu_loadpic_Click();
    setText(QStringLiteral("x"));
    w.mnu_sav_Click();
    EXPECT_EQ(QImageReader(at(QStringLiteral("awtx-a.bmp"))).size(), QSize(200, 100));
    EXPECT_EQ(QImageReader(at(QStringLiteral("awtx-b.bmp"))).size(), QSize(1328, 266));
    EXPECT_EQ(QImageReader(at(QStringLiteral("awtx-c.bmp"))).size(), QSize(191, 637));
    EXPECT_EQ(QImageReader(at(QStringLiteral("awtx-d.jpg"))).size(), QSize(1698, 1274));
}

TEST_F(Watertext, AMarkPastTheEdgeIsCutOff)
{
    testsupport::writeSolid(in(QStringLiteral("a.bmp")), 100, 50, Qt::black);
    single(w, in(QStringLiteral("a.bmp")), out);
    w.mnu_loadpic_Click();
    setText(QStringLiteral("WWWW"));
    w.clickAtPixels(90, 10);
    w.mnu_sav_Click();
    const QImage cut = output(QStringLiteral("awtx-a.bmp"));
    EXPECT_EQ(cut.size(), QSize(100, 50));
    EXPECT_GT(maxChannel(cut, QRect(90, 10, 10, 40)), 0);
    EXPECT_EQ(maxChannel(cut, QRect(0, 0, 90, 50)), 0);
}

TEST_F(Watertext, LoadStepSaysFolderWhereTheRunSaysDirectory)
{
    w.mnu_bulk_Click();
    w.mnu_loadpic_Click();
    EXPECT_EQ(lastText(), QStringLiteral("Please specify Source Folder!"));
    w.mnu_sav_Click();
    EXPECT_EQ(lastText(), QStringLiteral("Please specify Source Directory!"));
    tk.folderAnswers = {src};
    w.mnu_bulk_Click();
    w.mnu_loadpic_Click();
    EXPECT_EQ(lastText(), QStringLiteral("Please specify Target Folder!"));
    EXPECT_EQ(lastTitle(), QStringLiteral("Pixmar: Invalid Path"));
    w.mnu_sav_Click();
    EXPECT_EQ(lastText(), QStringLiteral("Please specify Target Directory!"));
}

TEST_F(Watertext, MalayLabelsAndActivationResetsLevelAndFontButKeepsFolders)
{
    shell::setVarbahasa(QStringLiteral("bm"));
    w.Form_Activate();
    EXPECT_EQ(w.mnu_tranparent->title(), QStringLiteral("Tahap Ketelusan"));
    EXPECT_EQ(w.lbltransparent->text(), QStringLiteral("Tahap Ketelusan : 70%"));
    EXPECT_EQ(w.lblfont->text(), QStringLiteral("Font : Times New Roman / Saiz : 14"));
    w.mnu_20->trigger();
    EXPECT_EQ(w.lbltransparent->text(), QStringLiteral("Tahap Ketelusan : 20%"));
    single(w, in(QStringLiteral("a.jpg")), out);
    EXPECT_EQ(w.lblfile->text(), QStringLiteral("Fail : ") + in(QStringLiteral("a.jpg")));
    EXPECT_EQ(w.lbltarget->text(), QStringLiteral("Direktori Sasaran : ") + out + QLatin1Char('/'));
    w.Picture1_MouseMove(5, 7);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Mouse Position (X, Y):  5,  7"));
    w.Form_MouseMove();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("  Letak Teks Watermark Di Gambar"));

    setText(QStringLiteral("x"), 30);
    w.mnu_exit_Click();
    EXPECT_FALSE(w.isVisible());
    w.Form_Activate();
    EXPECT_EQ(w.varlevel, QStringLiteral("70%"));
    EXPECT_EQ(w.lblfont->text(), QStringLiteral("Font : Times New Roman / Saiz : 14"));
    EXPECT_TRUE(w.lblfile->text().isEmpty() && w.lbltarget->text().isEmpty());
    EXPECT_EQ(w.run().varfile, in(QStringLiteral("a.jpg")));
    EXPECT_EQ(w.run().vartgtdir, out);
}

TEST_F(Watertext, FailuresAreAskedAboutAndNothingOfTheUsersIsReplaced)
{
    testsupport::writeSolid(in(QStringLiteral("a.jpg")), 40, 30, Qt::gray);
    testsupport::writeSolid(in(QStringLiteral("b.bmp")), 40, 30, Qt::gray);
    const QStringList broken = tooltest::writeBrokenPictures(src);
    testsupport::writeSolid(in(QStringLiteral("thin.bmp")), 3000, 1, Qt::gray);   // fits to 0 pixels
    testsupport::writeBytes(at(QStringLiteral("adwt-a.jpg")), "the user's own file");
    QDir(out).mkdir(QStringLiteral("awtx-b.bmp"));   // the output cannot be written
    bulk(w, src, out);
    w.mnu_loadpic_Click();
    setText(QStringLiteral("x"));
    bool exitEnabled = false;
    tk.onDoEvents = [&] { exitEnabled = exitEnabled || w.mnu_exit->isEnabled(); };
    w.mnu_sav_Click();
    EXPECT_FALSE(exitEnabled);
    const QStringList asked = questions();
    EXPECT_EQ(asked.size(), broken.size() + 2);
    EXPECT_EQ(asked.filter(QStringLiteral("awtx-b.bmp")).size(), 1);
    EXPECT_EQ(asked.filter(QStringLiteral("The picture is too thin to be shown: ") + in(QStringLiteral("thin.bmp"))).size(), 1);
    EXPECT_TRUE(lastText().startsWith(QStringLiteral("Adding text watermark for 1 file(s) DONE.")));
    EXPECT_EQ(lastTitle(), QStringLiteral("Text Watermark"));
    EXPECT_EQ(testsupport::readBytes(at(QStringLiteral("adwt-a.jpg"))), QByteArray("the user's own file"));
    EXPECT_EQ(outFiles(), QStringList({QStringLiteral("adwt-a.jpg"), QStringLiteral("awtx-a.jpg")}));
}
