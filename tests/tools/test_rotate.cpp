// The rotate window: the turn of a surface, the run in Single and Bulk mode, its files and
// report, its input checks, and the rotate command.
#include "ToolTestSupport.h"

#include "app/Cli.h"
#include "platform/Gdi.h"
#include "tools/DDBHelper.h"
#include "tools/frm_Pusing.h"

#include <QDir>
#include <QImageReader>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>

namespace {

using platform::ScaleMode;

const QColor kLeft(200, 30, 30);
const QColor kRight(30, 30, 200);

// A picture whose left half is kLeft and right half kRight, so a turn shows where each went.
QImage halves(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, (x < w / 2 ? kLeft : kRight).rgb());
    return img;
}

bool near(QRgb p, const QColor &c, int tolerance = 24)
{
    return std::abs(qRed(p) - c.red()) <= tolerance && std::abs(qGreen(p) - c.green()) <= tolerance &&
           std::abs(qBlue(p) - c.blue()) <= tolerance;
}

QImage readRgb(const QString &path) { return QImage(path).convertToFormat(QImage::Format_RGB32); }

QString reportText(const QString &first, const QString &list, int total)
{
    const QString crlf = QStringLiteral("\r\n");
    const QString gap28(28, QLatin1Char(' ')), gap35(35, QLatin1Char(' '));
    return first + crlf + gap28 + crlf + QStringLiteral("Below are the invalid file format:-") + crlf +
           QString(33, QLatin1Char('-')) + QStringLiteral("  ") + crlf + gap35 + crlf + list + crlf +
           gap35 + crlf + QStringLiteral("Total invalid file(s) : ") + QString::number(total);
}

class Rotate : public tooltest::ToolFixture {
protected:
    ~Rotate() override { platform::gdi::setDisplayDepth(32); }

    using ToolFixture::bulk;
    using ToolFixture::single;
    void single(const QString &file, const QString &target) { single(w, file, target); }
    void bulk(const QString &dir, const QString &target) { bulk(w, dir, target); }
    // Load Picture, then "+ 90 Degree" or "- 90 Degree".
    void loadAndTurn(bool plus)
    {
        w.mnu_loadpic_Click();
        if (plus)
            w.mnu_90pos_Click();
        else
            w.mnu_90neg_Click();
    }

    frm_Pusing w;
};

} // namespace

// ---- captions

TEST_F(Rotate, CaptionsAreTheDesignOnesUntilTheFirstActivationThenTheLanguagesOnes)
{
    // Shown captions: a doubled "&" shows as one, a single one marks the access key.
    auto shown = [&] {
        QStringList c;
        for (QAction *a : w.menuBar()->actions())
            c << a->iconText();
        for (QAction *a : w.mnu_file->actions() + w.mnu_sav->actions())
            c << a->iconText();
        return c;
    };
    EXPECT_EQ(w.mnu_sav->title(), "&Rotate && Save");
    EXPECT_EQ(shown(), QStringList({"File Selection", "Target Folder", "Load Picture", "Rotate & Save",
                                    "Options", "Exit", "Single", "Bulk", "+ 90 Degree", "- 90 Degree"}));
    shell::setVarbahasa(QStringLiteral("bm"));
    w.Form_Activate();
    EXPECT_EQ(w.windowTitle(), " Ubah Posisi Gambar (+90 Deg / -90 Deg)");
    EXPECT_EQ(shown(), QStringList({"Pilihan Fail", "Direktori Sasaran", "Muat Gambar",
                                    "Ubah Poisi & Simpan", "Pilihan", "Keluar", "Satu Fail", "Pukal",
                                    "+ 90 Degree", "- 90 Degree"}));
    shell::setVarbahasa(QStringLiteral("eng"));
    w.Form_Activate();
    EXPECT_EQ(w.windowTitle(), " Rotate Picture (+90 Deg / -90 Deg)");
    EXPECT_EQ(shown(), QStringList({"File Selection", "Target Directory", "Load Picture",
                                    "Rotate & Save", "Options", "Exit", "Single", "Bulk", "+ 90 Degree",
                                    "- 90 Degree"}));
}

