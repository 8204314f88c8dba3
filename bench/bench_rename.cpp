// The bulk rename on 10000 files: the window (listing, plan, journal, renames, both lists
// shown) against the bare renames the file system needs; the command with its journal against
// perl's rename (the "rename" package) doing the same renames; and --order taken over 2000
// JPEGs, with the bytes it reads against the bytes the files hold.
#include "BenchSupport.h"
#include "platform/Files.h"
#include "platform/Toolkit.h"
#include "rename/ListBox.h"
#include "rename/RenameOrder.h"
#include "rename/frm_RenBulk.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <exiv2/exiv2.hpp>

namespace {

constexpr int kFiles = 10000;
constexpr int kPhotos = 2000;
constexpr int kRounds = 3;

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

double msSince(const QElapsedTimer &t) { return double(t.nsecsElapsed()) / 1e6; }

// Runs a program to its end; its wall time in milliseconds.
double timed(const QString &program, const QStringList &args, const QProcessEnvironment &env,
             const QString &workDir = {})
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(workDir);
    p.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        qFatal("%s failed: %s", qPrintable(program), p.readAllStandardError().constData());
    return msSince(t);
}

QByteArray run(const QString &program, const QStringList &args, const QString &workDir = {})
{
    QProcess p;
    p.setWorkingDirectory(workDir);
    p.start(program, args);
    p.waitForFinished(-1);
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0 ? p.readAllStandardOutput() : QByteArray();
}

// Perl's rename from the "rename" package: installed, or fetched with its missing dependencies
// into `peer` and unpacked there (apt-get download and dpkg -x, as bench/lib.sh fetches
// peers): nothing is installed on the machine. Returns the program and sets PERL5LIB in `env`.
QString perlRename(const QString &peer, QProcessEnvironment &env)
{
    for (const char *name : {"file-rename", "prename"}) {
        const QString found = QStandardPaths::findExecutable(QLatin1String(name));
        if (!found.isEmpty())
            return found;
    }
    std::printf("fetching the rename package into a temporary folder ...\n");
    const QString sim = QString::fromUtf8(run("apt-get", {"-s", "install", "--no-install-recommends", "rename"}));
    QStringList missing;
    static const QRegularExpression inst(QStringLiteral("^Inst (\\S+)"), QRegularExpression::MultilineOption);
    for (auto it = inst.globalMatch(sim); it.hasNext();)
        missing << it.next().captured(1);
    if (missing.isEmpty() || run("apt-get", QStringList{"download"} + missing, peer).isNull())
        qFatal("could not fetch the rename package (no network or no package lists?)");
    for (const QString &deb : QDir(peer).entryList({"*.deb"}))
        run("dpkg", {"-x", peer + '/' + deb, peer + "/root"});
    env.insert("PERL5LIB", peer + "/root/usr/share/perl5");
    const QString program = peer + "/root/usr/bin/file-rename";
    if (!QFile::exists(program))
        qFatal("no file-rename in the rename package");
    return program;
}

qint64 bytesReadSoFar()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    const auto m = QRegularExpression(QStringLiteral("rchar: (\\d+)")).match(QString::fromLatin1(io.readAll()));
    return m.hasMatch() ? m.captured(1).toLongLong() : -1;
}

