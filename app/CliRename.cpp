#include "app/Cli.h"

#include "platform/Files.h"
#include "rename/ListBox.h"
#include "rename/RenameOrder.h"
#include "rename/frm_RenBulk.h"
#include "shell/Helpers.h"
#include "shell/Texts.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QSignalBlocker>

namespace app {
namespace {

// --dry-run: the listing and the preview the window shows as the prefix is typed, printed as
// "old -> new", a taken name marked as the preview marks it. Nothing moves.
int dryRun(frm_RenBulk &window, const QString &prefix)
{
    if (!renbulk::prefixIsSafe(renbulk::effectivePrefix(prefix))) {
        // The refusal Rename gives.
        shell::showInputFault(shell::tx("renbulk.msg.badPrefix"), shell::tx("renbulk.title.badPrefix"));
        return kExitInputFault;
    }
    window.txtname->setText(prefix);
    const renbulk::RenamePlan &plan = window.previewPlan();
    for (qsizetype i = 0; i < qsizetype(plan.entries.size()); ++i) {
        const renbulk::RenameEntry &e = plan.entries[size_t(i)];
        QString line = platform::shownPath(e.oldPath) + QStringLiteral(" -> ") + platform::shownPath(e.newPath);
        if (window.previewClashes().contains(i))
            line += shell::tx("renbulk.preview.taken");
        writeLine(stdout, line);
    }
    if (plan.limitReached)
        writeLine(stdout, shell::tx("renbulk.msg.limit"));
    writeLine(stdout, shell::tx("renbulk.dryRun.report").arg(plan.entries.size()));
    return window.previewClashes().isEmpty() ? kExitOk : kExitInputFault;
}

} // namespace

// pixmar rename DIR --prefix P [--order name|taken|modified] [--dry-run]: the folder button
// answered with DIR (a rename of it cut short is rolled back first), the prefix entered as
// pasted text (the window's own refusal guards it), then Rename.
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

    frm_RenBulk window;
    window.Form_Activate();
    if (undo) {
        window.undoRename(folder.absoluteFilePath());
        return exitStatusOf(window.outcome(), window.outcome().undone);
    }
    window.setOrder(order.value_or(renbulk::Order::Name), false);
    window.onInterrupted = dry ? frm_RenBulk::OnInterrupted::Leave : frm_RenBulk::OnInterrupted::RollBack;
    s.toolkit.folderAnswers.push_back(folder.absoluteFilePath());
    window.cmddir_Click();
    // A rename cut short that could not be rolled back, or a journal that is refused, stops
    // the command before it renames anything else; a dry run only says so.
    if (window.outcome().recoveryFailed || window.outcome().interruptedLeft)
        return window.outcome().refused || window.outcome().interruptedLeft ? kExitInputFault : kExitFailed;
    if (dry)
        return dryRun(window, prefix);
    {
        // Nobody looks at the preview here: the run makes its own checks.
        const QSignalBlocker noPreview(window.txtname);
        window.txtname->setText(prefix);
    }
    // Each new path is printed as it is reached.
    window.lstFiles2->onItemAdded = [](const QString &path) { writeLine(stdout, platform::shownPath(path)); };
    window.cmdRen_Click();

    // A refused run (a name taken outside the run, a bad prefix) is an input fault even
    // though the window reports 0 files: it did not run.
    return exitStatusOf(window.outcome(), window.outcome().ran);
}

} // namespace app