TEST_F(Rotate, LabelsReadTheRotateTextsAndActivationKeepsThem)
{
    testsupport::writeSolid(in("a.bmp"), 10, 10, Qt::red);
    shell::setVarbahasa(QStringLiteral("bm"));
    single(in("a.bmp"), out);
    EXPECT_EQ(w.lblfile->text(), "Fail : " + in("a.bmp"));
    EXPECT_EQ(w.lbltarget->text(), "Direktori Sasaran : " + out + "/");
    w.Form_Activate();
    EXPECT_EQ(w.lblfile->text(), "Fail : " + in("a.bmp"));

    // The load step hides the labels; choosing the file or the target shows them again.
    w.mnu_loadpic_Click();
    EXPECT_TRUE(w.lblfile->isHidden());
    EXPECT_TRUE(w.lbltarget->isHidden());
    shell::setVarbahasa(QStringLiteral("eng"));
    single(in("a.bmp"), out);
    EXPECT_FALSE(w.lblfile->isHidden());
    EXPECT_FALSE(w.lbltarget->isHidden());
    EXPECT_EQ(w.lblfile->text(), "Single File : " + in("a.bmp"));
    EXPECT_EQ(w.lbltarget->text(), "Target Directory : " + out + "/");
}

// ---- the turn of a surface

class RotatePictureAtDepth : public ::testing::TestWithParam<int> {
protected:
    testsupport::ScriptedFixture fixture;
    ~RotatePictureAtDepth() override { platform::gdi::setDisplayDepth(32); }
};

TEST_P(RotatePictureAtDepth, QuarterTurnsPutEveryPixelInItsPlace)
{
    platform::gdi::setDisplayDepth(GetParam());
    frm_Pusing w;
    platform::Surface from, to;
    from.setScaleMode(ScaleMode::Pixels);
    from.setBorder(false);
    from.setOuterSize(3, 2, ScaleMode::Pixels);
    from.setAutoRedraw(true);
    from.drawTarget() = testsupport::gradientImage(3, 2);
    DDBHelper::PixelGrid s;
    DDBHelper::FormatCode bits = 0;
    DDBHelper::GetBitmapPixels(from, s, bits);

    // A bordered target keeps its border: the drawable area is what changes.
    to.setBorder(true);
    struct Case {
        qint16 angle;
        int w, h;
        std::function<QPoint(int x, int y)> dest;
    };
    const Case cases[] = {
        {0, 3, 2, [](int x, int y) { return QPoint(x, y); }},
        {90, 2, 3, [](int x, int y) { return QPoint(2 - 1 - y, x); }},
        {180, 3, 2, [](int x, int y) { return QPoint(3 - 1 - x, 2 - 1 - y); }},
        {270, 2, 3, [](int x, int y) { return QPoint(y, 3 - 1 - x); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.angle);
        tools::RotateRecipe::RotatePicture(from, to, c.angle);
        ASSERT_EQ(to.innerWidthPx(), c.w);
        ASSERT_EQ(to.innerHeightPx(), c.h);
        EXPECT_EQ(to.outerWidthPx(), c.w + 2 * platform::Surface::kBorderPx);
        DDBHelper::PixelGrid d;
        DDBHelper::GetBitmapPixels(to, d, bits);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x) {
                const QPoint p = c.dest(x, y);
                EXPECT_EQ(d(p.x(), p.y()), s(x, y)) << x << "," << y;
            }
        // The turned pixels are the surface's picture, so a repaint keeps them.
        EXPECT_EQ(to.picture().image().size(), QSize(c.w, c.h));
        to.refresh();
        DDBHelper::GetBitmapPixels(to, d, bits);
        EXPECT_EQ(d(c.dest(0, 0).x(), c.dest(0, 0).y()), s(0, 0));
    }
}

