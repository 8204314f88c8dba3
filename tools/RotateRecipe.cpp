#include "tools/RotateRecipe.h"
#include "tools/LosslessTurn.h"
#include "tools/OwnSize.h"
#include "tools/picture/Encode.h"
#include "platform/Formats.h"

#include <QTransform>

#include <future>

#include "platform/Toolkit.h"
#include "tools/DDBHelper.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcRotate, "pixmar.tools.rotate", QtWarningMsg)

namespace tools {
namespace {

using platform::ScaleMode;

constexpr qint16 kClockwise = 90;
constexpr qint16 kCounterClockwise = 270;

} // namespace

RotateRecipe::RotateRecipe()
{
    for (platform::Surface *s : {&Picture2, &Picture3, &Picture4, &Picture5})
        s->setVisible(false);
    // The hidden surfaces are borderless, so that their drawable areas are their sizes.
    for (platform::Surface *s : {&Picture3, &Picture4, &Picture5})
        s->setBorder(false);
    Picture5.setAutoRedraw(true);
}

const ToolSpec &RotateRecipe::spec() const
{
    static const ToolSpec s = [] {
        ToolSpec t{"pusing",
                   platform::formats::extensionsOf({platform::formats::Id::Bmp, platform::formats::Id::Jpeg}),
                   QStringLiteral("rot-")};
        t.tooThin = platform::ErrorKind::TooThinToTurn;
        return t;
    }();
    return s;
}

void RotateRecipe::prepareLoadUnits(PictureRun &run)
{
    run.setScaleMode(ScaleMode::Twips);
    run.Picture1.setScaleMode(ScaleMode::Twips);
    Picture3.setScaleMode(ScaleMode::Twips);
}

// ---- input checks

std::vector<InputCheck> RotateRecipe::checks(const PictureRun &run, const char *noSourceKey,
                                             const char *noTargetKey, const char *fileTitleKey,
                                             const char *folderTitleKey)
{
    std::vector<InputCheck> list =
        run.standardChecks(noSourceKey, noTargetKey, fileTitleKey, folderTitleKey);
    // Without Single or Bulk chosen there is no source at all: ask for one instead of
    // listing an empty path.
    list[1].fails = [&run] {
        return !run.varsingle.value_or(false) &&
               (!run.varbulk.value_or(false) || run.varsrcdir.isEmpty());
    };
    return list;
}

std::vector<InputCheck> RotateRecipe::loadChecks(const PictureRun &run) const
{
    return checks(run, "common.msg.noSourceFolder", "common.msg.noTargetFolder",
                  "pusing.title.invalidFile", "pusing.title.invalidFolder");
}

std::vector<InputCheck> RotateRecipe::runChecks(const PictureRun &run) const
{
    return checks(run, "common.msg.noSource", "common.msg.noTarget", "common.title.invalidFile",
                  "common.title.invalidFolder");
}

// ---- surfaces

void RotateRecipe::centreInClient(const PictureRun &run, platform::Surface &surface)
{
    const ScaleMode u = run.scaleMode();
    surface.setLeft(run.clientWidth() / 2 - surface.outerWidth(u) / 2, u);
    surface.setTop(run.clientHeight() / 2 - surface.outerHeight(u) / 2, u);
}

void RotateRecipe::FitPicture(PictureRun &run, platform::Surface &surface,
                              const platform::Picture &picture)
{
    reducedw = false;
    reducedh = false;
    const FitResult r = run.fitIntoSurface(surface, picture, false);
    reducedw = r.reducedWidth;
    reducedh = r.reducedHeight;
}

void RotateRecipe::fitForTurn(PictureRun &run, platform::Surface &surface)
{
    surface.setAutoRedraw(true);
    surface.setBorder(false);
    FitPicture(run, surface, run.picsrc);
    surface.refresh();
    surface.setAutoRedraw(false);
}

void RotateRecipe::prepareLoadSurfaces(PictureRun &run)
{
    Picture2.setVisible(false);
    Picture3.setOuterSize(kWorkSideTwips, kWorkSideTwips, ScaleMode::Twips);
    run.Picture1.setOuterSize(kPreviewSideTwips, kPreviewSideTwips, ScaleMode::Twips);
}

void RotateRecipe::showFirstPicture(PictureRun &run)
{
    // Decoded once for the working surface; the smaller preview is fitted from the same
    // picture, which a second decoding of the file would only repeat. At the picture's own
    // size the working surface has no part in the run: the preview alone is decoded for.
    const bool own = run.output.originalSize;
    shownPath_.clear();   // set again only once this file is decoded whole and sound
    run.loadEntryPicture(own ? run.Picture1 : Picture3);
    shownPath_ = run.curdir + run.curfile;
    if (!own)
        fitForTurn(run, Picture3);
    fitForTurn(run, run.Picture1);
    run.Picture1.setVisible(true);
    centreInClient(run, run.Picture1);
    platform::doEvents();
}

void RotateRecipe::prepareEntrySurfaces(PictureRun &run)
{
    run.setScaleMode(ScaleMode::Twips);
    run.Picture1.setScaleMode(ScaleMode::Twips);
    Picture3.setScaleMode(ScaleMode::Twips);
    run.Picture1.setVisible(true);
    Picture2.setVisible(false);
    Picture3.setOuterSize(kWorkSideTwips, kWorkSideTwips, ScaleMode::Twips);
    run.Picture1.setOuterSize(kPreviewSideTwips, kPreviewSideTwips, ScaleMode::Twips);
    Picture2.setOuterSize(kPreviewSideTwips, kPreviewSideTwips, ScaleMode::Twips);
}

// ---- the turn

void RotateRecipe::RotatePicture(platform::Surface &fromPic, platform::Surface &toPic, qint16 angle)
{
    if (angle != 0 && angle != 90 && angle != 180 && angle != 270) {
        qCWarning(lcRotate) << "no quarter turn:" << angle;
        return;
    }
    if (fromPic.keepsAlpha()) {
        // The device's pixel grid has no room for transparency: the turn of a transparent
        // picture moves whole pixels, alpha with them.
        const QImage turned = fromPic.drawTarget().transformed(QTransform().rotate(angle));
        const int allowanceW = toPic.outerWidthPx() - toPic.innerWidthPx();
        const int allowanceH = toPic.outerHeightPx() - toPic.innerHeightPx();
        toPic.setOuterSize(allowanceW + turned.width(), allowanceH + turned.height(), ScaleMode::Pixels);
        toPic.setPicture(platform::Picture(turned));
        return;
    }
    // The drawable area takes exactly the turned pixels; a border keeps its allowance.
    const int allowanceW = toPic.outerWidthPx() - toPic.innerWidthPx();
    const int allowanceH = toPic.outerHeightPx() - toPic.innerHeightPx();
    if (DDBHelper::TurnWhole(fromPic, toPic, angle, allowanceW, allowanceH)) {
        toPic.setPicture(platform::Picture(toPic.drawTarget()));
        return;
    }
    DDBHelper::PixelGrid src;
    DDBHelper::FormatCode bits = 0;
    DDBHelper::GetBitmapPixels(fromPic, src, bits);
    DDBHelper::PixelGrid dst = DDBHelper::RotateGrid(src, angle);
    toPic.setOuterSize(allowanceW + dst.width(), allowanceH + dst.height(), ScaleMode::Pixels);
    DDBHelper::SetBitmapPixels(toPic, bits, dst);
    toPic.setPicture(platform::Picture(toPic.drawTarget()));
}

qint16 RotateRecipe::runAngle() const
{
    if (rotplus)
        return kClockwise;
    if (rotminus)
        return kCounterClockwise;
    return 0;
}

void RotateRecipe::RotateSurfaces(PictureRun &run)
{
    if (rotview)
        run.Picture1.setVisible(false);
    const qint16 angle = runAngle();
    if (rotwork)
        RotatePicture(Picture3, Picture4, angle);
    else if (rotview)
        RotatePicture(run.Picture1, Picture2, angle);
    if (rotview) {
        centreInClient(run, Picture2);
        Picture2.setVisible(true);
    }
}

// ---- the run

const platform::Surface &RotateRecipe::decodedFor(const PictureRun &run) const
{
    // At its own size the working surface has no part: the preview alone is decoded for.
    return run.output.originalSize ? run.Picture1 : Picture3;
}

void RotateRecipe::place(PictureRun &run)
{
    shownPath_.clear();
    if (!run.output.originalSize) {
        rotwork = true;
        rotview = false;
        fitForTurn(run, Picture3);
        RotateSurfaces(run);
    }
    rotwork = false;
    rotview = true;
    fitForTurn(run, run.Picture1);
    run.Picture1.setVisible(true);
    centreInClient(run, run.Picture1);
    RotateSurfaces(run);
}

QImage RotateRecipe::fittedOutput(PictureRun &)
{
    // The flags are the preview's: a picture that did not fit the preview is written at
    // twice its working size.
    if (!(reducedw || reducedh))
        return Picture4.picture().image();
    return paintedAtTwice(Picture5, QSize(Picture4.outerWidthPx(), Picture4.outerHeightPx()), Picture4.picture());
}

} // namespace tools

