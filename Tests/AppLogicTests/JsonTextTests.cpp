#include "AvatarState.h"
#include "JsonText.h"

#include <QStringEncoder>
#include <gtest/gtest.h>

namespace {

const QString stateText = QStringLiteral(R"({"state":"running","message":"考え中… 🐾"})");

QByteArray encoded(QStringConverter::Encoding encoding, bool withMark) {
    QStringEncoder encoder(encoding, withMark ? QStringConverter::Flag::WriteBom
                                              : QStringConverter::Flag::Default);
    return encoder(stateText);
}

} // namespace

TEST(JsonTextTest, EveryUnicodeEncodingDecodesToTheSameState) {
    for (auto encoding :
         {QStringConverter::Utf8, QStringConverter::Utf16LE, QStringConverter::Utf16BE,
          QStringConverter::Utf32LE, QStringConverter::Utf32BE}) {
        for (bool withMark : {true, false}) {
            const QByteArray data = encoded(encoding, withMark);
            EXPECT_EQ(JsonText::toUtf8(data), stateText.toUtf8()) << int(encoding) << withMark;
            const auto state = AvatarState::decode(data);
            ASSERT_TRUE(state) << int(encoding) << withMark;
            EXPECT_EQ(state->message, QStringLiteral("考え中… 🐾"));
        }
    }
}

TEST(JsonTextTest, BrokenOrShortInputIsNotMadeValid) {
    EXPECT_EQ(JsonText::toUtf8({}), QByteArray());
    EXPECT_EQ(JsonText::toUtf8("1"), QByteArray("1"));
    EXPECT_EQ(JsonText::toUtf8("{}"), QByteArray("{}"));
    // A UTF-16 text cut in the middle of a character stays undecodable.
    QByteArray cut = encoded(QStringConverter::Utf16LE, true);
    cut.chop(1);
    EXPECT_FALSE(AvatarState::decode(cut));
    // A lone surrogate in UTF-16 is an error, not a replacement character.
    const QByteArray lone = QByteArray("\xFF\xFE", 2) + QByteArray("{\0\"\0\x00\xD8\"\0}\0", 10);
    EXPECT_EQ(JsonText::toUtf8(lone), QByteArray());
}
