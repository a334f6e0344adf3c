#include "TerminalActivator.h"

#include <gtest/gtest.h>

namespace {

using TerminalActivator::scriptFor;

const QString itermHead = QStringLiteral("tell application \"iTerm2\"\n"
                                         "  repeat with w in windows\n"
                                         "    repeat with t in tabs of w\n"
                                         "      repeat with s in sessions of t\n"
                                         "        if ");
const QString itermTail = QStringLiteral(" then\n"
                                         "          set miniaturized of w to false\n"
                                         "          tell s to select\n"
                                         "          set index of w to 1\n"
                                         "          activate\n"
                                         "          return \"ok\"\n"
                                         "        end if\n"
                                         "      end repeat\n"
                                         "    end repeat\n"
                                         "  end repeat\n"
                                         "end tell");
const QString terminalHead = QStringLiteral("tell application \"Terminal\"\n"
                                            "  repeat with w in windows\n"
                                            "    repeat with t in tabs of w\n"
                                            "      if (tty of t) is ");
const QString terminalTail = QStringLiteral(" then\n"
                                            "        set miniaturized of w to false\n"
                                            "        set selected of t to true\n"
                                            "        set frontmost of w to true\n"
                                            "        activate\n"
                                            "        return \"ok\"\n"
                                            "      end if\n"
                                            "    end repeat\n"
                                            "  end repeat\n"
                                            "end tell");

QString iterm(const QString& condition) {
    return itermHead + condition + itermTail;
}

TerminalOrigin origin(std::optional<QString> program, std::optional<QString> session,
                      std::optional<QString> tty, std::optional<QString> bundleId = std::nullopt) {
    return TerminalOrigin{std::move(program), std::move(session), std::move(tty),
                          std::move(bundleId)};
}

TEST(TerminalActivatorTest, ItermFindsTheSessionByTheIdAfterTheLastColon) {
    EXPECT_EQ(scriptFor(origin("iTerm.app", "w0t0p0:ABC", "/dev/ttys003")),
              iterm(R"((id of s) is "ABC")"));
    EXPECT_EQ(scriptFor(origin("iTerm.app", "a:b:C-1:", std::nullopt)),
              iterm(R"((id of s) is "C-1")"));
    EXPECT_EQ(scriptFor(origin("iTerm.app", "ABC", std::nullopt)), iterm(R"((id of s) is "ABC")"));
    // Nothing remains after splitting: the whole string is the id.
    EXPECT_EQ(scriptFor(origin("iTerm.app", ":::", "/dev/ttys003")),
              iterm(R"((id of s) is ":::")"));
}

TEST(TerminalActivatorTest, ItermFallsBackToTheTtyAndNeedsOneOfThem) {
    EXPECT_EQ(scriptFor(origin("iTerm.app", std::nullopt, "/dev/ttys003")),
              iterm(R"((tty of s) is "/dev/ttys003")"));
    EXPECT_EQ(scriptFor(origin("iTerm.app", "", "/dev/ttys003")),
              iterm(R"((tty of s) is "/dev/ttys003")"));
    EXPECT_EQ(scriptFor(origin("iTerm.app", std::nullopt, std::nullopt, "com.googlecode.iterm2")),
              std::nullopt)
        << "no other script is tried";
    EXPECT_EQ(scriptFor(origin("iTerm.app", "", "")), std::nullopt);
}

TEST(TerminalActivatorTest, TerminalFindsTheTabByTtyOnly) {
    EXPECT_EQ(scriptFor(origin("Apple_Terminal", "9F1C-22", "/dev/ttys001")),
              terminalHead + R"("/dev/ttys001")" + terminalTail);
    EXPECT_EQ(scriptFor(origin("Apple_Terminal", "9F1C-22", std::nullopt, "com.apple.Terminal")),
              std::nullopt);
    EXPECT_EQ(scriptFor(origin("Apple_Terminal", std::nullopt, "")), std::nullopt);
}

TEST(TerminalActivatorTest, TheProgramNameIsComparedInLowerCase) {
    EXPECT_EQ(scriptFor(origin("ITERM.APP", "x:ID", std::nullopt)), iterm(R"((id of s) is "ID")"));
    EXPECT_EQ(scriptFor(origin("my-iterm-fork", "ID", std::nullopt)),
              iterm(R"((id of s) is "ID")"));
    EXPECT_EQ(scriptFor(origin("APPLE_TERMINAL", std::nullopt, "/dev/ttys001")),
              terminalHead + R"("/dev/ttys001")" + terminalTail);
}

TEST(TerminalActivatorTest, AnyOtherProgramActivatesItsApplicationByBundleId) {
    const QString generic = R"(tell application id "com.mitchellh.ghostty" to activate)";
    EXPECT_EQ(scriptFor(origin(std::nullopt, std::nullopt, std::nullopt, "com.mitchellh.ghostty")),
              generic);
    EXPECT_EQ(scriptFor(origin("ghostty", "s", "/dev/ttys004", "com.mitchellh.ghostty")), generic);
    EXPECT_EQ(scriptFor(origin("vscode", "s", "/dev/ttys004")), std::nullopt);
    EXPECT_EQ(scriptFor(origin(std::nullopt, std::nullopt, std::nullopt, "")), std::nullopt);
    EXPECT_EQ(scriptFor(TerminalOrigin{}), std::nullopt);
}

TEST(TerminalActivatorTest, QuotesAndBackslashesCannotEndTheLiteral) {
    using TerminalActivator::quoted;
    EXPECT_EQ(quoted(""), R"("")");
    EXPECT_EQ(quoted(R"(a"b)"), R"("a\"b")");
    EXPECT_EQ(quoted(R"(a\b)"), R"("a\\b")");
    // A backslash before a quote must not swallow the quote's escape.
    EXPECT_EQ(quoted(R"(x\" & do shell script "rm)"), R"("x\\\" & do shell script \"rm")");
    EXPECT_EQ(quoted("tab\tline\nend ✓"), "\"tab\tline\nend ✓\"") << "nothing else changes";

    EXPECT_EQ(scriptFor(origin("iTerm.app", R"(w0:A"B\)", std::nullopt)),
              iterm(R"((id of s) is "A\"B\\")"));
    EXPECT_EQ(scriptFor(origin("iTerm.app", std::nullopt, R"(/dev/"x)")),
              iterm(R"((tty of s) is "/dev/\"x")"));
    EXPECT_EQ(scriptFor(origin("Apple_Terminal", std::nullopt, R"(\")")),
              terminalHead + R"("\\\"")" + terminalTail);
    EXPECT_EQ(scriptFor(origin(std::nullopt, std::nullopt, std::nullopt, R"(id" to quit)")),
              R"(tell application id "id\" to quit" to activate)");
}

} // namespace
