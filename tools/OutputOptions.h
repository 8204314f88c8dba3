#pragma once
#include "platform/Formats.h"
#include "tools/Placement.h"

#include <QObject>
#include <QString>
#include <array>
#include <optional>

class QAction;
class QActionGroup;
class QMenu;
class QMenuBar;

namespace tools {

// How a picture tool writes its outputs. The defaults are the tools' own behaviour: the
// picture as fitted into the window, JPEG at quality 75, no photo information.
struct OutputOptions {
    static constexpr int kDefaultQuality = platform::formats::kDefaultJpegQuality;
    int quality = kDefaultQuality;   // JPEG quality, 1 to 100
    bool originalSize = false;       // the output at the source's own (upright) size
    bool keepMetadata = false;       // EXIF, XMP, IPTC and the colour profile copied over
    bool lossless = false;           // rotate: JPEGs turned without re-encoding (with originalSize)
    int jobs = 0;                    // worker threads of a bulk run; 0: one per processor core
    MarkPlacement placement;         // where the mark goes on each picture (marking tools)
    bool allFormats = false;         // every picture format read, by content; outputs follow it
    // Every output in this format; none: each in its source's (as its name, or with
    // allFormats its content, says).
    std::optional<platform::formats::Id> format;

    // The worker threads a bulk run uses.
    int threadCount() const;
    static constexpr int kMaxJobs = 64;
    static bool jobsAllowed(int n) { return n >= 0 && n <= kMaxJobs; }

    bool operator==(const OutputOptions &) const = default;
    static bool qualityAllowed(int q) { return q >= 1 && q <= 100; }
};

// The qualities the Options menu offers; the command line takes any within 1 to 100.
inline constexpr std::array<int, 5> kQualityChoices = {60, 75, 85, 92, 100};
// The worker thread counts it offers besides one per core (0); the command line takes any.
inline constexpr std::array<int, 5> kJobsChoices = {0, 1, 2, 4, 8};

// The margins and mark sizes (percent) the Placement menu offers; the command line takes any
// that leave room.
inline constexpr std::array<int, 5> kMarginChoices = {0, 1, 3, 5, 10};
inline constexpr std::array<int, 5> kMarkSizeChoices = {10, 15, 20, 30, 50};

// The output formats the Options menu and --format offer, after "same as source".
inline constexpr std::array<platform::formats::Id, 4> kOutputFormatChoices = {
    platform::formats::Id::Jpeg, platform::formats::Id::Png, platform::formats::Id::Tiff,
    platform::formats::Id::WebP};

// The "Options" menu of a picture tool: it edits the run's options, remembers the choices
// under the tool's own keys, and gives the line the window shows while any is set.
class OptionsMenu : public QObject {
    Q_OBJECT
public:
    // `settingsGroup` is the tool's text key; `offersLossless` for the rotate tool,
    // `offersPlacement` for the tools that mark pictures.
    OptionsMenu(QMenuBar *bar, OutputOptions &options, const char *settingsGroup,
                bool offersLossless, QObject *parent, bool offersPlacement = false);

    void setCaptions();
    // "Options: ..." naming what is set, or empty when all are at their defaults.
    QString summary() const;
    // Sets the options without remembering them (the command line).
    void apply(const OutputOptions &o);
    // The options changed outside the menu (a click chose an anchor): shown and remembered.
    void changedElsewhere() { remember(); }

    QMenu *menu = nullptr;
    QMenu *qualityMenu = nullptr;
    std::array<QAction *, kQualityChoices.size()> qualityActions{};
    QAction *originalSize = nullptr;
    QAction *keepMetadata = nullptr;
    QAction *allFormats = nullptr;
    QMenu *formatMenu = nullptr;
    std::array<QAction *, kOutputFormatChoices.size() + 1> formatActions{};   // same, then the choices
    QAction *lossless = nullptr;   // null when not offered
    QMenu *threadsMenu = nullptr;
    std::array<QAction *, kJobsChoices.size()> threadsActions{};
    // Null when not offered.
    QMenu *placementMenu = nullptr;
    std::array<QAction *, 3> placementActions{};   // as clicked, relative, anchored
    QMenu *anchorMenu = nullptr;
    std::array<QAction *, kAnchors.size()> anchorActions{};
    QMenu *marginMenu = nullptr;
    std::array<QAction *, kMarginChoices.size()> marginActions{};
    QMenu *markSizeMenu = nullptr;
    std::array<QAction *, kMarkSizeChoices.size()> markSizeActions{};

signals:
    void changed();

private:
    QString key(const char *name) const;
    void remember();
    void showChoices();
    void addPlacementMenu();

    OutputOptions &options_;
    QString group_;
    QActionGroup *qualityGroup_ = nullptr;
    QActionGroup *threadsGroup_ = nullptr;
};

} // namespace tools
