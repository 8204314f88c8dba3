#pragma once
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Formats.h"
#include "platform/Picture.h"
#include "platform/Surface.h"
#include "shell/Outcome.h"
#include "tools/BatchRun.h"
#include "tools/OutputOptions.h"
#include "tools/picture/Encode.h"
#include "tools/picture/Output.h"

#include <QColor>
#include <QPointF>
#include <QRect>
#include <QSet>
#include <QSizeF>
#include <QSize>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// The picture tools' load step and batch run, without any widget: the run state under the
// names the tools share, the listing, the loop, the per-file steps on surfaces and the
// outcome. A window shows the run's surfaces and forwards its menu commands; the command line
// and the tests read the outcome. What each tool does differently is its ToolRecipe.
namespace tools {

// The state of a picture tool, under the names all the tools share.
struct ToolState {
    std::optional<bool> varsingle;   // Single mode chosen (unset until a mode is chosen)
    std::optional<bool> varbulk;     // Bulk mode chosen
    QString varfile;     // Single: the chosen file; Bulk: the source folder once a load or run starts
    QString varsrcdir;   // source folder (Bulk)
    QString vartgtdir;   // target folder
    QString curdir;      // folder of the current listing, ending in a separator
    QString curfile;     // current listing entry; empty when the listing is exhausted
    QString curext;      // its extension, lower-cased, with the dot
    QString basename;    // its name without the extension
    QString invalidlist; // skipped names, newest first, each followed by " ; "
    int invalidcount = 0;   // counted whole: a folder may hold more than 32 767 of them
    platform::Picture picsrc;   // the picture of the current entry
    double lastX = 0, lastY = 0;   // last pointer position over the preview (preview units)
    double posX = 0, posY = 0;     // the position chosen by clicking the preview
    int N = 0;                     // files counted by the run
};

// The design client area of every picture tool window, in twips.
constexpr double kToolClientWidth = 19920;
constexpr double kToolClientHeight = 9555;

// One input check: when `fails` is true the message `textKey` is shown under `titleKey`.
struct InputCheck {
    std::function<bool()> fails;
    const char *textKey;
    const char *titleKey;
};

// The values by which the picture tools differ in the shared pattern. A tool's texts are
// "<textKey>.<item>" ("report.title", "label.single", ...), falling back to the shared ones.
struct ToolSpec {
    const char *textKey;            // "addtext"
    QStringList accepted;           // lower-case extensions with the dot
    QString outputPrefix;           // "adt-"
    QString openFilter = platform::formats::openFilter(
        {platform::formats::Id::Jpeg, platform::formats::Id::Bmp});
    // The error for a picture the fit leaves less than a pixel across.
    platform::ErrorKind tooThin = platform::ErrorKind::TooThin;
};

// What a run ended with, as data: the window shows it, the command line turns it into an
// exit status, tests check it.
struct RunOutcome : shell::Outcome {
    enum class End {
        None,           // no run yet
        InputFault,     // an input check refused the command
        NothingToLoad,  // the load step found no file (empty folder, missing file, not a file)
        Loaded,         // the load step showed (or classified) the first entry
        LoadFailed,     // the load step's first picture could not be shown
        NoUsableFile,   // the load step found files, none the run can name (not UTF-8)
        Reported,       // the run went through the listing and showed its report
        Stopped,        // the run was ended by "No" to "Continue?" or by Stop
    };
    End end = End::None;
    int done = 0;            // files counted in the report (invalid ones included)
    QStringList invalid;     // skipped for their extension, in listing order
    QStringList markOutside; // written, but the mark fell wholly outside the picture
    QStringList markCut;     // written, with the mark cut at the picture's edge
};

class PictureRun;
struct WorkedEntry;

// Where a mark fell on its picture.
enum class MarkFit { Inside, Cut, Outside };
// The fit of a mark drawn over `mark` on a picture of `picture` pixels; nothing drawn is inside.
MarkFit markFitOf(const QRect &mark, QSize picture);

// Whoever shows a run: the window with its message boxes, the command line with printed
// lines, a worker with nothing. The run decides nothing through it but whether to go on after
// a file failed.
class RunHost {
public:
    virtual ~RunHost() = default;
    // The load step begins (before the listing is taken).
    virtual void loadStarted() {}
    // One entry of the run is written: the tool's information labels are cleared.
    virtual void entryDone() {}
    // A refusal of the user's input: the command ends without work.
    virtual void inputFault(const QString &text, const QString &title) = 0;
    // A failed operation.
    virtual void error(const QString &description) = 0;
    // A file of a run failed: true to skip it and go on, false to end the run.
    virtual bool continueAfter(const QString &description) = 0;
    // The run's report, or that it was stopped.
    virtual void report(const QString &text, const QString &title) = 0;
};

// A fitted picture written at twice its size: `picture` stretched over `surface` sized to twice
// `fitted` (pixels), handed over whole; the surface keeps nothing of it.
QImage paintedAtTwice(platform::Surface &surface, QSize fitted, const platform::Picture &picture);

// The box pictures are fitted into when no other is given: the tool windows' client area at
// the screen's twips per pixel.
QSize designPreviewBox();

// What a picture tool supplies: its table values and its per-file drawing, and the steps
// where it departs from the shared pattern. A recipe owns the tool's options and its hidden
// surfaces; it never sees a widget.
class ToolRecipe {
public:
    virtual ~ToolRecipe() = default;
    virtual const ToolSpec &spec() const = 0;
    // A copy for a worker of a bulk run: the options and the mark as they stand, on surfaces
    // that no window shows.
    virtual std::unique_ptr<ToolRecipe> cloneForWorker() const = 0;

