// The insert-text window driven offscreen through the scripted toolkit; it also carries the
// tests of the shared window pattern and batch run.
#include "ToolTestSupport.h"

#include "shell/frmUtama.h"
#include "tools/frm_Addtext.h"

#include <QAction>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QMenu>
#include <QPointer>

using tooltest::maxChannel;

namespace {

class Addtext : public tooltest::ToolFixture {
protected:
    Addtext() { w.activate(); }
    void loadAndSave()
    {
        w.mnu_load_Click();
        w.mnu_sav_Click();
    }
    QImage output(const QString &name) { return QImage(at(name)).convertToFormat(QImage::Format_RGB32); }
    frm_Addtext w;
};

QString format(const QString &path)
{
    QImageReader r(path);
    r.setDecideFormatFromContent(true);
    return QString::fromLatin1(r.format());
}

} // namespace

TEST_F(Addtext, FolderWithTextFileAndJpegCountsBothAndWritesOne)
{
    testsupport::writeBytes(in(QStringLiteral("a.txt")), "notes");
    testsupport::writeSolid(in(QStringLiteral("b.jpg")), 60, 40, Qt::gray);
    bulk(w, src, out);
    loadAndSave();
    EXPECT_EQ(lastTitle(), QStringLiteral("Insert Text"));
    EXPECT_TRUE(lastText().startsWith(QStringLiteral("Inserting text for 2 file(s) DONE.")));
    EXPECT_TRUE(lastText().contains(QStringLiteral("\r\na.txt ; \r\n")));
    EXPECT_TRUE(lastText().endsWith(QStringLiteral("Total invalid file(s) : 1")));
    EXPECT_EQ(outFiles(), QStringList{QStringLiteral("adt-b.jpg")});   // no intermediate left
    EXPECT_EQ(w.outcome().end, tools::RunOutcome::End::Reported);
}

TEST_F(Addtext, ExtensionsAreComparedLowerCasedAndOutputsKeepTheSourceFormat)
{
    testsupport::writeSolid(in(QStringLiteral("Photo.JPG")), 30, 20, Qt::red);
    testsupport::writeSolid(in(QStringLiteral("c.png")), 30, 20, Qt::blue);
    testsupport::writeSolid(in(QStringLiteral("d.tif")), 30, 20, Qt::green);
    testsupport::writeSolid(in(QStringLiteral("a.jpeg")), 30, 20, Qt::blue);
    testsupport::writeBytes(in(QStringLiteral("noext")), "x");
    bulk(w, src, out);
    loadAndSave();
    EXPECT_TRUE(lastText().startsWith(QStringLiteral("Inserting text for 5 file(s) DONE.")));
    EXPECT_TRUE(lastText().contains(QStringLiteral("\r\nnoext ; a.jpeg ; \r\n")));   // newest first
    EXPECT_EQ(outFiles(), QStringList({QStringLiteral("adt-c.png"), QStringLiteral("adt-d.tif"),
                                       QStringLiteral("adt-Photo.jpg")}));
    EXPECT_EQ(format(at(QStringLiteral("adt-d.tif"))), QStringLiteral("tiff"));
    EXPECT_EQ(format(at(QStringLiteral("adt-Photo.jpg"))), QStringLiteral("jpeg"));
    EXPECT_EQ(format(at(QStringLiteral("adt-c.png"))), QStringLiteral("png"));
}

TEST_F(Addtext, SaveBeforeLoadReportsNothingAndSingleDoesExactlyOne)
{
    for (const char *name : {"a.jpg", "b.jpg", "c.jpg"})
        testsupport::writeSolid(in(QString::fromLatin1(name)), 20, 20, Qt::white);
    bulk(w, src, out);
    w.mnu_sav_Click();
    EXPECT_TRUE(lastText().startsWith(QStringLiteral("Inserting text for 0 file(s) DONE.")));
    EXPECT_TRUE(outFiles().isEmpty());

    single(w, in(QStringLiteral("b.jpg")), out);
    loadAndSave();
    EXPECT_TRUE(lastText().startsWith(QStringLiteral("Inserting text for 1 file(s) DONE.")));
    EXPECT_EQ(outFiles(), QStringList{QStringLiteral("adt-b.jpg")});
    // The run emptied the file: Save again stops at the input check.
    w.mnu_sav_Click();
    EXPECT_EQ(lastText(), QStringLiteral("Please specify your picture file!"));
    EXPECT_EQ(w.outcome().end, tools::RunOutcome::End::InputFault);
}

