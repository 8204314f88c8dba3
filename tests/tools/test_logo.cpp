// The logo watermark window driven offscreen through the scripted toolkit, and its command.
#include "ToolTestSupport.h"

#include "app/Cli.h"
#include "platform/GdiPlus.h"
#include "tools/frm_WaterLogo.h"

#include <QAction>
#include <QImageReader>
#include <QLabel>
#include <QMenuBar>

using tooltest::maxChannel;

namespace {

bool imagingStarted()
{
    std::uint32_t n = 0, size = 0;
    return platform::gdiplus::GdipGetImageEncodersSize(&n, &size) != platform::gdiplus::GdiplusNotInitialized;
}

// One channel by the blend rule: logo × A / 255 + picture × (1 − α × A / 255²), rounded.
int blended(int logo, int alpha, int picture, int A)
{
    return (logo * A * 255 + picture * (255 * 255 - alpha * A) + 255 * 255 / 2) / (255 * 255);
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
    QString whiteLogo(int width, int height)
    {
        const QString p = tmp.path() + QStringLiteral("/white%1.png").arg(width);
        EXPECT_TRUE(testsupport::writeSolid(p, width, height, Qt::white));
        return p;
    }
    QImage output(const QString &name) const { return QImage(at(name)).convertToFormat(QImage::Format_RGB32); }
    frm_WaterLogo w;
};

} // namespace

TEST_F(Waterlogo, ZeroPercentGives254AndFiftyGives128)
{
    testsupport::writeSolid(in(QStringLiteral("black.bmp")), 80, 60, Qt::black);
    single(w, in(QStringLiteral("black.bmp")), out);
    chooseLogo(whiteLogo(20, 10));
    w.mnu_loadpic_Click();
    w.mnu_50->trigger();
    w.clickAtPixels(5, 5);
    EXPECT_EQ(w.blendfn.SourceConstantAlpha, 128);
    w.mnu_0->trigger();
    w.clickAtPixels(30, 40);
    EXPECT_EQ(w.blendfn.SourceConstantAlpha, 254);
    w.mnu_sav_Click();
    const QImage result = output(QStringLiteral("awlo-black.bmp"));
    EXPECT_EQ(result.pixel(30, 40), qRgb(254, 254, 254));
    EXPECT_EQ(result.pixel(49, 49), qRgb(254, 254, 254));
    EXPECT_EQ(maxChannel(result, QRect(0, 0, 30, 60)), 0);   // only the last click counts
}

TEST_F(Waterlogo, APngLogoIsLaidOverAndItsTransparentPartsChangeNothing)
{
    const QImage picture = testsupport::gradientImage(120, 80);
    ASSERT_TRUE(picture.save(in(QStringLiteral("g.bmp"))));
    QImage logo(40, 30, QImage::Format_ARGB32);   // opaque red | half-transparent blue | clear
    logo.fill(qRgba(0, 255, 0, 0));
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 20; ++x)
            logo.setPixel(x, y, qRgba(255, 0, 0, 255));
        logo.setPixel(20, y, qRgba(0, 0, 255, 128));
    }
    ASSERT_TRUE(logo.save(tmp.path() + QStringLiteral("/logo.png")));
    single(w, in(QStringLiteral("g.bmp")), out);
    chooseLogo(tmp.path() + QStringLiteral("/logo.png"));
    w.mnu_loadpic_Click();
    w.mnu_30->trigger();   // A = 178
    w.clickAtPixels(10, 20);
    w.mnu_sav_Click();
    const QImage result = output(QStringLiteral("awlo-g.bmp"));
    ASSERT_EQ(result.size(), picture.size());
    for (int y = 0; y < result.height(); ++y)
        for (int x = 0; x < result.width(); ++x) {
            const QRgb p = picture.pixel(x, y), r = result.pixel(x, y);
            if (QRect(10, 20, 20, 30).contains(x, y)) {
                ASSERT_NEAR(qRed(r), blended(255, 255, qRed(p), 178), 1) << x << "," << y;
                ASSERT_NEAR(qGreen(r), blended(0, 255, qGreen(p), 178), 1) << x << "," << y;
            } else if (x == 30 && y >= 20 && y < 50) {
                ASSERT_NEAR(qBlue(r), blended(128, 128, qBlue(p), 178), 1) << y;
            } else {
                ASSERT_EQ(r, p) << x << "," << y;
            }
        }
}

