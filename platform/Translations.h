#pragma once

// Qt's own dialogs (file and folder dialogs, the font dialog, the input box, the buttons of
// the message boxes) in the interface language: Malay installs the translation shipped with
// the program, English removes it again.
#include <QString>

namespace platform {

void setDialogLanguage(bool malay);
// Whether the Malay dialog translation is installed.
bool dialogsInMalay();
// The compiled Malay translation in use: installed with the data, or in the build tree.
QString malayDialogFile();

} // namespace platform
