#include "tools/WatermarkRecipe.h"

#include "platform/Decoder.h"
#include "platform/Errors.h"
#include "platform/Toolkit.h"
#include "platform/Limits.h"
#include "platform/Units.h"
#include "tools/OwnSize.h"

#include <QImageReader>

#include <algorithm>
#include <climits>
#include <cmath>

namespace tools {
namespace {

using platform::ScaleMode;
using platform::formats::Id;

constexpr double kPercent = 100.0;
constexpr double kFullOpacity = 255.0;
// "0%" would lay the logo fully opaque; the tool stops one step short of that.
constexpr int kTopLogoOpacity = 254;
// The logo surface as the window's design places it (hidden: it only feeds the blend).
constexpr double kLogoSurfaceLeft = 12600, kLogoSurfaceWidth = 5295, kLogoSurfaceHeight = 4815;

// Calls `f` when the scope ends, however it ends.
template <class F> class ScopeExit {
public:
    explicit ScopeExit(F f) : f_(std::move(f)) {}
    ~ScopeExit() { f_(); }
    ScopeExit(const ScopeExit &) = delete;
    ScopeExit &operator=(const ScopeExit &) = delete;

private:
    F f_;
};

} // namespace

int opacityForLevel(const QString &level)
{
    // Only the first two characters count, read as a number as far as they are digits
    // ("70%" → 70, "0%" → 0).
    int L = 0;
    for (QChar c : level.left(2)) {
        if (!c.isDigit())
            break;
        L = L * 10 + c.digitValue();
    }
    const auto A = platform::roundHalfEven(kFullOpacity * (kPercent - L) / kPercent);
    return int(std::clamp<std::int64_t>(A, 0, 255));
}

platform::gdi::BLENDFUNCTION blendFunctionFor(int sourceConstantAlpha)
{
    return {platform::gdi::AC_SRC_OVER, 0, std::uint8_t(sourceConstantAlpha),
            platform::gdi::AC_SRC_ALPHA};
}

std::uint32_t blendValueFor(int sourceConstantAlpha)
{
    return platform::gdi::packBlendFunction(blendFunctionFor(sourceConstantAlpha));
}

// ---- the shared watermark

WatermarkRecipe::WatermarkRecipe()
{
    for (platform::Surface *s : {&Picture2, &Picture3, &Picture4}) {
        s->setBorder(false);
        s->setVisible(false);
        s->setAutoRedraw(true);
    }
    Picture2.setBackColor(Qt::black);
}

std::vector<InputCheck> WatermarkRecipe::loadChecks(const PictureRun &run) const
{
    return run.standardChecks("common.msg.noSourceFolder", "common.msg.noTargetFolder");
}

void WatermarkRecipe::prepareLoadUnits(PictureRun &run)
{
    run.setScaleMode(ScaleMode::Twips);
    run.Picture1.setScaleMode(ScaleMode::Twips);
    Picture3.setScaleMode(ScaleMode::Twips);
}

void WatermarkRecipe::FitToPreview(PictureRun &run, platform::Surface &preview,
                                   const platform::Picture &picture)
{
    scaledW = false;
    scaledH = false;
    const FitResult r = run.fitIntoSurface(preview, picture);
    scaledW = r.reducedWidth;
    scaledH = r.reducedHeight;
    fitW = r.width;
    fitH = r.height;
    Picture3.setOuterSize(fitW, fitH, preview.scaleMode());
    Picture3.clearPicture();
    Picture3.cls();
    Picture3.refresh();
    run.setScaleMode(ScaleMode::Pixels);
    preview.setScaleMode(ScaleMode::Pixels);
    Picture3.setScaleMode(ScaleMode::Pixels);
}

void WatermarkRecipe::detachSurfaces()
{
    for (platform::Surface *s : {&Picture2, &Picture3, &Picture4})
        s->onChanged = nullptr;
}

std::unique_ptr<ToolRecipe> WatertextRecipe::cloneForWorker() const
{
    auto copy = std::make_unique<WatertextRecipe>(*this);
    copy->detachSurfaces();
    return copy;
}

std::unique_ptr<ToolRecipe> WaterLogoRecipe::cloneForWorker() const
{
    auto copy = std::make_unique<WaterLogoRecipe>(*this);
    copy->detachSurfaces();
    copy->gdiptoken = 0;   // each worker starts the library for itself
    return copy;
}

void WatermarkRecipe::showFirstPicture(PictureRun &run)
{
    run.Picture1.setAutoRedraw(true);
    run.Picture1.setBorder(false);
    run.loadEntryPicture(run.Picture1);
    FitToPreview(run, run.Picture1, run.picsrc);
    // Marks go onto the visible image only, so that a new click starts from the picture.
    run.Picture1.setAutoRedraw(false);
    platform::doEvents();
}

QSize WatermarkRecipe::visibleMarkSize(const PictureRun &run, int w, int h) const
{
    const qint64 roomW = qint64(run.Picture1.innerWidthPx()) - qint64(run.posX);
    const qint64 roomH = qint64(run.Picture1.innerHeightPx()) - qint64(run.posY);
    return {int(std::clamp<qint64>(std::min<qint64>(w, roomW), 0, platform::limits::kMaxPictureSide)),
            int(std::clamp<qint64>(std::min<qint64>(h, roomH), 0, platform::limits::kMaxPictureSide))};
}

void WatermarkRecipe::blendMark(PictureRun &run)
{
    blendfn = blendFunctionFor(sourceConstantAlpha());
    const QSize room = visibleMarkSize(run, markWidth, markHeight);
    if (room.isEmpty())
        return;   // nothing of the mark falls on this picture
    const QImage &mark = Picture2.persistentImage();
    const bool made = !mark.isNull() && mark.width() >= room.width() && mark.height() >= room.height();
    if (!made || !platform::gdi::AlphaBlend(run.Picture1.drawTarget(), int(run.posX), int(run.posY),
                                            markWidth, markHeight, mark, 0, 0,
                                            platform::gdi::packBlendFunction(blendfn)))
        throw platform::AppError(platform::ErrorKind::MarkNotDrawn, {run.curdir + run.curfile});
    run.Picture1.changed();
}

void WatermarkRecipe::click(PictureRun &run)
{
    run.posX = double(platform::roundHalfEven(run.lastX));
    run.posY = double(platform::roundHalfEven(run.lastY));
    // The library start made for the click is undone before its error is told.
    markWorkStarted();
    ScopeExit ended([this] { markWorkEnded(); });
    prepareMarkSurface(run);
    blendMark(run);
}

void WatermarkRecipe::place(PictureRun &run)
{
    platform::Surface &preview = run.Picture1;
    preview.setAutoRedraw(true);
    preview.setBorder(false);
    FitToPreview(run, preview, run.picsrc);
    preview.setAutoRedraw(false);
}

void WatermarkRecipe::mark(PictureRun &run)
{
    // Font, text and level are read now, so changes made after the last click count.
    prepareMarkSurface(run);
    blendMark(run);
}

MarkFit WatermarkRecipe::markFit(const PictureRun &run) const
{
    return markFitOf(QRect(QPoint(int(run.posX), int(run.posY)), wholeMark),
                     QSize(run.Picture1.innerWidthPx(), run.Picture1.innerHeightPx()));
}

QImage WatermarkRecipe::fittedOutput(PictureRun &run)
{
    const platform::Surface &preview = run.Picture1;
    Picture3.setBorder(false);
    Picture3.setAutoRedraw(true);
    platform::gdi::BitBlt(Picture3.drawTarget(), 0, 0, preview.innerWidthPx(),
                          preview.innerHeightPx(), preview.visibleImage(), 0, 0);
    Picture3.changed();
    if (!(scaledW && scaledH))
        return Picture3.persistentImage();
    // Reduced in both passes: written at twice the fitted size, stretched from the fitted
    // image (the mark scales with it).
    return paintedAtTwice(Picture4, QSize(Picture3.outerWidthPx(), Picture3.outerHeightPx()), Picture3.image());
}

void WatermarkRecipe::writeOwnSize(PictureRun &run)
{
    const QSizeF factor = ownSizeFactor(run.Picture1, run.picsrc);
    {
        platform::Surface whole;
        whole.setKeepsAlpha(run.keepsAlpha());
        paintAtOwnSize(whole, std::move(run.picsrc));
        run.picsrc = platform::Picture();   // the surface holds the pixels now
        const int x = int(std::lround(run.posX * factor.width()));
        const int y = int(std::lround(run.posY * factor.height()));
        const QSize room(std::max(0, whole.innerWidthPx() - x), std::max(0, whole.innerHeightPx() - y));
        if (!room.isEmpty()) {
            platform::Surface mark;
            mark.setBorder(false);
            mark.setVisible(false);
            const QSize blended = prepareOwnSizeMark(run, mark, factor, room);
            const QImage &markImage = mark.persistentImage();
            if (!blended.isEmpty()
                && (markImage.isNull()
                    || !platform::gdi::AlphaBlend(whole.drawTarget(), x, y, blended.width(), blended.height(),
                                                  markImage, 0, 0, platform::gdi::packBlendFunction(blendfn))))
                throw platform::AppError(platform::ErrorKind::MarkNotDrawn, {run.curdir + run.curfile});
            whole.changed();
        }
        run.writePicture(whole.releaseImage(), false);
    }
}

// ---- text watermark

const ToolSpec &WatertextRecipe::spec() const
{
    static const ToolSpec s{"watertext",
                            platform::formats::extensionsOf({Id::Bmp, Id::Jpeg}),
                            QStringLiteral("awtx-")};
    return s;
}

void WatertextRecipe::printMark(platform::Surface &mark, const platform::FontSpec &font,
                                const std::function<QSize(int w, int h)> &room) const
{
    mark.setAutoRedraw(true);
    mark.setScaleMode(ScaleMode::Pixels);
    mark.cls();
    mark.font = font;
    mark.setBackColor(Qt::black);
    mark.foreColor = Qt::white;
    // Sized to what can show on the picture: thousands of characters at a large size would
    // otherwise ask for gigabytes for glyphs far beyond the picture's edge.
    const QSize visible = room(int(std::min<double>(mark.textWidth(vartext), INT_MAX)),
                               int(std::min<double>(mark.textHeight(vartext), INT_MAX)));
    mark.setOuterSize(visible.width(), visible.height(), ScaleMode::Pixels);
    mark.currentX = 0;
    mark.currentY = 0;
    mark.print(vartext);
}

QSizeF WatertextRecipe::markExtent(const PictureRun &run, double scale) const
{
    if (vartext.isEmpty())
        return {};
    platform::Surface measure;
    measure.setScaleMode(ScaleMode::Pixels);
    measure.font = run.CommonDialog.font;
    measure.font.size *= scale;
    return {std::ceil(measure.textWidth(vartext)), std::ceil(measure.textHeight(vartext))};
}

void WatertextRecipe::prepareMarkSurface(PictureRun &run)
{
    platform::FontSpec font = run.CommonDialog.font;
    font.size *= markScale;
    printMark(Picture2, font, [&](int w, int h) {
        wholeMark = vartext.isEmpty() ? QSize() : QSize(w, h);
        return visibleMarkSize(run, w, h);
    });
    markWidth = Picture2.innerWidthPx();
    markHeight = Picture2.innerHeightPx();
}

QSize WatertextRecipe::prepareOwnSizeMark(PictureRun &run, platform::Surface &mark, QSizeF factor,
                                          QSize room)
{
    platform::FontSpec font = run.CommonDialog.font;
    font.size *= markScale;
    font.size *= factor.height();
    printMark(mark, font, [room](int w, int h) {
        return QSize(std::clamp(w, 0, room.width()), std::clamp(h, 0, room.height()));
    });
    return {mark.innerWidthPx(), mark.innerHeightPx()};
}

// ---- logo watermark

WaterLogoRecipe::WaterLogoRecipe()
{
    Picture2.setOuterSize(kLogoSurfaceWidth, kLogoSurfaceHeight, ScaleMode::Twips);
    Picture2.setLeft(kLogoSurfaceLeft, ScaleMode::Twips);
    // Loading a logo sizes the surface to it, so that the blend covers exactly the logo.
    Picture2.setAutoSize(true);
}

const ToolSpec &WaterLogoRecipe::spec() const
{
    static const ToolSpec s{"waterlogo",
                            platform::formats::extensionsOf({Id::Bmp, Id::Jpeg}),
                            QStringLiteral("awlo-")};
    return s;
}

std::vector<InputCheck> WaterLogoRecipe::loadChecks(const PictureRun &run) const
{
    auto checks = run.standardChecks("common.msg.noSourceFolder", "common.msg.noTargetFolder",
                                     "waterlogo.title.invalidFile", "waterlogo.title.invalidFolder");
    checks.push_back({[this] { return varlogo.isEmpty(); }, "waterlogo.msg.noLogoLoad",
                      "waterlogo.title.invalidFile"});
    return checks;
}

std::vector<InputCheck> WaterLogoRecipe::runChecks(const PictureRun &run) const
{
    auto checks = run.standardChecks();
    checks.push_back({[this] { return varlogo.isEmpty(); }, "waterlogo.msg.noLogoRun",
                      "common.title.invalidFile"});
    return checks;
}

void WaterLogoRecipe::prepareMarkSurface(PictureRun &run)
{
    Picture2.setAutoRedraw(true);
    Picture2.setScaleMode(ScaleMode::Pixels);
    Picture2.cls();
    Picture2.setBackColor(Qt::black);
    int w = -1, h = -1;
    if (markScale != 1) {
        // Placed by the picture: drawn at the size the placement chose, which fits it whole.
        logoSize = ownLogoSize();
        w = std::max(1, int(std::lround(logoSize.width() * markScale)));
        h = std::max(1, int(std::lround(logoSize.height() * markScale)));
        Picture2.setPicture(modGDIPlusResize::LoadPictureScaled(varlogo, w, h, 0, false));
        wholeMark = QSize(w, h);
    } else {
        // The logo is blended one to one onto the preview at (posX, posY): no more of it than
        // the preview holds can show, so no more is decoded.
        const QSize shown(run.Picture1.innerWidthPx() + std::max(0, -int(run.posX)),
                          run.Picture1.innerHeightPx() + std::max(0, -int(run.posY)));
        Picture2.setPicture(modGDIPlusResize::LoadPictureScaled(varlogo, w, h, 0, false, shown));
        logoSize = QSize(w, h);
        wholeMark = logoSize;
    }
    Picture2.refresh();
    // Read once the logo is in: the surface has taken its size, so a new logo larger than the
    // last one is blended whole.
    markWidth = Picture2.innerWidthPx();
    markHeight = Picture2.innerHeightPx();
}

QSize WaterLogoRecipe::prepareOwnSizeMark(PictureRun &, platform::Surface &mark, QSizeF factor,
                                          QSize room)
{
    // The logo drawn at its own size times the picture's factor, as the preview showed it.
    int w = std::max(1, int(std::lround(logoSize.width() * markScale * factor.width())));
    int h = std::max(1, int(std::lround(logoSize.height() * markScale * factor.height())));
    if (!platform::decoder::sizeAllowed(w, h))
        throw platform::AppError(platform::ErrorKind::PictureTooLarge,
                                 {varlogo, QString::number(w), QString::number(h)}, {},
                                 QStringLiteral("OwnSize"));
    mark.setAutoRedraw(true);
    mark.setScaleMode(ScaleMode::Pixels);
    mark.setBackColor(Qt::black);
    mark.setAutoSize(true);
    mark.setPicture(modGDIPlusResize::LoadPictureScaled(varlogo, w, h, 0, false));
    mark.refresh();
    return {std::min(mark.innerWidthPx(), room.width()), std::min(mark.innerHeightPx(), room.height())};
}

QSize WaterLogoRecipe::ownLogoSize() const
{
    if (sizeReadOf_ != varlogo) {
        QImageReader reader(varlogo);
        reader.setAutoTransform(true);
        QSize size = reader.size();
        if (size.isValid() && (reader.transformation() & QImageIOHandler::TransformationRotate90))
            size.transpose();
        ownLogoSize_ = size.isValid() ? size : QSize();
        sizeReadOf_ = varlogo;
    }
    return ownLogoSize_;
}

QSizeF WaterLogoRecipe::markExtent(const PictureRun &, double scale) const
{
    const QSize own = ownLogoSize();
    if (own.isEmpty())
        return {};
    return {std::max(1.0, std::round(own.width() * scale)), std::max(1.0, std::round(own.height() * scale))};
}

int WaterLogoRecipe::sourceConstantAlpha() const
{
    return std::min(opacityForLevel(varlevel), kTopLogoOpacity);
}

void WaterLogoRecipe::markWorkStarted() { gdiptoken = modGDIPlusResize::StartGdiPlus(); }

void WaterLogoRecipe::markWorkEnded() { modGDIPlusResize::StopGdiPlus(gdiptoken); }

} // namespace tools