TEST_F(Waterlogo, TheBlendCoversTheWholeLogoAndIsCutAtThePicturesEdge)
{
    testsupport::writeSolid(in(QStringLiteral("black.bmp")), 60, 40, Qt::black);
    single(w, in(QStringLiteral("black.bmp")), out);
    chooseLogo(whiteLogo(5, 5));
    w.mnu_loadpic_Click();
    w.clickAtPixels(0, 0);
    chooseLogo(whiteLogo(100, 100));   // larger than the last one and than the picture
    w.mnu_sav_Click();   // the run blends at the last click's position
    const QImage result = output(QStringLiteral("awlo-black.bmp"));
    ASSERT_EQ(result.size(), QSize(60, 40));
    EXPECT_EQ(result.pixel(59, 39), qRgb(254, 254, 254));
}

TEST_F(Waterlogo, ALogoLargerThanThePreviewIsDecodedOnlyAsFarAsItCanShow)
{
    testsupport::writeSolid(in(QStringLiteral("black.bmp")), 60, 40, Qt::black);
    const QString logo = tmp.path() + QStringLiteral("/big.jpg");
    testsupport::writeBytes(logo, testsupport::jpegBytes(2400, 1800));
    single(w, in(QStringLiteral("black.bmp")), out);
    chooseLogo(logo);
    w.mnu_loadpic_Click();
    w.clickAtPixels(10, 10);
    // The logo surface holds what the preview can show of it, not the whole logo.
    EXPECT_LE(w.Picture2.innerWidthPx(), w.Picture1.innerWidthPx());
    EXPECT_LE(w.Picture2.innerHeightPx(), w.Picture1.innerHeightPx());
    w.mnu_sav_Click();
    // On black at "0%", each channel is the logo's own × 254 / 255, the logo read whole.
    const QImage whole = QImage(logo).convertToFormat(QImage::Format_RGB32);
    const QImage result = output(QStringLiteral("awlo-black.bmp"));
    ASSERT_EQ(result.size(), QSize(60, 40));
    auto mark = [](int c) { return (c * 254 + 127) / 255; };
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x) {
            const QRgb l = x < 10 || y < 10 ? qRgb(0, 0, 0) : whole.pixel(x - 10, y - 10);
            ASSERT_EQ(result.pixel(x, y), qRgb(mark(qRed(l)), mark(qGreen(l)), mark(qBlue(l)))) << x << "," << y;
        }
}

TEST_F(Waterlogo, SaveChecksTheLogoFourthAndTheTargetThird)
{
    testsupport::writeSolid(in(QStringLiteral("a.bmp")), 20, 20, Qt::gray);
    single(w, in(QStringLiteral("a.bmp")), out);
    w.mnu_sav_Click();
    EXPECT_EQ(lastText() + " / " + lastTitle(), QStringLiteral("Please specify LOGO file! / Pixmar: Invalid Path"));
    w.mnu_loadpic_Click();   // the load step's own table
    EXPECT_EQ(lastText() + " / " + lastTitle(), QStringLiteral("Please specify LOGO file! / Pixmar: Invalid File"));
    shell::setVarbahasa(QStringLiteral("bm"));
    w.mnu_loadpic_Click();
    EXPECT_EQ(lastText(), QStringLiteral("Sila nyatkan fail LOGO!"));   // the load step's spelling
    shell::setVarbahasa(QStringLiteral("eng"));

    frm_WaterLogo noTarget;
    tk.openAnswers = {in(QStringLiteral("a.bmp")), whiteLogo(4, 4)};
    noTarget.mnu_single_Click();
    noTarget.mnu_txtwtr_Click();
    noTarget.mnu_sav_Click();
    EXPECT_EQ(lastText() + " / " + lastTitle(), QStringLiteral("Please specify Target Directory! / Pixmar: Invalid Path"));
    noTarget.mnu_loadpic_Click();
    EXPECT_EQ(lastText() + " / " + lastTitle(), QStringLiteral("Please specify Target Folder! / Pixmar: Invalid Folder"));
}

