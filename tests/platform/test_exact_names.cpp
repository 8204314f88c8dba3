// Names carried byte for byte, files of the program's own written durably, and the lock that
// keeps two processes off one folder.
#include "platform/Errors.h"
#include "platform/FileLock.h"
#include "platform/Files.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace platform;

TEST(ExactNames, EveryByteSequenceComesBackAsItWasAndShowsItsStrayBytes)
{
    // Valid UTF-8 stays plain text; every kind of invalid sequence is carried, byte by byte:
    // a lone Latin-1 byte, a stray continuation byte, an overlong "/", an encoded surrogate,
    // a sequence cut short at the end, a code point past U+10FFFF and the bytes no lead takes.
    const QByteArray samples[] = {
        "plain name.jpg", "caf\xc3\xa9 \xe2\x82\xac.png", "b\xe9.jpg", "\x80start", "over\xc0\xafslash",
        "sur\xed\xa0\x80rogate", "cut\xe2\x82", "big\xf4\x90\x80\x80", "\xf5\xfe\xff", "-dash . dots..",
    };
    for (const QByteArray &bytes : samples) {
        SCOPED_TRACE(bytes.toHex().toStdString());
        const QString carried = pathFromNative(bytes);
        EXPECT_EQ(nativePath(carried), bytes);
        if (bytes.isValidUtf8())
            EXPECT_EQ(carried, QString::fromUtf8(bytes));
    }
    EXPECT_EQ(shownPath(pathFromNative("/p/b\xe9.jpg")), "/p/b\\xE9.jpg");
    EXPECT_EQ(shownPath(pathFromNative("sur\xed\xa0\x80")), "sur\\xED\\xA0\\x80");
    EXPECT_EQ(shownPath(QStringLiteral("caf\u00e9")), QStringLiteral("caf\u00e9"));
}

TEST(ExactNames, TheExactListingHoldsNamesThatAreNotUtf8InListingOrder)
{
    QTemporaryDir tmp;
    for (const QByteArray &n : {QByteArray("b.jpg"), QByteArray("A\xe9.jpg"), QByteArray("c.txt"),
                                QByteArray(".hidden\xe9")})
        ASSERT_TRUE(testsupport::writeBytesRawName(tmp.path(), n, "x"));
    QDir(tmp.path()).mkdir(QStringLiteral("folder"));
    const QStringList names = listPlainFilesExact(tmp.path());
    ASSERT_EQ(names.size(), 3);
    EXPECT_EQ(nativePath(names[0]), QByteArray("A\xe9.jpg"));
    EXPECT_EQ(names[1], "b.jpg");
    EXPECT_EQ(names[2], "c.txt");
    // The plain listing leaves it out; renameNoReplace reaches it by its carried name.
    EXPECT_EQ(listPlainFiles(tmp.path()), QStringList({"b.jpg", "c.txt"}));
    renameNoReplace(withSeparator(tmp.path()) + names[0], withSeparator(tmp.path()) + "a.jpg");
    EXPECT_TRUE(testsupport::existsRawName(tmp.path(), "a.jpg"));
    EXPECT_THROW(listPlainFilesExact(tmp.path() + "/none"), AppError);
    testsupport::removeRawNames(tmp.path());
}

TEST(OwnFiles, ADurableWriteReplacesWholeAndLeavesNoSibling)
{
    QTemporaryDir tmp;
    const QString path = tmp.filePath("state/journal");
    QDir().mkpath(tmp.filePath("state"));
    writeOwnFileDurably(path, "first");
    writeOwnFileDurably(path, "second, longer");
    EXPECT_EQ(testsupport::readBytes(path), "second, longer");
    EXPECT_EQ(QDir(tmp.filePath("state")).entryList(QDir::Files | QDir::Hidden), QStringList{"journal"});
    removeOwnFileDurably(path);
    removeOwnFileDurably(path);   // gone already: no error
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_THROW(writeOwnFileDurably(tmp.filePath("no/such/folder/file"), "x"), AppError);
}

TEST(OwnFiles, TheStateFolderFollowsXdgStateHomeAndIgnoresARelativeOne)
{
    const QByteArray saved = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", "/somewhere/state");
    EXPECT_EQ(stateFolder(), "/somewhere/state/pixmar");
    qputenv("XDG_STATE_HOME", "relative/state");
    EXPECT_EQ(stateFolder(), QDir::homePath() + "/.local/state/pixmar");
    qunsetenv("XDG_STATE_HOME");
    EXPECT_EQ(stateFolder(), QDir::homePath() + "/.local/state/pixmar");
    qputenv("XDG_STATE_HOME", saved);
}

TEST(FileLocks, OneHolderAtATimeAndTheLockGoesWithItsHolder)
{
    QTemporaryDir tmp;
    const QString path = tmp.filePath("locks/folder.lock");
    FileLock first;
    ASSERT_TRUE(first.tryTake(path));
    {
        // A second descriptor is another holder, as another process would be.
        FileLock second;
        EXPECT_FALSE(second.tryTake(path));
        EXPECT_FALSE(second.held());
    }
    first.release();
    FileLock third;
    EXPECT_TRUE(third.tryTake(path));
    EXPECT_EQ((QFile::permissions(tmp.filePath("locks")) & QFileDevice::ReadOther), 0);
}
