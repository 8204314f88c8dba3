// The bulk rename window on 10000 files (listing, plan, renames, both lists shown) against
// the bare renames the file system needs for the same files.
#include "platform/Files.h"
#include "platform/Toolkit.h"
#include "rename/ListBox.h"
#include "rename/frm_RenBulk.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <cstdio>

namespace {

constexpr int kFiles = 10000;

QStringList makeFiles(const QString &dir)
{
    QStringList names;
    for (int i = 0; i < kFiles; ++i) {
        const QString name = QStringLiteral("IMG_%1.jpg").arg(i, 5, 10, QLatin1Char('0'));
        QFile f(dir + '/' + name);
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(f.fileName()));
        names << name;
    }
    return names;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    // Peer: one rename per file and nothing else.
    QTemporaryDir peerDir;
    const QStringList names = makeFiles(peerDir.path());
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < kFiles; ++i)
        platform::renameNoReplace(peerDir.path() + '/' + names[i],
                                  peerDir.path() + QStringLiteral("/Trip-%1.jpg").arg(i, 4, 10, QLatin1Char('0')));
    const double bareMs = double(t.nsecsElapsed()) / 1e6;

    QTemporaryDir dir;
    makeFiles(dir.path());
    platform::ScriptedToolkit tk;
    platform::ScopedToolkit scoped(tk);
    frm_RenBulk w;
    w.activate();
    tk.folderAnswers.push_back(dir.path());
    t.restart();
    w.cmddir_Click();
    const double listMs = double(t.nsecsElapsed()) / 1e6;
    w.txtname->setText("Trip");
    t.restart();
    w.cmdRen_Click();
    const double renameMs = double(t.nsecsElapsed()) / 1e6;
    const QString report = tk.lastMessage() ? tk.lastMessage()->text : QString();

    std::printf("%d files: bare renames %.1f ms; window: listing %.1f ms, rename %.1f ms (%s)\n",
                kFiles, bareMs, listMs, renameMs, qPrintable(report));
    std::printf("window rename / bare renames: %.2f; program's own work in the rename: %.1f ms\n",
                renameMs / bareMs, renameMs - bareMs);
    return 0;
}
