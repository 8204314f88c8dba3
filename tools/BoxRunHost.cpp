#include "tools/BoxRunHost.h"

#include "shell/Helpers.h"

namespace tools {

void BoxRunHost::inputFault(const QString &text, const QString &title)
{
    shell::showInputFault(text, title);
}

void BoxRunHost::error(const QString &description) { shell::showError(description); }

bool BoxRunHost::continueAfter(const QString &description)
{
    return shell::askContinue(description) == platform::MsgResult::Yes;
}

void BoxRunHost::report(const QString &text, const QString &title) { shell::showMessage(text, title); }

} // namespace tools