TEST_F(Addtext, InputChecksStopInTheirOrderWithTheirTexts)
{
    w.mnu_single_Click();   // cancelled dialog: no file
    w.mnu_load_Click();
    EXPECT_EQ(lastText(), QStringLiteral("Please specify your picture file!"));
    EXPECT_EQ(lastTitle(), QStringLiteral("Pixmar: Invalid Path"));
    w.mnu_bulk_Click();     // cancelled picker: no source
    w.mnu_sav_Click();
    EXPECT_EQ(lastText(), QStringLiteral("Please specify Source Directory!"));
    shell::setVarbahasa(QStringLiteral("bm"));
    tk.folderAnswers = {src};
    w.mnu_bulk_Click();
    w.mnu_load_Click();
    EXPECT_EQ(lastText(), QStringLiteral("Sila nyatakan Direktori Sasaran"));
    EXPECT_EQ(lastTitle(), QStringLiteral("Pixmar: Direktori Tidak Sah"));
    tk.folderAnswers = {out};
    w.mnu_folder_Click();
    w.mnu_load_Click();   // the folder is empty
    EXPECT_EQ(lastText(), QStringLiteral("Sila pastikan direktori terdapat fail imej!"));
    EXPECT_EQ(lastTitle(), QStringLiteral("Pixmar"));
    EXPECT_EQ(tk.busyDepth, 0);
}

TEST_F(Addtext, NoToContinueEndsWithoutReportAndKeepsWhatWasWritten)
{
    testsupport::writeSolid(in(QStringLiteral("a.jpg")), 20, 20, Qt::white);
    testsupport::writeBytes(in(QStringLiteral("b.jpg")), "broken");
    testsupport::writeSolid(in(QStringLiteral("c.jpg")), 20, 20, Qt::white);
    bulk(w, src, out);
    tk.messageAnswers = {platform::MsgResult::No};
    loadAndSave();
    EXPECT_EQ(tk.lastMessage()->buttons, platform::MsgButtons::YesNo);
    EXPECT_TRUE(lastText().endsWith(QStringLiteral("\r\nContinue?")));
    EXPECT_EQ(lastTitle(), QStringLiteral("Error"));
    EXPECT_EQ(w.outcome().end, tools::RunOutcome::End::Stopped);
    EXPECT_EQ(outFiles(), QStringList{QStringLiteral("adt-a.jpg")});
    EXPECT_EQ(tk.busyDepth, 0);
}

TEST_F(Addtext, BrokenAndVanishingFilesAskEachAndTheOthersAreWritten)
{
    const QStringList broken = tooltest::writeBrokenPictures(src);
    testsupport::writeSolid(in(QStringLiteral("good.bmp")), 40, 30, Qt::white);
    testsupport::writeSolid(in(QStringLiteral("good2.jpg")), 40, 30, Qt::white);
    testsupport::writeSolid(in(QStringLiteral("vanish.jpg")), 40, 30, Qt::white);
    bulk(w, src, out);
    w.mnu_load_Click();   // the first entry is empty.bmp: an OK box titled "Error"
    EXPECT_EQ(lastTitle(), QStringLiteral("Error"));
    EXPECT_EQ(tk.lastMessage()->buttons, platform::MsgButtons::OK);
    tk.onDoEvents = [&] { QFile::remove(in(QStringLiteral("vanish.jpg"))); };
    w.mnu_sav_Click();
    const QStringList asked = questions();
    ASSERT_EQ(asked.size(), broken.size() + 1);
    for (const QString &name : broken + QStringList{QStringLiteral("vanish.jpg")})
        EXPECT_EQ(asked.filter(name).size(), 1) << name.toStdString();
    EXPECT_TRUE(lastText().startsWith(QStringLiteral("Inserting text for 2 file(s) DONE.")));
    EXPECT_EQ(outFiles(), QStringList({QStringLiteral("adt-good.bmp"), QStringLiteral("adt-good2.jpg")}));
}