    virtual std::vector<InputCheck> loadChecks(const PictureRun &run) const;
    virtual std::vector<InputCheck> runChecks(const PictureRun &run) const;
    // Load step: the surfaces before the listing is taken.
    virtual void prepareLoadSurfaces(PictureRun &run);
    // Load step: the first accepted entry into the preview.
    virtual void showFirstPicture(PictureRun &run);
    // Load step: the units of the tool's surfaces, before its input is checked.
    virtual void prepareLoadUnits(PictureRun &) {}
    // Run: units and surfaces before each entry.
    virtual void prepareEntrySurfaces(PictureRun &run);
    // ---- one picture of the run, in the order PictureRun::workEntry takes the steps; each
    // throws platform::AppError for a file error
    // The work with the mark begins and ends (the logo starts and stops its imaging library);
    // markWorkEnded runs on every path.
    virtual void markWorkStarted() {}
    virtual void markWorkEnded() {}
    // The surface whose size the picture is decoded for (the preview unless the tool works on
    // a larger one).
    virtual const platform::Surface &decodedFor(const PictureRun &run) const;
    // An output that needs no drawing (a lossless turn), made while the preview shows the
    // picture; empty when the picture is to be drawn.
    virtual QByteArray outputWithoutDrawing(PictureRun &) { return {}; }
    // The decoded picture (run.picsrc) fitted onto the preview and the tool's own surfaces.
    virtual void place(PictureRun &run) = 0;
    // The mark drawn on the fitted picture, where the click put it.
    virtual void mark(PictureRun &run) = 0;
    // The output drawn at the fitted size.
    virtual QImage fittedOutput(PictureRun &run) = 0;
    // The output drawn at the picture's own size (run.picsrc, which it takes) and written
    // through run.writePicture.
    virtual void writeOwnSize(PictureRun &run) = 0;
    // The written output is shown in the preview.
    virtual bool showsOutput() const { return false; }
    // The output is drawn from the picture fitted onto the preview (not from a surface of
    // the tool's own, nor from the picture at its own size).
    virtual bool drawsFromPreview(const PictureRun &run) const;
    // Where the mark the last mark() drew fell on the fitted picture: the whole mark, before
    // any of it was cut at the edge. The output at the picture's own size has it scaled.
    virtual MarkFit markFit(const PictureRun &) const { return MarkFit::Inside; }
    // After the report: the tool's own main input (the text to insert, ...).
    virtual void clearMainInput() {}
    // Units of the preview when the user clicks it.
    virtual platform::ScaleMode clickUnits() const { return platform::ScaleMode::Twips; }
    // The click on the preview at (lastX, lastY); throws platform::AppError when the mark
    // cannot be made or drawn.
    virtual void click(PictureRun &) {}
    // The surfaces of its own a window shows beside the preview (the turned preview).
    virtual std::vector<platform::Surface *> shownSurfaces() { return {}; }
    // Its hidden surfaces the picture passes through on its way to the output (not the mark's
    // own): they keep the picture's transparency when the run does.
    virtual std::vector<platform::Surface *> drawnSurfaces() { return {}; }
    // The mark's size in pixels on the preview when drawn at `scale` times its own size;
    // empty when the tool has no mark to place.
    virtual QSizeF markExtent(const PictureRun &, double /*scale*/) const { return {}; }
    // The tool draws a mark the user places on each picture.
    virtual bool placesMarks() const { return false; }

