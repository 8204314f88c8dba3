#pragma once
#include "shell/Outcome.h"

#include <QSize>
#include <QString>
#include <functional>
#include <vector>

class cGDIP;

// Listing folders into frames and building the GIF, without a window: the GIF window and the
// command line both call these, each with its own way of telling the user.
// What the listings and the last build came to since the list was last emptied
// (the window becoming active, Clear): refusals, pictures that could not be listed, a "Continue?"
// answered No, and whether the last "Create GIF" wrote the file.
struct AnimGifOutcome : shell::Outcome {
    bool built = false;
};

namespace animgif {


// A frame of the GIF: a picture and the delay it was listed with (hundredths of a second).
struct GifFrame {
    QString path;
    qint32 delay = 0;
};

// Whoever is told what listing and building come to.
class GifHost {
public:
    virtual ~GifHost() = default;
    // An OK box: information, or an error when `isError`.
    virtual void notice(const QString &text, const QString &title, bool isError = false) = 0;
    virtual void error(const QString &description) = 0;
    // A picture could not be listed: true to go on with the next, false to end the listing.
    virtual bool continueAfter(const QString &description) = 0;
};

// Lists the pictures of `folder` (".bmp" and ".jpg", in name order) as frames with `delay`,
// appended to `frames`. Each is checked by `check` (which throws platform::AppError for a
// picture that cannot be read) before it is listed; `listed` follows each frame listed. A
// picture refused is asked about; Stop ends the listing between pictures. With `allFormats`
// every picture format is listed, and the files left out are named in a notice at the end.
// Returns false when
// the listing ended before its end (a folder that cannot be listed, No, Stop).
bool listFolder(const QString &folder, qint32 delay, const std::function<void(const QString &)> &check,
                std::vector<GifFrame> &frames, GifHost &host, shell::Outcome &outcome,
                const std::function<void(const GifFrame &)> &listed = {}, bool allFormats = false);

// What a build came to.
struct GifBuilt {
    bool written = false;
    bool stopped = false;
    int framesBegun = 0;   // frames begun when it ended
    int frameCount = 0;
    QString failed;        // the file that failed (the GIF, or a frame)
    QString failure;       // its description
};

// Builds "Pixmar-anim.gif" into `folder` from the frames, each fitted within `fitBox` when it
// is not empty; `gdip` is the imaging library (null when it failed to start). The build goes on
// away from the window's thread, which keeps repainting and shows each frame as it is begun.
// Tells nothing: see tellBuilt.
GifBuilt buildGif(const std::vector<GifFrame> &frames, const QString &folder, QSize fitBox, cGDIP *gdip);
// Tells the user what the build came to and records it; true when the GIF was written.
bool tellBuilt(const GifBuilt &built, GifHost &host, shell::Outcome &outcome);

} // namespace animgif
