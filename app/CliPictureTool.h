#pragma once
#include "app/Cli.h"
#include "platform/Toolkit.h"

#include <functional>
#include <optional>

namespace tools { class ToolWindow; }

namespace app {

// Font options of the text tools: --font NAME --size PT --bold --italic.
struct FontArgs {
    QString name;
    double size = 0;
    bool bold = false, italic = false;
    bool given() const { return !name.isEmpty() || size > 0 || bold || italic; }
    // The dialog's answer: the current settings with the given options applied.
    platform::FontSpec applyTo(platform::FontSpec current) const;
};
// --font NAME --size PT --bold --italic.
Options fontOptions(FontArgs &out);
// --text TEXT.
Option textOption(std::optional<QString> &out);
// --level N% (the "%" may be left out), one of `levels`.
Option levelOption(const QStringList &levels, QString &out);

// The steps a user takes in a picture tool window, on the command line: Single (--file) or
// Bulk (--dir) with the file or folder, the target, the tool's own options (`setOptions`),
// Load Picture (`load`), the click (--at), then the run (`save`). An input fault shown by
// the load step, or a load step that leaves nothing to process, ends the command with
// kExitInputFault; an error shown for the first picture is printed and the run still starts.
// Returns the exit status.
int runPictureTool(CliSession &session, tools::ToolWindow &window, const PictureToolArgs &args,
                   const std::function<void()> &setOptions, const std::function<void()> &load,
                   const std::function<void()> &save);

// The path as the dialogs give it: absolute and clean, whatever was typed.
QString absolutePath(const QString &path);

// --file and --dir: exactly one of them. Returns false (after reporting) otherwise.
bool checkSource(CliSession &session, const PictureToolArgs &args);

} // namespace app
