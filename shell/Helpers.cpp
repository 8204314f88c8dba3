#include "shell/Helpers.h"

#include "platform/Files.h"
#include "platform/Settings.h"
#include "platform/Toolkit.h"
#include "shell/Texts.h"

#include <QFileInfo>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QObject>
#include <cmath>

namespace shell {
namespace {

constexpr int kLastControlCode = 26;   // backspace, enter and control combinations pass
const char kDigits[] = "0123456789";
const char kNameChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_&";

void keepIfIn(int &keyAscii, const char *allowed)
{
    if (keyAscii >= 0 && keyAscii <= kLastControlCode)
        return;
    for (const char *p = allowed; *p; ++p)
        if (keyAscii == static_cast<unsigned char>(*p))
            return;
    keyAscii = 0;
}

class KeyFilter : public QObject {
public:
    KeyFilter(QObject *parent, void (*filter)(int &)) : QObject(parent), filter_(filter) {}

protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::InputMethod) {
            filterCommitted(static_cast<QInputMethodEvent *>(e));
            return false;
        }
        if (e->type() != QEvent::KeyPress)
            return false;
        auto *k = static_cast<QKeyEvent *>(e);
        const QString text = k->text();
        // Navigation and editing keys carry no character. Delete is one of them, though X11
        // and Wayland give it the text DEL (127): it edits the box and is no typed character.
        if (text.isEmpty() || k->key() == Qt::Key_Delete)
            return false;
        int code = text.at(0).unicode();
        filter_(code);
        return code == 0;
    }

private:
    // Characters composed with an input method are typed too, though they arrive as the
    // method's committed text rather than as key presses: each goes through the filter.
    void filterCommitted(QInputMethodEvent *e) const
    {
        const QString committed = e->commitString();
        QString kept;
        for (QChar c : committed) {
            int code = c.unicode();
            filter_(code);
            if (code != 0)
                kept += c;
        }
        if (kept != committed)
            e->setCommitString(kept, e->replacementStart(), e->replacementLength());
    }

    void (*filter_)(int &);
};

} // namespace

bool HasFile(const QString &path) { return platform::isPlainFile(path); }

void showMessage(const QString &text, const QString &title, platform::MsgIcon icon)
{
    platform::toolkit().messageBox(text, title, icon, platform::MsgButtons::OK,
                                   icon == platform::MsgIcon::Error ? platform::MsgRole::Error
                                                                    : platform::MsgRole::Notice);
}

void showInputFault(const QString &text, const QString &title)
{
    platform::toolkit().messageBox(text, title, platform::MsgIcon::Information,
                                   platform::MsgButtons::OK, platform::MsgRole::InputFault);
}

void showError(const QString &description)
{
    platform::toolkit().messageBox(description, tx("common.title.error"), platform::MsgIcon::Error,
                                   platform::MsgButtons::OK, platform::MsgRole::Error);
}

platform::MsgResult askContinue(const QString &description)
{
    return platform::toolkit().messageBox(description + CRLF + tx("common.continue"),
                                          tx("common.title.error"), platform::MsgIcon::Error,
                                          platform::MsgButtons::YesNo, platform::MsgRole::Error);
}

namespace {

QString lastFolderKey(const QWidget *owner)
{
    const QWidget *window = owner ? owner->window() : nullptr;
    const QString name = window && !window->objectName().isEmpty() ? window->objectName()
                                                                    : QStringLiteral("pixmar");
    return QStringLiteral("%1/lastFolder").arg(name);
}

void rememberFolder(const QWidget *owner, const QString &folder)
{
    if (!folder.isEmpty())
        platform::setSetting(lastFolderKey(owner), folder);
}

} // namespace

QString lastFolder(const QWidget *owner)
{
    const QString folder = platform::setting(lastFolderKey(owner)).toString();
    // A folder since removed would leave the dialog wherever the desktop puts it.
    return QFileInfo(folder).isDir() ? folder : QString();
}

QString BrowseForFolder(QWidget *owner)
{
    const QString chosen = platform::toolkit().browseForFolder(owner, lastFolder(owner));
    rememberFolder(owner, chosen);
    return chosen;
}

std::optional<QString> ShowOpen(QWidget *owner, const QString &filter, const QString &title)
{
    auto chosen = platform::toolkit().showOpen(filter, title, owner, lastFolder(owner));
    if (chosen)
        rememberFolder(owner, QFileInfo(*chosen).absolutePath());
    return chosen;
}

void KeyDigitsOnly(int &keyAscii) { keepIfIn(keyAscii, kDigits); }
void KeyNameCharsOnly(int &keyAscii) { keepIfIn(keyAscii, kNameChars); }

void installKeyFilter(QLineEdit *edit, void (*filter)(int &))
{
    edit->installEventFilter(new KeyFilter(edit, filter));
}

QString numberWithSign(double value)
{
    QString digits;
    const double mag = std::fabs(value);
    if (mag == std::floor(mag) && mag < 1e15)
        digits = QString::number(static_cast<qint64>(mag));
    else
        digits = QString::number(mag, 'g', 7);
    return (value < 0 ? QStringLiteral("-") : QStringLiteral(" ")) + digits;
}

QString pointerReadout(const QString &label, double x, double y)
{
    return label + numberWithSign(x) + QStringLiteral(", ") + numberWithSign(y);
}

QString applyDriveRootRule(const QString &folder)
{
    if (folder.size() >= 2 && folder.endsWith(QLatin1String(":\\")))
        return folder.left(1) + QLatin1Char(':');
    return folder;
}

QString folderForLabel(const QString &folder) { return platform::withSeparator(folder); }

} // namespace shell
