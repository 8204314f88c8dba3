// Undo Rename in the window: the folder it undoes, and the listing after it.
#include "rename/frm_RenBulk.h"

#include "platform/Files.h"
#include "rename/ListBox.h"
#include "shell/Helpers.h"
#include "shell/Texts.h"

#include <QLineEdit>

using shell::tx;

void frm_RenBulk::mnu_undo_Click()
{
    if (isBusy())
        return;
    // The folder in the box, else the one this window renamed last, else one the user picks.
    QString folder = txtDirectory->text();
    if (folder.isEmpty())
        folder = lastRenamedFolder_;
    if (folder.isEmpty())
        folder = shell::BrowseForFolder(this);
    if (folder.isEmpty()) {
        outcome_ = {};
        outcome_.refused = true;
        shell::showInputFault(tx("common.msg.noSource"), tx("common.title.invalidFolder"));
        return;
    }
    undoRename(folder);
}

void frm_RenBulk::undoRename(const QString &folder)
{
    if (isBusy())
        return;
    Host host(*this);
    if (!renbulk::undoRename(folder, host, outcome_))
        return;
    // A listing of the folder shows the names it holds now.
    if (lstFiles1->count() > 0
        && platform::canonicalFolder(txtDirectory->text()) == platform::canonicalFolder(folder)) {
        lstFiles1->clear();
        ListFolder();
    }
}
