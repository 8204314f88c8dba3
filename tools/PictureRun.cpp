#include "tools/PictureRun.h"
#include "platform/PixelPool.h"
#include "tools/ParallelRun.h"

#include "platform/Errors.h"
#include "platform/Progress.h"
#include "platform/Toolkit.h"
#include "shell/Helpers.h"
#include "shell/Texts.h"
#include "tools/OwnSize.h"
#include "tools/picture/Encode.h"
#include "platform/Formats.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

#include <algorithm>
#include <new>
#include <system_error>

Q_LOGGING_CATEGORY(lcRun, "pixmar.tools.run", QtWarningMsg)

namespace tools {
namespace {

using platform::ScaleMode;

// A picture's HIMETRIC extent in a surface unit.
double himetricTo(double himetric, ScaleMode u, bool horizontal)
{
    if (u == ScaleMode::Pixels)
        return platform::himetricToPixels(himetric, horizontal);
    return himetric * platform::kTwipsPerInchD / platform::kHimetricPerInch;
}

} // namespace

// ---- recipe defaults: the shared pattern

std::vector<InputCheck> ToolRecipe::loadChecks(const PictureRun &run) const
{
    return run.standardChecks();
}

std::vector<InputCheck> ToolRecipe::runChecks(const PictureRun &run) const
{
    return run.standardChecks();
}

void ToolRecipe::prepareLoadSurfaces(PictureRun &run)
{
    run.Picture1.setVisible(true);
    run.sizePreviewToClient();
}

void ToolRecipe::showFirstPicture(PictureRun &run)
{
    run.Picture1.setAutoSize(true);
    run.Picture1.setAutoRedraw(true);
    run.loadEntryPicture(run.Picture1);
    run.fitIntoSurface(run.Picture1, run.picsrc);
    platform::doEvents();
}

void ToolRecipe::prepareEntrySurfaces(PictureRun &run)
{
    run.setScaleMode(ScaleMode::Twips);
    run.Picture1.setScaleMode(ScaleMode::Twips);
    run.Picture1.setVisible(true);
    run.sizePreviewToClient();
}

QSize designPreviewBox()
{
    return {int(std::lround(kToolClientWidth / platform::twipsPerPixelX())),
            int(std::lround(kToolClientHeight / platform::twipsPerPixelY()))};
}


// ---- the run

PictureRun::PictureRun(ToolRecipe &recipe, RunHost &host) : recipe_(recipe), host_(host)
{
    // Without a border the saved image is the whole fitted picture.
    Picture1.setBorder(false);
    Picture1.setVisible(false);
}

PictureRun::~PictureRun() = default;

double PictureRun::clientWidth() const
{
    return scaleMode_ == ScaleMode::Pixels ? clientWidthPx()
                                           : clientWidthPx() * platform::twipsPerPixelX();
}

double PictureRun::clientHeight() const
{
    return scaleMode_ == ScaleMode::Pixels ? clientHeightPx()
                                           : clientHeightPx() * platform::twipsPerPixelY();
}

QString PictureRun::toolText(const char *item) const
{
    const QByteArray key = QByteArray(spec().textKey) + '.' + item;
    return shell::tx(key.constData());
}

void PictureRun::chooseSingle(const QString &file)
{
    Picture1.clearPicture();
    Picture1.setVisible(false);
    varsingle = true;
    varbulk = false;
    varfile = file;
}

void PictureRun::chooseBulk(const QString &folder)
{
    varsingle = false;
    varbulk = true;
    Picture1.clearPicture();
    Picture1.setVisible(false);
    if (!folder.isEmpty())
        varsrcdir = folder;
    varsrcdir = shell::applyDriveRootRule(varsrcdir);
}

void PictureRun::chooseTarget(const QString &folder)
{
    if (!folder.isEmpty())
        vartgtdir = shell::applyDriveRootRule(folder);
}

void PictureRun::pointerAt(double x, double y)
{
    lastX = x;
    lastY = y;
}

void PictureRun::clickAt(double x, double y)
{
    pointerAt(x, y);
    try {
        const ScaleMode u = recipe_.clickUnits();
        clickPx_ = QPointF(Picture1.toPx(x, u, true), Picture1.toPx(y, u, false));
        clickedOn_ = QSizeF(Picture1.innerWidthPx(), Picture1.innerHeightPx());
        MarkPlacement &placement = output.placement;
        if (placement.mode == PlacementMode::Anchored && previewShown_)
            placement.anchor = nearestAnchor(clickPx_, clickedOn_);
        if (placement.mode != PlacementMode::Clicked && !recipe_.markExtent(*this, 1).isEmpty()) {
            // The preview shows the mark where the run will draw it.
            placeMarkOnPicture();
            pointerAt(posX, posY);
        }
        recipe_.click(*this);
    } catch (const platform::AppError &e) {
        host_.error(e.description());
    }
}

void PictureRun::clickAtPixels(double x, double y)
{
    const ScaleMode u = recipe_.clickUnits();
    clickAt(Picture1.fromPx(x, u, true), Picture1.fromPx(y, u, false));
}

// ---- input checks

std::vector<InputCheck> PictureRun::standardChecks(const char *noSourceKey, const char *noTargetKey,
                                                   const char *fileTitleKey,
                                                   const char *folderTitleKey) const
{
    return {
        {[this] { return isSingle() && varfile.isEmpty(); }, "common.msg.noPicture", fileTitleKey},
        {[this] { return isBulk() && varsrcdir.isEmpty(); }, noSourceKey, folderTitleKey},
        {[this] { return vartgtdir.isEmpty(); }, noTargetKey, folderTitleKey},
    };
}

bool PictureRun::inputCheck(const std::vector<InputCheck> &checks)
{
    for (const InputCheck &c : checks) {
        if (c.fails()) {
            host_.inputFault(shell::tx(c.textKey), shell::tx(c.titleKey));
            outcome_ = {};
            outcome_.end = RunOutcome::End::InputFault;
            outcome_.refused = true;
            return false;
        }
    }
    if (isBulk())
        varfile = varsrcdir;
    return true;
}

// ---- surfaces

void PictureRun::sizePreviewToClient()
{
    Picture1.setOuterSize(clientWidth(), clientHeight(), scaleMode_);
}

namespace {

// The size a picture will be painted at when fitted into `surface`: the decoder only needs
// those pixels. The same arithmetic as the fit, from the file's own size.
platform::PaintSizeHint fittedSize(const platform::Surface &surface)
{
    const ScaleMode u = surface.scaleMode();
    const double innerW = surface.innerWidth(), innerH = surface.innerHeight();
    return [&surface, u, innerW, innerH](QSize original) {
        const platform::Picture probe(QImage(), original);
        const FitResult r = fitInto(himetricTo(probe.widthHimetric(), u, true),
                                    himetricTo(probe.heightHimetric(), u, false), innerW, innerH);
        return QSize(int(std::lround(surface.toPx(r.width, u, true))),
                     int(std::lround(surface.toPx(r.height, u, false))));
    };
}

} // namespace

void PictureRun::loadEntryPicture(const platform::Surface &surface)
{
    picsrc = platform::loadPicture(curdir + curfile, fittedSize(surface));
}

FitResult PictureRun::fitIntoSurface(platform::Surface &surface, const platform::Picture &picture,
                                     bool place)
{
    // The painted image becomes the picture, so it has to go into the persistent image.
    surface.setAutoRedraw(true);
    surface.clearPicture();
    surface.cls();
    const ScaleMode u = surface.scaleMode();
    const FitResult r = fitInto(himetricTo(picture.widthHimetric(), u, true),
                                himetricTo(picture.heightHimetric(), u, false),
                                surface.innerWidth(), surface.innerHeight());
    surface.setOuterSize(r.width, r.height, u);
    if (surface.innerWidthPx() == 0 || surface.innerHeightPx() == 0)
        throw platform::AppError(spec().tooThin,
                                 {curdir + curfile, QString::number(picture.pixelSize().width()),
                                  QString::number(picture.pixelSize().height())},
                                 {}, QStringLiteral("FitPicture"));
    if (place) {
        // Centred on the screen as the design places it, but kept inside the client area so
        // that a wide picture on a wide screen can still be clicked everywhere.
        const double widthTwips = surface.outerWidth(ScaleMode::Twips);
        double left = double(platform::roundHalfEven(
            (platform::toolkit().screen().widthTwips - widthTwips) / 2));
        const double clientTwips = clientWidthPx() * platform::twipsPerPixelX();
        left = std::max(0.0, std::min(left, clientTwips - widthTwips));
        surface.setLeft(left, ScaleMode::Twips);
    }
    // Reducing a photo at its own size to the preview costs as much as decoding it.
    if (watched_ || &surface != &Picture1 || recipe_.drawsFromPreview(*this))
        surface.paintPicture(picture, 0, 0, r.width, r.height);
    surface.setPicture(surface.image());
    return r;
}

// ---- files

QString PictureRun::inTarget(const QString &name) const
{
    return platform::withSeparator(vartgtdir) + name;
}

QString PictureRun::outputPath() const
{
    if (!output.allFormats && !output.format)
        return inTarget(spec().outputPrefix + basename + curext);
    const platform::formats::Format &f = outputFormat();
    return inTarget(spec().outputPrefix + basename + (f.extensions.contains(curext) ? curext : f.extensions.front()));
}

QString PictureRun::outputNameTaken() const
{
    // Only outputs named for a format rather than for their source can meet: a.jpg and a.png
    // both written as PNG. The second would replace what the run wrote for the first.
    if (!output.allFormats && !output.format)
        return {};
    const QString path = outputPath();
    if (outputsOfRun_.contains(path))
        return shell::tx("common.msg.outputTaken").arg(curdir + curfile, path);
    return {};
}

void PictureRun::noteOutputWritten()
{
    // A name is taken by what was written under it: a picture that failed leaves it free for
    // the next one that would take it.
    if (output.allFormats || output.format)
        outputsOfRun_.insert(outputPath());
}

QStringList PictureRun::accepted() const
{
    return output.allFormats ? platform::formats::allPictureExtensions() : spec().accepted;
}

const platform::formats::Format &PictureRun::outputFormat() const
{
    return output.format ? platform::formats::get(*output.format) : sourceFormat();
}

const platform::formats::Format &PictureRun::sourceFormat() const
{
    const platform::formats::Format &named = platform::formats::outputFor(curext);
    if (!output.allFormats)
        return named;
    // Only a plain file is opened: a FIFO put in a picture's place would hold the read.
    QFile file(curdir + curfile);
    if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly))
        return named;
    constexpr qint64 kHead = 16;
    const platform::formats::Format *content = platform::formats::byContent(file.read(kHead));
    return content ? platform::formats::outputForContent(*content) : named;
}