TEST_F(Addtext, UnusableTargetIsAFileErrorForEachPicture)
{
    testsupport::writeSolid(in(QStringLiteral("a.jpg")), 20, 20, Qt::white);
    testsupport::writeSolid(in(QStringLiteral("b.bmp")), 20, 20, Qt::white);
    const QString notAFolder = tmp.path() + QStringLiteral("/file");
    testsupport::writeBytes(notAFolder, "x");
    bulk(w, src, notAFolder);
    loadAndSave();
    EXPECT_EQ(questions().size(), 2);
    EXPECT_TRUE(lastText().startsWith(QStringLiteral("Inserting text for 0 file(s) DONE.")));
    EXPECT_EQ(testsupport::readBytes(notAFolder), QByteArray("x"));
}

TEST_F(Addtext, RunInItsOwnSourceFolderVisitsOnlyTheListedFilesAndReplacesNothing)
{
    testsupport::writeSolid(in(QStringLiteral("a.jpg")), 20, 20, Qt::white);
    testsupport::writeSolid(in(QStringLiteral("b.jpg")), 20, 20, Qt::white);
    testsupport::writeBytes(in(QStringLiteral("adtx-b.bmp")), "the user's own file");
    bulk(w, src, src);
    loadAndSave();
    // adtx-b.bmp is listed too, but is no picture: asked about, not counted.
    EXPECT_TRUE(lastText().startsWith(QStringLiteral("Inserting text for 2 file(s) DONE.")));
    EXPECT_EQ(questions().size(), 1);
    EXPECT_EQ(testsupport::readBytes(in(QStringLiteral("adtx-b.bmp"))), QByteArray("the user's own file"));
    EXPECT_EQ(QDir(src).entryList(QDir::Files, QDir::Name),
              QStringList({QStringLiteral("a.jpg"), QStringLiteral("adt-a.jpg"), QStringLiteral("adt-b.jpg"),
                           QStringLiteral("adtx-b.bmp"), QStringLiteral("b.jpg")}));
}

TEST_F(Addtext, MenusAreOffWhileTheRunLetsEventsRunAndNothingReentersIt)
{
    testsupport::writeSolid(in(QStringLiteral("a.jpg")), 20, 20, Qt::white);
    testsupport::writeSolid(in(QStringLiteral("b.jpg")), 20, 20, Qt::white);
    bulk(w, src, out);
    w.mnu_load_Click();
    int calls = 0;
    bool anyEnabled = false, closed = false;
    tk.onDoEvents = [&] {
        ++calls;
        for (QAction *a : {w.mnu_sav, w.mnu_load, w.mnu_exit, w.mnu_folder, w.mnu_files->menuAction()})
            anyEnabled = anyEnabled || a->isEnabled();
        w.mnu_sav->trigger();
        w.mnu_sav_Click();
        w.mnu_load_Click();
        w.mnu_bulk_Click();
        w.mnu_exit_Click();
        closed = closed || w.close();
    };
    w.mnu_sav_Click();
    tk.onDoEvents = nullptr;
    EXPECT_GT(calls, 0);
    EXPECT_FALSE(anyEnabled);
    EXPECT_FALSE(closed);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(tk.messages.size(), 1u);   // one report, nothing else
    EXPECT_TRUE(lastText().startsWith(QStringLiteral("Inserting text for 2 file(s) DONE.")));
    EXPECT_TRUE(w.mnu_sav->isEnabled() && w.mnu_exit->isEnabled());
}

