// Where marks land on a folder of mixed shapes: as clicked (the report names the pictures the
// mark missed or was cut on), relative to each picture, and at an anchor; the placement
// arithmetic on its own; the Placement menu; a preview that is never empty.
#include "ToolTestSupport.h"

#include "app/Cli.h"
#include "platform/Settings.h"
#include "tools/BoxRunHost.h"
#include "tools/Placement.h"
#include "tools/WatermarkRecipe.h"
#include "tools/frm_Watertext.h"

#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <map>
#include <cmath>

namespace {

using tools::Anchor;
using tools::MarkPlacement;
using tools::PlacementMode;

// The bounding box of the pixels brighter than `threshold` in any channel.
QRect brightBox(const QImage &image, int threshold = 40)
{
    const QImage img = image.convertToFormat(QImage::Format_RGB32);
    QRect box;
    for (int y = 0; y < img.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if (std::max({qRed(row[x]), qGreen(row[x]), qBlue(row[x])}) > threshold)
                box |= QRect(x, y, 1, 1);
    }
    return box;
}

// The three shapes a camera or phone leaves in one folder.
const std::vector<std::pair<QString, QSize>> &mixedShapes()
{
    static const std::vector<std::pair<QString, QSize>> shapes = {
        {QStringLiteral("land.bmp"), {2400, 1600}},
        {QStringLiteral("port.bmp"), {1200, 1800}},
        {QStringLiteral("small.bmp"), {800, 533}},
    };
    return shapes;
}

class Placement : public tooltest::ToolFixture {
protected:
    Placement()
    {
        for (const auto &[name, size] : mixedShapes())
            testsupport::writeSolid(in(name), size.width(), size.height(), Qt::black);
    }
    int run(int (*command)(app::CliSession &, const QStringList &), const QStringList &args)
    {
        app::CliSession session;
        const int status = command(session, args);
        messages = session.toolkit.messages;
        return status;
    }
    int watermark(const QStringList &extra)
    {
        return run(app::cliWatermark, QStringList{QStringLiteral("--dir"), src, QStringLiteral("--target"), out,
                                                  QStringLiteral("--text"), QStringLiteral("Copyright 2026"),
                                                  QStringLiteral("--original-size")} +
                                          extra);
    }
    QImage output(const QString &prefixed) const { return QImage(out + QLatin1Char('/') + prefixed); }
    QString lastText() const { return messages.empty() ? QString() : messages.back().text; }

    std::vector<platform::ScriptedToolkit::Message> messages;
};

} // namespace

TEST(PlacementArithmetic, AnchorsMarginsSizesAndTheMarkMovedInwardNeverCut)
{
    const auto linear = [](double s) { return QSizeF(100 * s, 20 * s); };
    MarkPlacement anchored{PlacementMode::Anchored, Anchor::SE, 3, 20};
    for (const QSizeF picture : {QSizeF(2400, 1600), QSizeF(1200, 1800), QSizeF(800, 533), QSizeF(7, 3000)}) {
        const tools::PlacedMark m = tools::placeMark(anchored, picture, {}, {}, linear);
        ASSERT_TRUE(m.fits);
        const double margin = std::floor(std::min(picture.width(), picture.height()) * 0.03);
        EXPECT_NEAR(100 * m.scale, picture.width() * 0.2, 1) << picture.width();
        EXPECT_NEAR(m.at.x() + 100 * m.scale, picture.width() - margin, 1);
        EXPECT_NEAR(m.at.y() + 20 * m.scale, picture.height() - margin, 1);
    }
    // Wider than the room between the margins: shrunk to fit, never cut.
    anchored.sizePercent = 100;
    anchored.marginPercent = 10;
    anchored.anchor = Anchor::NW;
    const tools::PlacedMark wide = tools::placeMark(anchored, {1000, 1000}, {}, {}, linear);
    EXPECT_TRUE(wide.fits);
    EXPECT_LE(100 * wide.scale, 800.0);
    EXPECT_EQ(wide.at, QPointF(100, 100));

    // Relative: the click's fraction and the shorter side's scale, moved inward at the edge.
    const MarkPlacement relative{PlacementMode::Relative};
    const tools::PlacedMark same = tools::placeMark(relative, {400, 200}, {100, 50}, {200, 100}, linear);
    EXPECT_EQ(same.at, QPointF(200, 100));
    EXPECT_DOUBLE_EQ(same.scale, 2);
    const tools::PlacedMark edge = tools::placeMark(relative, {200, 100}, {190, 95}, {200, 100}, linear);
    EXPECT_EQ(edge.at, QPointF(100, 80));

    // A mark that cannot shrink below a speck fits no 1 × 1 picture.
    const auto floored = [](double s) { return QSizeF(std::max(5.0, 100 * s), std::max(5.0, 20 * s)); };
    EXPECT_FALSE(tools::placeMark(relative, {1, 1}, {0, 0}, {200, 100}, floored).fits);

    EXPECT_EQ(tools::nearestAnchor({5, 5}, {300, 300}), Anchor::NW);
    EXPECT_EQ(tools::nearestAnchor({150, 299}, {300, 300}), Anchor::S);
    EXPECT_EQ(tools::nearestAnchor({299, 150}, {300, 300}), Anchor::E);
    EXPECT_FALSE((MarkPlacement{PlacementMode::Anchored, Anchor::C, 60, 20}.leavesRoom()));
    EXPECT_FALSE((MarkPlacement{PlacementMode::Anchored, Anchor::C, 3, 0}.leavesRoom()));
    EXPECT_TRUE((MarkPlacement{PlacementMode::Relative, Anchor::C, 60, 0}.leavesRoom()));
}

