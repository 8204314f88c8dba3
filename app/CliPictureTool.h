#pragma once
#include "app/Cli.h"
#include "platform/Toolkit.h"
#include "tools/Job.h"

#include <optional>

namespace app {

// Font options of the text tools: --font NAME --size PT --bold --italic.
struct FontArgs {
    QString name;
    double size = 0;
    bool bold = false, italic = false;
    // The tool's starting font with the given options applied.
    platform::FontSpec applyTo(platform::FontSpec current) const;
};
// --font NAME --size PT --bold --italic.
Options fontOptions(FontArgs &out);
// --text TEXT.
Option textOption(std::optional<QString> &out);
// --level N% (the "%" may be left out), one of `levels`.
Option levelOption(const QStringList &levels, QString &out);

// The job the picture tool options give: the file or folder, the target, the click and the
// output, for `tool` as its window starts.
tools::Job jobFrom(const PictureToolArgs &args, tools::ToolKind tool);

// Runs a picture tool's job as the user would in its window: Load Picture, the click, then
// Save. An input fault of the load step, or a load step that leaves nothing to process, ends
// the command with kExitInputFault; an error of the first picture is printed and the run still
// starts. Returns the exit status.
int runPictureJob(CliSession &session, const tools::Job &job);

// The path as the dialogs give it: absolute and clean, whatever was typed.
QString absolutePath(const QString &path);

// --file and --dir: exactly one of them. Returns false (after reporting) otherwise.
bool checkSource(CliSession &session, const PictureToolArgs &args);

} // namespace app