TEST_F(Addtext, TextLandsAtTheClickedOffsetInTheColourOfTheLastClick)
{
    testsupport::writeSolid(in(QStringLiteral("a.bmp")), 200, 100, Qt::white);
    testsupport::writeSolid(in(QStringLiteral("b.bmp")), 300, 150, Qt::white);
    bulk(w, src, out);
    w.mnu_load_Click();
    tk.inputAnswers = {QStringLiteral("XX")};
    w.mnu_addtext_Click();
    w.mnu_red_Click();
    tk.fontAnswers = {platform::FontSpec{QStringLiteral("DejaVu Sans"), 20, true, false}};
    w.mnu_fontstyle_Click();
    w.Picture1_MouseMove(600, 300);   // twips: 40, 20 pixels
    w.Picture1_Click();
    w.mnu_blue_Click();               // after the click: not used
    w.mnu_sav_Click();
    for (const char *name : {"adt-a.bmp", "adt-b.bmp"}) {
        const QImage img = output(QString::fromLatin1(name));
        int red = 0, blue = 0, elsewhere = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QRgb p = img.pixel(x, y);
                if (p == qRgb(255, 255, 255))
                    continue;
                (x < 40 || y < 20 || x > 120 || y > 60) ? ++elsewhere : (qBlue(p) > qRed(p) ? ++blue : ++red);
            }
        EXPECT_GT(red, 50) << name;
        EXPECT_EQ(blue, 0) << name;
        EXPECT_EQ(elsewhere, 0) << name;
    }
}

TEST_F(Addtext, SmallPictureKeepsItsSizeLargerOnesAreFitted)
{
    ASSERT_EQ(w.clientWidthPx(), 1328);   // 19920 × 9555 twips at 15 twips per pixel
    ASSERT_EQ(w.clientHeightPx(), 637);
    testsupport::writeSolid(in(QStringLiteral("a.bmp")), 200, 100, Qt::white);
    testsupport::writeSolid(in(QStringLiteral("b.bmp")), 2000, 400, Qt::white);
    testsupport::writeSolid(in(QStringLiteral("c.jpg")), 2600, 1950, Qt::white);
    bulk(w, src, out);
    loadAndSave();
    EXPECT_EQ(QImageReader(at(QStringLiteral("adt-a.bmp"))).size(), QSize(200, 100));
    EXPECT_EQ(QImageReader(at(QStringLiteral("adt-b.bmp"))).size(), QSize(1328, 266));
    EXPECT_EQ(QImageReader(at(QStringLiteral("adt-c.jpg"))).size(), QSize(849, 637));
}

TEST_F(Addtext, MalayCaptionsLabelsAndReadout)
{
    shell::setVarbahasa(QStringLiteral("bm"));
    w.Form_Activate();
    EXPECT_EQ(w.windowTitle(), QStringLiteral(" Masukkan Teks Di Gambar"));
    EXPECT_EQ(w.mnu_load->text(), QStringLiteral("Muat Gambar"));
    EXPECT_EQ(w.lblfont->text(), QStringLiteral("Font : Times New Roman / Saiz : 12 / Warna : Hitam"));
    w.mnu_cyan_Click();
    tk.fontAnswers = {platform::FontSpec{QStringLiteral("Times New Roman"), 10.5, false, false}};
    w.mnu_fontstyle_Click();
    EXPECT_EQ(w.lblfont->text(), QStringLiteral("Font : Times New Roman / Saiz : 10.5 / Warna : Cyan"));
    bulk(w, src, QStringLiteral("/"));
    EXPECT_EQ(w.lblfile->text(), QStringLiteral("Direktori Fail Pukal : ") + src + QLatin1Char('/'));
    EXPECT_EQ(w.lbltarget->text(), QStringLiteral("Directory Sasaran : /"));   // the root, not doubled
    w.Picture1_MouseMove(120, 45);
    EXPECT_EQ(w.windowTitle(), QStringLiteral(" Posisi Tetikus (X, Y):  120,  45"));
    tk.folderAnswers = {out};
    w.mnu_folder_Click();
    testsupport::writeSolid(in(QStringLiteral("a.jpg")), 10, 10, Qt::white);
    w.mnu_load_Click();
    w.mnu_sav_Click();
    EXPECT_EQ(lastTitle(), QStringLiteral("Masukkan Teks"));
    EXPECT_EQ(lastText(), QStringLiteral("Memasukkan teks untuk 1 file(s) SELESAI.\r\n") + QString(28, QLatin1Char(' ')) +
                              QStringLiteral("\r\nBerikut adalah format fail tidak sah:-\r\n") + QString(36, QLatin1Char('-')) +
                              QStringLiteral("  \r\n") + QString(35, QLatin1Char(' ')) + QStringLiteral("\r\nNone\r\n") +
                              QString(35, QLatin1Char(' ')) + QStringLiteral("\r\nJumlah fail tidak sah : 0"));
}