TEST_F(Placement, AsClickedTheReportNamesThePicturesTheMarkMissedOrWasCutOnInBothLanguages)
{
    EXPECT_EQ(watermark({QStringLiteral("--at"), QStringLiteral("900,600")}), app::kExitFailed);
    const QString report = lastText();
    const qsizetype outside = report.indexOf(QStringLiteral("Mark outside the picture (written without it):"));
    const qsizetype cut = report.indexOf(QStringLiteral("Mark cut at the picture's edge:"));
    ASSERT_GE(outside, 0);
    ASSERT_GT(cut, outside);
    EXPECT_TRUE(report.mid(outside, cut - outside).contains(QStringLiteral("port.bmp")));
    EXPECT_TRUE(report.mid(outside, cut - outside).contains(QStringLiteral("small.bmp")));
    EXPECT_TRUE(report.mid(cut).contains(QStringLiteral("land.bmp")));
    EXPECT_TRUE(brightBox(output(QStringLiteral("awtx-port.bmp"))).isEmpty());

    shell::setVarbahasa(QStringLiteral("bm"));
    QDir(out).removeRecursively();
    QDir().mkpath(out);
    EXPECT_EQ(watermark({QStringLiteral("--at"), QStringLiteral("900,600")}), app::kExitFailed);
    EXPECT_TRUE(lastText().contains(QStringLiteral("Tanda di luar gambar (fail ditulis tanpa tanda):")));
    EXPECT_TRUE(lastText().contains(QStringLiteral("Tanda terpotong di tepi gambar:")));
}

TEST_F(Placement, RelativeGivesEveryPictureTheWholeMarkAtTheSamePlaceAndSize)
{
    EXPECT_EQ(watermark({QStringLiteral("--at"), QStringLiteral("400,300"), QStringLiteral("--placement"),
                         QStringLiteral("relative")}),
              app::kExitOk);
    EXPECT_FALSE(lastText().contains(QStringLiteral("Mark")));
    std::vector<QRectF> relative;
    for (const auto &[name, size] : mixedShapes()) {
        const QImage img = output(QStringLiteral("awtx-") + name);
        ASSERT_EQ(img.size(), size);
        const QRect box = brightBox(img);
        ASSERT_FALSE(box.isEmpty()) << name.toStdString();
        const double shorter = std::min(size.width(), size.height());
        relative.push_back(QRectF(double(box.left()) / size.width(), double(box.top()) / size.height(),
                                  box.width() / shorter, box.height() / shorter));
    }
    for (const QRectF &r : relative) {
        EXPECT_NEAR(r.left(), relative[0].left(), 0.02);
        EXPECT_NEAR(r.top(), relative[0].top(), 0.02);
        EXPECT_NEAR(r.width(), relative[0].width(), 0.15 * relative[0].width());
    }
}

TEST_F(Placement, AnchoredPutsTheWholeLogoInTheCornerAtTheMarginAndSize)
{
    const QString logo = tmp.path() + QStringLiteral("/logo.bmp");
    testsupport::writeSolid(logo, 200, 100, Qt::white);
    EXPECT_EQ(run(app::cliLogo, {QStringLiteral("--dir"), src, QStringLiteral("--target"), out,
                                 QStringLiteral("--logo"), logo, QStringLiteral("--anchor"), QStringLiteral("se"),
                                 QStringLiteral("--margin"), QStringLiteral("3%"), QStringLiteral("--mark-size"),
                                 QStringLiteral("20%"), QStringLiteral("--original-size")}),
              app::kExitOk);
    for (const auto &[name, size] : mixedShapes()) {
        const QRect box = brightBox(output(QStringLiteral("awlo-") + name));
        const int margin = int(std::min(size.width(), size.height()) * 0.03);
        EXPECT_NEAR(box.width(), size.width() * 0.2, 2) << name.toStdString();
        EXPECT_NEAR(size.width() - 1 - box.right(), margin, 2) << name.toStdString();
        EXPECT_NEAR(size.height() - 1 - box.bottom(), margin, 2) << name.toStdString();
    }
}

