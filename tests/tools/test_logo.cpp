// The logo watermark window driven offscreen through the scripted toolkit, and its command.
#include "ToolTestSupport.h"

#include "app/Cli.h"
#include "platform/GdiPlus.h"
#include "tools/frm_WaterLogo.h"

#include <QAction>
#include <QImageReader>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>

using tooltest::maxChannel;

namespace {

// Whether the imaging library is started (by anyone).
bool imagingStarted()
{
    std::uint32_t n = 0, size = 0;
    return platform::gdiplus::GdipGetImageEncodersSize(&n, &size) != platform::gdiplus::GdiplusNotInitialized;
}

// result = logo × A / 255 + picture × (1 − α × A / 255²), rounded, for one channel.
int blended(int logo, int alpha, int picture, int A)
{
    return int((logo * A * 255 + picture * (255 * 255 - alpha * A) + 255 * 255 / 2) / (255 * 255));
}

class Waterlogo : public tooltest::ToolFixture {
protected:
    Waterlogo() { w.activate(); }
    ~Waterlogo() override { EXPECT_FALSE(imagingStarted()) << "the imaging library was left started"; }

    void chooseLogo(const QString &path)
    {
        tk.openAnswers = {path};
        w.mnu_txtwtr_Click();
    }
    // An opaque logo of one colour, as a PNG.
    QString solidLogo(const QString &name, int width, int height, QColor c)
    {
        const QString p = tmp.path() + QLatin1Char('/') + name;
        EXPECT_TRUE(testsupport::writeSolid(p, width, height, c));
        return p;
    }
    QImage output(const QString &name) const
    {
        return QImage(at(name)).convertToFormat(QImage::Format_RGB32);
    }
    frm_WaterLogo w;
};

} // namespace

TEST_F(Waterlogo, LevelsRunFromZeroWhichGives254)
{
    testsupport::writeSolid(in(QStringLiteral("black.bmp")), 80, 60, Qt::black);
    single(w, in(QStringLiteral("black.bmp")), out);
    chooseLogo(solidLogo(QStringLiteral("white.png"), 20, 10, Qt::white));
    ASSERT_EQ(w.levelMenus().size(), 10u);
    EXPECT_EQ(w.levelMenus().front()->text(), QStringLiteral("0%"));
    const int expected[] = {254, 230, 204, 178, 153, 128, 102, 76, 51, 26};
    for (int i = 0; i < 10; ++i) {
        w.mnu_loadpic_Click();
        w.levelMenus()[size_t(i)]->trigger();
        w.clickAtPixels(5, 5);
        EXPECT_EQ(w.blendfn.SourceConstantAlpha, expected[i]) << w.varlevel.toStdString();
        EXPECT_EQ(maxChannel(w.Picture1.visibleImage()), expected[i]);
    }
    EXPECT_TRUE(tk.messages.empty());

    // An opaque white logo at "0%" on a black picture gives 254 in the output.
    w.mnu_0->trigger();
    w.mnu_loadpic_Click();
    w.clickAtPixels(30, 40);
    w.mnu_sav_Click();
    const QImage result = output(QStringLiteral("awlo-black.bmp"));
    ASSERT_EQ(result.size(), QSize(80, 60));
    EXPECT_EQ(result.pixel(30, 40), qRgb(254, 254, 254));
    EXPECT_EQ(result.pixel(49, 49), qRgb(254, 254, 254));
    EXPECT_EQ(maxChannel(result, QRect(0, 0, 30, 60)), 0);
    EXPECT_EQ(maxChannel(result, QRect(30, 50, 50, 10)), 0);
}

