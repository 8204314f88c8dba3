#include "app/Cli.h"
#include "app/Screenshot.h"
#include "shell/Texts.h"
#include "shell/frmUtama.h"

#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QThreadPool>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QtMessageHandler g_defaultHandler = nullptr;

// The offscreen platform says of every window operation it leaves out that it does not
// support it; on the command line that is noise, not news.
void quietOffscreen(QtMsgType type, const QMessageLogContext &context, const QString &msg)
{
    if (type == QtWarningMsg && msg.startsWith(QLatin1String("This plugin does not support")))
        return;
    g_defaultHandler(type, context, msg);
}

// Qt warns when the runtime folder is unset (as for root on a bare machine) and then uses
// the same private folder this makes.
void ensureRuntimeDir()
{
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return;
    const QByteArray dir = QFile::encodeName(QDir::tempPath()) + "/runtime-" + QByteArray::number(getuid());
    ::mkdir(dir.constData(), 0700);
    struct stat st;
    if (::stat(dir.constData(), &st) == 0 && st.st_uid == getuid() && (st.st_mode & 077) == 0)
        qputenv("XDG_RUNTIME_DIR", dir);
}

} // namespace

int main(int argc, char *argv[])
{
    shell::installCatalogue();
    QStringList raw;
    for (int i = 1; i < argc; ++i)
        raw << QString::fromLocal8Bit(argv[i]);
    const app::Request request = app::requestOf(raw);
    if (request == app::Request::Help) {
        std::fputs(app::usageText().toUtf8().constData(), stdout);
        return 0;
    }
    if (request == app::Request::Version) {
        std::fputs(app::versionText().toUtf8().constData(), stdout);
        return 0;
    }
    const bool headless = request != app::Request::MainWindow;
    // Commands and screenshots need no display.
    if (headless && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ensureRuntimeDir();
    g_defaultHandler = qInstallMessageHandler(quietOffscreen);
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pixmar"));
    // Reading the system's font settings is a good part of start-up, and the first window or
    // text mark waits for it: it is read on the pool while the rest is set up.
    QThreadPool::globalInstance()->start([] { QFontDatabase::families(); });
    if (request == app::Request::Screenshot)
        return app::runScreenshot(raw);
    if (request == app::Request::Command) {
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