picture::EmbeddedInformation PictureRun::informationToEmbed() const
{
    const platform::formats::Format &format = outputFormat();
    if (!output.keepMetadata || !format.holdsMetadata || !picture::embedsInformation(format))
        return {};
    return picture::sourceInformationToEmbed(curdir + curfile, outputPath());
}

QByteArray PictureRun::encodedOutput(QByteArray encoded) const
{
    const platform::formats::Format &format = outputFormat();
    if (!output.keepMetadata || !format.holdsMetadata || picture::embedsInformation(format))
        return encoded;
    return picture::withSourceInformation(encoded, curdir + curfile, outputPath());
}

void PictureRun::writePicture(QImage image, bool showOutput)
{
    // The encoder takes transparency straight, not premultiplied as it was drawn.
    if (keepsAlpha_ && image.hasAlphaChannel())
        image = std::move(image).convertToFormat(QImage::Format_ARGB32);
    const QString out = outputPath();
    writeOutput(encodedOutput(
        picture::encode(std::move(image), outputFormat(), output.quality, out, informationToEmbed())));
    Picture1.clearPicture();
    if (showOutput)
        showWrittenOutput();
}

void PictureRun::writePicture(QSize size, const platform::PictureBand &band)
{
    const QString out = outputPath();
    writeOutput(encodedOutput(
        picture::encode(size, band, outputFormat(), output.quality, out, informationToEmbed())));
    Picture1.clearPicture();
}

