#include "app/Cli.h"

#include <algorithm>

#include "platform/Progress.h"
#include "platform/Settings.h"
#include "shell/Texts.h"

#include <QFileInfo>
#include <cmath>
#include <optional>
#include <cstdio>
#include <unistd.h>

namespace app {
namespace {

// --at is a point on a preview: far beyond any picture (or not a number at all) it is a
// typing error, and the windows keep their positions as whole numbers.
constexpr double kMaxClickPixels = 1e6;

bool isClickCoordinate(double v) { return std::isfinite(v) && std::abs(v) <= kMaxClickPixels; }

// "3%" or "3": a percentage from 0 to 100.
std::optional<double> percentOf(QString v)
{
    if (v.endsWith(QLatin1Char('%')))
        v.chop(1);
    bool ok = false;
    const double p = v.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(p) || p < 0 || p > 100)
        return std::nullopt;
    return p;
}

// A message box's text: its CR LF line breaks become the terminal's.
void writeOut(FILE *stream, QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    writeLine(stream, text);
}

// The options that take the next argument as their value, of every command.
const QStringList &valueOptions()
{
    static const QStringList options = {
        QStringLiteral("--lang"),   QStringLiteral("--on-error"), QStringLiteral("--screenshot"),
        QStringLiteral("--window"), QStringLiteral("--file"),     QStringLiteral("--dir"),
        QStringLiteral("--target"), QStringLiteral("--text"),     QStringLiteral("--font"),
        QStringLiteral("--size"),   QStringLiteral("--color"),    QStringLiteral("--at"),
        QStringLiteral("--logo"),   QStringLiteral("--level"),    QStringLiteral("--delay"),
        // The bulk rename's order, and the folder a screenshot of its window lists.
        QStringLiteral("--order"),  QStringLiteral("--folder"),
        QStringLiteral("--prefix"), QStringLiteral("--step"),
        // Where marks go.
        QStringLiteral("--format"),
        QStringLiteral("--placement"), QStringLiteral("--anchor"), QStringLiteral("--margin"),
        QStringLiteral("--mark-size")};
    return options;
}

} // namespace

bool hasOption(const QStringList &args, const QString &option)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == option)
            return true;
        if (valueOptions().contains(args[i]))
            ++i;   // its value, whatever it looks like
    }
    return false;
}

Request requestOf(const QStringList &args)
{
    if (args.isEmpty())
        return Request::MainWindow;
    if (hasOption(args, QStringLiteral("--help")) || hasOption(args, QStringLiteral("-h")))
        return Request::Help;
    if (hasOption(args, QStringLiteral("--version")))
        return Request::Version;
    if (hasOption(args, QStringLiteral("--screenshot")))
        return Request::Screenshot;
    return Request::Command;
}

QString versionText() { return QStringLiteral("pixmar " PIXMAR_VERSION "\n"); }

bool checkLanguage(const QString &lang)
{
    if (lang == QLatin1String("bm") || lang == QLatin1String("eng"))
        return true;
    writeOut(stderr, QStringLiteral("pixmar: --lang takes bm or eng (see pixmar --help)"));
    return false;
}

namespace {

extern "C" void onStopSignal(int) { platform::requestStop(); }

} // namespace

CliSession::CliSession()
{
    platform::clearStop();
    struct sigaction stop {};
    stop.sa_handler = onStopSignal;
    sigemptyset(&stop.sa_mask);
    // A read or write under way goes on: the loops look at the request between files.
    stop.sa_flags = SA_RESTART;
    sigaction(SIGINT, &stop, &previousInt_);
    sigaction(SIGTERM, &stop, &previousTerm_);
    // A command does what its arguments say and leaves the windows' memory alone.
    platform::setSettingsEnabled(false);
    toolkit.onMessage = [this](const platform::ScriptedToolkit::Message &m) {
        if (progressShown) {
            std::fputs("\r\033[K", stderr);
            progressShown = false;
        }
        writeOut(m.role == platform::MsgRole::Notice ? stdout : stderr, m.text);
    };
    // "Continue?" is answered Yes (skip the file) unless --on-error stop.
    toolkit.defaultAnswer = platform::MsgResult::Yes;
    if (isatty(STDERR_FILENO)) {
        toolkit.onProgress = [this](int i, int n, const QString &name) {
            const QByteArray line = QStringLiteral("\r\033[K%1/%2 %3").arg(i).arg(n).arg(name).toUtf8();
            std::fputs(line.constData(), stderr);
            std::fflush(stderr);
            progressShown = true;
        };
    }
}

CliSession::~CliSession()
{
    if (progressShown)
        std::fputs("\r\033[K", stderr);
    sigaction(SIGINT, &previousInt_, nullptr);
    sigaction(SIGTERM, &previousTerm_, nullptr);
    platform::clearStop();
    platform::setSettingsEnabled(true);
}

