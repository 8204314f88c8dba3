// The texts of the error kinds: every kind has its own in both languages, and an error is
// told in the session's language with nothing of the other mixed in.
#include "platform/Errors.h"
#include "platform/Picture.h"
#include "shell/Texts.h"
#include "support/TestSupport.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <set>
#include <string>

using platform::AppError;
using platform::ErrorKind;

namespace {

// The values a text names, in order: "%1 ... %3 %2" gives {1, 2, 3}.
std::set<int> placeholders(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("%(\\d)"));
    std::set<int> out;
    for (auto it = number.globalMatch(text); it.hasNext();)
        out.insert(it.next().captured(1).toInt());
    return out;
}

} // namespace

TEST(ErrorKinds, EachHasItsOwnTextInBothLanguagesNamingTheSameValues)
{
    // The scaled loader's and the pixel helper's texts have always been English in both.
    const std::set<ErrorKind> englishInBoth = {ErrorKind::PictureNotLoaded, ErrorKind::BitsPerPixel,
                                               ErrorKind::PaletteNotMatched};
    EXPECT_EQ(platform::textKey(ErrorKind::Described), nullptr);
    std::set<std::string> keys;
    for (int i = 0; i < platform::kErrorKindCount; ++i) {
        const auto kind = ErrorKind(i);
        if (kind == ErrorKind::Described)
            continue;
        const char *key = platform::textKey(kind);
        ASSERT_NE(key, nullptr) << "kind " << i;
        SCOPED_TRACE(key);
        EXPECT_TRUE(keys.insert(key).second) << "two kinds share a text";
        ASSERT_TRUE(shell::hasText(key));
        const QString bm = shell::tx(key, QStringLiteral("bm"));
        const QString eng = shell::tx(key, QStringLiteral("eng"));
        EXPECT_FALSE(bm.trimmed().isEmpty());
        EXPECT_FALSE(eng.trimmed().isEmpty());
        if (englishInBoth.count(kind))
            EXPECT_EQ(bm, eng);
        else
            EXPECT_NE(bm, eng) << "the Malay text is the English one";
        EXPECT_EQ(placeholders(bm), placeholders(eng));
    }
}

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
