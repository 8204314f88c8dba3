// The texts of the error kinds: an error is told in the session's language with nothing of
// the other mixed in.
#include "platform/Errors.h"
#include "platform/Picture.h"
#include "shell/Texts.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using platform::AppError;
using platform::ErrorKind;

TEST(ErrorKinds, APictureCutShortIsToldWhollyInTheSessionsLanguage)
{
    testsupport::ScriptedFixture fx;
    QTemporaryDir tmp;
    const QByteArray jpeg = testsupport::jpegBytes(320, 240);
    const QByteArray bmp = testsupport::bitmapBytes(64, 48);
    const QString cutJpeg = tmp.filePath(QStringLiteral("cut.jpg"));
    const QString cutBmp = tmp.filePath(QStringLiteral("cut.bmp"));
    ASSERT_TRUE(testsupport::writeBytes(cutJpeg, jpeg.left(jpeg.size() / 2)));
    ASSERT_TRUE(testsupport::writeBytes(cutBmp, bmp.left(bmp.size() / 2)));
    for (const QString &file : {cutJpeg, cutBmp}) {
        SCOPED_TRACE(file.toStdString());
        try {
            platform::loadPicture(file);
            ADD_FAILURE() << "loaded";
        } catch (const AppError &e) {
            EXPECT_EQ(e.kind(), ErrorKind::PictureCutShort);
            shell::setVarbahasa(QStringLiteral("bm"));
            EXPECT_EQ(e.description(), "Gambar rosak, fail berakhir terlalu awal: " + file);
            shell::setVarbahasa(QStringLiteral("eng"));
            EXPECT_EQ(e.description(), "Damaged picture, the file ends too early: " + file);
        }
    }
}