TEST_F(Placement, NoRoomIsRefusedBeforeAnythingAndAPictureNoSizeFitsIsAFailedFile)
{
    EXPECT_EQ(watermark({QStringLiteral("--anchor"), QStringLiteral("se"), QStringLiteral("--margin"),
                         QStringLiteral("60%")}),
              app::kExitInputFault);
    EXPECT_TRUE(lastText().contains(QStringLiteral("leave no room")));
    EXPECT_TRUE(QDir(out).isEmpty());
    EXPECT_EQ(watermark({QStringLiteral("--margin"), QStringLiteral("5%")}), app::kExitInputFault);
    EXPECT_EQ(watermark({QStringLiteral("--anchor"), QStringLiteral("up")}), app::kExitInputFault);

    for (const auto &[name, size] : mixedShapes())
        QFile::remove(in(name));
    testsupport::writeSolid(in(QStringLiteral("dot.bmp")), 1, 1, Qt::black);
    testsupport::writeSolid(in(QStringLiteral("wide.bmp")), 3000, 40, Qt::black);
    EXPECT_EQ(watermark({QStringLiteral("--anchor"), QStringLiteral("c")}), app::kExitFailed);
    const auto dotFailed = std::any_of(messages.begin(), messages.end(), [](const auto &m) {
        return m.text.contains(QStringLiteral("does not fit")) && m.text.contains(QStringLiteral("dot.bmp"));
    });
    EXPECT_TRUE(dotFailed);
    EXPECT_EQ(outFiles(), QStringList{QStringLiteral("awtx-wide.bmp")});
    const QRect box = brightBox(output(QStringLiteral("awtx-wide.bmp")));
    EXPECT_TRUE(QRect(0, 0, 3000, 40).contains(box));
    EXPECT_FALSE(box.isEmpty());
}

TEST_F(Placement, TheMenuIsRememberedAndAClickChoosesTheNearestAnchor)
{
    QTemporaryDir config;
    const QByteArray saved = qgetenv("PIXMAR_CONFIG");
    qputenv("PIXMAR_CONFIG", config.filePath(QStringLiteral("pixmar.conf")).toUtf8());
    platform::setting(QStringLiteral("x"));
    {
        frm_Watertext w;
        w.activate();
        w.Form_Activate();
        ASSERT_NE(w.mnu_options->placementMenu, nullptr);
        EXPECT_EQ(w.mnu_options->placementMenu->title(), "Placement");
        EXPECT_EQ(w.run().output.placement, MarkPlacement());
        w.mnu_options->placementActions[2]->trigger();
        w.mnu_options->marginActions[3]->trigger();   // 5%
        EXPECT_EQ(w.run().output.placement.mode, PlacementMode::Anchored);
        EXPECT_EQ(w.run().output.placement.marginPercent, 5);
        EXPECT_TRUE(w.lbloptions->text().contains(QStringLiteral("anchored Bottom Right, margin 5%")));
        shell::setVarbahasa(QStringLiteral("bm"));
        w.Form_Activate();
        EXPECT_EQ(w.mnu_options->placementMenu->title(), "Kedudukan Tanda");
        shell::setVarbahasa(QStringLiteral("eng"));

        testsupport::writeSolid(in(QStringLiteral("land.bmp")), 600, 300, Qt::black);
        w.CommonDialog.font = platform::FontSpec{QStringLiteral("DejaVu Sans"), 20, false, false};
        bulk(w, src, out);
        w.run().load();
        ASSERT_TRUE(w.run().previewShown());
        w.clickAtPixels(5, 5);   // the top-left third
        EXPECT_EQ(w.run().output.placement.anchor, Anchor::NW);
    }
    frm_Watertext again;
    again.activate();
    again.Form_Activate();
    EXPECT_EQ(again.run().output.placement.mode, PlacementMode::Anchored);
    EXPECT_EQ(again.run().output.placement.anchor, Anchor::NW);
    EXPECT_EQ(again.run().output.placement.marginPercent, 5);
    EXPECT_TRUE(again.mnu_options->marginActions[3]->isChecked());
    qputenv("PIXMAR_CONFIG", saved);
    platform::setting(QStringLiteral("x"));
}

