#include "tools/WatermarkWindow.h"

#include "platform/Toolkit.h"
#include "platform/Units.h"
#include "shell/Texts.h"

#include <QLabel>
#include <QMenu>
#include <QMenuBar>

#include <algorithm>

namespace tools {
namespace {

using platform::ScaleMode;

constexpr double kPercent = 100.0;
constexpr double kFullOpacity = 255.0;

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

WatermarkWindow::WatermarkWindow(const QString &name, ToolSpec spec, QStringList levels,
                                 QWidget *parent)
    : ToolWindow(name, std::move(spec), kToolClientWidth, kToolClientHeight,
                 QStringLiteral("bg/bg.jpg"), parent),
      levels_(std::move(levels))
{
    for (platform::Surface *s : {&Picture2, &Picture3, &Picture4}) {
        s->setBorder(false);
        s->setVisible(false);
        s->setAutoRedraw(true);
    }
    Picture2.setBackColor(Qt::black);
    lbltransparent = addLabel("lbltransparent", 4680, 960);
}

QMenu *WatermarkWindow::addLevelMenu(const QString &designCaption)
{
    mnu_tranparent = menuBar()->addMenu(designCaption);
    for (const QString &level : levels_)
        levelMenus_.push_back(
            addCommand(level, [this, level] { mnu_level_Click(level); }, mnu_tranparent));
    return mnu_tranparent;
}

void WatermarkWindow::setLevel(const QString &level)
{
    varlevel = level;
    lbltransparent->setText(toolText("label.level") + varlevel);
}

void WatermarkWindow::mnu_level_Click(const QString &level)
{
    if (!isBusy())
        setLevel(level);
}

std::vector<InputCheck> WatermarkWindow::loadChecks() const
{
    return standardChecks("common.msg.noSourceFolder", "common.msg.noTargetFolder");
}

void WatermarkWindow::mnu_loadpic_Click()
{
    if (isBusy())
        return;
    setScaleMode(ScaleMode::Twips);
    Picture1.setScaleMode(ScaleMode::Twips);
    Picture3.setScaleMode(ScaleMode::Twips);
    LoadPreview();
}

void WatermarkWindow::FitToPreview(platform::Surface &preview, const platform::Picture &picture)
{
    scaledW = false;
    scaledH = false;
    const FitResult r = fitIntoSurface(preview, picture);
    scaledW = r.reducedWidth;
    scaledH = r.reducedHeight;
    fitW = r.width;
    fitH = r.height;
    Picture3.setOuterSize(fitW, fitH, preview.scaleMode());
    Picture3.clearPicture();
    Picture3.cls();
    Picture3.refresh();
    setScaleMode(ScaleMode::Pixels);
    preview.setScaleMode(ScaleMode::Pixels);
    Picture3.setScaleMode(ScaleMode::Pixels);
}

void WatermarkWindow::showFirstPicture()
{
    Picture1.setAutoRedraw(true);
    Picture1.setBorder(false);
    loadEntryPicture(Picture1);
    FitToPreview(Picture1, picsrc);
    // Marks go onto the visible image only, so that a new click starts from the picture.
    Picture1.setAutoRedraw(false);
    platform::doEvents();
}

void WatermarkWindow::blendMark()
{
    blendfn = blendFunctionFor(sourceConstantAlpha());
    // A failed blend leaves the picture without the mark; nothing is shown.
    platform::gdi::AlphaBlend(Picture1.drawTarget(), int(posX), int(posY), markWidth, markHeight,
                              Picture2.persistentImage(), 0, 0,
                              platform::gdi::packBlendFunction(blendfn));
    Picture1.changed();
}

void WatermarkWindow::Picture1_Click()
{
    posX = double(platform::roundHalfEven(lastX));
    posY = double(platform::roundHalfEven(lastY));
    markWorkStarted();
    ScopeExit ended([this] { markWorkEnded(); });
    prepareMarkSurface();
    blendMark();
}

void WatermarkWindow::clearEntryLabels()
{
    lbltransparent->clear();
    lbltarget->clear();
    lblfile->clear();
}

void WatermarkWindow::processEntry()
{
    markWorkStarted();
    ScopeExit ended([this] { markWorkEnded(); });

    Picture1.setAutoRedraw(true);
    Picture1.setBorder(false);
    loadEntryPicture(Picture1);
    FitToPreview(Picture1, picsrc);
    Picture1.setAutoRedraw(false);

    // Font, text and level are read now, so changes made after the last click count.
    prepareMarkSurface();
    blendMark();

    Picture3.setBorder(false);
    Picture3.setAutoRedraw(true);
    platform::gdi::BitBlt(Picture3.drawTarget(), 0, 0, Picture1.innerWidthPx(),
                          Picture1.innerHeightPx(), Picture1.visibleImage(), 0, 0);
    Picture3.changed();
    platform::doEvents();

    if (scaledW && scaledH) {
        // Reduced in both passes: written at twice the fitted size, stretched from the
        // fitted image (the mark scales with it).
        Picture4.setScaleMode(ScaleMode::Pixels);
        Picture4.setOuterSize(2.0 * Picture3.outerWidthPx(), 2.0 * Picture3.outerHeightPx(),
                              ScaleMode::Pixels);
        Picture4.setAutoRedraw(true);
        Picture4.clearPicture();
        Picture4.paintPicture(Picture3.image(), 0, 0, Picture4.innerWidthPx(),
                              Picture4.innerHeightPx());
        writeIntermediate(Picture4.persistentImage());
        Picture4.clearPicture();
    } else {
        writeIntermediate(Picture3.persistentImage());
    }
    ConvertOutput();
    clearEntryLabels();
}

} // namespace tools
