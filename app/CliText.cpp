#include "app/Cli.h"

namespace app {

// Placeholder until the tool's own command is built: refuses with a usage fault.
int cliText(CliSession &s, const QStringList &)
{
    return s.badArguments(QStringLiteral("the text command is not available yet"));
}

} // namespace app
