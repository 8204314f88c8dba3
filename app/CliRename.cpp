#include "app/Cli.h"

namespace app {

// Placeholder until the tool's own command is built: refuses with a usage fault.
int cliRename(CliSession &s, const QStringList &)
{
    return s.badArguments(QStringLiteral("the rename command is not available yet"));
}

} // namespace app