// On every display a turn leaves what reading the surface's bits, turning them and writing
// them back leaves: the spare byte too, whatever the picture held in it.
TEST_P(RotatePictureAtDepth, ATurnIsTheBitsReadTurnedAndWrittenBack)
{
    platform::gdi::setDisplayDepth(GetParam());
    frm_Pusing w;
    QImage picture = testsupport::gradientImage(37, 23).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, (picture.pixel(x, y) & 0xFFFFFF) | quint32((x * 7 + y * 13) & 0xFF) << 24);
    auto surface = [&picture] {
        platform::Surface s;
        s.setScaleMode(ScaleMode::Pixels);
        s.setBorder(false);
        s.setOuterSize(picture.width(), picture.height(), ScaleMode::Pixels);
        s.setAutoRedraw(true);
        s.drawTarget() = picture;
        return s;
    };
    for (const qint16 angle : {qint16(0), qint16(90), qint16(180), qint16(270)}) {
        SCOPED_TRACE(angle);
        platform::Surface from = surface(), turned;
        turned.setBorder(false);
        tools::RotateRecipe::RotatePicture(from, turned, angle);

        platform::Surface read = surface(), written;
        written.setBorder(false);
        written.setAutoRedraw(true);
        DDBHelper::PixelGrid grid;
        DDBHelper::FormatCode bits = 0;
        DDBHelper::GetBitmapPixels(read, grid, bits);
        DDBHelper::PixelGrid done = DDBHelper::RotateGrid(grid, angle);
        written.setOuterSize(done.width(), done.height(), ScaleMode::Pixels);
        DDBHelper::SetBitmapPixels(written, bits, done);

        const QImage a = turned.persistentImage(), b = written.persistentImage();
        ASSERT_EQ(a.size(), b.size());
        ASSERT_EQ(a.format(), b.format());
        for (int y = 0; y < a.height(); ++y)
            ASSERT_EQ(0, std::memcmp(a.constScanLine(y), b.constScanLine(y), size_t(a.width()) * 4)) << "row " << y;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryDisplay, RotatePictureAtDepth, ::testing::Values(8, 15, 16, 24, 32));

// ---- runs and their files

TEST_F(Rotate, ThreeByTwoTurnsClockwiseAndCounterClockwise)
{
    const QImage picture = testsupport::gradientImage(3, 2);
    ASSERT_TRUE(picture.save(in("a.bmp")));
    single(in("a.bmp"), out);
    loadAndTurn(true);
    QImage turned = readRgb(at("rot-a.bmp"));
    ASSERT_EQ(turned.size(), QSize(2, 3));
    EXPECT_EQ(turned.pixel(1, 0), picture.pixel(0, 0));   // top-left to top-right
    EXPECT_EQ(turned.pixel(0, 0), picture.pixel(0, 1));   // bottom-left to top-left
    EXPECT_EQ(turned.pixel(0, 2), picture.pixel(2, 1));

    QFile::remove(at("rot-a.bmp"));
    single(in("a.bmp"), out);
    loadAndTurn(false);
    turned = readRgb(at("rot-a.bmp"));
    ASSERT_EQ(turned.size(), QSize(2, 3));
    EXPECT_EQ(turned.pixel(0, 2), picture.pixel(0, 0));   // top-left to bottom-left
    EXPECT_EQ(turned.pixel(1, 0), picture.pixel(2, 1));
}

TEST_F(Rotate, FourClockwiseRunsGiveBackAFittingBitmapsPixels)
{
    const QImage picture = testsupport::gradientImage(41, 30);
    ASSERT_TRUE(picture.save(in("a.bmp")));
    QString file = in("a.bmp");
    QString name = QStringLiteral("a.bmp");
    for (int run = 0; run < 4; ++run) {
        single(file, out);
        loadAndTurn(true);
        name = "rot-" + name;
        file = at(name);
        ASSERT_TRUE(QFile::exists(file)) << run;
    }
    EXPECT_EQ(readRgb(file), picture.convertToFormat(QImage::Format_RGB32));
}

TEST_F(Rotate, APictureThatFitsTheWorkingSurfaceButNotThePreviewIsSavedDoubled)
{
    ASSERT_TRUE(halves(800, 600).save(in("a.bmp")));
    single(in("a.bmp"), out);
    loadAndTurn(true);
    EXPECT_TRUE(w.turn.reducedw);
    const QImage turned = readRgb(at("rot-a.bmp"));
    ASSERT_EQ(turned.size(), QSize(1200, 1600));
    // Clockwise: the left half becomes the top half.
    EXPECT_TRUE(near(turned.pixel(600, 20), kLeft));
    EXPECT_TRUE(near(turned.pixel(600, 1580), kRight));
    EXPECT_EQ(outFiles(), QStringList({"rot-a.bmp"}));
}

