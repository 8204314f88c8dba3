#include "rename/RenameMessages.h"

#include "platform/Files.h"
#include "shell/Helpers.h"
#include "shell/Texts.h"

using shell::tx;

namespace renbulk {
namespace {

QString shown(const QString &path) { return platform::shownPath(path); }

QString faultText(const FolderState &state)
{
    switch (state.fault) {
    case JournalFault::Truncated: return tx("renbulk.journal.truncated");
    case JournalFault::Corrupt: return tx("renbulk.journal.corrupt");
    case JournalFault::OtherFolder: return tx("renbulk.journal.otherFolder").arg(shown(state.detail));
    case JournalFault::OtherUser: return tx("renbulk.journal.otherUser");
    case JournalFault::Unreadable: return tx("renbulk.journal.unreadable").arg(state.detail);
    }
    return {};
}

} // namespace

QString notRestoredLines(const std::vector<std::pair<QString, QString>> &notRestored)
{
    QString text;
    for (const auto &[home, now] : notRestored)
        text += shell::CRLF + shown(home) + QStringLiteral(" -> ") + shown(now);
    return text;
}

void showJournalRefused(const FolderState &state, const QString &folder, RenameHost &host, shell::Outcome &record)
{
    record.refused = true;
    host.inputFault(tx("renbulk.msg.journalUnusable").arg(shown(folder), faultText(state), state.journalPath),
                          tx("renbulk.title.journal"));
}

void showFolderBusy(const QString &folder, RenameHost &host, shell::Outcome &record)
{
    record.refused = true;
    host.inputFault(tx("renbulk.msg.busy").arg(shown(folder)), tx("renbulk.title.busy"));
}

void showReadOnly(const QString &folder, RenameHost &host, shell::Outcome &record)
{
    record.refused = true;
    host.inputFault(tx("renbulk.msg.readOnly").arg(shown(folder)), tx("common.title.pixmar"));
}

bool showSettled(const SettleOutcome &o, const QString &folder, const char *doneKey, RenameHost &host, shell::Outcome &record)
{
    switch (o.result) {
    case SettleOutcome::Refused:
        if (o.readOnly) {
            showReadOnly(folder, host, record);
        } else {
            record.refused = true;
            QString text;
            if (!o.changedFile.isEmpty())
                text = tx("renbulk.msg.undoChanged").arg(shown(o.changedFile));
            else if (!o.blockedFile.isEmpty())
                text = tx("renbulk.msg.blocked").arg(shown(o.blockedFile), shown(o.blockedName));
            else
                text = tx("renbulk.msg.journalNotWritten").arg(o.journalError);
            host.inputFault(text, tx("renbulk.title.undo"));
        }
        return false;
    case SettleOutcome::Failed: {
        record.fail(o.failedPath, o.description);
        QString text = tx("renbulk.msg.settleFailed").arg(shown(o.failedPath), o.description);
        if (!o.notRestored.empty())
            text += shell::CRLF + tx("renbulk.msg.notRestored") + notRestoredLines(o.notRestored);
        host.error(text);
        return false;
    }
    case SettleOutcome::Settled: break;
    }
    QString text = tx(doneKey).arg(shown(folder), QString::number(o.files));
    if (!o.missing.isEmpty()) {
        // Gone from the folder (another program removed or renamed them): nothing to put back.
        text += shell::CRLF + tx("renbulk.msg.missing");
        for (const QString &m : o.missing) {
            text += shell::CRLF + shown(m);
            record.fail(m, tx("err.fileNotFound").arg(shown(m)));
        }
        host.error(text);
        return true;
    }
    host.notice(text, tx("common.title.pixmar"));
    return true;
}

} // namespace renbulk
