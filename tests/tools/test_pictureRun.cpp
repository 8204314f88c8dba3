// The picture tools' run without any window: the recipe and the run alone, as the command
// line and a later worker pool use them, and the outcome they hand back.
#include "ToolTestSupport.h"
#include "tools/BoxRunHost.h"

#include "platform/Errors.h"
#include "tools/Job.h"
#include "tools/WatermarkRecipe.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <csignal>
#include <map>
#include <memory>
#include <sys/resource.h>

namespace {

class HeadlessRun : public tooltest::ToolFixture {
protected:
    HeadlessRun()
    {
        recipe.vartext = QStringLiteral("Mark");
        recipe.varlevel = QStringLiteral("50%");
        run.CommonDialog.font = platform::FontSpec{QStringLiteral("DejaVu Sans"), 20, false, false};
    }
    void loadAndClick()
    {
        run.load();
        run.clickAt(4, 4);
    }
    tools::WatertextRecipe recipe;
    tools::BoxRunHost view;
    tools::PictureRun run{recipe, view};
};

} // namespace

TEST_F(HeadlessRun, ABulkRunNeedsNoWidgetAndReportsItsOutcome)
{
    const int widgetsBefore = int(QApplication::allWidgets().size());
    testsupport::writeSolid(in(QStringLiteral("a.jpg")), 120, 80, Qt::darkBlue);
    testsupport::writeBytes(in(QStringLiteral("b.jpg")), "not a picture");
    testsupport::writeBytes(in(QStringLiteral("c.txt")), "notes");
    testsupport::writeSolid(in(QStringLiteral("d.bmp")), 60, 40, Qt::darkGreen);
    run.chooseBulk(src);
    run.chooseTarget(out);
    loadAndClick();
    EXPECT_EQ(run.outcome().end, tools::RunOutcome::End::Loaded);
    run.save();

    const tools::RunOutcome &o = run.outcome();
    EXPECT_EQ(o.end, tools::RunOutcome::End::Reported);
    EXPECT_EQ(o.done, 3);   // a, c (invalid, counted) and d; b failed
    ASSERT_EQ(o.failures.size(), 1u);
    EXPECT_EQ(o.failures[0].path, in(QStringLiteral("b.jpg")));
    EXPECT_TRUE(o.failures[0].reason.contains(QStringLiteral("b.jpg")));
    EXPECT_EQ(o.invalid, QStringList{QStringLiteral("c.txt")});
    EXPECT_EQ(outFiles(), (QStringList{QStringLiteral("awtx-a.jpg"), QStringLiteral("awtx-d.bmp")}));
    EXPECT_EQ(int(QApplication::allWidgets().size()), widgetsBefore);
}

TEST_F(HeadlessRun, NoToContinueEndsTheRunAsStoppedWithWhatWasDone)
{
    testsupport::writeSolid(in(QStringLiteral("a.jpg")), 120, 80, Qt::darkBlue);
    testsupport::writeBytes(in(QStringLiteral("b.jpg")), "not a picture");
    testsupport::writeSolid(in(QStringLiteral("c.jpg")), 120, 80, Qt::darkBlue);
    run.chooseBulk(src);
    run.chooseTarget(out);
    loadAndClick();
    tk.messageAnswers = {platform::MsgResult::No};
    run.save();
    EXPECT_EQ(run.outcome().end, tools::RunOutcome::End::Stopped);
    EXPECT_EQ(run.outcome().done, 1);
    EXPECT_EQ(outFiles(), QStringList{QStringLiteral("awtx-a.jpg")});
}

TEST_F(HeadlessRun, InputFaultsAndEmptyFoldersAreOutcomesNotJustBoxes)
{
    run.chooseBulk(src);
    run.load();   // no target
    EXPECT_EQ(run.outcome().end, tools::RunOutcome::End::InputFault);
    ASSERT_NE(tk.lastMessage(), nullptr);
    EXPECT_EQ(tk.lastMessage()->role, platform::MsgRole::InputFault);
    run.chooseTarget(out);
    run.load();   // an empty folder
    EXPECT_EQ(run.outcome().end, tools::RunOutcome::End::NothingToLoad);
    EXPECT_EQ(tk.lastMessage()->role, platform::MsgRole::InputFault);
}