TEST_F(Rotate, SingleBitmapBecomesATurnedBitmapAndNoIntermediateFileRemains)
{
    ASSERT_TRUE(halves(400, 300).save(in("a.bmp")));
    single(in("a.bmp"), out);
    loadAndTurn(false);
    EXPECT_EQ(outFiles(), QStringList({"rot-a.bmp"}));
    QImageReader reader(at("rot-a.bmp"));
    reader.setDecideFormatFromContent(true);
    EXPECT_EQ(reader.format(), "bmp");
    const QImage turned = readRgb(at("rot-a.bmp"));
    ASSERT_EQ(turned.size(), QSize(300, 400));
    // Counter-clockwise: the left half becomes the bottom half.
    EXPECT_EQ(turned.pixel(150, 399), kLeft.rgb());
    EXPECT_EQ(turned.pixel(150, 0), kRight.rgb());
    EXPECT_EQ(lastText(), reportText("Rotate 1 Picture file(s) DONE.", "None", 0));
    EXPECT_EQ(lastTitle(), "Rotate Picture");

    // After the report: the preview is emptied and hidden, the turned preview stays, the
    // source is forgotten and the target kept.
    EXPECT_FALSE(w.Picture1.visible());
    EXPECT_TRUE(w.Picture1.picture().isNull());
    EXPECT_TRUE(w.Picture2.visible());
    EXPECT_EQ(w.Picture2.innerWidthPx(), 300);   // the picture fits the preview: turned whole
    EXPECT_EQ(w.Picture2.innerHeightPx(), 400);
    EXPECT_TRUE(w.run().varfile.isEmpty());
    EXPECT_EQ(w.run().vartgtdir, out);
}

TEST_F(Rotate, ALargeJpegIsTurnedAtTwiceItsWorkingSizeAsJpeg)
{
    ASSERT_TRUE(halves(2000, 1000).save(in("b.JPG"), "JPG"));
    single(in("b.JPG"), out);
    loadAndTurn(true);
    EXPECT_EQ(outFiles(), QStringList({"rot-b.jpg"}));
    QImageReader reader(at("rot-b.jpg"));
    reader.setDecideFormatFromContent(true);
    EXPECT_EQ(reader.format(), "jpeg");
    const QImage turned = readRgb(at("rot-b.jpg"));
    // The working surface holds 1066 2/3 x 533 1/3 pixels of it.
    EXPECT_NEAR(turned.width(), 1067, 2);
    EXPECT_NEAR(turned.height(), 2133, 2);
    EXPECT_TRUE(near(turned.pixel(turned.width() / 2, 40), kLeft));
    EXPECT_TRUE(near(turned.pixel(turned.width() / 2, turned.height() - 40), kRight));
}

TEST_F(Rotate, LosslessTurnsShowEachPicturesOwnTurnAndWriteItWhole)
{
    // Wide, then tall: the preview of the second is its own, not the load step's first one.
    ASSERT_TRUE(halves(320, 160).save(in("a.jpg"), "JPEG", 95));
    ASSERT_TRUE(halves(160, 320).save(in("b.jpg"), "JPEG", 95));
    w.run().output.originalSize = true;
    w.run().output.lossless = true;
    bulk(src, out);
    w.mnu_loadpic_Click();
    EXPECT_GT(w.Picture1.innerWidthPx(), w.Picture1.innerHeightPx());
    w.mnu_90pos_Click();
    EXPECT_EQ(outFiles(), QStringList({"rot-a.jpg", "rot-b.jpg"}));
    EXPECT_GT(w.Picture2.innerWidthPx(), w.Picture2.innerHeightPx());   // b turned lies wide
    for (const auto &[name, size] : {std::pair{"rot-a.jpg", QSize(160, 320)}, std::pair{"rot-b.jpg", QSize(320, 160)}}) {
        SCOPED_TRACE(name);
        const QImage turned = readRgb(at(name));
        ASSERT_EQ(turned.size(), size);
        // Clockwise: the left half becomes the top half.
        EXPECT_TRUE(near(turned.pixel(size.width() / 2, 2), kLeft));
        EXPECT_TRUE(near(turned.pixel(size.width() / 2, size.height() - 3), kRight));
    }

    // Broken pictures beside them: refused as ever, never turned blind.
    const QStringList broken = tooltest::writeBrokenPictures(src);
    QDir(out).removeRecursively();
    QDir().mkpath(out);
    bulk(src, out);
    loadAndTurn(true);
    EXPECT_EQ(outFiles(), QStringList({"rot-a.jpg", "rot-b.jpg"}));
    EXPECT_EQ(questions().size(), broken.size());
    for (const QString &name : broken)
        QFile::remove(in(name));

    // In Single mode the load step's picture is the one turned in the preview.
    QDir(out).removeRecursively();
    QDir().mkpath(out);
    single(in("b.jpg"), out);
    loadAndTurn(true);
    EXPECT_EQ(outFiles(), QStringList({"rot-b.jpg"}));
    EXPECT_GT(w.Picture2.innerWidthPx(), w.Picture2.innerHeightPx());
}