void PictureRun::writeOutput(const QByteArray &data)
{
    picture::StagedOutput staged(data, outputPath());
    if (deferred_) {
        deferred_->staged = std::move(staged);
        deferred_->shown.clear();
        for (const platform::Surface *s : shownSurfaces()) {
            deferred_->shown.push_back(*s);
            deferred_->shown.back().onChanged = nullptr;
        }
        return;
    }
    staged.commit();
}

void PictureRun::showWrittenOutput()
{
    // Held for a later commit, the output is not there yet to be shown; a run no one watches
    // would only decode it again for nobody.
    if (deferred_ || !watched_)
        return;
    const QString out = outputPath();
    try {
        // An output at the picture's own size is shown as large as the preview was: the
        // whole of it would only hold its pixels a second time.
        Picture1.setPicture(platform::loadPicture(
            out, output.originalSize ? fittedSize(Picture1) : platform::PaintSizeHint()));
    } catch (const platform::AppError &e) {
        // The file is written; only showing it failed.
        qCWarning(lcRun) << "cannot show" << out << e.description();
    }
}

// ---- load step

void PictureRun::resetInvalid()
{
    invalidlist.clear();
    invalidcount = 0;
    outcome_.invalid.clear();
}

void PictureRun::takeEntryName()
{
    const EntryName parts = splitEntryName(curfile);
    curext = parts.curext;
    basename = parts.basename;
}