TEST_F(Waterlogo, AnOpaqueLogoIsLaidOverAtTheLevelsOpacity)
{
    testsupport::writeSolid(in(QStringLiteral("grey.bmp")), 60, 40, QColor(100, 100, 100));
    single(w, in(QStringLiteral("grey.bmp")), out);
    chooseLogo(solidLogo(QStringLiteral("white.png"), 10, 10, Qt::white));
    w.mnu_loadpic_Click();
    w.mnu_50->trigger();
    w.clickAtPixels(5, 5);
    w.mnu_sav_Click();
    const QImage result = output(QStringLiteral("awlo-grey.bmp"));
    const int over = blended(255, 255, 100, 128);   // 178, where adding would give 228
    EXPECT_EQ(result.pixel(5, 5), qRgb(over, over, over));
    EXPECT_EQ(result.pixel(14, 14), qRgb(over, over, over));
    EXPECT_EQ(result.pixel(15, 15), qRgb(100, 100, 100));
}

TEST_F(Waterlogo, TransparentPartsOfAPngLogoLeaveThePicturePixelForPixel)
{
    const QImage picture = testsupport::gradientImage(120, 80);
    ASSERT_TRUE(picture.save(in(QStringLiteral("g.bmp"))));
    // Left half opaque red, right half transparent, one half-transparent blue column between.
    QImage logo(40, 30, QImage::Format_ARGB32);
    logo.fill(qRgba(0, 255, 0, 0));
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 20; ++x)
            logo.setPixel(x, y, qRgba(255, 0, 0, 255));
        logo.setPixel(20, y, qRgba(0, 0, 255, 128));
    }
    const QString logoPath = tmp.path() + QStringLiteral("/logo.png");
    ASSERT_TRUE(logo.save(logoPath));
    single(w, in(QStringLiteral("g.bmp")), out);
    chooseLogo(logoPath);
    w.mnu_loadpic_Click();
    w.mnu_30->trigger();
    const int A = 178;
    w.clickAtPixels(10, 20);
    w.mnu_sav_Click();

    const QImage result = output(QStringLiteral("awlo-g.bmp"));
    ASSERT_EQ(result.size(), picture.size());
    const QRect opaque(10, 20, 20, 30), partial(30, 20, 1, 30);
    for (int y = 0; y < result.height(); ++y) {
        for (int x = 0; x < result.width(); ++x) {
            const QRgb p = picture.pixel(x, y), r = result.pixel(x, y);
            if (opaque.contains(x, y)) {
                ASSERT_NEAR(qRed(r), blended(255, 255, qRed(p), A), 1) << x << "," << y;
                ASSERT_NEAR(qGreen(r), blended(0, 255, qGreen(p), A), 1) << x << "," << y;
            } else if (partial.contains(x, y)) {
                ASSERT_NEAR(qBlue(r), blended(128, 128, qBlue(p), A), 1) << x << "," << y;
                ASSERT_NEAR(qRed(r), blended(0, 128, qRed(p), A), 1) << x << "," << y;
            } else {
                ASSERT_EQ(r, p) << x << "," << y;
            }
        }
    }
}

TEST_F(Waterlogo, TheBlendCoversTheWholeLogoAndIsCutAtThePicturesEdge)
{
    testsupport::writeSolid(in(QStringLiteral("black.bmp")), 60, 40, Qt::black);
    single(w, in(QStringLiteral("black.bmp")), out);
    chooseLogo(solidLogo(QStringLiteral("small.png"), 5, 5, Qt::white));
    w.mnu_loadpic_Click();
    w.clickAtPixels(0, 0);
    EXPECT_EQ(w.Picture1.visibleImage().pixel(4, 4), qRgb(254, 254, 254));
    EXPECT_EQ(maxChannel(w.Picture1.visibleImage(), QRect(5, 0, 55, 40)), 0);
    // A larger logo chosen afterwards is blended whole at the next click.
    chooseLogo(solidLogo(QStringLiteral("large.png"), 100, 100, Qt::white));
    w.Picture1.refresh();
    w.clickAtPixels(30, 20);
    const QImage shown = w.Picture1.visibleImage();
    EXPECT_EQ(shown.pixel(59, 39), qRgb(254, 254, 254));
    EXPECT_EQ(maxChannel(shown, QRect(0, 0, 30, 40)), 0);
    w.mnu_sav_Click();
    const QImage result = output(QStringLiteral("awlo-black.bmp"));
    ASSERT_EQ(result.size(), QSize(60, 40));
    EXPECT_EQ(result.pixel(30, 20), qRgb(254, 254, 254));
    EXPECT_EQ(result.pixel(59, 39), qRgb(254, 254, 254));
    EXPECT_EQ(maxChannel(result, QRect(0, 0, 60, 20)), 0);
}

