#include "app/Cli.h"
#include "app/Screenshot.h"
#include "shell/frmUtama.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    QStringList raw;
    for (int i = 1; i < argc; ++i)
        raw << QString::fromLocal8Bit(argv[i]);
    const bool headless = !raw.isEmpty();
    if (raw.contains(QLatin1String("--help")) || raw.contains(QLatin1String("-h"))) {
        std::fputs(app::usageText().toUtf8().constData(), stdout);
        return 0;
    }
    // Commands and screenshots need no display.
    if (headless && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pixmar"));
    if (raw.contains(QLatin1String("--screenshot")))
        return app::runScreenshot(raw);
    if (!raw.isEmpty()) {
        const int status = app::runCommandLine(raw);
        if (status >= 0)
            return status;
        std::fprintf(stderr, "pixmar: unknown arguments (see pixmar --help)\n");
        return app::kExitInputFault;
    }
    frmUtama main;
    main.activate();
    return qapp.exec();
}
