#include "TextCompaction.h"

#include <gtest/gtest.h>

using TextCompaction::characterCount;
using TextCompaction::compact;

namespace {

const std::string family = "\U0001F468\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466";
const std::string flagJapan = "\U0001F1EF\U0001F1F5";
const std::string eAcute = "e\u0301";
const std::string ellipsis = "\u2026";

std::string repeated(const std::string& unit, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += unit;
    }
    return text;
}

} // namespace

TEST(TextCompaction, CountsExtendedGraphemeClusters) {
    EXPECT_EQ(characterCount(family), 1u);
    EXPECT_EQ(characterCount(flagJapan + flagJapan + flagJapan), 3u);
    EXPECT_EQ(characterCount(eAcute + "\u0323"), 1u);
    EXPECT_EQ(characterCount("\r\n"), 1u);
    EXPECT_EQ(characterCount("日本語"), 3u);
    EXPECT_EQ(characterCount(""), 0u);
}

TEST(TextCompaction, CollapsesEveryUnicodeWhitespaceRun) {
    EXPECT_EQ(compact("  a\u2028\u2029b\u0085c\t\n d\u3000\u00A0e\u202F\u205F\u1680f  ", 48),
              "a b c d e f");
    EXPECT_EQ(compact("a\u2000\u200Ab", 48), "a b");
    // Zero-width space is not White_Space and stays.
    EXPECT_EQ(compact("a\u200Bb", 48), "a\u200Bb");
    EXPECT_EQ(compact(" \n\u2028\t ", 48), std::nullopt);
    EXPECT_EQ(compact("", 48), std::nullopt);
    EXPECT_EQ(compact(std::nullopt, 48), std::nullopt);
}

TEST(TextCompaction, CutsAfterLimitMinusOneClustersOnlyWhenTooLong) {
    const std::string exactly48 = repeated("x", 48);
    EXPECT_EQ(compact(exactly48, 48), exactly48);
    EXPECT_EQ(compact(repeated("x", 49), 48), repeated("x", 47) + ellipsis);
    EXPECT_EQ(compact(repeated(family, 49), 48), repeated(family, 47) + ellipsis);
    EXPECT_EQ(compact(repeated(flagJapan, 48), 48), repeated(flagJapan, 48));
    EXPECT_EQ(compact(repeated(eAcute, 50), 48), repeated(eAcute, 47) + ellipsis);
    EXPECT_EQ(characterCount(*compact(repeated("あ ", 100), 48)), 48u);
    // Trailing whitespace is trimmed before measuring, so it never causes a cut.
    EXPECT_EQ(compact(exactly48 + " \n ", 48), exactly48);
    EXPECT_EQ(compact("ab", 1), ellipsis);
}

TEST(TextCompaction, TrimsAndSplitsOnUnicodeWhitespace) {
    EXPECT_EQ(TextCompaction::trimWhitespace("\u3000 a b\u2029"), "a b");
    EXPECT_EQ(TextCompaction::trimWhitespace("\u0085"), "");
    EXPECT_EQ(TextCompaction::splitOnWhitespace("  /usr/bin/git\u00A0status\n-s "),
              (std::vector<std::string>{"/usr/bin/git", "status", "-s"}));
    EXPECT_TRUE(TextCompaction::splitOnWhitespace(" \t").empty());
}

TEST(TextCompaction, InvalidUtf8CountsAsReplacementCharactersAndYieldsValidText) {
    const std::string broken = std::string("a\xFF\xC3") + " b\xE2\x82";
    EXPECT_EQ(characterCount(broken), 7u);
    EXPECT_EQ(compact(broken, 48), "a\uFFFD\uFFFD b\uFFFD\uFFFD");
    // An encoded surrogate and an overlong encoding are rejected byte by byte.
    EXPECT_EQ(compact("\xED\xA0\x80", 48), "\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(compact("\xC0\xAF", 48), "\uFFFD\uFFFD");
    EXPECT_EQ(compact(repeated("\xFF", 100), 48), repeated("\uFFFD", 47) + ellipsis);
    EXPECT_EQ(TextCompaction::trimWhitespace(" \xFF "), "\xFF");
}

TEST(TextCompaction, ACharacterKeepsSixteenCodePointsAndATextAtMost2048Bytes) {
    const std::string mark = "\u0301";
    EXPECT_EQ(compact("a" + repeated(mark, 20000) + " b", 48), "a" + repeated(mark, 15) + " b");
    const std::string joinedWoman = "\u200D\U0001F469";
    EXPECT_EQ(compact("\U0001F468" + repeated(joinedWoman, 5000) + " end", 48),
              "\U0001F468" + repeated(joinedWoman, 7) + "\u200D end");
    // Cut characters still count once each.
    EXPECT_EQ(compact(repeated("x" + repeated(mark, 30), 49), 48),
              repeated("x" + repeated(mark, 15), 47) + ellipsis);

    // 64 bytes a character: an emoji under fifteen tag characters of four bytes each.
    const std::string heavy = "\U0001F468" + repeated("\U000E0041", 15);
    ASSERT_EQ(characterCount(heavy), 1u);
    EXPECT_EQ(compact(repeated(heavy, 32), 48), repeated(heavy, 32)) << "exactly 2048 bytes";
    EXPECT_EQ(compact(repeated(heavy, 33), 48), repeated(heavy, 31) + ellipsis);
    EXPECT_EQ(compact(repeated(heavy, 40), 48)->size(), 31 * 64 + ellipsis.size());
}

TEST(TextCompaction, RepairsInvalidUtf8ByteByByte) {
    EXPECT_EQ(TextCompaction::repairUtf8("caf\xE9 \xE6\x97\xA5"), "caf\uFFFD \xE6\x97\xA5");
    EXPECT_EQ(TextCompaction::repairUtf8("\xED\xA0\x80"), "\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(TextCompaction::repairUtf8("\xF0\x9F\x98"), "\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(TextCompaction::repairUtf8("ok \uFFFD"), "ok \uFFFD");
    EXPECT_EQ(TextCompaction::repairUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}
