#pragma once
#include "platform/Toolkit.h"
#include <QString>
#include <optional>

class QLineEdit;
class QWidget;

// Small routines every window uses. They hold no state.
namespace shell {

// True when `path` names a plain file (no folder, no hidden file).
bool HasFile(const QString &path);

// The boxes every window shows. An OK box:
void showMessage(const QString &text, const QString &title,
                 platform::MsgIcon icon = platform::MsgIcon::Information);
// A refusal of the user's input (an information box, "Pixmar: ..." titles): the command
// ends without work.
void showInputFault(const QString &text, const QString &title);
// The description of a failed operation, under "Error".
void showError(const QString &description);
// The description of a file that failed in a run, followed by "Continue?", under "Error"
// with Yes and No.
platform::MsgResult askContinue(const QString &description);

// The folder picker ("Select Directory"), owned by `owner`; empty text on cancel.
// It starts in the folder that `owner`'s window used last (see lastFolder).
QString BrowseForFolder(QWidget *owner);
// The open-file dialog, owned by `owner`, starting in the folder its window used last;
// nothing on cancel.
std::optional<QString> ShowOpen(QWidget *owner, const QString &filter, const QString &title);
// The folder a window's file and folder dialogs last ended in, kept between sessions per
// window (empty before the first choice).
QString lastFolder(const QWidget *owner);

// Keystroke filters: called with a key's character code by reference. Codes 0 to 26 pass;
// any other character outside the filter's set becomes 0 (the key is swallowed).
void KeyDigitsOnly(int &keyAscii);
void KeyNameCharsOnly(int &keyAscii);
// Routes the keys typed into `edit` through `filter` (pasted text is not filtered).
void installKeyFilter(QLineEdit *edit, void (*filter)(int &));

// A number as text with a sign position: a blank before zero and positive values, "-"
// before negative ones, a fractional part only when there is one ("  120" style readouts).
QString numberWithSign(double value);
// The pointer readout: label + X + ", " + Y in the sign-position format.
QString pointerReadout(const QString &label, double x, double y);

// A folder chosen as a drive root ("D:\") is kept as "D:". On Linux the root folder "/"
// plays the drive root and stays as it is.
QString applyDriveRootRule(const QString &folder);
// The folder as the labels show it: followed by one separator ("/" never doubled).
QString folderForLabel(const QString &folder);

} // namespace shell
