#pragma once
#include "platform/Toolkit.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <cstdio>

namespace testsupport {

// A scripted toolkit installed for the test's lifetime, with the fixed screen of the tests
// (15 twips per pixel, 1920 pixels wide).
class ScriptedFixture {
public:
    ScriptedFixture() : scoped_(tk) {}
    platform::ScriptedToolkit tk;

private:
    platform::ScopedToolkit scoped_;
};

// A solid-colour picture written to `path` in the format its extension names.
bool writeSolid(const QString &path, int w, int h, QColor color);
// A picture with a distinct colour per pixel (so turns and shifts show).
QImage gradientImage(int w, int h);
// Writes raw bytes (for broken files).
bool writeBytes(const QString &path, const QByteArray &bytes);
QByteArray readBytes(const QString &path);

// Sends a standard stream (stdout, stderr) into a file for the lifetime of the object, so
// that a command run in-process can be read back.
class Captured {
public:
    explicit Captured(FILE *stream);
    ~Captured() { restore(); }
    Captured(const Captured &) = delete;
    Captured &operator=(const Captured &) = delete;
    QString text();

private:
    void restore();
    FILE *stream_;
    int fd_;
    int saved_ = -1;
    QTemporaryFile file_;
};

} // namespace testsupport