TEST_F(Waterlogo, SaveChecksTheLogoFourthAndTheLoadStepHasItsOwnTitles)
{
    testsupport::writeSolid(in(QStringLiteral("a.bmp")), 20, 20, Qt::gray);
    single(w, in(QStringLiteral("a.bmp")), out);
    w.mnu_sav_Click();
    EXPECT_EQ(lastText(), QStringLiteral("Please specify LOGO file!"));
    EXPECT_EQ(lastTitle(), QStringLiteral("Pixmar: Invalid Path"));
    EXPECT_EQ(w.lastRun(), tools::ToolWindow::RunOutcome::InputFault);
    w.mnu_loadpic_Click();
    EXPECT_EQ(lastText(), QStringLiteral("Please specify LOGO file!"));
    EXPECT_EQ(lastTitle(), QStringLiteral("Pixmar: Invalid File"));
    shell::setVarbahasa(QStringLiteral("bm"));
    w.mnu_sav_Click();
    EXPECT_EQ(lastText(), QStringLiteral("Sila nyatakan fail LOGO!"));
    EXPECT_EQ(lastTitle(), QStringLiteral("Pixmar: Fail Tidak Sah"));
    w.mnu_loadpic_Click();
    EXPECT_EQ(lastText(), QStringLiteral("Sila nyatkan fail LOGO!"));
    shell::setVarbahasa(QStringLiteral("eng"));

    // A valid logo with no target stops at the third check.
    frm_WaterLogo fresh;
    fresh.activate();
    tk.openAnswers = {in(QStringLiteral("a.bmp"))};
    fresh.mnu_single_Click();
    tk.openAnswers = {solidLogo(QStringLiteral("l.png"), 4, 4, Qt::white)};
    fresh.mnu_txtwtr_Click();
    fresh.mnu_sav_Click();
    EXPECT_EQ(lastText(), QStringLiteral("Please specify Target Directory!"));
    EXPECT_EQ(lastTitle(), QStringLiteral("Pixmar: Invalid Path"));
    fresh.mnu_loadpic_Click();
    EXPECT_EQ(lastText(), QStringLiteral("Please specify Target Folder!"));
    EXPECT_EQ(lastTitle(), QStringLiteral("Pixmar: Invalid Folder"));
    tk.folderAnswers = {QString()};
    fresh.mnu_bulk_Click();
    fresh.mnu_loadpic_Click();
    EXPECT_EQ(lastText(), QStringLiteral("Please specify Source Folder!"));
    EXPECT_EQ(lastTitle(), QStringLiteral("Pixmar: Invalid Folder"));
    EXPECT_TRUE(outFiles().isEmpty());
}