    // The factor marks are drawn at: 1 as clicked, else what the placement chose for the
    // picture at hand.
    double markScale = 1;
};

// The settings of the common dialog control: the open-file dialog's file name (kept from its
// last use) and the font and colour settings.
struct CommonDialogSettings {
    QString FileName;
    platform::FontSpec font;
    QColor Color = Qt::black;
};

class PictureRun : public ToolState {
public:
    PictureRun(ToolRecipe &recipe, RunHost &host);
    ~PictureRun();
    PictureRun(const PictureRun &) = delete;
    PictureRun &operator=(const PictureRun &) = delete;

    // The preview: holds the fitted picture; it is what gets saved.
    platform::Surface Picture1;
    CommonDialogSettings CommonDialog;
    OutputOptions output;
    // The box the pictures are fitted into, in pixels.
    QSize previewBox = designPreviewBox();

    const ToolSpec &spec() const { return recipe_.spec(); }
    ToolRecipe &recipe() { return recipe_; }
    const RunOutcome &outcome() const { return outcome_; }
    const platform::FolderListing &listing() const { return listing_; }
    bool isSingle() const { return varsingle.value_or(false); }
    bool isBulk() const { return !isSingle() && varbulk.value_or(false); }

    // ---- the user's choices
    void chooseSingle(const QString &file);
    void chooseBulk(const QString &folder);   // empty keeps the previous folder
    void chooseTarget(const QString &folder); // empty keeps the previous target

    // ---- the two commands
    void load();   // Load Picture
    void save();   // Save
    // The pointer over the preview and the click, in the preview's units. A mark the click
    // cannot make is told through the host.
    void pointerAt(double x, double y);
    void clickAt(double x, double y);
    // The click in pixels from the fitted picture's top-left corner, turned into the units the
    // tool's preview is clicked in.
    void clickAtPixels(double x, double y);
    // A picture is in the preview for the user to click on.
    bool previewShown() const { return previewShown_; }
    // A run no one watches (the command line's) fits the picture onto a preview that no output
    // is drawn from only to measure it (its size places the mark, its pixels go nowhere), and
    // does not read a written output back to show it.
    void setWatched(bool watched) { watched_ = watched; }
    // The accepted pictures of the loaded folder, in listing order, and the one shown.
    QStringList acceptedNames() const;
    int shownIndex() const { return shownIndex_; }
    // Shows the accepted picture `index` of the folder in the preview, with the mark where
    // the run will draw it; false (the preview as it was) when there is none such. The run
    // still begins at the folder's first file.
    bool showAccepted(int index, bool withMark = true);
    // Where the mark fell on the picture the preview shows.
    MarkFit shownMarkFit() const { return shownMarkFit_; }

    // ---- units: the scale mode the tool window works in (the client area in that unit)
    platform::ScaleMode scaleMode() const { return scaleMode_; }
    void setScaleMode(platform::ScaleMode m) { scaleMode_ = m; }
    double clientWidth() const;
    double clientHeight() const;
    int clientWidthPx() const { return previewBox.width(); }
    int clientHeightPx() const { return previewBox.height(); }
    RunHost &host() { return host_; }