TEST_F(Rotate, BulkRunListsSkippedFilesNewestFirstAndCountsThem)
{
    // Listing order a.png, b.jpg, c.txt: the load step stops on a.png, which the run visits
    // again.
    testsupport::writeSolid(in("a.png"), 20, 10, Qt::red);
    ASSERT_TRUE(halves(40, 20).save(in("b.jpg"), "JPG"));
    testsupport::writeBytes(in("c.txt"), "text");
    bulk(src, out);
    w.mnu_loadpic_Click();
    EXPECT_EQ(w.run().invalidlist, "a.png ; ");
    EXPECT_TRUE(w.Picture1.picture().isNull());
    w.mnu_90pos_Click();
    EXPECT_EQ(lastText(), reportText("Rotate 3 Picture file(s) DONE.", "c.txt ; a.png ; ", 2));
    EXPECT_EQ(outFiles(), QStringList({"rot-b.jpg"}));
    EXPECT_EQ(readRgb(at("rot-b.jpg")).size(), QSize(20, 40));
}

TEST_F(Rotate, TurningWithoutLoadPictureReportsNoFilesInTheRotateTexts)
{
    ASSERT_TRUE(halves(40, 20).save(in("a.bmp")));
    shell::setVarbahasa(QStringLiteral("bm"));
    single(in("a.bmp"), out);
    w.mnu_90pos_Click();
    const QString crlf = QStringLiteral("\r\n");
    const QString gap28(28, QLatin1Char(' ')), gap35(35, QLatin1Char(' '));
    EXPECT_EQ(lastText(), "Ubah Posisi 0 fail Gambar SELESAI." + crlf + gap28 + crlf +
                              "Berikut adalah format fail yang tidak sah:-" + crlf +
                              QString(41, QLatin1Char('-')) + "  " + crlf + gap35 + crlf + "None" +
                              crlf + gap35 + crlf + "Jumlah fail tidak sah : 0");
    EXPECT_EQ(lastTitle(), "Ubah Posisi Gambar");
    EXPECT_TRUE(outFiles().isEmpty());
}

TEST_F(Rotate, LoadStepFitsBothSurfacesAndTurnsNothing)
{
    ASSERT_TRUE(halves(1200, 600).save(in("a.bmp")));
    single(in("a.bmp"), out);
    w.mnu_loadpic_Click();
    EXPECT_TRUE(tk.messages.empty());
    // The working surface (16000 twips) and the preview (8000 twips) both hold it reduced.
    EXPECT_EQ(w.Picture3.outerWidthPx(), 1067);
    EXPECT_NEAR(w.Picture3.outerHeightPx(), 533, 1);
    EXPECT_EQ(w.Picture1.outerWidthPx(), 533);
    EXPECT_NEAR(w.Picture1.outerHeightPx(), 267, 1);
    EXPECT_TRUE(w.turn.reducedw);
    EXPECT_FALSE(w.turn.reducedh);
    EXPECT_TRUE(w.Picture1.visible());
    EXPECT_NEAR(w.Picture1.leftPx(), (w.clientWidthPx() - 533) / 2, 1);
    EXPECT_NEAR(w.Picture1.topPx(), (w.clientHeightPx() - 267) / 2, 1);
    EXPECT_FALSE(w.Picture2.visible());
    EXPECT_TRUE(w.Picture4.picture().isNull());
    EXPECT_TRUE(near(w.Picture1.visibleImage().pixel(10, 100), kLeft, 2));
}

