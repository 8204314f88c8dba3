#include "app/Cli.h"

#include "platform/Files.h"
#include "rename/RenameOrder.h"
#include "rename/RenamePlan.h"
#include "rename/RenameRun.h"
#include "shell/Texts.h"

#include <QFileInfo>
#include <QSet>

namespace app {
namespace {

// The rename command's messages, printed as every command's are; each new path goes to
// standard output as it is reached.
class RenameCliHost : public renbulk::RenameHost {
public:
    explicit RenameCliHost(CliSession &session) : session_(session) {}
    void notice(const QString &text, const QString &title) override
    {
        session_.say(text, title, platform::MsgIcon::Information, platform::MsgRole::Notice);
    }
    void error(const QString &description) override
    {
        session_.say(description, shell::tx("common.title.error"), platform::MsgIcon::Error,
                     platform::MsgRole::Error);
    }
    void inputFault(const QString &text, const QString &title) override
    {
        session_.say(text, title, platform::MsgIcon::Information, platform::MsgRole::InputFault);
    }
    // Not reached by the command, which rolls back or leaves a rename cut short without asking.
    bool ask(const QString &text, const QString &title) override
    {
        return session_.say(text, title, platform::MsgIcon::Question, platform::MsgRole::Notice, true);
    }
    void listed(const QString &path) override { paths << path; }
    void renamed(const QString &, const QString &newPath) override
    {
        writeLine(stdout, platform::shownPath(newPath));
    }

    QStringList paths;   // the listing

private:
    CliSession &session_;
};

// --dry-run: the listing and the preview the window shows as the prefix is typed, printed as
// "old -> new", a taken name marked as the preview marks it. Nothing moves.
int dryRun(const QStringList &paths, const QString &prefix, RenameCliHost &host)
{
    if (!renbulk::prefixIsSafe(renbulk::effectivePrefix(prefix))) {
        // The refusal Rename gives.
        host.inputFault(shell::tx("renbulk.msg.badPrefix"), shell::tx("renbulk.title.badPrefix"));
        return kExitInputFault;
    }
    // As the preview: nothing shown without files or a prefix.
    renbulk::RenamePlan plan;
    QSet<qsizetype> clashes;
    if (!paths.isEmpty() && !prefix.isEmpty()) {
        plan = renbulk::planRename(paths, prefix);
        for (qsizetype i : renbulk::findClashes(plan))
            clashes.insert(i);
    }
    for (qsizetype i = 0; i < qsizetype(plan.entries.size()); ++i) {
        const renbulk::RenameEntry &e = plan.entries[size_t(i)];
        QString line = platform::shownPath(e.oldPath) + QStringLiteral(" -> ") + platform::shownPath(e.newPath);
        if (clashes.contains(i))
            line += shell::tx("renbulk.preview.taken");
        writeLine(stdout, line);
    }
    if (plan.limitReached)
        writeLine(stdout, shell::tx("renbulk.msg.limit"));
    writeLine(stdout, shell::tx("renbulk.dryRun.report").arg(plan.entries.size()));
    return clashes.isEmpty() ? kExitOk : kExitInputFault;
}

} // namespace

// pixmar rename DIR --prefix P [--order name|taken|modified] [--dry-run]: DIR listed as the
// window lists a chosen folder (a rename of it cut short is rolled back first), then renamed as
// the window's Rename does, the prefix guarded by the same refusal.
// pixmar rename --undo DIR: the window's Undo Rename on DIR.
int cliRename(CliSession &s, const QStringList &args)
{
    QString dir;
    QString prefix;
    bool havePrefix = false, dry = false, undo = false;
    std::optional<renbulk::Order> order;
    const Options options = {
        {QStringLiteral("--prefix"), true, [&](const QString &v) {
             prefix = v;
             havePrefix = true;
             return QString();
         }},
        {QStringLiteral("--order"), true, [&](const QString &v) {
             order = renbulk::orderFromWord(v);
             return order ? QString() : QStringLiteral("--order takes name, taken or modified");
         }},
        {QStringLiteral("--dry-run"), false, [&](const QString &) { dry = true; return QString(); }},
        {QStringLiteral("--undo"), false, [&](const QString &) { undo = true; return QString(); }},
    };
    const bool read = parseOptions(args, options, QStringLiteral("rename"), s, [&dir](const QString &w) {
        if (!dir.isEmpty())
            return QStringLiteral("rename takes one folder");
        dir = w;
        return QString();
    });
    if (!read)
        return kExitInputFault;
    if (dir.isEmpty())
        return s.badArguments(QStringLiteral("rename needs a folder"));
    if (undo && (havePrefix || dry || order))
        return s.badArguments(QStringLiteral("rename --undo takes only a folder"));
    if (!undo && !havePrefix)
        return s.badArguments(QStringLiteral("rename needs --prefix P"));
    const QFileInfo folder(dir);
    if (!folder.isDir())
        return s.badArguments(QStringLiteral("%1 is not a folder").arg(dir));

    RenameCliHost host(s);
    RenBulkOutcome outcome;
    const QString path = folder.absoluteFilePath();
    if (undo) {
        renbulk::undoRename(path, host, outcome);
        return exitStatusOf(outcome, outcome.undone);
    }
    renbulk::settleInterrupted(path, dry ? renbulk::OnInterrupted::Leave : renbulk::OnInterrupted::RollBack, host,
                               outcome);
    renbulk::listFolder(platform::withSeparator(path), host, outcome);
    const QStringList paths = renbulk::orderListing(host.paths, order.value_or(renbulk::Order::Name));
    // A rename cut short that could not be rolled back, or a journal that is refused, stops
    // the command before it renames anything else; a dry run only says so.
    if (outcome.recoveryFailed || outcome.interruptedLeft)
        return outcome.refused || outcome.interruptedLeft ? kExitInputFault : kExitFailed;
    if (dry)
        return dryRun(paths, prefix, host);
    renbulk::renameListed(paths, prefix, host, outcome);
    // A refused run (a name taken outside the run, a bad prefix) is an input fault even
    // though the report says 0 files: it did not run.
    return exitStatusOf(outcome, outcome.ran);
}

} // namespace app
