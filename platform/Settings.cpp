#include "platform/Settings.h"

#include <QSettings>
#include <QStandardPaths>
#include <memory>

namespace platform {
namespace {

QSettings &store()
{
    // Re-read the location each time it changes, so a test can point it elsewhere.
    static QString path;
    static std::unique_ptr<QSettings> settings;
    const QString wanted = settingsPath();
    if (!settings || wanted != path) {
        path = wanted;
        settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
    }
    return *settings;
}

bool g_enabled = true;

} // namespace

void setSettingsEnabled(bool enabled) { g_enabled = enabled; }

QString settingsPath()
{
    const QString explicitPath = qEnvironmentVariable("PIXMAR_CONFIG");
    if (!explicitPath.isEmpty())
        return explicitPath;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/pixmar/pixmar.conf");
}

QVariant setting(const QString &key, const QVariant &defaultValue)
{
    if (!g_enabled)
        return defaultValue;
    return store().value(key, defaultValue);
}

void setSetting(const QString &key, const QVariant &value)
{
    if (!g_enabled)
        return;
    QSettings &s = store();
    s.setValue(key, value);
    s.sync();
}

} // namespace platform