TEST_F(Waterlogo, TheReportIsTheTextWatermarksUnderItsOwnTitle)
{
    testsupport::writeSolid(in(QStringLiteral("a.jpg")), 40, 30, Qt::gray);
    testsupport::writeSolid(in(QStringLiteral("b.bmp")), 40, 30, Qt::gray);
    testsupport::writeSolid(in(QStringLiteral("c.png")), 40, 30, Qt::gray);
    bulk(w, src, out);
    chooseLogo(whiteLogo(4, 4));
    w.mnu_loadpic_Click();
    w.mnu_sav_Click();
    EXPECT_EQ(lastTitle(), QStringLiteral("LOGO Watermark"));
    EXPECT_TRUE(lastText().startsWith(QStringLiteral("Adding text watermark for 3 file(s) DONE.")));
    EXPECT_TRUE(lastText().endsWith(QStringLiteral("\r\nc.png ; \r\n") + QString(35, ' ') +
                                    QStringLiteral("\r\nTotal invalid file(s) : 1")));
    EXPECT_EQ(outFiles(), QStringList({QStringLiteral("awlo-a.jpg"), QStringLiteral("awlo-b.bmp")}));
    EXPECT_EQ(QImageReader(at(QStringLiteral("awlo-a.jpg"))).format(), QByteArray("jpeg"));
    EXPECT_FALSE(w.varlogo.isEmpty());   // the logo stays for the next run
}

TEST_F(Waterlogo, TitlesAndTheLogoDialog)
{
    EXPECT_EQ(w.windowTitle(), QStringLiteral(" Add LOGO Watermark On Picture"));
    w.Form_MouseMove();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("  Add LOGO Watermark On Picture"));
    shell::setVarbahasa(QStringLiteral("bm"));
    w.Form_Activate();
    EXPECT_EQ(w.windowTitle(), QStringLiteral(" Letak LOGO Watermark Di Gambar"));
    w.Form_MouseMove();
    EXPECT_EQ(w.windowTitle(), QStringLiteral(" Letak LOGO Watermark Di Gambar"));
    EXPECT_EQ(w.lbltransparent->text(), QStringLiteral("Tahap Ketelusan : 0%"));
    chooseLogo(QStringLiteral("/x/l.png"));
    EXPECT_EQ(tk.openFilters.back(),
              QStringLiteral("All Image Files (*.jpg; *.bmp; *.png)| *.jpg; *.bmp; *.png|JPEG (*.jpg)|*.jpg|"
                             "Bitmap (*.bmp)|*.bmp|PNG (*.png)|*.png"));
    EXPECT_EQ(tk.openTitles.back(), QStringLiteral("Pilih Fail"));
    EXPECT_EQ(w.lblogo->text(), QStringLiteral("Fail LOGO : /x/l.png"));
}

TEST_F(Waterlogo, ALogoThatCannotBeLoadedIsReportedWithTheLibraryStopped)
{
    testsupport::writeSolid(in(QStringLiteral("a.bmp")), 30, 20, Qt::black);
    testsupport::writeSolid(in(QStringLiteral("b.jpg")), 30, 20, Qt::black);
    const QString logo = tmp.path() + QStringLiteral("/broken.png");
    testsupport::writeBytes(logo, "not a picture");
    bulk(w, src, out);
    chooseLogo(logo);
    w.mnu_loadpic_Click();
    tk.onMessage = [](const platform::ScriptedToolkit::Message &) { EXPECT_FALSE(imagingStarted()); };
    w.clickAtPixels(2, 2);
    EXPECT_EQ(lastText() + " / " + lastTitle(), QStringLiteral("Error loading picture ") + logo + " / Error");
    // Workers may be drawing the next entries while a question shows: the library is theirs
    // then, and every start is undone by the end of the run.
    tk.onMessage = nullptr;
    w.mnu_sav_Click();   // each entry asks; Yes goes on with the next
    EXPECT_FALSE(imagingStarted());
    EXPECT_EQ(questions(), QStringList(2, QStringLiteral("Error loading picture ") + logo + "\r\nContinue?"));
    EXPECT_TRUE(lastText().startsWith(QStringLiteral("Adding text watermark for 0 file(s)")));
    EXPECT_TRUE(outFiles().isEmpty());
}