TEST_F(Waterlogo, TheReportIsTheTextWatermarksUnderItsOwnTitle)
{
    testsupport::writeSolid(in(QStringLiteral("a.jpg")), 40, 30, Qt::gray);
    testsupport::writeSolid(in(QStringLiteral("b.bmp")), 40, 30, Qt::gray);
    testsupport::writeSolid(in(QStringLiteral("c.png")), 40, 30, Qt::gray);
    testsupport::writeBytes(in(QStringLiteral("d.txt")), "x");
    bulk(w, src, out);
    const QString logo = solidLogo(QStringLiteral("l.png"), 4, 4, Qt::white);
    chooseLogo(logo);
    w.mnu_loadpic_Click();
    w.mnu_sav_Click();
    EXPECT_EQ(lastTitle(), QStringLiteral("LOGO Watermark"));
    EXPECT_EQ(lastText(), QStringLiteral("Adding text watermark for 4 file(s) DONE.\r\n") +
                              QString(28, ' ') + QStringLiteral("\r\nBelow are the invalid file format:-\r\n") +
                              QString(33, '-') + QStringLiteral("  \r\n") + QString(35, ' ') +
                              QStringLiteral("\r\nd.txt ; c.png ; \r\n") + QString(35, ' ') +
                              QStringLiteral("\r\nTotal invalid file(s) : 2"));
    EXPECT_EQ(outFiles(), QStringList({QStringLiteral("awlo-a.jpg"), QStringLiteral("awlo-b.bmp")}));
    EXPECT_EQ(QImageReader(at(QStringLiteral("awlo-a.jpg"))).format(), QByteArray("jpeg"));
    EXPECT_EQ(QImageReader(at(QStringLiteral("awlo-b.bmp"))).format(), QByteArray("bmp"));
    // The logo, the target and the level stay; the labels of the entry were emptied.
    EXPECT_EQ(w.varlogo, logo);
    EXPECT_EQ(w.vartgtdir, out);
    EXPECT_TRUE(w.varfile.isEmpty() && w.varsrcdir.isEmpty());
    EXPECT_TRUE(w.lblogo->text().isEmpty() && w.lbltransparent->text().isEmpty());

    shell::setVarbahasa(QStringLiteral("bm"));
    single(w, in(QStringLiteral("a.jpg")), out);
    w.mnu_loadpic_Click();
    w.mnu_sav_Click();
    EXPECT_EQ(lastTitle(), QStringLiteral("LOGO Watermark"));
    EXPECT_TRUE(lastText().startsWith(QStringLiteral("Letak teks watermark untuk 1 file(s) SELESAI.")));
    EXPECT_TRUE(lastText().contains(QStringLiteral("Berikut adalah format fail yang tidak sah:-\r\n") +
                                    QString(41, '-') + QStringLiteral("  \r\n")));
    EXPECT_TRUE(lastText().contains(QStringLiteral("\r\nNone\r\n")));
}

TEST_F(Waterlogo, CaptionsInBothLanguages)
{
    auto captions = [this] {
        QStringList c;
        for (QAction *a : w.menuBar()->actions())
            c << a->text();
        return c;
    };
    EXPECT_EQ(w.windowTitle(), QStringLiteral(" Add LOGO Watermark On Picture"));
    EXPECT_EQ(captions(), QStringList({"File Selection", "Target Directory", "Load Picture",
                                       "Transparency Level", "LOGO Watermark", "Save", "Exit"}));
    EXPECT_EQ(w.lbltransparent->text(), QStringLiteral("Transparency Level : 0%"));
    w.Form_MouseMove();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("  Add LOGO Watermark On Picture"));
    w.Picture1_MouseMove(3, 4);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Mouse Position (X, Y):  3,  4"));

    const QString logo = solidLogo(QStringLiteral("l.png"), 4, 4, Qt::white);
    chooseLogo(logo);
    EXPECT_EQ(tk.openFilters.back(),
              QStringLiteral("All Image Files (*.jpg; *.bmp; *.png)| *.jpg; *.bmp; *.png|JPEG (*.jpg)|*.jpg|"
                             "Bitmap (*.bmp)|*.bmp|PNG (*.png)|*.png"));
    EXPECT_EQ(tk.openTitles.back(), QStringLiteral("Select File"));
    EXPECT_EQ(w.lblogo->text(), QStringLiteral("LOGO File : ") + logo);
    w.mnu_90->trigger();

    shell::setVarbahasa(QStringLiteral("bm"));
    w.Form_Activate();
    EXPECT_EQ(w.windowTitle(), QStringLiteral(" Letak LOGO Watermark Di Gambar"));
    EXPECT_EQ(captions(), QStringList({"Pilihan Fail", "Direktori Sasaran", "Muat Gambar",
                                       "Tahap Ketelusan", "LOGO Watermark", "Simpan Fail", "Keluar"}));
    EXPECT_EQ(w.mnu_single->text(), QStringLiteral("Satu Fail"));
    EXPECT_EQ(w.lbltransparent->text(), QStringLiteral("Tahap Ketelusan : 0%"));
    EXPECT_EQ(w.lblogo->text(), QStringLiteral("LOGO File : ") + logo);   // kept
    w.Form_MouseMove();
    EXPECT_EQ(w.windowTitle(), QStringLiteral(" Letak LOGO Watermark Di Gambar"));
    w.Picture1_MouseMove(3, 4);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Posisi Tetikus (X, Y):  3,  4"));
    tk.openAnswers.clear();   // cancelled: the name of the dialog's last use stays
    w.mnu_txtwtr_Click();
    EXPECT_EQ(tk.openTitles.back(), QStringLiteral("Pilih Fail"));
    EXPECT_EQ(w.lblogo->text(), QStringLiteral("Fail LOGO : ") + logo);
    single(w, in(QStringLiteral("a.jpg")), out);
    EXPECT_EQ(w.lblfile->text(), QStringLiteral("Fail : ") + in(QStringLiteral("a.jpg")));
    EXPECT_EQ(w.lbltarget->text(), QStringLiteral("Direktori Sasaran : ") + out + QLatin1Char('/'));
}

