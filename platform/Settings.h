#pragma once
#include <QString>
#include <QVariant>

// What the windows remember between sessions (last folders, options). One small file in the
// user's configuration folder ($XDG_CONFIG_HOME/pixmar/pixmar.conf), or the file named by
// PIXMAR_CONFIG, so that tests and scripted runs never touch the user's own settings.
// The command line reads none of it: a command does what its arguments say.
namespace platform {

QVariant setting(const QString &key, const QVariant &defaultValue = {});
void setSetting(const QString &key, const QVariant &value);
// The file in use (for tests and --help).
QString settingsPath();
// Off for the command line: every setting reads as its default and nothing is written.
void setSettingsEnabled(bool enabled);

} // namespace platform