bool CliSession::say(const QString &text, const QString &title, platform::MsgIcon icon, platform::MsgRole role,
                     bool question, bool print)
{
    const bool goOn = !onErrorStop;
    toolkit.record({text, title, icon, question ? platform::MsgButtons::YesNo : platform::MsgButtons::OK,
                    question ? (goOn ? platform::MsgResult::Yes : platform::MsgResult::No) : platform::MsgResult::OK,
                    role},
                   print);
    return goOn;
}

void CliSession::print(const Message &m)
{
    if (toolkit.onMessage)
        toolkit.onMessage(m);
}

int CliSession::badArguments(const QString &why)
{
    writeOut(stderr, QStringLiteral("pixmar: %1 (see pixmar --help)").arg(why));
    return kExitInputFault;
}

int exitStatusOf(bool refused, bool failed, bool finished)
{
    if (refused && !finished)
        return kExitInputFault;
    if (failed || !finished)
        return kExitFailed;
    return kExitOk;
}

int exitStatusOf(const shell::Outcome &outcome, bool finished)
{
    return exitStatusOf(outcome.refused, outcome.stopped || !outcome.failures.empty(), finished);
}

void writeLine(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

bool parseOptions(const QStringList &args, const Options &options, const QString &command,
                  CliSession &session, const std::function<QString(const QString &)> &word)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        const auto it = std::find_if(options.begin(), options.end(),
                                     [&a](const Option &o) { return o.name == a; });
        QString fault;
        if (it != options.end()) {
            QString value;
            if (it->takesValue) {
                if (i + 1 >= args.size()) {
                    session.badArguments(QStringLiteral("%1 needs a value").arg(a));
                    return false;
                }
                value = args[++i];
            }
            fault = it->apply(value);
        } else if (a.startsWith(QLatin1String("--")) || !word) {
            fault = QStringLiteral("unknown option %1 for %2").arg(a, command);
        } else {
            fault = word(a);
        }
        if (!fault.isEmpty()) {
            session.badArguments(fault);
            return false;
        }
    }
    return true;
}

Options pictureToolOptions(PictureToolArgs &out, bool withClick)
{
    Options o = {
        {QStringLiteral("--file"), true, [&out](const QString &v) { out.file = v; return QString(); }},
        {QStringLiteral("--dir"), true, [&out](const QString &v) { out.dir = v; return QString(); }},
        {QStringLiteral("--target"), true, [&out](const QString &v) { out.target = v; return QString(); }},
    };
    if (withClick)
        o.push_back({QStringLiteral("--at"), true, [&out](const QString &v) {
                         const QStringList xy = v.split(QLatin1Char(','));
                         bool okX = false, okY = false;
                         if (xy.size() == 2) {
                             out.atX = xy[0].trimmed().toDouble(&okX);
                             out.atY = xy[1].trimmed().toDouble(&okY);
                         }
                         out.hasClick = true;
                         if (!okX || !okY || !isClickCoordinate(out.atX) || !isClickCoordinate(out.atY))
                             return QStringLiteral("--at takes X,Y in pixels");
                         return QString();
                     }});
    if (withClick) {
        using tools::PlacementMode;
        o.push_back({QStringLiteral("--placement"), true, [&out](const QString &v) {
                         out.placementGiven = true;
                         if (v == QLatin1String("clicked"))
                             out.output.placement.mode = PlacementMode::Clicked;
                         else if (v == QLatin1String("relative"))
                             out.output.placement.mode = PlacementMode::Relative;
                         else
                             return QStringLiteral("--placement takes clicked or relative");
                         return QString();
                     }});
        o.push_back({QStringLiteral("--anchor"), true, [&out](const QString &v) {
                         out.anchorGiven = true;
                         const auto anchor = tools::anchorNamed(v);
                         if (!anchor)
                             return QStringLiteral("--anchor takes one of nw, n, ne, w, c, e, sw, s, se");
                         out.output.placement.anchor = *anchor;
                         return QString();
                     }});
        const auto percent = [&out](const QString &name, bool &given, double tools::MarkPlacement::*field) {
            return Option{name, true, [&out, &given, field, name](const QString &v) {
                              given = true;
                              const auto p = percentOf(v);
                              if (!p)
                                  return QStringLiteral("%1 takes a percentage from 0 to 100").arg(name);
                              out.output.placement.*field = *p;
                              return QString();
                          }};
        };
        o.push_back(percent(QStringLiteral("--margin"), out.marginGiven, &tools::MarkPlacement::marginPercent));
        o.push_back(percent(QStringLiteral("--mark-size"), out.markSizeGiven, &tools::MarkPlacement::sizePercent));
    }
    o.push_back({QStringLiteral("--quality"), true, [&out](const QString &v) {
                     bool ok = false;
                     out.output.quality = v.toInt(&ok);
                     if (!ok || !tools::OutputOptions::qualityAllowed(out.output.quality))
                         return QStringLiteral("--quality takes a number from 1 to 100");
                     return QString();
                 }});
    o.push_back({QStringLiteral("--original-size"), false,
                 [&out](const QString &) { out.output.originalSize = true; return QString(); }});
    o.push_back({QStringLiteral("--format"), true, [&out](const QString &v) {
                     if (v == QLatin1String("same")) {
                         out.output.format.reset();
                         return QString();
                     }
                     for (const auto id : tools::kOutputFormatChoices)
                         if (platform::formats::get(id).extensions.contains(QLatin1Char('.') + v)) {
                             out.output.format = id;
                             return QString();
                         }
                     return QStringLiteral("--format takes jpg, png, tif, webp or same");
                 }});
    o.push_back({QStringLiteral("--all-formats"), false,
                 [&out](const QString &) { out.output.allFormats = true; return QString(); }});
    o.push_back({QStringLiteral("--keep-metadata"), false,
                 [&out](const QString &) { out.output.keepMetadata = true; return QString(); }});
    o.push_back({QStringLiteral("--jobs"), true, [&out](const QString &v) {
                     bool ok = false;
                     out.output.jobs = v.toInt(&ok);
                     if (!ok || out.output.jobs < 1 || !tools::OutputOptions::jobsAllowed(out.output.jobs))
                         return QStringLiteral("--jobs takes a number from 1 to %1")
                             .arg(tools::OutputOptions::kMaxJobs);
                     return QString();
                 }});
    return o;
}

