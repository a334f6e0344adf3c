#include "JsonParser.h"

#include <algorithm>
#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <regex>
#include <string>
#include <vector>

namespace {

constexpr std::size_t depth = 512;

// Boost.JSON's own parser is the reference: both must agree on what is JSON and what it means.
std::optional<boost::json::value> reference(std::string_view text) {
    boost::json::parse_options options;
    options.max_depth = depth;
    boost::system::error_code error;
    boost::json::value value = boost::json::parse(text, error, {}, options);
    if (error) {
        return std::nullopt;
    }
    return value;
}

// Equal values of equal kinds; doubles may differ in the last digit, since Boost 1.81 does not
// always round decimal input correctly and this parser does.
bool sameValue(const boost::json::value& a, const boost::json::value& b) {
    if (a.kind() != b.kind()) {
        return false;
    }
    if (a.is_double()) {
        return std::fabs(a.get_double() - b.get_double()) <=
               1e-15 * std::max(std::fabs(a.get_double()), std::fabs(b.get_double()));
    }
    if (a.is_array()) {
        const boost::json::array& x = a.get_array();
        const boost::json::array& y = b.get_array();
        return x.size() == y.size() && std::equal(x.begin(), x.end(), y.begin(), sameValue);
    }
    if (a.is_object()) {
        const boost::json::object& x = a.get_object();
        const boost::json::object& y = b.get_object();
        return x.size() == y.size() && std::all_of(x.begin(), x.end(), [&](const auto& member) {
                   const boost::json::value* other = y.if_contains(member.key());
                   return other != nullptr && sameValue(member.value(), *other);
               });
    }
    return a == b;
}

void expectSameAsReference(std::string_view text) {
    const std::optional<boost::json::value> ours = JsonParser::parse(text, depth);
    const std::optional<boost::json::value> theirs = reference(text);
    ASSERT_EQ(ours.has_value(), theirs.has_value()) << text;
    if (ours) {
        EXPECT_TRUE(sameValue(*ours, *theirs)) << text << "\n"
                                               << boost::json::serialize(*ours) << "\n"
                                               << boost::json::serialize(*theirs);
    }
}

const std::vector<std::string> samples = {
    R"({"session_id":"ce8b","cwd":"/home/u/proj","hook_event_name":"PreToolUse","tool_name":"Read","tool_input":{"file_path":"/home/u/proj/hello.txt"},"tool_use_id":"toolu_0003"})",
    R"({"tool_response":{"stdout":"hi\n\t\"q\" \\ \/ \b\f\r \u00e9\u3042 \ud83d\ude00","stderr":"","interrupted":false}})",
    R"({"a":[1,-1,0,-0,1.5,-2.5e-3,1E10,9223372036854775807,-9223372036854775808,18446744073709551615,18446744073709551616,-9223372036854775809]})",
    R"( { "nested" : { "x" : [ true , false , null , { } , [ ] ] } , "dup" : 1 , "dup" : 2 } )",
    "{\"japanese\":\"テスト成功 日本語の出力\",\"emoji\":\"👨‍👩‍👧 "
    "🇯🇵\"}",
    R"([1,2,3])",
};

} // namespace

TEST(JsonParser, AgreesWithBoostOnValidDocuments) {
    for (const std::string& text : samples) {
        expectSameAsReference(text);
    }
    expectSameAsReference(std::string(512, '[') + std::string(512, ']'));
    expectSameAsReference("{\"long\":\"" + std::string(100000, 'x') + "\\n" +
                          std::string(100000, 'y') + "\"}");
}

TEST(JsonParser, RejectsWhatIsNotJson) {
    const std::vector<std::string> broken = {
        "",
        " ",
        "{",
        "{\"a\":1,}",
        "[1,]",
        "{\"a\" 1}",
        "{'a':1}",
        "{\"a\":01}",
        "{\"a\":1.}",
        "{\"a\":.5}",
        "{\"a\":1e}",
        "{\"a\":+1}",
        "{\"a\":tru}",
        "{\"a\":nul}",
        "{\"a\":\"\\x\"}",
        "{\"a\":\"\\u12G4\"}",
        "{\"a\":\"tab\there\"}",
        "{\"a\":\"unterminated}",
        "{\"a\":1} x",
        "{\"a\":1}{}",
        "{\"a\":\"\xC3\"}",
        "{\"a\":\"\xC0\xAF\"}",
        "{\"a\":\"\xED\xA0\x80\"}",
        "{\"a\":\"\xF4\x90\x80\x80\"}",
        "{\"a\":\"\xFF\"}",
        std::string(513, '[') + std::string(513, ']'),
    };
    for (const std::string& text : broken) {
        EXPECT_FALSE(JsonParser::parse(text, depth).has_value()) << text;
        EXPECT_FALSE(reference(text).has_value()) << text;
    }
}

TEST(JsonParser, AgreesWithBoostOnMutatedInput) {
    // Single-byte damage at random places of realistic payloads: whatever Boost makes of it,
    // accepted or refused, this parser must make the same. Escaped surrogates and numbers beyond
    // the range of a double are left out: the two differ there on purpose.
    std::mt19937 random(20261208);
    const std::regex hugeExponent("[eE][-+]?[0-9]{3}");
    const std::string alphabet = "{}[],:\"\\ \t\n0123456789-+.eEtrufalsn\xC3\xA9\x80";
    for (const std::string& sample : samples) {
        for (int round = 0; round < 400; ++round) {
            std::string mutated = sample;
            const std::size_t at = random() % mutated.size();
            const char replacement = alphabet[random() % alphabet.size()];
            switch (random() % 3) {
            case 0:
                mutated[at] = replacement;
                break;
            case 1:
                mutated.insert(mutated.begin() + static_cast<std::ptrdiff_t>(at), replacement);
                break;
            default:
                mutated.erase(at, 1);
                break;
            }
            if (mutated.find("\\u") != std::string::npos ||
                std::regex_search(mutated, hugeExponent)) {
                continue;
            }
            expectSameAsReference(mutated);
        }
    }
}

TEST(JsonParser, TurnsLoneEscapedSurrogatesIntoReplacementCharacters) {
    const auto value =
        JsonParser::parse(R"({"a":"x\ud800y","b":"\udc00","c":"\ud800\u0041"})", depth);
    ASSERT_TRUE(value.has_value());
    const boost::json::object& object = value->as_object();
    EXPECT_EQ(object.at("a").as_string(), "x\xEF\xBF\xBDy");
    EXPECT_EQ(object.at("b").as_string(), "\xEF\xBF\xBD");
    EXPECT_EQ(object.at("c").as_string(), "\xEF\xBF\xBD"
                                          "A");
}

TEST(JsonParser, NumbersBeyondADoubleStayFiniteSoTheyWriteBackAsJson) {
    const auto value = JsonParser::parse(R"([1e400,-1e999,1e-400,123456789e999999999999])", depth);
    ASSERT_TRUE(value.has_value());
    const boost::json::array& numbers = value->as_array();
    EXPECT_EQ(numbers.at(0).as_double(), std::numeric_limits<double>::max());
    EXPECT_EQ(numbers.at(1).as_double(), -std::numeric_limits<double>::max());
    EXPECT_EQ(numbers.at(2).as_double(), 0.0);
    EXPECT_EQ(numbers.at(3).as_double(), std::numeric_limits<double>::max());
    const std::string written = boost::json::serialize(*value);
    const auto reread = JsonParser::parse(written, depth);
    ASSERT_TRUE(reread.has_value()) << written;
    EXPECT_EQ(*reread, *value);
}
