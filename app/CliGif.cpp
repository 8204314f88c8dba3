#include "app/Cli.h"

namespace app {

// Placeholder until the tool's own command is built: refuses with a usage fault.
int cliGif(CliSession &s, const QStringList &)
{
    return s.badArguments(QStringLiteral("the gif command is not available yet"));
}

} // namespace app
