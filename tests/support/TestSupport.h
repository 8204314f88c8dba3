#pragma once
#include "platform/Toolkit.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <QTemporaryDir>

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

} // namespace testsupport
