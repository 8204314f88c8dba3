#include "app/Cli.h"

#include "rename/ListBox.h"
#include "rename/frm_RenBulk.h"

#include <QFileInfo>
#include <QLineEdit>

namespace app {

// pixmar rename DIR --prefix P: the folder button answered with DIR, the prefix entered as
// pasted text (the window's own refusal guards it), then Rename.
int cliRename(CliSession &s, const QStringList &args)
{
    QString dir;
    QString prefix;
    bool havePrefix = false;
    const Options options = {{QStringLiteral("--prefix"), true, [&](const QString &v) {
                                  prefix = v;
                                  havePrefix = true;
                                  return QString();
                              }}};
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
    if (!havePrefix)
        return s.badArguments(QStringLiteral("rename needs --prefix P"));
    const QFileInfo folder(dir);
    if (!folder.isDir())
        return s.badArguments(QStringLiteral("%1 is not a folder").arg(dir));

    frm_RenBulk window;
    window.Form_Activate();
    window.lstFiles2->onItemAdded = [](const QString &path) { writeLine(stdout, path); };
    s.toolkit.folderAnswers.push_back(folder.absoluteFilePath());
    window.cmddir_Click();
    window.txtname->setText(prefix);
    window.cmdRen_Click();

    // A refused run (a name taken outside the run, a bad prefix) is an input fault even
    // though the window reports 0 files: it did not run.
    return exitStatusOf(window.outcome(), window.outcome().ran);
}

} // namespace app