QString usageText()
{
    return QStringLiteral(
        "Usage:\n"
        "  pixmar                                  open the main window\n"
        "  pixmar --screenshot FILE [--window NAME] [--lang bm|eng]\n"
        "                                          render a window offscreen to a PNG file\n"
        "                                          (frm_RenBulk: [--folder DIR] [--prefix P]\n"
        "                                          lists DIR and types P; frm_Addtext,\n"
        "                                          frm_Watertext, frm_WaterLogo: loads DIR,\n"
        "                                          clicks text P at the middle, [--step I]\n"
        "                                          shows picture I of DIR)\n"
        "  pixmar --help | -h | --version\n"
        "  pixmar [--lang bm|eng] [--on-error stop|continue] TOOL ARGS...\n"
        "\n"
        "Tools:\n"
        "  text      (--file F | --dir D) --target T --text TEXT [--font NAME] [--size PT]\n"
        "            [--bold] [--italic] [--color NAME] [--at X,Y] [PLACE] [OUTPUT]\n"
        "  watermark (--file F | --dir D) --target T --text TEXT [--font NAME] [--size PT]\n"
        "            [--bold] [--italic] [--level N%] [--at X,Y] [PLACE] [OUTPUT]\n"
        "  logo      (--file F | --dir D) --target T --logo L [--level N%] [--at X,Y]\n"
        "            [PLACE] [OUTPUT]\n"
        "  rotate    (--file F | --dir D) --target T (--plus | --minus) [OUTPUT]\n"
        "            [--lossless]\n"
        "  gif       [--fit WxH] [--all-formats] --delay N DIR [--delay N DIR ...]\n"
        "  rename    DIR --prefix P\n"
        "            [--order name|taken|modified] [--dry-run]\n"
        "            or: rename --undo DIR\n"
        "\n"
        "--at X,Y is the click on the preview, in pixels from the fitted picture's top-left\n"
        "corner; without it there is no click. --color is one of black, blue, red, yellow,\n"
        "green, magenta, cyan, white. gif lists each DIR with the delay given before it (in\n"
        "hundredths of a second, 0 to 60000; 0 counts as 1) and writes Pixmar-anim.gif into\n"
        "the last DIR. --fit WxH scales pictures larger than W x H down to fit inside it,\n"
        "keeping their proportions (smaller ones keep their size; without it every picture\n"
        "keeps its size). rename prints each new path as it is renamed.\n"
        "\n"
        "PLACE (text, watermark, logo) is where the mark goes on each picture of a folder:\n"
        "--placement clicked (the default) draws it at the --at pixels on every picture;\n"
        "--placement relative keeps --at as a fraction of the first picture's size and the\n"
        "mark's size as a fraction of its shorter side, for each picture its own. --anchor\n"
        "nw|n|ne|w|c|e|sw|s|se puts it at a corner, an edge's middle or the centre, --margin\n"
        "P% (3% without it) of the picture's shorter side from the edges, --mark-size P% (20%\n"
        "without it) of the picture's width wide. Relative and anchored marks are moved\n"
        "inward, or made smaller, so that every picture shows the whole mark; a picture no\n"
        "size of it fits on is a failed file.\n"
        "\n"
        "rename --order numbers the files by name (the default), by when each picture was\n"
        "taken (its EXIF date and time; files without one after them, by modification time)\n"
        "or by when each file was last modified. --dry-run prints each old and new name and\n"
        "changes nothing. Every rename first writes a journal under $XDG_STATE_HOME/pixmar\n"
        "(~/.local/state/pixmar): rename --undo DIR gives the files of the last rename of DIR\n"
        "their old names back, refusing (nothing moved) when one of them has since been\n"
        "renamed, removed or replaced or a name they need is taken. A rename that was cut\n"
        "short (killed, power lost) is rolled back first by the next rename of DIR, which\n"
        "says so, or entirely by rename --undo DIR. A folder being renamed by another pixmar\n"
        "is refused.\n"
        "\n"
        "OUTPUT is any of: --quality N, the JPEG quality from 1 to 100 (75 without it);\n"
        "--original-size, the output at the picture's own size (upright) with what is drawn\n"
        "scaled to it, instead of the picture fitted to the window; --keep-metadata, the\n"
        "photo information (EXIF, XMP, IPTC, colour profile) copied to the output. rotate\n"
        "--lossless (with --original-size) turns JPEGs without re-encoding them where their\n"
        "sides are whole blocks. --jobs N works a folder's pictures on N threads (one per\n"
        "processor core without it); the outputs are the same whatever N is. --all-formats\n"
        "takes every picture the program reads, by its content (JPEG as .jpg .jpeg .jpe\n"
        ".jfif, PNG, BMP, TIFF, WebP, GIF's first frame, HEIC/HEIF and AVIF), instead of\n"
        "the tool's own list, and writes each output in its source's format (a GIF as PNG;\n"
        "HEIC and AVIF as themselves where the HEIF library can encode them, else as JPEG),\n"
        "named for it, in sRGB. --format jpg|png|tif|webp writes every output in that\n"
        "format, named for it (JPEG, WebP, HEIC and AVIF at --quality); same (the default)\n"
        "keeps each in its source's. Two pictures whose outputs would take one name (a.jpg\n"
        "and a.png as PNG): the second is a failed file, the first output is kept. With\n"
        "either, a transparent picture stays transparent where the output format holds it\n"
        "(PNG, TIFF, WebP, HEIC, AVIF; turned too), and a mark drawn over its clear parts\n"
        "shows there.\n"
        "\n"
        "Each command takes the steps a user takes in the window. Information boxes are printed\n"
        "on standard output, errors and input faults on standard error; the completion report\n"
        "comes last on standard output. A \"Continue?\" question is answered Yes (skip the\n"
        "file) unless --on-error stop is given. --lang chooses the language of the messages\n"
        "(English when it is not given). On a terminal, long runs show their progress (file\n"
        "i of n) on standard error.\n"
        "\n"
        "Exit status: 0 when the run ends with its report and no file failed; 1 when a file\n"
        "failed, the run was stopped, or a folder held no file the tool takes; 2 for an input\n"
        "fault or bad arguments, a --file the tool does not take among them.\n"
        "\n"
        "Pictures and backgrounds come from the installation folder ($PIXMAR_HOME overrides it).\n");
}

