#include "app/CliPictureTool.h"

#include "shell/Texts.h"
#include "shell/Helpers.h"
#include "tools/BatchRun.h"
#include "tools/PictureRun.h"
#include "platform/Files.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <memory>
#include <vector>

namespace app {

QString absolutePath(const QString &path)
{
    return path.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

platform::FontSpec FontArgs::applyTo(platform::FontSpec current) const
{
    if (!name.isEmpty())
        current.name = name;
    if (size > 0)
        current.size = size;
    current.bold = current.bold || bold;
    current.italic = current.italic || italic;
    return current;
}

Options fontOptions(FontArgs &out)
{
    return {
        {QStringLiteral("--font"), true, [&out](const QString &v) { out.name = v; return QString(); }},
        {QStringLiteral("--size"), true,
         [&out](const QString &v) {
             bool ok = false;
             out.size = v.toDouble(&ok);
             return ok && out.size > 0 ? QString() : QStringLiteral("--size takes a size in points");
         }},
        {QStringLiteral("--bold"), false, [&out](const QString &) { out.bold = true; return QString(); }},
        {QStringLiteral("--italic"), false, [&out](const QString &) { out.italic = true; return QString(); }},
    };
}

Option textOption(std::optional<QString> &out)
{
    return {QStringLiteral("--text"), true, [&out](const QString &v) { out = v; return QString(); }};
}

Option levelOption(const QStringList &levels, QString &out)
{
    return {QStringLiteral("--level"), true, [&levels, &out](const QString &v) {
                out = v.endsWith(QLatin1Char('%')) ? v : v + QLatin1Char('%');
                if (levels.contains(out))
                    return QString();
                return QStringLiteral("--level takes one of %1").arg(levels.join(QLatin1String(", ")));
            }};
}

bool checkSource(CliSession &session, const PictureToolArgs &args)
{
    if (args.file.isEmpty() == args.dir.isEmpty()) {
        session.badArguments(QStringLiteral("give either --file F or --dir D"));
        return false;
    }
    if ((args.marginGiven || args.markSizeGiven) && !args.anchorGiven) {
        session.badArguments(QStringLiteral("--margin and --mark-size go with --anchor"));
        return false;
    }
    if (args.anchorGiven && args.placementGiven) {
        session.badArguments(QStringLiteral("--anchor places the mark itself: leave out --placement"));
        return false;
    }
    return true;
}

tools::Job jobFrom(const PictureToolArgs &args, tools::ToolKind tool)
{
    tools::Job job = tools::Job::forTool(tool);
    job.file = absolutePath(args.file);
    job.folder = absolutePath(args.dir);
    job.target = absolutePath(args.target);
    if (args.hasClick)
        job.click = QPointF(args.atX, args.atY);
    job.output = args.output;
    if (args.anchorGiven)
        job.output.placement.mode = tools::PlacementMode::Anchored;
    return job;
}

namespace {

// A run on the command line: each message is printed (information on standard output, errors
// and input faults on standard error), "Continue?" is answered from --on-error. The load
// step's errors are held until it is known whether the run meets the same picture again: its
// "Continue?" then says it, and each error is printed once.
class CliRunHost : public tools::RunHost {
public:
    explicit CliRunHost(CliSession &session) : session_(session) {}

    void inputFault(const QString &text, const QString &title) override
    {
        tell(text, title, platform::MsgIcon::Information, platform::MsgRole::InputFault);
    }
    void error(const QString &description) override
    {
        tell(description, shell::tx("common.title.error"), platform::MsgIcon::Error, platform::MsgRole::Error);
    }
    bool continueAfter(const QString &description) override
    {
        return tell(description + shell::CRLF + shell::tx("common.continue"), shell::tx("common.title.error"),
                    platform::MsgIcon::Error, platform::MsgRole::Error, true);
    }
    void report(const QString &text, const QString &title) override
    {
        tell(text, title, platform::MsgIcon::Information, platform::MsgRole::Notice);
    }

    void hold() { holding_ = true; }
    // Prints what was held; its errors only when `errorsToo`.
    void release(bool errorsToo)
    {
        holding_ = false;
        for (const auto &m : held_)
            if (errorsToo || m.role != platform::MsgRole::Error)
                session_.print(m);
    }
    void releaseErrors()
    {
        for (const auto &m : held_)
            if (m.role == platform::MsgRole::Error)
                session_.print(m);
    }

private:
    bool tell(const QString &text, const QString &title, platform::MsgIcon icon, platform::MsgRole role,
              bool question = false)
    {
        const bool goOn = session_.say(text, title, icon, role, question, !holding_);
        if (holding_)
            held_.push_back(session_.toolkit.messages.back());
        return goOn;
    }

    CliSession &session_;
    bool holding_ = false;
    std::vector<CliSession::Message> held_;
};

} // namespace

int runPictureJob(CliSession &session, const tools::Job &job)
{
    CliRunHost host(session);
    const std::unique_ptr<tools::ToolRecipe> recipe = tools::makeRecipe(job);
    // A script that names one file wants that file done: one the tool does not take is a
    // fault of the command, not a run that reports success with the file skipped.
    const QStringList accepted =
        job.output.allFormats ? platform::formats::allPictureExtensions() : recipe->spec().accepted;
    if (!job.file.isEmpty() && !tools::isAcceptedExtension(platform::lowerExtension(job.file), accepted)) {
        host.inputFault(shell::tx("cli.msg.notAccepted")
                            .arg(QDir::toNativeSeparators(job.file), accepted.join(QLatin1String(", "))),
                        shell::tx("common.title.pixmar"));
        return kExitInputFault;
    }
    // A margin or size that leaves no room would mark no picture: refused before anything.
    if (const tools::MarkPlacement &p = job.output.placement; !p.leavesRoom()) {
        host.inputFault(shell::tx("common.msg.noRoom")
                            .arg(QString::number(p.marginPercent), QString::number(p.sizePercent)),
                        shell::tx("common.title.pixmar"));
        return kExitInputFault;
    }
    tools::PictureRun run(*recipe, host);
    run.setWatched(false);
    tools::applyJob(run, job);
    host.hold();
    run.load();
    const tools::RunOutcome loaded = run.outcome();
    using End = tools::RunOutcome::End;
    const bool runMeetsItAgain = loaded.end == End::LoadFailed && !run.curfile.isEmpty();
    host.release(!runMeetsItAgain);
    // Files there, none of them one the program can name (not UTF-8): failed, not refused.
    if (loaded.end == End::NoUsableFile)
        return kExitFailed;
    // Refused input, or nothing to process (a missing or empty folder, a missing file).
    if (loaded.end == End::InputFault || loaded.end == End::NothingToLoad || run.curfile.isEmpty())
        return kExitInputFault;
    if (job.click)
        run.clickAtPixels(job.click->x(), job.click->y());
    tools::chooseTurn(run, job);
    run.save();
    const tools::RunOutcome &ran = run.outcome();
    // A run refused before it reached the picture never said it: the load step's word stands.
    if (runMeetsItAgain && std::none_of(ran.failures.begin(), ran.failures.end(), [&](const auto &f) {
            return f.path == loaded.failures.front().path;
        }))
        host.releaseErrors();
    // A first picture that could not be shown failed as surely as one the run could not do;
    // a folder of which the tool took no file did nothing it was asked for.
    const bool noneTaken = ran.end == End::Reported && !job.folder.isEmpty() && ran.done == ran.invalid.size();
    return exitStatusOf(ran.refused,
                        ran.stopped || !ran.failures.empty() || !loaded.failures.empty() || noneTaken,
                        ran.end == End::Reported);
}

} // namespace app