void PictureRun::load()
{
    recipe_.prepareLoadUnits(*this);
    if (!inputCheck(recipe_.loadChecks(*this)))
        return;
    keepAlpha(false);   // the preview shows pictures as it always did
    outcome_ = {};
    previewShown_ = false;
    shownIndex_ = -1;
    clickPx_ = QPointF();
    clickedOn_ = QSizeF();
    std::optional<platform::BusyPointer> pointer(std::in_place);
    // The error box of a load that failed, naming each file concerned.
    auto failed = [this, &pointer](const QStringList &paths, const QStringList &descriptions,
                                   RunOutcome::End end = RunOutcome::End::LoadFailed) {
        Picture1.clearPicture();
        pointer.reset();
        outcome_.end = end;
        for (qsizetype i = 0; i < paths.size(); ++i)
            outcome_.fail(paths[i], descriptions[i]);
        host_.error(descriptions.join(shell::CRLF));
    };
    host_.loadStarted();
    recipe_.prepareLoadSurfaces(*this);
    platform::doEvents();
    try {
        listing_.clear();
        if (isBulk()) {
            curdir = platform::withSeparator(varsrcdir);
            listing_ = platform::FolderListing(curdir);
            curfile = listing_.first();
        } else if (isSingle()) {
            curdir = platform::folderPart(varfile);
            curfile = shell::HasFile(varfile) ? platform::fileNamePart(varfile) : QString();
            const QFileInfo given(varfile);
            if (given.exists() && !given.isFile()) {
                // A FIFO or a device would hold the read for ever and a folder is no picture:
                // refused as a missing file is, but by name, and nothing is left for Save.
                failed({varfile}, {platform::AppError(platform::ErrorKind::NotAFile, {varfile}, {},
                                                      QStringLiteral("LoadPicture"))
                                       .description()},
                       RunOutcome::End::NothingToLoad);
                outcome_.refused = true;
                return;
            }
        } else {
            curdir.clear();
            curfile.clear();
        }
        if (curfile.isEmpty() && !listing_.namesNotUtf8().isEmpty()) {
            // Files are there, only none the program can name: saying the folder holds no
            // picture would be wrong, so each one is named instead.
            QStringList paths, lines;
            for (const QString &name : listing_.namesNotUtf8()) {
                paths << curdir + name;
                lines << platform::AppError(platform::ErrorKind::NameNotUtf8, {paths.back()}).description();
            }
            failed(paths, lines, RunOutcome::End::NoUsableFile);
            return;
        }
        if (curfile.isEmpty()) {
            pointer.reset();
            outcome_.end = RunOutcome::End::NothingToLoad;
            outcome_.refused = true;
            host_.inputFault(shell::tx("common.msg.noImageInFolder"), shell::tx("common.title.pixmar"));
            return;
        }
        resetInvalid();
        takeEntryName();
        outcome_.end = RunOutcome::End::Loaded;
        if (!isAcceptedExtension(curext, accepted())) {
            noteInvalid(invalidlist, invalidcount, curfile);
            // An empty preview would take clicks far off any picture: the first picture the
            // run will mark is shown instead, or nothing at all.
            Picture1.clearPicture();
            Picture1.setVisible(false);
            if (isBulk() && recipe_.placesMarks() && !acceptedNames().isEmpty()) {
                showAccepted(0, false);
                clickedOn_ = QSizeF(Picture1.innerWidthPx(), Picture1.innerHeightPx());
            }
            return;
        }
        recipe_.showFirstPicture(*this);
        previewShown_ = true;
        shownIndex_ = 0;
        clickedOn_ = QSizeF(Picture1.innerWidthPx(), Picture1.innerHeightPx());
    } catch (const platform::AppError &e) {
        // A picture too large for an output at its own size is told by the run, with the
        // limit; what its preview found wrong besides would be a second, other message.
        if (output.originalSize && tooLargeForOwnSize(curdir + curfile)) {
            Picture1.clearPicture();
            return;   // classified, as a file of another type is
        }
        failed({curdir + curfile}, {e.description()});
    } catch (const std::bad_alloc &) {
        failed({curdir + curfile},
               {platform::AppError(platform::ErrorKind::OutOfMemory, {curdir + curfile}).description()});
    }
}

