#pragma once
#include "platform/Files.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

// Every entry of a folder, hidden ones included, with the bytes of each file: a run that
// loses, replaces or leaves behind anything shows up as a difference. Names are read as the
// file system holds them (platform::pathFromNative), so a name that is not UTF-8 is told apart
// from every other, byte for byte.
using FolderSnapshot = std::map<QString, QByteArray>;

inline FolderSnapshot snapshotFolder(const QString &folder)
{
    FolderSnapshot snap;
    const QByteArray base = platform::nativePath(platform::withSeparator(folder));
    DIR *dir = ::opendir(base.constData());
    if (!dir)
        return snap;
    while (const dirent *e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        if (name == "." || name == "..")
            continue;
        const QByteArray path = base + name;
        QByteArray &value = snap[platform::pathFromNative(name)];
        struct stat st;
        if (::lstat(path.constData(), &st) != 0) {
            value = "<gone>";
        } else if (S_ISLNK(st.st_mode)) {
            char target[4096];
            const ssize_t n = ::readlink(path.constData(), target, sizeof target);
            value = "link:" + QByteArray(target, n < 0 ? 0 : int(n));
        } else if (S_ISDIR(st.st_mode)) {
            value = "<folder>";
        } else {
            QFile f;
            const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
            value = fd >= 0 && f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle) ? f.readAll()
                                                                                           : QByteArray("<unreadable>");
        }
    }
    ::closedir(dir);
    return snap;
}

// Writes a file whose bytes tell it apart from every other one.
inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    f.write(bytes);
}

// The snapshot after renames: each name of `renames` moved to its new name, contents kept.
inline FolderSnapshot renamed(FolderSnapshot snap,
                              std::initializer_list<std::pair<QString, QString>> renames)
{
    FolderSnapshot moved;
    for (const auto &[from, to] : renames) {
        moved[to] = snap.at(from);
        snap.erase(from);
    }
    for (auto &[name, bytes] : moved)
        snap[name] = bytes;
    return snap;
}