TEST_F(Addtext, APictureFittedToLessThanAPixelIsRefusedWithItsOwnMessage)
{
    // 3000 × 1 fits 1328 pixels wide and less than half a pixel high; 1 × 3000 the other way.
    testsupport::writeSolid(in(QStringLiteral("a-wide%2.bmp")), 3000, 1, Qt::white);   // "%2" is no placeholder
    testsupport::writeSolid(in(QStringLiteral("b-tall.bmp")), 1, 3000, Qt::white);
    testsupport::writeSolid(in(QStringLiteral("c.bmp")), 20, 20, Qt::white);
    bulk(w, src, out);
    w.mnu_load_Click();
    ASSERT_EQ(tk.messages.size(), 1u);
    EXPECT_EQ(lastTitle(), QStringLiteral("Error"));
    EXPECT_EQ(lastText(), QStringLiteral("The picture is too thin to be shown: ") + in(QStringLiteral("a-wide%2.bmp")) +
                              QStringLiteral(" (3000 x 1 pixels)"));
    w.mnu_sav_Click();
    const QStringList asked = questions();
    ASSERT_EQ(asked.size(), 2);
    EXPECT_TRUE(asked[0].startsWith(QStringLiteral("The picture is too thin to be shown: ") + in(QStringLiteral("a-wide%2.bmp"))));
    EXPECT_TRUE(asked[1].startsWith(QStringLiteral("The picture is too thin to be shown: ") + in(QStringLiteral("b-tall.bmp"))));
    EXPECT_TRUE(lastText().startsWith(QStringLiteral("Inserting text for 1 file(s) DONE.")));
    EXPECT_EQ(outFiles(), QStringList{QStringLiteral("adt-c.bmp")});
}

TEST_F(Addtext, LabelsShowPathsWithMarkupAsTyped)
{
    // A name that looks like markup must not be rendered as such: the label shows the path.
    const QString file = in(QStringLiteral("<b>x</b>.jpg"));
    single(w, file, out);
    EXPECT_EQ(w.lblfile->text(), QStringLiteral("Single File : ") + file);
    const QFontMetrics fm(w.lblfile->font());
    EXPECT_GE(w.lblfile->sizeHint().width(), fm.horizontalAdvance(w.lblfile->text()));
}

TEST_F(Addtext, OpenedFromTheMainWindowNeitherFrameMayCloseItMidRun)
{
    testsupport::writeSolid(in(QStringLiteral("a.jpg")), 20, 20, Qt::white);
    testsupport::writeSolid(in(QStringLiteral("b.jpg")), 20, 20, Qt::white);
    frmUtama main;
    main.activate();
    main.mnu_addtext_Click();
    QPointer<frm_Addtext> tool = main.addtext();
    int unloads = 0;
    QObject::connect(tool.data(), &shell::Form::unloadRequested, [&] { ++unloads; });
    bulk(*tool, src, out);
    int calls = 0;
    bool closed = false;
    // The load step and the run both let events run; closing either frame meanwhile would
    // delete the tool under its own command (the main window's Exit unloads every tool).
    tk.onDoEvents = [&] {
        if (!tool->isBusy())
            return;
        ++calls;
        closed = closed || tool->close() || main.close();
    };
    tool->mnu_load_Click();
    tool->mnu_sav_Click();
    tk.onDoEvents = nullptr;
    EXPECT_GE(calls, 2);
    EXPECT_FALSE(closed);
    EXPECT_EQ(unloads, 0);
    ASSERT_TRUE(tool);
    EXPECT_TRUE(tool->isVisible());
    EXPECT_TRUE(main.unloadOrder().isEmpty());
    EXPECT_TRUE(lastText().startsWith(QStringLiteral("Inserting text for 2 file(s) DONE.")));

    // Once the run is over both close as before.
    EXPECT_TRUE(tool->close());
    EXPECT_EQ(unloads, 1);
    EXPECT_TRUE(main.isEnabled());
}