namespace tools {

std::unique_ptr<ToolRecipe> RotateRecipe::cloneForWorker() const
{
    auto copy = std::make_unique<RotateRecipe>(*this);
    for (platform::Surface *s : {&copy->Picture2, &copy->Picture3, &copy->Picture4, &copy->Picture5})
        s->onChanged = nullptr;
    return copy;
}

// A JPEG turned at its own size without re-encoding: the turn goes on beside the preview's
// decoding, which then costs no time of its own.
QByteArray RotateRecipe::outputWithoutDrawing(PictureRun &run)
{
    // Only a JPEG written as JPEG can be turned without decoding it.
    if (!run.output.originalSize || !run.output.lossless || run.sourceFormat().id != platform::formats::Id::Jpeg
        || run.outputFormat().id != platform::formats::Id::Jpeg)
        return {};
    const QString source = run.curdir + run.curfile;
    std::future<QByteArray> turning =
        std::async(std::launch::async, turnJpegLosslessly, source, runAngle() == kClockwise);
    // The load step's picture of this same file serves the preview again.
    if (run.picsrc.isNull() || shownPath_ != source)
        run.loadEntryPicture(run.Picture1);
    place(run);
    run.picsrc = platform::Picture();
    platform::doEvents();
    return turning.get();
}

void RotateRecipe::writeOwnSize(PictureRun &run)
{
    // Turned a band at a time as it is encoded: a band of rows of the turned picture is a
    // strip of columns of the source.
    const platform::Picture whole = std::exchange(run.picsrc, platform::Picture());
    const QImage &pixels = whole.image();
    const bool clockwise = runAngle() == kClockwise;
    const QTransform turn = QTransform().rotate(clockwise ? 90 : -90);
    if (run.keepsAlpha()) {
        // Written whole: the encoder's bands are opaque. Only a transparent picture, which
        // its encoder holds whole anyway, takes this copy.
        run.writePicture(pixels.transformed(turn), false);
        return;
    }
    run.writePicture(pixels.size().transposed(), [&](int top, int rows) {
        const QRect strip(clockwise ? top : pixels.width() - top - rows, 0, rows, pixels.height());
        return pixels.copy(strip).transformed(turn);
    });
}

} // namespace tools
