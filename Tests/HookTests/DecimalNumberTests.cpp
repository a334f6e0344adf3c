#include "DecimalNumber.h"

#include <bit>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <string>
#include <version>
#ifdef __cpp_lib_to_chars
#include <charconv>
#endif

namespace {

double parse(const std::string& text) {
    return DecimalNumber::parse(text.data(), text.data() + text.size());
}

// Bit for bit: the sign of zero and the last bit of the mantissa count.
void expectSame(double actual, double expected, const std::string& text) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(actual), std::bit_cast<std::uint64_t>(expected))
        << text << ": " << actual << " instead of " << expected;
}

} // namespace

TEST(DecimalNumber, RoundsToTheNearestDoubleWhereNaiveConversionsSlip) {
    const struct {
        const char* text;
        double expected;
    } cases[] = {
        {"0.1", 0x1.999999999999ap-4},
        {"1e23", 0x1.52d02c7e14af6p+76},
        {"123.456e-2", 0x1.3c0c1fc8f3238p+0},
        // Halfway between two doubles: ties go to the even one, anything beyond to the next.
        {"9007199254740993", 0x1p+53},
        {"9007199254740993.00000000000000000000000000000001", 0x1.0000000000001p+53},
        {"2.2250738585072011e-308", 0x0.fffffffffffffp-1022},
        {"4.9e-324", std::numeric_limits<double>::denorm_min()},
        {"2.47032822920623272e-324", 0.0},
        {"1.7976931348623158e308", std::numeric_limits<double>::max()},
        {"-0", -0.0},
        {"-0.0e5", -0.0},
        {"1E+2", 100.0},
    };
    for (const auto& c : cases) {
        expectSame(parse(c.text), c.expected, c.text);
    }
}

TEST(DecimalNumber, BeyondTheRangeGivesInfinityOrZeroOfTheSign) {
    expectSame(parse("1e400"), std::numeric_limits<double>::infinity(), "1e400");
    expectSame(parse("-1.7976931348623159e308"), -std::numeric_limits<double>::infinity(),
               "-1.7976931348623159e308");
    expectSame(parse("1e-400"), 0.0, "1e-400");
    expectSame(parse("-1e-400"), -0.0, "-1e-400");
}

TEST(DecimalNumber, ReadsOnlyTheGivenRange) {
    const std::string document = "[1.5,2]";
    expectSame(DecimalNumber::parse(document.data() + 1, document.data() + 4), 1.5, "1.5");
    const std::string digits = "12345";
    expectSame(DecimalNumber::parse(digits.data(), digits.data() + 2), 12.0, "12");
}

// The app runs in the user's locale, where the decimal separator may be a comma.
TEST(DecimalNumber, IgnoresTheProcessLocale) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    const char* commaLocales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"};
    const char* chosen = nullptr;
    for (const char* name : commaLocales) {
        if (std::setlocale(LC_NUMERIC, name) != nullptr) {
            chosen = name;
            break;
        }
    }
    if (chosen == nullptr) {
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    }
    const double value = parse("1.5");
    std::setlocale(LC_NUMERIC, saved.c_str());
    expectSame(value, 1.5, std::string("1.5 in ") + chosen);
}

#ifdef __cpp_lib_to_chars
// Where the library has a floating-point from_chars, the parser uses it; both must agree on every
// double, whether written in full, shortest, or with digits cut off at random.
TEST(DecimalNumber, AgreesWithFromCharsOnRandomDoubles) {
    std::mt19937_64 random(12);
    for (int i = 0; i < 200000; ++i) {
        const double drawn = std::bit_cast<double>(random());
        if (!std::isfinite(drawn)) {
            continue;
        }
        char buffer[64];
        const int digits = 1 + static_cast<int>(random() % 25);
        const int length = std::snprintf(buffer, sizeof buffer, "%.*e", digits, drawn);
        const std::string texts[] = {
            std::string(buffer, static_cast<std::size_t>(length)),
            std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, drawn).ptr),
        };
        for (const std::string& text : texts) {
            double expected = 0;
            if (std::from_chars(text.data(), text.data() + text.size(), expected).ec ==
                std::errc()) {
                expectSame(parse(text), expected, text);
            }
        }
    }
}
#endif
