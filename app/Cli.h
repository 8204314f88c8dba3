#pragma once
#include "platform/Toolkit.h"
#include "shell/Outcome.h"
#include "tools/OutputOptions.h"
#include <QStringList>
#include <QTextStream>
#include <functional>
#include <vector>
#include <cstdio>
#include <signal.h>

// The command line: every tool runs headless through the same window classes, driven by a
// scripted toolkit that answers the dialogs from the arguments and prints each message box.
namespace app {

// Exit statuses.
constexpr int kExitOk = 0;          // the run ended with its report and no file failed
constexpr int kExitFailed = 1;      // a file failed or the run was stopped
constexpr int kExitInputFault = 2;  // an input fault or bad arguments

// The exit status of a command: an input fault when it was refused and did not finish; a
// failure when a file failed, it was stopped or it did not finish; else success.
int exitStatusOf(bool refused, bool failed, bool finished);
// The same from what a window recorded; `finished` is what counts as the command's end
// (the GIF built, the rename run).
int exitStatusOf(const shell::Outcome &outcome, bool finished);

class CliSession {
public:
    CliSession();
    ~CliSession();

    platform::ScriptedToolkit toolkit;
    bool onErrorStop = false;        // --on-error stop: answer "Continue?" with No

    // Prints a usage fault to standard error and gives kExitInputFault.
    int badArguments(const QString &why);

    // A message of a command, printed as every message is (information on standard output,
    // errors and input faults on standard error) unless `print` is false, and kept in the
    // toolkit's record. A question ("Continue?") is answered Yes, skip the file, unless
    // --on-error stop: the answer is returned.
    using Message = platform::ScriptedToolkit::Message;
    bool say(const QString &text, const QString &title, platform::MsgIcon icon, platform::MsgRole role,
             bool question = false, bool print = true);
    // Prints a message kept earlier without printing.
    void print(const Message &m);

private:
    // The session's toolkit is in use for its lifetime; the one before comes back after it.
    platform::ScopedToolkit installed_{toolkit};
    bool progressShown = false;
    // SIGINT and SIGTERM ask the running command to stop after the file in hand; the
    // handlers before the session come back after it.
    struct sigaction previousInt_ {}, previousTerm_ {};
};

// Options shared by the picture tools: (--file F | --dir D) --target T [--at X,Y].
struct PictureToolArgs {
    QString file;
    QString dir;
    QString target;
    bool hasClick = false;
    double atX = 0, atY = 0;   // pixels from the fitted picture's top-left corner
    tools::OutputOptions output;   // --quality N, --original-size, --keep-metadata
    // --placement, --anchor, --margin, --mark-size as given (the marking tools)
    bool placementGiven = false, anchorGiven = false, marginGiven = false, markSizeGiven = false;
};

// Writes the text and a line break to `stream` in UTF-8 and flushes it, so that output keeps
// its order with the other stream.
void writeLine(std::FILE *stream, const QString &text);

// One option of a command: its name, whether a value follows it, and what it does with the
// value. `apply` returns why a value is refused, or an empty text.
struct Option {
    QString name;
    bool takesValue = true;
    std::function<QString(const QString &value)> apply;
};
using Options = std::vector<Option>;
// Reads a command's words against its options. A word that is no option goes to `word` (which
// returns why it is refused, or an empty text); without `word` it is refused. The first fault
// is reported and ends the reading with false.
bool parseOptions(const QStringList &args, const Options &options, const QString &command,
                  CliSession &session, const std::function<QString(const QString &)> &word = {});
// The picture tools' (--file F | --dir D) --target T, and [--at X,Y] when the tool takes a click.
Options pictureToolOptions(PictureToolArgs &out, bool withClick = true);

// Each tool's command; args are the words after the tool name.
int cliText(CliSession &s, const QStringList &args);
int cliWatermark(CliSession &s, const QStringList &args);
int cliLogo(CliSession &s, const QStringList &args);
int cliRotate(CliSession &s, const QStringList &args);
int cliGif(CliSession &s, const QStringList &args);
int cliRename(CliSession &s, const QStringList &args);

// Runs a tool command when args (without the program name) start with one, after the
// global options; returns -1 when they name no tool (the caller opens the main window).
int runCommandLine(const QStringList &args);
QString usageText();
QString versionText();

// What the arguments (without the program name) ask for. --help, -h, --version and
// --screenshot count only where an option may stand, not as the value of another option
// (a rename prefix "-h", a text "--help").
enum class Request { MainWindow, Help, Version, Screenshot, Command };
Request requestOf(const QStringList &args);
// True when `option` stands in an option position of args.
bool hasOption(const QStringList &args, const QString &option);
// The --lang value, checked: "bm" or "eng". Returns false (after reporting) for another.
bool checkLanguage(const QString &lang);

} // namespace app