TEST_F(Placement, BulkLoadShowsTheFirstPictureTheToolTakesOrNothing)
{
    for (const auto &[name, size] : mixedShapes())
        QFile::remove(in(name));
    testsupport::writeBytes(in(QStringLiteral("a.webp")), "RIFF");
    testsupport::writeBytes(in(QStringLiteral("notes.txt")), "x");
    tools::WatertextRecipe recipe;
    recipe.vartext = QStringLiteral("Mark");
    tools::BoxRunHost host;
    tools::PictureRun run(recipe, host);
    run.chooseBulk(src);
    run.chooseTarget(out);
    run.load();
    EXPECT_FALSE(run.previewShown());
    EXPECT_FALSE(run.Picture1.visible());

    testsupport::writeSolid(in(QStringLiteral("photo.bmp")), 300, 200, Qt::black);
    run.load();
    ASSERT_TRUE(run.previewShown());
    EXPECT_EQ(run.acceptedNames(), QStringList{QStringLiteral("photo.bmp")});
    EXPECT_GT(run.Picture1.innerWidthPx(), 0);
    // A click lands on the picture, and the run still counts every file of the folder.
    run.clickAtPixels(10, 10);
    run.save();
    EXPECT_EQ(run.outcome().done, 3);
    EXPECT_EQ(outFiles(), QStringList{QStringLiteral("awtx-photo.bmp")});
    EXPECT_FALSE(brightBox(QImage(out + QStringLiteral("/awtx-photo.bmp"))).isEmpty());
}

TEST_F(Placement, TheWindowStepsThroughTheFolderFlaggingWhereTheMarkWouldMissAndSaveStartsAtTheFirst)
{
    frm_Watertext w;
    w.activate();
    w.Form_Activate();
    w.vartext = QStringLiteral("Copyright 2026");
    bulk(w, src, out);
    w.mnu_loadpic_Click();
    ASSERT_TRUE(w.run().previewShown());
    EXPECT_TRUE(w.statusBar()->isVisibleTo(&w));
    const QStringList names = w.run().acceptedNames();
    ASSERT_EQ(names.size(), 3);
    EXPECT_EQ(w.lblstep->text(), QStringLiteral("1 of 3: ") + names[0]);
    w.clickAtPixels(900, 600);
    const std::map<QString, QString> flag = {{QStringLiteral("land.bmp"), QStringLiteral(" (mark cut)")},
                                             {QStringLiteral("port.bmp"), QStringLiteral(" (no mark)")},
                                             {QStringLiteral("small.bmp"), QStringLiteral(" (no mark)")}};
    for (int i : {1, 2, 0}) {
        w.stepTo(i);
        EXPECT_EQ(w.lblstep->text(),
                  QStringLiteral("%1 of 3: %2%3").arg(i + 1).arg(names[i], flag.at(names[i])));
    }
    EXPECT_FALSE(w.cmdprevious->isEnabled());
    w.stepTo(5);   // past the end: the preview stays as it was
    EXPECT_EQ(w.run().shownIndex(), 0);
    w.stepTo(2);
    w.mnu_sav_Click();
    EXPECT_EQ(w.outcome().end, tools::RunOutcome::End::Reported);
    EXPECT_EQ(w.outcome().done, 3);
    EXPECT_EQ(w.outcome().markOutside.size(), 2);
    EXPECT_EQ(w.outcome().markCut, QStringList{QStringLiteral("land.bmp")});
}

TEST_F(Placement, AFolderWithNothingToShowIsSaidSoAndSaveWaitsForAPicture)
{
    for (const auto &[name, size] : mixedShapes())
        QFile::remove(in(name));
    testsupport::writeBytes(in(QStringLiteral("notes.txt")), "x");
    frm_Watertext w;
    w.activate();
    w.Form_Activate();
    w.vartext = QStringLiteral("Mark");
    bulk(w, src, out);
    w.mnu_loadpic_Click();
    ASSERT_FALSE(tk.messages.empty());
    EXPECT_EQ(tk.messages.back().text, QStringLiteral("This folder holds no picture to show: choose another folder."));
    w.mnu_sav_Click();
    EXPECT_EQ(tk.messages.back().text, QStringLiteral("Show a picture first (Load Picture) before saving."));
    EXPECT_EQ(w.outcome().end, tools::RunOutcome::End::Loaded);
    EXPECT_TRUE(QDir(out).isEmpty());
}