// A write that the system refuses half way (here the file-size limit; a full disk takes the
// same road) names the output the user looks for, never a temporary file, with the
// system's reason, in the session's language; nothing of the entry stays behind.
TEST_F(HeadlessRun, AWriteTheSystemRefusesNamesTheOutputAndTheReason)
{
    // Noise, so that even the encoded output is larger than the limit.
    QImage noise(200, 150, QImage::Format_RGB32);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, qRgb((x * 7919 + y * 104729) % 251, (x * 31 + y * y) % 241, (x * x + y * 17) % 239));
    ASSERT_TRUE(noise.save(in(QStringLiteral("p.jpg")), "JPEG", 95));
    run.chooseSingle(in(QStringLiteral("p.jpg")));
    run.chooseTarget(out);
    loadAndClick();
    shell::setVarbahasa(QStringLiteral("bm"));

    struct rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    run.save();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    ASSERT_EQ(run.outcome().failures.size(), 1u);
    const QString reason = run.outcome().failures[0].reason;
    EXPECT_TRUE(reason.startsWith(QStringLiteral("Tidak dapat menulis "))) << reason.toStdString();
    EXPECT_TRUE(reason.contains(QStringLiteral("awtx-p.jpg"))) << reason.toStdString();
    EXPECT_FALSE(reason.contains(QStringLiteral("adwt-"))) << reason.toStdString();
    EXPECT_TRUE(reason.contains(QString::fromLocal8Bit(std::strerror(EFBIG)))) << reason.toStdString();
    EXPECT_TRUE(outFiles().isEmpty());
    ASSERT_EQ(questions().size(), 1);
    EXPECT_EQ(questions()[0], reason + QStringLiteral("\r\nContinue?"));
}

TEST(ErrorTexts, KindsAreDescribedInTheSessionsLanguageWithTheirValuesAsGiven)
{
    using platform::AppError;
    using platform::ErrorKind;
    shell::setVarbahasa(QStringLiteral("eng"));
    const AppError thin(ErrorKind::TooThin, {QStringLiteral("/p/%2.jpg"), QStringLiteral("1"),
                                             QStringLiteral("9000")});
    EXPECT_EQ(thin.description(), "The picture is too thin to be shown: /p/%2.jpg (1 x 9000 pixels)");
    const AppError write(ErrorKind::CannotWrite, {QStringLiteral("/t/out.jpg")},
                         QStringLiteral("No space left on device"));
    EXPECT_EQ(write.description(), "Cannot write /t/out.jpg (No space left on device)");
    EXPECT_EQ(write.about(QStringLiteral("/t/other.jpg")).description(),
              "Cannot write /t/other.jpg (No space left on device)");
    shell::setVarbahasa(QStringLiteral("bm"));
    EXPECT_EQ(write.description(), "Tidak dapat menulis /t/out.jpg (No space left on device)");
    // A text given where the error was raised is shown as it was given.
    EXPECT_EQ(AppError(5, QStringLiteral("x"), QStringLiteral("Fixed text")).description(), "Fixed text");
    shell::setVarbahasa(QStringLiteral("eng"));

    const AppError gone = platform::systemError(ENOENT, ErrorKind::CannotDelete, QStringLiteral("/t/x"));
    EXPECT_EQ(gone.kind(), ErrorKind::FileNotFound);
    EXPECT_EQ(gone.description(), "File not found: /t/x");
    const AppError full = platform::systemError(ENOSPC, ErrorKind::CannotWrite, QStringLiteral("/t/x"));
    EXPECT_EQ(full.kind(), ErrorKind::CannotWrite);
    EXPECT_TRUE(full.description().endsWith(QString::fromLocal8Bit(std::strerror(ENOSPC)) + ')'));
}

