// The program's arguments before any tool runs: what they ask for, and the global options.
#include "app/Cli.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using app::Request;

TEST(CommandLine, HelpVersionAndScreenshotCountOnlyWhereAnOptionMayStand)
{
    EXPECT_EQ(app::requestOf({}), Request::MainWindow);
    EXPECT_EQ(app::requestOf({"--help"}), Request::Help);
    EXPECT_EQ(app::requestOf({"-h"}), Request::Help);
    EXPECT_EQ(app::requestOf({"gif", "--delay", "10", "/pics", "--help"}), Request::Help);
    EXPECT_EQ(app::requestOf({"--version"}), Request::Version);
    EXPECT_EQ(app::requestOf({"--lang", "bm", "--screenshot", "x.png"}), Request::Screenshot);
    EXPECT_EQ(app::requestOf({"rename", "/pics", "--prefix", "X"}), Request::Command);
    // Values that look like options are values: "-h" is a prefix the name filter lets through,
    // any text may be inserted.
    EXPECT_EQ(app::requestOf({"rename", "/pics", "--prefix", "-h"}), Request::Command);
    EXPECT_EQ(app::requestOf({"text", "--file", "a.jpg", "--target", "/out", "--text", "--help"}),
              Request::Command);
    EXPECT_EQ(app::requestOf({"watermark", "--text", "--screenshot", "--dir", "/pics"}),
              Request::Command);
    EXPECT_EQ(app::requestOf({"--lang", "--version"}), Request::Command);
}

TEST(CommandLine, ALanguageOtherThanBmOrEngIsRefusedBeforeAnythingRuns)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(testsupport::writeBytes(tmp.filePath("a.jpg"), "a"));
    testsupport::Captured out(stdout), err(stderr);
    for (const QStringList &args :
         {QStringList{"--lang", "BM", "rename", tmp.path(), "--prefix", "X"},
          QStringList{"--lang", "rename", tmp.path(), "--prefix", "X"},
          QStringList{"--lang"}})
        EXPECT_EQ(app::runCommandLine(args), app::kExitInputFault) << args.join(' ').toStdString();
    EXPECT_EQ(app::runCommandLine({"--on-error"}), app::kExitInputFault);
    EXPECT_EQ(out.text(), "");
    const QString printed = err.text();
    EXPECT_EQ(printed.count("--lang takes bm or eng"), 3);
    EXPECT_TRUE(printed.contains("--on-error takes stop or continue"));
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files), QStringList{"a.jpg"});
}

TEST(CommandLine, ASessionPutsBackTheToolkitItFoundAndScopesNest)
{
    platform::Toolkit *const desktop = &platform::toolkit();
    {
        platform::ScriptedToolkit outer, inner;
        platform::ScopedToolkit outerScope(outer);
        {
            platform::ScopedToolkit innerScope(inner);
            EXPECT_EQ(&platform::toolkit(), &inner);
        }
        EXPECT_EQ(&platform::toolkit(), &outer);
        {
            // A command run inside a test answers its own dialogs, then the test's come back.
            app::CliSession session;
            EXPECT_EQ(&platform::toolkit(), &session.toolkit);
            {
                app::CliSession nested;
                EXPECT_EQ(&platform::toolkit(), &nested.toolkit);
            }
            EXPECT_EQ(&platform::toolkit(), &session.toolkit);
        }
        EXPECT_EQ(&platform::toolkit(), &outer);
        outer.folderAnswers.push_back(QStringLiteral("/pics"));
        EXPECT_EQ(platform::toolkit().browseForFolder(nullptr), QStringLiteral("/pics"));
    }
    EXPECT_EQ(&platform::toolkit(), desktop);
}
