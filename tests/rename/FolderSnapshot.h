#pragma once
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <map>

// Every entry of a folder, hidden ones included, with the bytes of each file: a run that
// loses, replaces or leaves behind anything shows up as a difference.
using FolderSnapshot = std::map<QString, QByteArray>;

inline FolderSnapshot snapshotFolder(const QString &folder)
{
    FolderSnapshot snap;
    const QDir dir(folder);
    const auto infos = dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System
                                         | QDir::NoDotAndDotDot);
    for (const QFileInfo &info : infos) {
        if (info.isSymLink())
            snap[info.fileName()] = "link:" + QFile::encodeName(info.symLinkTarget());
        else if (info.isDir())
            snap[info.fileName()] = "<folder>";
        else {
            QFile f(info.filePath());
            snap[info.fileName()] = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
        }
    }
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