    // ---- for the recipes
    // The table of input checks: picture file, source folder, target folder.
    std::vector<InputCheck> standardChecks(const char *noSourceKey = "common.msg.noSource",
                                           const char *noTargetKey = "common.msg.noTarget",
                                           const char *fileTitleKey = "common.title.invalidFile",
                                           const char *folderTitleKey =
                                               "common.title.invalidFolder") const;
    void sizePreviewToClient();
    // Loads curdir + curfile into picsrc, decoding a large picture at reduced scale, never
    // below the size it will be fitted into on `surface`.
    void loadEntryPicture(const platform::Surface &surface);
    // The fit into a surface: clears it, sizes it to the fitted picture (outer size), paints
    // the picture into it and makes that its persistent picture. `place` moves its left edge
    // (the preview). Throws platform::AppError when the fitted picture is less than a pixel
    // across: there would be nothing to draw on or to save.
    FitResult fitIntoSurface(platform::Surface &surface, const platform::Picture &picture,
                             bool place = true);
    // Encodes the picture drawn for the current entry in the format its name gives, with the
    // source's photo information when asked, and writes it as the output; the output is then
    // shown in the preview when `showOutput`, else the preview's picture is only cleared. The
    // image is consumed (hand over the only reference to spare a copy).
    void writePicture(QImage image, bool showOutput);
    // The same for a picture given a band of rows at a time.
    void writePicture(QSize size, const platform::PictureBand &band);
    // Writes the encoded output of the current entry; on a worker the bytes wait for their
    // turn to be written instead (see ParallelRun).
    void writeOutput(const QByteArray &data);
    QString outputPath() const;
    // The current entry is drawn keeping its transparency: it has some, the output format
    // holds it and a format option is chosen. Surfaces a recipe makes for the output at the
    // picture's own size follow it.
    bool keepsAlpha() const { return keepsAlpha_; }
    // The extensions the run takes: the tool's own, or every picture format's.
    QStringList accepted() const;
    // The format the current entry's output is written in: as its name says, or, taking every
    // format, as its content is (a PNG named .jpg is written as PNG, named .png).
    const platform::formats::Format &outputFormat() const;
    // The format the current entry keeps when no output format is chosen.
    const platform::formats::Format &sourceFormat() const;
    QString inTarget(const QString &name) const;
    // A text of this tool: "<textKey>.<item>".
    QString toolText(const char *item) const;

private:
    bool inputCheck(const std::vector<InputCheck> &checks);
    void resetInvalid();
    void takeEntryName();
    // One picture of the run: decoded upright, placed on the preview, marked, encoded and
    // written whole.
    void workEntry();
    // The preview and the recipe's drawn surfaces keep transparency, or are opaque again.
    void keepAlpha(bool on);
    // Records a file the run could not process and asks whether to go on; false when the
    // answer ended the run.
    bool entryFailed(const QString &path, const QString &failure);
    // The encoded picture of the current entry, with the source's photo information when asked.
    QByteArray encodedOutput(QByteArray encoded) const;
    // The same information for an output format that takes it while encoding; empty otherwise.
    picture::EmbeddedInformation informationToEmbed() const;
    // Shows the written output in the preview (a picture at its own size no larger than the
    // preview showed it).
    void showWrittenOutput();
    // The failure of an entry whose output name another entry of the run has written; empty
    // when the name is free.
    QString outputNameTaken() const;
    // The current entry's output is written: its name is taken for the rest of the run.
    void noteOutputWritten();
    // The mark's place and size on the picture now in the preview, as the placement gives it;
    // throws platform::AppError when no size of the mark fits the picture.
    void placeMarkOnPicture();
    // Notes where the entry's mark fell, for the report.
    void noteMarkFit(MarkFit fit);
    // Writes what a worker made of the current entry; throws platform::AppError.
    void commitWorked(WorkedEntry &worked);
    // The listed files whose names are not UTF-8: each is reported, none passed over.
    bool reportNamesNotUtf8();
    QString completionReportText() const;

    ToolRecipe &recipe_;
    RunHost &host_;
    MarkFit lastMarkFit_ = MarkFit::Inside;   // of the entry workEntry did last
    MarkFit shownMarkFit_ = MarkFit::Inside;
    bool previewShown_ = false;
    bool watched_ = true;
    QSet<QString> outputsOfRun_;
    bool keepsAlpha_ = false;
    int shownIndex_ = -1;
    // The last click in pixels, and the size of the picture it was made on.
    QPointF clickPx_;
    QSizeF clickedOn_;
    platform::ScaleMode scaleMode_ = platform::ScaleMode::Twips;
    platform::FolderListing listing_;
    RunOutcome outcome_;

    friend class ParallelRun;
    struct DeferredOutput {
        picture::StagedOutput staged;
        std::vector<platform::Surface> shown;   // the worker's shown surfaces as the entry left them
    };
    // The preview and the recipe's shown surfaces.
    std::vector<platform::Surface *> shownSurfaces();
    DeferredOutput *deferred_ = nullptr;
};

} // namespace tools