// ---- batch run

QImage paintedAtTwice(platform::Surface &surface, QSize fitted, const platform::Picture &picture)
{
    surface.setOuterSize(2.0 * fitted.width(), 2.0 * fitted.height(), ScaleMode::Pixels);
    surface.setScaleMode(ScaleMode::Pixels);
    // Drawn with drawing kept, so the persistent image is what is written; making it the
    // surface's picture as well would only copy it again.
    surface.setAutoRedraw(true);
    surface.clearPicture();
    // Made apart from the surface, which is left cleared as it was.
    if (QImage twice = surface.paintedWhole(picture); !twice.isNull())
        return twice;
    surface.paintPicture(picture, 0, 0, surface.innerWidthPx(), surface.innerHeightPx());
    QImage twice = surface.releaseImage();
    surface.clearPicture();
    return twice;
}

MarkFit markFitOf(const QRect &mark, QSize picture)
{
    const QRect whole(QPoint(0, 0), picture);
    if (mark.isEmpty() || whole.contains(mark))
        return MarkFit::Inside;
    return whole.intersects(mark) ? MarkFit::Cut : MarkFit::Outside;
}

const platform::Surface &ToolRecipe::decodedFor(const PictureRun &run) const { return run.Picture1; }

bool ToolRecipe::drawsFromPreview(const PictureRun &run) const { return !run.output.originalSize; }

void PictureRun::workEntry()
{
    ToolRecipe &tool = recipe_;
    tool.markWorkStarted();
    const struct Ended {
        ToolRecipe &tool;
        ~Ended() { tool.markWorkEnded(); }
    } ended{tool};
    lastMarkFit_ = MarkFit::Inside;
    keepAlpha(false);
    if (const QByteArray ready = tool.outputWithoutDrawing(*this); !ready.isEmpty()) {
        writeOutput(encodedOutput(ready));
        Picture1.clearPicture();
        return;
    }
    const bool ownSize = output.originalSize;
    picsrc = ownSize ? loadOwnSizePicture(*this)
                     : platform::loadPicture(curdir + curfile, fittedSize(tool.decodedFor(*this)));
    // A transparent picture is drawn on transparent surfaces where the output can hold its
    // transparency; only under the format options, so that what the tools always wrote stays.
    keepAlpha((output.allFormats || output.format) && outputFormat().holdsAlpha
              && picsrc.image().hasAlphaChannel());
    tool.place(*this);
    placeMarkOnPicture();
    tool.mark(*this);
    lastMarkFit_ = tool.markFit(*this);
    platform::doEvents();
    if (ownSize)
        tool.writeOwnSize(*this);
    else
        writePicture(tool.fittedOutput(*this), tool.showsOutput());
}

void PictureRun::keepAlpha(bool on)
{
    keepsAlpha_ = on;
    Picture1.setKeepsAlpha(on);
    for (platform::Surface *s : recipe_.drawnSurfaces())
        s->setKeepsAlpha(on);
}

void PictureRun::commitWorked(WorkedEntry &worked)
{
    worked.output.commit();
    // The window shows each picture as its output is written, as a run on its own thread does.
    const std::vector<platform::Surface *> shown = shownSurfaces();
    for (size_t i = 0; i < shown.size() && i < worked.shown.size(); ++i) {
        const std::function<void()> shownBy = shown[i]->onChanged;
        *shown[i] = worked.shown[i];
        shown[i]->onChanged = shownBy;
        shown[i]->changed();
    }
}