namespace {

// What a run of `job` left: the preview as the load step showed the first picture, and every
// output by name.
struct RunResult {
    QImage preview;
    std::map<QString, QByteArray> outputs;
};

RunResult runJob(const tools::Job &job, bool watched)
{
    const std::unique_ptr<tools::ToolRecipe> recipe = tools::makeRecipe(job);
    tools::BoxRunHost host;
    tools::PictureRun run(*recipe, host);
    run.setWatched(watched);
    tools::applyJob(run, job);
    run.load();
    RunResult r;
    r.preview = run.Picture1.visibleImage().copy();
    if (job.click)
        run.clickAtPixels(job.click->x(), job.click->y());
    tools::chooseTurn(run, job);
    run.save();
    for (const QString &name : QDir(job.target).entryList(QDir::Files))
        r.outputs[name] = testsupport::readBytes(job.target + QLatin1Char('/') + name);
    return r;
}

bool oneColour(const QImage &image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x)
            if (rgb.pixel(x, y) != rgb.pixel(0, 0))
                return false;
    return true;
}

} // namespace

TEST_F(HeadlessRun, ARunNoOneWatchesWritesTheSameBytesAndOnlyMeasuresAPreviewNoOutputComesFrom)
{
    // Larger than the preview both ways, so that each is reduced to it; one of them a JPEG.
    ASSERT_TRUE(testsupport::gradientImage(1600, 1200).save(in(QStringLiteral("a.jpg")), "JPEG", 90));
    ASSERT_TRUE(testsupport::gradientImage(700, 1300).save(in(QStringLiteral("b.bmp")), "BMP"));
    const QString logo = tmp.path() + QStringLiteral("/logo.png");
    QImage mark(60, 30, QImage::Format_ARGB32);
    mark.fill(QColor(255, 255, 255, 200));
    ASSERT_TRUE(mark.save(logo));
    using tools::ToolKind;
    // A folder runs on workers, a single file on the run's own thread.
    for (const bool single : {false, true})
        for (const ToolKind kind : {ToolKind::Text, ToolKind::Watermark, ToolKind::Logo, ToolKind::Rotate})
            for (const bool ownSize : {false, true}) {
                tools::Job job = tools::Job::forTool(kind);
                (single ? job.file : job.folder) = single ? in(QStringLiteral("a.jpg")) : src;
                job.text = QStringLiteral("Mark");
                job.logo = logo;
                if (kind != ToolKind::Rotate)
                    job.click = QPointF(12, 9);
                job.output.originalSize = ownSize;
                std::map<bool, RunResult> ran;
                for (const bool watched : {true, false}) {
                    job.target = QStringLiteral("%1/%2-%3-%4-%5")
                                     .arg(out).arg(single).arg(int(kind)).arg(ownSize).arg(watched);
                    ASSERT_TRUE(QDir().mkpath(job.target));
                    ran[watched] = runJob(job, watched);
                }
                const QString what =
                    QStringLiteral("single %1, tool %2, own size %3").arg(single).arg(int(kind)).arg(ownSize);
                EXPECT_EQ(ran[true].outputs.size(), single ? 1u : 2u) << qPrintable(what);
                EXPECT_TRUE(ran[false].outputs == ran[true].outputs) << qPrintable(what);
                // The window's run shows the picture; the unwatched one paints it only where the
                // output is drawn from the preview.
                EXPECT_FALSE(oneColour(ran[true].preview)) << qPrintable(what);
                const bool drawnFromPreview = !ownSize && kind != ToolKind::Rotate;
                if (drawnFromPreview)
                    EXPECT_EQ(ran[false].preview, ran[true].preview) << qPrintable(what);
                else
                    EXPECT_TRUE(oneColour(ran[false].preview)) << qPrintable(what);
                EXPECT_EQ(ran[false].preview.size(), ran[true].preview.size()) << qPrintable(what);
            }
}