TEST_F(Waterlogo, ALogoThatCannotBeLoadedIsReportedAndStopsTheLibrary)
{
    testsupport::writeSolid(in(QStringLiteral("a.bmp")), 30, 20, Qt::black);
    testsupport::writeSolid(in(QStringLiteral("b.jpg")), 30, 20, Qt::black);
    bulk(w, src, out);
    const QString logo = tmp.path() + QStringLiteral("/broken.png");
    testsupport::writeBytes(logo, "not a picture");
    chooseLogo(logo);
    w.mnu_loadpic_Click();

    w.clickAtPixels(2, 2);
    ASSERT_EQ(tk.messages.size(), 1u);
    EXPECT_EQ(lastTitle(), QStringLiteral("Error"));
    EXPECT_EQ(lastText(), QStringLiteral("Error loading picture ") + logo);
    EXPECT_FALSE(imagingStarted());
    EXPECT_EQ(maxChannel(w.Picture1.visibleImage()), 0);

    // In the run each entry asks, with the library already shut down; Yes goes on with the
    // next one, and nothing is left behind.
    tk.onMessage = [](const platform::ScriptedToolkit::Message &) { EXPECT_FALSE(imagingStarted()); };
    w.mnu_sav_Click();
    EXPECT_EQ(questions(), QStringList(2, QStringLiteral("Error loading picture ") + logo +
                                              QStringLiteral("\r\nContinue?")));
    EXPECT_TRUE(lastText().startsWith(QStringLiteral("Adding text watermark for 0 file(s) DONE.")));
    EXPECT_TRUE(outFiles().isEmpty());

    bulk(w, src, out);
    w.mnu_loadpic_Click();
    tk.messageAnswers = {platform::MsgResult::No};
    w.mnu_sav_Click();
    EXPECT_EQ(w.lastRun(), tools::ToolWindow::RunOutcome::Stopped);
    EXPECT_EQ(questions().size(), 3);
}