// ---- input checks

TEST_F(Rotate, LoadStepAndRunCheckTheirInputsWithTheirOwnTexts)
{
    struct Step {
        const char *what;
        std::function<void(frm_Pusing &)> prepare;
        QString loadText, loadTitle, runText, runTitle;
    };
    const Step steps[] = {
        {"single without a file", [&](frm_Pusing &win) { single(win, QString(), out); },
         "Please specify your picture file!", "Pixmar: Invalid File",
         "Please specify your picture file!", "Pixmar: Invalid Path"},
        {"bulk without a folder",
         [&](frm_Pusing &win) {
             tk.folderAnswers = {QString(), out};
             win.mnu_bulk_Click();
             win.mnu_folder_Click();
         },
         "Please specify Source Folder!", "Pixmar: Invalid Folder",
         "Please specify Source Directory!", "Pixmar: Invalid Path"},
        {"no target",
         [&](frm_Pusing &win) {
             tk.folderAnswers = {src};
             win.mnu_bulk_Click();
         },
         "Please specify Target Folder!", "Pixmar: Invalid Folder",
         "Please specify Target Directory!", "Pixmar: Invalid Path"},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.what);
        frm_Pusing win;
        s.prepare(win);
        win.mnu_loadpic_Click();
        EXPECT_EQ(lastText(), s.loadText);
        EXPECT_EQ(lastTitle(), s.loadTitle);
        win.mnu_90pos_Click();
        EXPECT_EQ(lastText(), s.runText);
        EXPECT_EQ(lastTitle(), s.runTitle);
        EXPECT_EQ(win.outcome().end, tools::RunOutcome::End::InputFault);
    }
    // The Malay target message has no exclamation mark.
    shell::setVarbahasa(QStringLiteral("bm"));
    tk.folderAnswers = {src};
    w.mnu_bulk_Click();
    w.mnu_loadpic_Click();
    EXPECT_EQ(lastText(), "Sila nyatakan Direktori Sasaran");
    EXPECT_EQ(lastTitle(), "Pixmar: Direktori Tidak Sah");
    EXPECT_TRUE(outFiles().isEmpty());
}

TEST_F(Rotate, WithoutSingleOrBulkChosenTheSourceIsAskedFor)
{
    testsupport::writeSolid(in("a.bmp"), 10, 10, Qt::red);
    tk.folderAnswers = {out};
    w.mnu_folder_Click();
    w.mnu_loadpic_Click();
    ASSERT_EQ(tk.messages.size(), 1u);
    EXPECT_EQ(lastText(), "Please specify Source Folder!");
    EXPECT_EQ(lastTitle(), "Pixmar: Invalid Folder");
    EXPECT_TRUE(w.run().listing().names().isEmpty());
    EXPECT_TRUE(w.run().curfile.isEmpty());
    w.mnu_90neg_Click();
    EXPECT_EQ(lastText(), "Please specify Source Directory!");
    EXPECT_EQ(tk.messages.size(), 2u);
    EXPECT_TRUE(outFiles().isEmpty());
}

// ---- files the run must not harm, and failures it must not count

TEST_F(Rotate, AUsersFileUnderTheIntermediateNameIsLeftAlone)
{
    ASSERT_TRUE(halves(40, 20).save(in("a.bmp")));
    testsupport::writeBytes(at("rotx-a.jpg"), "the user's own file");
    single(in("a.bmp"), out);
    loadAndTurn(true);
    EXPECT_EQ(testsupport::readBytes(at("rotx-a.jpg")), "the user's own file");
    EXPECT_EQ(outFiles(), QStringList({"rot-a.bmp", "rotx-a.jpg"}));
    EXPECT_EQ(readRgb(at("rot-a.bmp")).size(), QSize(20, 40));
}