TEST_F(Waterlogo, TheRunKeepsUsersFilesListsOnceAndLocksTheMenus)
{
    testsupport::writeSolid(in(QStringLiteral("a.jpg")), 40, 30, Qt::gray);
    testsupport::writeSolid(in(QStringLiteral("adwl-a.jpg")), 40, 30, Qt::red);   // the user's own
    const QByteArray usersFile = testsupport::readBytes(in(QStringLiteral("adwl-a.jpg")));
    QDir(src).mkdir(QStringLiteral("awlo-b.bmp"));   // this output cannot be written
    testsupport::writeSolid(in(QStringLiteral("b.bmp")), 40, 30, Qt::gray);
    bulk(w, src, src);   // the outputs go into the folder being listed
    chooseLogo(whiteLogo(4, 4));
    w.mnu_loadpic_Click();
    bool anyMenuEnabled = false;
    tk.onDoEvents = [&] {
        for (QAction *a : w.menuBar()->actions())
            anyMenuEnabled = anyMenuEnabled || a->isEnabled();
    };
    w.mnu_sav_Click();
    EXPECT_FALSE(anyMenuEnabled);
    EXPECT_EQ(questions().size(), 1);
    EXPECT_TRUE(lastText().startsWith(QStringLiteral("Adding text watermark for 2 file(s)")));
    EXPECT_EQ(testsupport::readBytes(in(QStringLiteral("adwl-a.jpg"))), usersFile);
    EXPECT_EQ(QDir(src).entryList(QDir::Files, QDir::Name),
              QStringList({"a.jpg", "adwl-a.jpg", "awlo-a.jpg", "awlo-adwl-a.jpg", "b.bmp"}));
}

TEST_F(Waterlogo, TheCommandWritesOneFilePerAcceptedPicture)
{
    testsupport::writeSolid(in(QStringLiteral("a.bmp")), 60, 40, Qt::black);
    testsupport::writeSolid(in(QStringLiteral("b.jpg")), 60, 40, Qt::black);
    testsupport::writeBytes(in(QStringLiteral("notes.txt")), "x");
    std::vector<platform::ScriptedToolkit::Message> messages;
    auto run = [&](const QStringList &args) {
        int status = 0;
        {
            app::CliSession session;
            status = app::cliLogo(session, args);
            messages = session.toolkit.messages;
        }
        return status;
    };
    EXPECT_EQ(run({"--dir", src, "--target", out, "--logo", whiteLogo(8, 8), "--level", "30%", "--at", "10,10"}),
              app::kExitOk);
    EXPECT_EQ(outFiles(), QStringList({QStringLiteral("awlo-a.bmp"), QStringLiteral("awlo-b.jpg")}));
    EXPECT_TRUE(messages.back().text.startsWith(QStringLiteral("Adding text watermark for 3 file(s) DONE.")));
    const QImage a = output(QStringLiteral("awlo-a.bmp"));
    EXPECT_EQ(a.pixel(17, 17), qRgb(178, 178, 178));
    EXPECT_EQ(maxChannel(a, QRect(0, 0, 60, 10)) + maxChannel(a, QRect(18, 0, 42, 40)), 0);
    EXPECT_EQ(run({"--file", in("a.bmp"), "--target", out, "--logo", "l.png", "--level", "5%"}),
              app::kExitInputFault);
    EXPECT_EQ(run({"--file", in("a.bmp"), "--target", out}), app::kExitInputFault);
}

TEST_F(Waterlogo, EveryCaptionIsTheCatalogueTextInBothLanguages)
{
    for (const QString lang : {QStringLiteral("bm"), QStringLiteral("eng")}) {
        SCOPED_TRACE(lang.toStdString());
        shell::setVarbahasa(lang);
        w.Form_Activate();
        auto text = [&lang](const char *key) { return shell::tx(key, lang); };
        EXPECT_EQ(w.windowTitle(), text("waterlogo.title"));
        EXPECT_EQ(w.mnu_file->title(), text("common.mnu_files"));
        EXPECT_EQ(w.mnu_single->text(), text("common.mnu_single"));
        EXPECT_EQ(w.mnu_bulk->text(), text("common.mnu_bulk"));
        EXPECT_EQ(w.mnu_folder->text(), text("common.mnu_folder"));
        EXPECT_EQ(w.mnu_loadpic->text(), text("waterlogo.mnu_loadpic"));
        EXPECT_EQ(w.mnu_tranparent->title(), text("waterlogo.mnu_tranparent"));
        EXPECT_EQ(w.mnu_txtwtr->text(), text("waterlogo.mnu_txtwtr"));
        EXPECT_EQ(w.mnu_sav->text(), text("waterlogo.mnu_sav"));
        EXPECT_EQ(w.mnu_exit->text(), text("common.mnu_exit"));
        EXPECT_EQ(w.lbltransparent->text(), text("waterlogo.label.level") + QStringLiteral("0%"));
    }
    // The two columns differ where the catalogue says they do: a caption taken from the
    // wrong one cannot pass above.
    EXPECT_NE(shell::tx("waterlogo.mnu_sav", QStringLiteral("bm")), shell::tx("waterlogo.mnu_sav", QStringLiteral("eng")));
}