TEST_F(Waterlogo, TheRunKeepsUsersFilesTakesItsListingAtLoadAndLocksTheMenus)
{
    testsupport::writeSolid(in(QStringLiteral("a.jpg")), 40, 30, Qt::gray);
    testsupport::writeSolid(in(QStringLiteral("b.bmp")), 40, 30, Qt::gray);
    testsupport::writeSolid(in(QStringLiteral("c.bmp")), 40, 30, Qt::gray);
    testsupport::writeSolid(in(QStringLiteral("adwl-a.jpg")), 40, 30, Qt::red);   // the user's own
    const QByteArray usersFile = testsupport::readBytes(in(QStringLiteral("adwl-a.jpg")));
    QDir(src).mkdir(QStringLiteral("awlo-c.bmp"));   // the output cannot be written
    bulk(w, src, src);                               // results go into the folder being listed
    chooseLogo(solidLogo(QStringLiteral("l.png"), 4, 4, Qt::white));
    w.mnu_loadpic_Click();
    bool anyMenuEnabled = false;
    tk.onDoEvents = [&] {
        for (QAction *a : w.menuBar()->actions())
            anyMenuEnabled = anyMenuEnabled || a->isEnabled();
    };
    w.mnu_sav_Click();
    EXPECT_FALSE(anyMenuEnabled);
    EXPECT_TRUE(w.mnu_exit->isEnabled());
    EXPECT_EQ(questions().size(), 1);
    EXPECT_TRUE(questions().front().contains(QStringLiteral("awlo-c.bmp")));
    // Three pictures were written (c failed); the outputs written meanwhile were not listed.
    EXPECT_TRUE(lastText().startsWith(QStringLiteral("Adding text watermark for 3 file(s) DONE.")));
    EXPECT_EQ(testsupport::readBytes(in(QStringLiteral("adwl-a.jpg"))), usersFile);
    EXPECT_EQ(QDir(src).entryList(QDir::Files, QDir::Name),
              QStringList({"a.jpg", "adwl-a.jpg", "awlo-a.jpg", "awlo-adwl-a.jpg", "awlo-b.bmp",
                           "b.bmp", "c.bmp"}));
}

TEST_F(Waterlogo, TheCommandWritesOneFilePerAcceptedPictureAndEndsWithTheReport)
{
    testsupport::writeSolid(in(QStringLiteral("a.bmp")), 60, 40, Qt::black);
    testsupport::writeSolid(in(QStringLiteral("b.jpg")), 60, 40, Qt::black);
    testsupport::writeBytes(in(QStringLiteral("notes.txt")), "x");
    const QString logo = solidLogo(QStringLiteral("logo.png"), 8, 8, Qt::white);
    std::vector<platform::ScriptedToolkit::Message> messages;
    auto run = [&](const QStringList &args) {
        int status = 0;
        {
            app::CliSession session;
            status = app::cliLogo(session, args);
            messages = session.toolkit.messages;
        }
        platform::setToolkit(&tk);   // the session put the desktop's back
        return status;
    };
    EXPECT_EQ(run({"--dir", src, "--target", out, "--logo", logo, "--level", "30%", "--at", "10,10"}),
              app::kExitOk);
    EXPECT_EQ(outFiles(), QStringList({QStringLiteral("awlo-a.bmp"), QStringLiteral("awlo-b.jpg")}));
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back().title, QStringLiteral("LOGO Watermark"));
    EXPECT_TRUE(messages.back().text.startsWith(QStringLiteral("Adding text watermark for 3 file(s) DONE.")));
    const QImage a = output(QStringLiteral("awlo-a.bmp"));
    EXPECT_EQ(a.pixel(10, 10), qRgb(178, 178, 178));
    EXPECT_EQ(a.pixel(17, 17), qRgb(178, 178, 178));
    EXPECT_EQ(maxChannel(a, QRect(0, 0, 60, 10)), 0);
    EXPECT_EQ(maxChannel(a, QRect(18, 0, 42, 40)), 0);

    EXPECT_EQ(run({"--file", in("a.bmp"), "--target", out, "--logo", logo, "--level", "5%"}),
              app::kExitInputFault);
    EXPECT_EQ(run({"--file", in("a.bmp"), "--target", out}), app::kExitInputFault);
    EXPECT_EQ(run({"--file", in("a.bmp"), "--target", out, "--logo", tmp.path() + "/none.png",
                   "--at", "1,1"}),
              app::kExitFailed);
    EXPECT_EQ(messages.front().text, QStringLiteral("Error loading picture ") + tmp.path() + "/none.png");
}