TEST_F(Rotate, AnOutputThatCannotBeWrittenIsAskedAboutAndNotCounted)
{
    ASSERT_TRUE(halves(40, 20).save(in("a.bmp")));
    ASSERT_TRUE(halves(40, 20).save(in("b.bmp")));
    QDir().mkpath(at("rot-a.bmp"));   // a folder where the output should go
    bulk(src, out);
    loadAndTurn(true);
    ASSERT_EQ(questions().size(), 1);
    EXPECT_TRUE(questions()[0].contains("rot-a.bmp"));
    EXPECT_TRUE(questions()[0].endsWith("\r\nContinue?"));
    EXPECT_EQ(lastText(), reportText("Rotate 1 Picture file(s) DONE.", "None", 0));
    EXPECT_EQ(outFiles(), QStringList({"rot-b.bmp"}));
}

TEST_F(Rotate, BrokenPicturesAndPixelErrorsEndInTheQuestion)
{
    testsupport::writeBytes(in("a.jpg"), "not a picture");
    ASSERT_TRUE(halves(40, 20).save(in("b.bmp")));
    // Fitted, it is less than a pixel high.
    ASSERT_TRUE(halves(3000, 1).save(in("c.bmp")));
    bulk(src, out);
    w.mnu_loadpic_Click();
    EXPECT_EQ(lastTitle(), "Error");   // the first picture cannot be shown
    w.mnu_90pos_Click();
    ASSERT_EQ(questions().size(), 2);
    EXPECT_TRUE(questions()[1].startsWith("The picture is too thin to be turned: " + in("c.bmp")));
    EXPECT_EQ(lastText(), reportText("Rotate 1 Picture file(s) DONE.", "None", 0));
    EXPECT_EQ(outFiles(), QStringList({"rot-b.bmp"}));

    // A display layout the pixel grid does not know; No ends the run without a report.
    QFile::remove(at("rot-b.bmp"));
    platform::gdi::setDisplayDepth(1);
    tk.messageAnswers = {platform::MsgResult::No};
    tk.messages.clear();
    single(in("b.bmp"), out);
    loadAndTurn(true);
    ASSERT_EQ(tk.messages.size(), 1u);
    EXPECT_EQ(lastText(), "Invalid number of bits per pixel: 1\r\nContinue?");
    EXPECT_EQ(w.outcome().end, tools::RunOutcome::End::Stopped);
    EXPECT_TRUE(outFiles().isEmpty());
}

TEST_F(Rotate, TheListingIsTakenAtTheLoadStepSoOutputsInTheSourceFolderAreNotTurnedAgain)
{
    ASSERT_TRUE(halves(40, 20).save(in("a.bmp")));
    ASSERT_TRUE(halves(40, 20).save(in("b.bmp")));
    bulk(src, src);
    loadAndTurn(true);
    EXPECT_EQ(lastText(), reportText("Rotate 2 Picture file(s) DONE.", "None", 0));
    EXPECT_EQ(QDir(src).entryList(QDir::Files, QDir::Name),
              QStringList({"a.bmp", "b.bmp", "rot-a.bmp", "rot-b.bmp"}));
}

TEST_F(Rotate, MenusAreDisabledWhileARunLetsEventsRun)
{
    ASSERT_TRUE(halves(40, 20).save(in("a.bmp")));
    ASSERT_TRUE(halves(40, 20).save(in("b.bmp")));
    bulk(src, out);
    w.mnu_loadpic_Click();
    int checked = 0;
    tk.onDoEvents = [&] {
        if (!w.isBusy())
            return;
        ++checked;
        for (QAction *a : w.menuBar()->actions())
            EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
        // What still reaches the window does nothing: no direction change, no nested run,
        // no dialog.
        w.mnu_90neg->trigger();
        w.mnu_loadpic_Click();
        w.mnu_single_Click();
        w.mnu_exit_Click();
    };
    w.mnu_90pos_Click();
    tk.onDoEvents = nullptr;
    EXPECT_GT(checked, 0);
    EXPECT_TRUE(w.turn.rotplus);
    EXPECT_FALSE(w.turn.rotminus);
    EXPECT_TRUE(tk.openTitles.isEmpty());
    EXPECT_EQ(tk.messages.size(), 1u);
    EXPECT_EQ(lastText(), reportText("Rotate 2 Picture file(s) DONE.", "None", 0));
    EXPECT_EQ(readRgb(at("rot-b.bmp")).pixel(10, 0), kLeft.rgb());   // clockwise
    for (QAction *a : w.menuBar()->actions())
        EXPECT_TRUE(a->isEnabled());
}