int runCommandLine(const QStringList &argsIn)
{
    QStringList args = argsIn;
    QString lang = QStringLiteral("eng");
    bool stop = false;
    while (!args.isEmpty()) {
        const QString a = args.front();
        if (a == QLatin1String("--lang")) {
            if (!checkLanguage(args.value(1)))
                return kExitInputFault;
            lang = args[1];
            args.remove(0, 2);
        } else if (a == QLatin1String("--on-error")) {
            if (args.size() < 2
                || (args[1] != QLatin1String("stop") && args[1] != QLatin1String("continue"))) {
                CliSession s;
                return s.badArguments(QStringLiteral("--on-error takes stop or continue"));
            }
            stop = args[1] == QLatin1String("stop");
            args.remove(0, 2);
        } else {
            break;
        }
    }
    if (args.isEmpty())
        return -1;
    using Command = int (*)(CliSession &, const QStringList &);
    const std::pair<const char *, Command> commands[] = {
        {"text", cliText},     {"watermark", cliWatermark}, {"logo", cliLogo},
        {"rotate", cliRotate}, {"gif", cliGif},             {"rename", cliRename}};
    for (const auto &[name, run] : commands) {
        if (args.front() == QLatin1String(name)) {
            shell::setVarbahasa(lang);
            CliSession session;
            session.onErrorStop = stop;
            session.toolkit.defaultAnswer = stop ? platform::MsgResult::No : platform::MsgResult::Yes;
            return run(session, args.mid(1));
        }
    }
    return -1;
}

} // namespace app