void PictureRun::placeMarkOnPicture()
{
    if (output.placement.mode == PlacementMode::Clicked) {
        recipe_.markScale = 1;
        return;
    }
    const auto extent = [this](double s) { return recipe_.markExtent(*this, s); };
    if (extent(1).isEmpty()) {
        recipe_.markScale = 1;   // nothing to place: the tool draws what it would anyway
        return;
    }
    const QSizeF picture(Picture1.innerWidthPx(), Picture1.innerHeightPx());
    const PlacedMark placed = placeMark(output.placement, picture, clickPx_,
                                        clickedOn_.isEmpty() ? picture : clickedOn_, extent);
    if (!placed.fits)
        throw platform::AppError(platform::ErrorKind::MarkNoRoom, {curdir + curfile});
    recipe_.markScale = placed.scale;
    const ScaleMode u = recipe_.clickUnits();
    posX = Picture1.fromPx(placed.at.x(), u, true);
    posY = Picture1.fromPx(placed.at.y(), u, false);
}

QStringList PictureRun::acceptedNames() const
{
    QStringList names;
    if (!isBulk())
        return names;
    for (const QString &name : listing_.names())
        if (isAcceptedExtension(platform::lowerExtension(name), accepted()))
            names << name;
    return names;
}

bool PictureRun::showAccepted(int index, bool withMark)
{
    const QStringList names = acceptedNames();
    if (index < 0 || index >= names.size())
        return false;
    // The run begins where the load left the listing, whatever the preview shows.
    const QString listed = curfile;
    const struct Restore {
        PictureRun &run;
        QString name;
        ~Restore()
        {
            run.curfile = name;
            run.takeEntryName();
        }
    } restore{*this, listed};
    curfile = names[index];
    takeEntryName();
    previewShown_ = false;
    shownIndex_ = -1;
    if (!withMark) {
        recipe_.showFirstPicture(*this);
        previewShown_ = true;
        shownIndex_ = index;
        return true;
    }
    // Each picture is fitted into the whole box, as the run fits it, not into the last one.
    recipe_.prepareEntrySurfaces(*this);
    picsrc = platform::loadPicture(curdir + curfile, fittedSize(recipe_.decodedFor(*this)));
    recipe_.place(*this);
    picsrc = platform::Picture();
    Picture1.setVisible(true);
    previewShown_ = true;
    shownIndex_ = index;
    shownMarkFit_ = MarkFit::Inside;
    if (!recipe_.markExtent(*this, 1).isEmpty()) {
        placeMarkOnPicture();
        recipe_.markWorkStarted();
        const struct Ended {
            ToolRecipe &tool;
            ~Ended() { tool.markWorkEnded(); }
        } ended{recipe_};
        recipe_.mark(*this);
        shownMarkFit_ = recipe_.markFit(*this);
    }
    return true;
}

void PictureRun::noteMarkFit(MarkFit fit)
{
    // Written all the same: the user sees in the report which pictures went out unmarked.
    if (fit == MarkFit::Outside) {
        outcome_.markOutside << curfile;
        outcome_.fail(curdir + curfile, shell::tx("common.report.markOutside"));
    } else if (fit == MarkFit::Cut) {
        outcome_.markCut << curfile;
    }
}

std::vector<platform::Surface *> PictureRun::shownSurfaces()
{
    std::vector<platform::Surface *> all{&Picture1};
    for (platform::Surface *s : recipe_.shownSurfaces())
        all.push_back(s);
    return all;
}

bool PictureRun::entryFailed(const QString &path, const QString &failure)
{
    outcome_.fail(path, failure);
    if (host_.continueAfter(failure))
        return true;
    Picture1.clearPicture();
    outcome_.end = RunOutcome::End::Stopped;
    outcome_.stopped = true;
    outcome_.done = N;
    return false;
}

bool PictureRun::reportNamesNotUtf8()
{
    for (const QString &name : listing_.namesNotUtf8()) {
        if (!isAcceptedExtension(platform::lowerExtension(name), accepted())) {
            // Not a picture of this tool whatever its name: listed as any other such file.
            noteInvalid(invalidlist, invalidcount, name);
            outcome_.invalid << name;
            ++N;
            continue;
        }
        const QString path = curdir + name;
        if (!entryFailed(path, platform::AppError(platform::ErrorKind::NameNotUtf8, {path}).description()))
            return false;
    }
    return true;
}

QString PictureRun::completionReportText() const
{
    ReportTexts t;
    t.firstStart = toolText("report.first");
    t.firstEnd = toolText("report.done");
    t.header = toolText("report.header");
    t.dashLine = toolText("report.dashes");
    t.total = shell::tx("common.report.total");
    QString report = completionReport(t, N, invalidlist, invalidcount);
    // Only a run where a mark missed says so: every other report stays as it always was.
    for (const auto &[key, names] : {std::pair{"common.report.markOutside", &outcome_.markOutside},
                                     std::pair{"common.report.markCut", &outcome_.markCut}})
        if (!names->isEmpty())
            report += shell::CRLF + shell::CRLF + shell::tx(key) + shell::CRLF + names->join(shell::CRLF);
    return report;
}