// ---- the command

namespace {

class RotateCommand : public ::testing::Test {
protected:
    RotateCommand()
    {
        shell::setVarbahasa(QStringLiteral("eng"));
        src = tmp.path() + QStringLiteral("/src");
        out = tmp.path() + QStringLiteral("/out");
        QDir().mkpath(src);
        QDir().mkpath(out);
    }
    int run(const QStringList &args)
    {
        app::CliSession session;
        const int status = app::cliRotate(session, args);
        messages = session.toolkit.messages;
        return status;
    }
    QString lastText() const { return messages.empty() ? QString() : messages.back().text; }
    QStringList outFiles() const { return QDir(out).entryList(QDir::Files, QDir::Name); }

    QTemporaryDir tmp;
    QString src, out;
    std::vector<platform::ScriptedToolkit::Message> messages;
};

} // namespace

TEST_F(RotateCommand, TurnsAFileOrAFolderAndEndsWithTheReport)
{
    ASSERT_TRUE(halves(60, 40).save(src + "/a.jpg", "JPG"));
    EXPECT_EQ(run({"--file", src + "/a.jpg", "--target", out, "--plus"}), app::kExitOk);
    EXPECT_EQ(outFiles(), QStringList({"rot-a.jpg"}));
    EXPECT_EQ(lastText(), reportText("Rotate 1 Picture file(s) DONE.", "None", 0));
    QImage turned = readRgb(out + "/rot-a.jpg");
    ASSERT_EQ(turned.size(), QSize(40, 60));
    EXPECT_TRUE(near(turned.pixel(20, 5), kLeft));

    // A folder with a picture that cannot be read: the others are turned, the status says
    // a file failed.
    ASSERT_TRUE(halves(60, 40).save(src + "/b.bmp"));
    testsupport::writeBytes(src + "/c.jpg", "not a picture");
    testsupport::writeBytes(src + "/notes.txt", "x");
    QFile::remove(out + "/rot-a.jpg");
    EXPECT_EQ(run({"--dir", src, "--target", out, "--minus"}), app::kExitFailed);
    EXPECT_EQ(outFiles(), QStringList({"rot-a.jpg", "rot-b.bmp"}));
    EXPECT_EQ(lastText(), reportText("Rotate 3 Picture file(s) DONE.", "notes.txt ; ", 1));
    turned = readRgb(out + "/rot-b.bmp");
    EXPECT_EQ(turned.pixel(20, 55), kLeft.rgb());   // counter-clockwise
}

TEST_F(RotateCommand, RefusesBadArgumentsAndMissingInputs)
{
    ASSERT_TRUE(halves(60, 40).save(src + "/a.bmp"));
    const QString file = src + "/a.bmp";
    EXPECT_EQ(run({"--file", file, "--target", out}), app::kExitInputFault);
    EXPECT_EQ(run({"--file", file, "--target", out, "--plus", "--minus"}), app::kExitInputFault);
    EXPECT_EQ(run({"--file", file, "--dir", src, "--target", out, "--plus"}), app::kExitInputFault);
    EXPECT_EQ(run({"--file", file, "--target", out, "--plus", "--at", "1,1"}), app::kExitInputFault);
    EXPECT_EQ(run({"--file", file, "--plus"}), app::kExitInputFault);
    EXPECT_EQ(lastText(), "Please specify Target Folder!");
    const QString empty = tmp.path() + "/empty";
    QDir().mkpath(empty);
    EXPECT_EQ(run({"--dir", empty, "--target", out, "--plus"}), app::kExitInputFault);
    EXPECT_EQ(lastText(), "Please ensure the directory contains image file!");
    EXPECT_TRUE(outFiles().isEmpty());
}
