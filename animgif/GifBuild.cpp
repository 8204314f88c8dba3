#include "animgif/GifBuild.h"

#include "animgif/AnimGifRules.h"
#include "animgif/cGDIP.h"
#include "animgif/cMultiPage.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Progress.h"
#include "shell/Texts.h"

#include <QStringList>
#include <algorithm>
#include <optional>

namespace animgif {

using shell::tx;

bool listFolder(const QString &folder, qint32 delay, const std::function<void(const QString &)> &check,
                std::vector<GifFrame> &frames, GifHost &host, shell::Outcome &outcome,
                const std::function<void(const GifFrame &)> &listed, bool allFormats)
{
    platform::FolderListing listing;
    try {
        listing = platform::FolderListing(platform::withSeparator(folder));
    } catch (const platform::AppError &e) {
        outcome.fail(folder, e.description());
        host.error(e.description());
        return false;
    }
    // A file the listing could not take: recorded and asked about.
    const auto goOn = [&](const QString &path, const QString &description) {
        outcome.fail(path, description);
        if (host.continueAfter(description))
            return true;
        outcome.stopped = true;
        return false;
    };
    const auto count = listing.names().size();
    const auto pictures = std::count_if(listing.names().begin(), listing.names().end(),
                                        [allFormats](const QString &n) { return isListedPicture(n, allFormats); });
    int taken = 0, done = 0;
    QStringList leftOut;
    for (QString name = listing.first(); !name.isEmpty(); name = listing.next()) {
        if (!isListedPicture(name, allFormats)) {
            leftOut << name;
            continue;
        }
        // Stop ends the listing between pictures; what is listed stays listed.
        if (taken++ > 0 && platform::stopRequested()) {
            outcome.stopped = true;
            host.notice(tx("common.msg.listStopped").arg(QString::number(done), QString::number(pictures)),
                        tx("common.title.pixmar"));
            return false;
        }
        const QString path = entryPath(folder, name);
        platform::reportProgress(int(listing.position()) + 1, int(count), name);
        try {
            check(path);
            frames.push_back({path, delay});
            if (listed)
                listed(frames.back());
            ++done;
        } catch (const platform::AppError &e) {
            if (!goOn(path, e.description()))
                return false;
        }
    }
    // Pictures whose names are not UTF-8 cannot be opened by name: each one is an error of
    // the listing, never a frame silently missing.
    for (const QString &name : listing.namesNotUtf8()) {
        if (!isListedPicture(name, allFormats))
            continue;
        const QString path = entryPath(folder, name);
        if (!goOn(path, platform::AppError(platform::ErrorKind::NameNotUtf8, {path}).description()))
            return false;
    }
    // Taking every format, nothing is left out unsaid: what remains is no picture at all.
    if (allFormats && !leftOut.isEmpty())
        host.notice(tx("animgif.msg.leftOut").arg(folder, leftOut.join(shell::CRLF)), tx("common.title.pixmar"));
    return true;
}

GifBuilt buildGif(const std::vector<GifFrame> &frames, const QString &folder, QSize fitBox, cGDIP *gdip)
{
    GifBuilt r;
    const QString output = outputPath(folder);
    r.failed = output;
    // Without a library object (its start failed, and said so then) nothing can be built.
    r.failure = platform::AppError(platform::ErrorKind::ImagingFailed, {},
                                   cGDIP::StatusText(platform::gdiplus::GdiplusNotInitialized))
                    .description();
    r.frameCount = int(frames.size());
    if (!gdip)
        return r;
    cMultiPage writer;
    QStringList paths;
    std::vector<qint32> delays;
    for (const GifFrame &f : frames) {
        paths << f.path;
        delays.push_back(f.delay);
    }
    writer.shouldStop = [] { return platform::stopRequested(); };
    writer.fitBox = fitBox;
    std::optional<platform::AppError> why;
    platform::runAwayFromWindow([&](const platform::ProgressReport &report) {
        writer.onFrame = [&](qsizetype i, qsizetype n, const QString &path) {
            r.framesBegun = int(i);
            report(int(i) + 1, int(n), platform::fileNamePart(path));
        };
        r.written = writer.SaveMultipageGif(paths, delays, output, gdip, kLoopForever);
        r.stopped = !r.written && writer.FailureStatus() == platform::gdiplus::Aborted;
        // Telling why may mean reading a picture again: that too is kept off the window.
        if (!r.written && !r.stopped)
            why = writer.FailureError();
    });
    if (why) {
        r.failure = why->description();
        if (!writer.FailedFrame().isEmpty())
            r.failed = writer.FailedFrame();
    }
    return r;
}

bool tellBuilt(const GifBuilt &built, GifHost &host, shell::Outcome &outcome)
{
    if (built.stopped) {
        // Stopped: nothing was written, and an older GIF is as it was.
        outcome.stopped = true;
        host.notice(tx("animgif.msg.stopped")
                        .arg(QString::number(built.framesBegun + 1), QString::number(built.frameCount)),
                    tx("common.title.pixmar"));
        return false;
    }
    if (!built.written) {
        outcome.fail(built.failed, built.failure);
        host.error(built.failure);
        return false;
    }
    host.notice(tx("animgif.msg.created"), tx("common.title.pixmar"));
    return true;
}

} // namespace animgif