void PictureRun::save()
{
    if (!inputCheck(recipe_.runChecks(*this)))
        return;
    // The pictures' blocks kept for one another go back when the run ends, however it ends.
    const struct PoolRelease {
        ~PoolRelease() { platform::pixelpool::release(); }
    } poolRelease;
    outcome_ = {};
    N = 0;
    outputsOfRun_.clear();
    std::optional<platform::BusyPointer> pointer(std::in_place);
    // What a killed run left in the target goes before this one adds its own.
    platform::removeStaleTemporaries(vartgtdir);
    platform::doEvents();
    resetInvalid();
    const bool single = isSingle();
    // A bulk run works its entries on worker threads, ahead of the one being written.
    std::unique_ptr<ParallelRun> workers;
    if (!single && !curfile.isEmpty()) {
        try {
            workers = std::make_unique<ParallelRun>(*this, output.threadCount());
        } catch (const std::system_error &e) {
            // Without threads to be had, the run works on this one, as it always could.
            qCWarning(lcRun) << "working without worker threads:" << e.what();
        }
    }

    while (!curfile.isEmpty()) {
        if (workers) {
            // Events run at each entry as on a run without workers, and before more entries
            // are handed out, so what they change is seen by every entry not yet begun.
            platform::doEvents();
            workers->feed(listing_, accepted(), listing_.position());
        } else {
            recipe_.prepareEntrySurfaces(*this);
        }
        takeEntryName();
        if (single)
            platform::reportProgress(1, 1, curfile);
        else
            platform::reportProgress(int(listing_.position()) + 1, int(listing_.names().size()),
                                     curfile);
        bool counted = true;
        if (!isAcceptedExtension(curext, accepted())) {
            noteInvalid(invalidlist, invalidcount, curfile);
            outcome_.invalid << curfile;
        } else {
            QString failure;
            try {
                const QString taken = outputNameTaken();
                if (workers) {
                    // What a worker made of an entry whose name is taken is dropped unwritten.
                    WorkedEntry worked = workers->take(listing_.position());
                    failure = worked.failure.isEmpty() ? taken : worked.failure;
                    if (failure.isEmpty()) {
                        commitWorked(worked);
                        noteMarkFit(worked.markFit);
                    }
                } else if (!taken.isEmpty()) {
                    failure = taken;
                } else {
                    workEntry();
                    noteMarkFit(lastMarkFit_);
                }
                if (failure.isEmpty()) {
                    noteOutputWritten();
                    host_.entryDone();
                }
            } catch (const platform::AppError &e) {
                failure = e.description();
            } catch (const std::bad_alloc &) {
                failure = platform::AppError(platform::ErrorKind::OutOfMemory, {curdir + curfile})
                              .description();
            }
            if (!failure.isEmpty()) {
                counted = false;
                if (!entryFailed(curdir + curfile, failure))
                    return;
            }
        }
        if (counted)
            ++N;
        if (single)
            break;
        curfile = listing_.next();
        // A stop ends the run between files: what is written stays whole, the rest is not
        // begun, and a later Save goes on from the next file.
        if (!curfile.isEmpty() && platform::stopRequested()) {
            workers.reset();   // what they worked ahead goes before the message
            Picture1.clearPicture();
            pointer.reset();
            outcome_.end = RunOutcome::End::Stopped;
            outcome_.stopped = true;
            outcome_.done = N;
            host_.report(shell::tx("common.msg.stopped")
                             .arg(QString::number(N), QString::number(listing_.names().size())),
                         toolText("report.title"));
            return;
        }
    }
    if (!single && !reportNamesNotUtf8())
        return;

    Picture1.setVisible(false);
    pointer.reset();
    if (invalidcount == 0)
        invalidlist = shell::tx("common.none");
    outcome_.end = RunOutcome::End::Reported;
    outcome_.done = N;
    host_.report(completionReportText(), toolText("report.title"));
    Picture1.clearPicture();
    varfile.clear();
    varsrcdir.clear();
    recipe_.clearMainInput();
    // The listing is used up: a Save without a new Load processes nothing.
    curfile.clear();
    listing_.clear();
}

} // namespace tools