// A photograph-like JPEG with EXIF capture times; each copy gets its own date, written over
// the template's in place (same length), so that only the header differs.
void makePhotos(const QString &dir, qint64 &totalBytes)
{
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    bench::photo(1024).save(&buffer, "JPEG", 90);
    Exiv2::Image::AutoPtr image =
        Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte *>(jpeg.constData()), long(jpeg.size()));
    image->readMetadata();
    Exiv2::ExifData exif;
    exif["Exif.Photo.DateTimeOriginal"] = std::string("2024:01:01 00:00:00");
    exif["Exif.Photo.SubSecTimeOriginal"] = std::string("00");
    exif["Exif.Photo.OffsetTimeOriginal"] = std::string("+08:00");
    image->setExifData(exif);
    image->writeMetadata();
    Exiv2::BasicIo &io = image->io();
    io.open();
    QByteArray templ(qsizetype(io.size()), Qt::Uninitialized);
    io.seek(0, Exiv2::BasicIo::beg);
    io.read(reinterpret_cast<Exiv2::byte *>(templ.data()), long(templ.size()));
    io.close();
    const qsizetype at = templ.indexOf("2024:01:01 00:00:00");
    totalBytes = 0;
    for (int i = 0; i < kPhotos; ++i) {
        // Names of two cameras whose order disagrees with the times.
        const QString name = (i % 2 ? QStringLiteral("DSC_%1.jpg") : QStringLiteral("IMG_%1.jpg")).arg(i, 5, 10, QLatin1Char('0'));
        const int minute = (kPhotos - i) % 60, hour = ((kPhotos - i) / 60) % 24, day = 1 + (kPhotos - i) / 1440;
        const QByteArray stamp = QStringLiteral("2024:01:%1 %2:%3:00").arg(day, 2, 10, QLatin1Char('0'))
                                     .arg(hour, 2, 10, QLatin1Char('0')).arg(minute, 2, 10, QLatin1Char('0')).toLatin1();
        QByteArray bytes = templ;
        bytes.replace(at, stamp.size(), stamp);
        platform::writeFile(dir + '/' + name, bytes);
        totalBytes += bytes.size();
    }
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The journals of this run go to a folder of its own, never the user's state folder.
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", state.path().toUtf8());
    QApplication app(argc, argv);

    // ---- the window against the bare renames
    QTemporaryDir peerDir;
    const QStringList names = makeFiles(peerDir.path());
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < kFiles; ++i)
        platform::renameNoReplace(peerDir.path() + '/' + names[i],
                                  peerDir.path() + QStringLiteral("/Trip-%1.jpg").arg(i, 4, 10, QLatin1Char('0')));
    const double bareMs = msSince(t);

    QTemporaryDir dir;
    makeFiles(dir.path());
    double listMs = 0, renameMs = 0;
    QString report;
    {
        platform::ScriptedToolkit tk;
        platform::ScopedToolkit scoped(tk);
        frm_RenBulk w;
        w.activate();
        tk.folderAnswers.push_back(dir.path());
        t.restart();
        w.cmddir_Click();
        listMs = msSince(t);
        w.txtname->setText("Trip");
        t.restart();
        w.cmdRen_Click();
        renameMs = msSince(t);
        report = tk.lastMessage() ? tk.lastMessage()->text : QString();
    }
    std::printf("%d files: bare renames %.1f ms; window: listing %.1f ms, rename with journal %.1f ms (%s)\n",
                kFiles, bareMs, listMs, renameMs, qPrintable(report));

    // ---- the command with its journal against perl's rename, both whole processes
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_STATE_HOME", state.path());
    QTemporaryDir peer;
    const QString perl = perlRename(peer.path(), env);
    double pixmarBest = 1e300, perlBest = 1e300;
    for (int round = 0; round < kRounds; ++round) {
        QTemporaryDir a, b;
        makeFiles(a.path());
        const QStringList files = makeFiles(b.path());
        pixmarBest = std::min(pixmarBest, timed(PIXMAR_BINARY, {"rename", a.path(), "--prefix", "Trip"}, env));
        // The same renames: IMG_nnnnn.jpg in name order to Trip-nnnn.jpg.
        perlBest = std::min(perlBest, timed(perl, QStringList{"s/^IMG_(\\d+)\\.jpg$/sprintf(\"Trip-%04d.jpg\",$1)/e"} + files,
                                            env, b.path()));
        if (QDir(a.path()).entryList(QDir::Files) != QDir(b.path()).entryList(QDir::Files))
            qFatal("pixmar and perl's rename gave different names");
    }
    std::printf("%d files, whole commands (best of %d): pixmar rename with journal %.1f ms, perl rename %.1f ms; "
                "ratio %.2f (goal: at most 2)\n",
                kFiles, kRounds, pixmarBest, perlBest, pixmarBest / perlBest);

    // ---- --order taken over 2000 JPEGs
    QTemporaryDir photos;
    qint64 total = 0;
    makePhotos(photos.path(), total);
    QStringList paths;
    for (const QString &n : QDir(photos.path()).entryList(QDir::Files))
        paths << photos.path() + '/' + n;
    double orderBest = 1e300;
    qint64 readBytes = 0;
    QStringList ordered;
    for (int round = 0; round < kRounds; ++round) {
        const qint64 before = bytesReadSoFar();
        t.restart();
        ordered = renbulk::orderPaths(paths, renbulk::Order::Taken);
        orderBest = std::min(orderBest, msSince(t));
        readBytes = bytesReadSoFar() - before;
    }
    if (!ordered.first().endsWith(QStringLiteral("IMG_%1.jpg").arg(kPhotos - 2, 5, 10, QLatin1Char('0')))
        && !ordered.first().endsWith(QStringLiteral("DSC_%1.jpg").arg(kPhotos - 1, 5, 10, QLatin1Char('0'))))
        qFatal("the photos were not put in the order they were taken: %s first", qPrintable(ordered.first()));
    const double takenCmd = timed(PIXMAR_BINARY, {"rename", photos.path(), "--prefix", "P", "--order", "taken", "--dry-run"}, env);
    const double nameCmd = timed(PIXMAR_BINARY, {"rename", photos.path(), "--prefix", "P", "--dry-run"}, env);
    std::printf("%d JPEGs (%.1f MB): ordering by date taken %.1f ms (best of %d, files in the page cache), "
                "reading %.1f kB of them (%.2f%% of their bytes, %.1f kB a file); whole dry runs: --order "
                "taken %.1f ms, --order name %.1f ms\n",
                kPhotos, double(total) / 1e6, orderBest, kRounds, double(readBytes) / 1e3,
                100.0 * double(readBytes) / double(total), double(readBytes) / 1e3 / kPhotos, takenCmd, nameCmd);
    return 0;
}
