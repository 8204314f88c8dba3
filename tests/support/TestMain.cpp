#include "shell/Texts.h"

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // Test programs also run outside ctest (and during test discovery): never need a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("PIXMAR_HOME"))
        qputenv("PIXMAR_HOME", PIXMAR_SOURCE_DATA_DIR);
    // Settings the windows remember go to a file of this run, never the user's own.
    QTemporaryDir configDir;
    if (qEnvironmentVariableIsEmpty("PIXMAR_CONFIG"))
        qputenv("PIXMAR_CONFIG", configDir.filePath(QStringLiteral("pixmar.conf")).toUtf8());
    shell::installCatalogue();
    // So do the journals of renames: never into the user's state folder, whatever it is.
    QTemporaryDir stateDir;
    qputenv("XDG_STATE_HOME", stateDir.path().toUtf8());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
