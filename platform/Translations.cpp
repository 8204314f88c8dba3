#include "platform/Translations.h"

#include "platform/Files.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QPointer>
#include <QTranslator>

Q_LOGGING_CATEGORY(lcTranslations, "pixmar.translations")

namespace platform {
namespace {

QPointer<QTranslator> g_malay;

} // namespace

// Installed with the data; a build that is run where it was built finds it in its own tree.
QString malayDialogFile()
{
    const QString installed = installPath(QStringLiteral("translations/qt_ms.qm"));
    if (QFileInfo(installed).isFile())
        return installed;
    return QStringLiteral(PIXMAR_BUILD_TRANSLATIONS_DIR "/qt_ms.qm");
}

void setDialogLanguage(bool malay)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || malay == !g_malay.isNull())
        return;
    if (!malay) {
        QCoreApplication::removeTranslator(g_malay);
        delete g_malay;
        return;
    }
    auto *translator = new QTranslator(app);
    const QString file = malayDialogFile();
    if (!translator->load(file)) {
        // The program's own texts are still Malay; only Qt's dialogs stay English.
        qCWarning(lcTranslations) << "cannot load" << file;
        delete translator;
        return;
    }
    QCoreApplication::installTranslator(translator);
    g_malay = translator;
}

bool dialogsInMalay() { return !g_malay.isNull(); }

} // namespace platform
