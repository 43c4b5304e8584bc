// The parsing stream and the value formatting take shortcuts for plain
// numbers; these tests hold them to the standard streams on adversarial
// input. The yardstick for parsing is the plain approach: one std::stringstream
// for the whole run, text appended, flags cleared, `>>` per line.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "Format.h"
#include "ParseStream.h"

namespace orlo {
namespace {

const std::vector<std::string>& tokens() {
    static const std::vector<std::string> list = {
        "0", "-0", "+0", "7", "+5", "-12", "-", "+", "--5", "+-1", "00012", "000",
        "2147483647", "2147483648", "-2147483648", "-2147483649", "999999999", "1000000000",
        "99999999999999999999", "123456789012345678901234567890",
        "1e", "1e5", "1E-3", "1e+", "1e-", "2.5e3", "1e5e5", "1e400", "-1e400", "1e-400", "4.9e-324",
        ".5", "5.", ".", "-.5", "+.e1", "1.2.3", "0.1234567", "3.14159265358979323846",
        "123456789012345", "1234567890123456", "0.000000000000001", "179769313486231570000000",
        "0x1A", "0X", "0x", "x", "abc", "12abc", "1,000", "nan", "inf", "-inf", "NaN",
        "\x80", "\xff" "1", "\xc3\xa9", std::string(1, '\0'), "\x01", "e5", "E", "p", "i",
    };
    return list;
}

std::string randomLine(std::mt19937& rng) {
    static const char* const gaps[] = {"", " ", "  ", "\t", "\r", "\v", " \n "};
    std::string text;
    const int parts = static_cast<int>(rng() % 4);
    for (int i = 0; i < parts; ++i) {
        text += gaps[rng() % 7];
        text += tokens()[rng() % tokens().size()];
    }
    if (rng() % 3 == 0) text += gaps[rng() % 7];
    return text;
}

bool same(int a, int b) { return a == b; }
bool same(const std::string& a, const std::string& b) { return a == b; }
bool same(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Random runs of lines: after every line both must agree on success and on
// the value left in the variable (bit for bit).
template <typename T>
void compareRuns(unsigned seeds) {
    for (unsigned seed = 1; seed <= seeds; ++seed) {
        std::mt19937 rng(seed);
        std::stringstream model(std::ios::in | std::ios::out);
        ParseStream parse;
        T expected{}, actual{};
        std::string history;
        for (int line = 0; line < 12; ++line) {
            const std::string text = randomLine(rng);
            history += "[" + text + "]";
            model.clear();
            model << text;
            const bool modelOk = static_cast<bool>(model >> expected);
            parse.append(text);
            const bool ok = parse.extract(actual);
            ASSERT_EQ(ok, modelOk) << "seed " << seed << " lines " << history;
            ASSERT_TRUE(same(actual, expected)) << "seed " << seed << " lines " << history << ": got " << actual
                                                << ", stream gives " << expected;
        }
    }
}

TEST(ParseEquivalence, IntsMatchTheStream) { compareRuns<int>(20000); }
TEST(ParseEquivalence, DoublesMatchTheStream) { compareRuns<double>(20000); }
TEST(ParseEquivalence, StringsMatchTheStream) { compareRuns<std::string>(5000); }

TEST(ParseEquivalence, RandomPlainNumbers) {
    // The shortcut's own territory, densely: digit counts around its limits.
    std::mt19937_64 rng(99);
    for (int i = 0; i < 200000; ++i) {
        std::string text = rng() % 2 ? "-" : "";
        const int digits = 1 + static_cast<int>(rng() % 18);
        const int point = static_cast<int>(rng() % (digits + 2)) - 1;
        for (int d = 0; d < digits; ++d) {
            if (d == point) text += '.';
            text += static_cast<char>('0' + rng() % 10);
        }
        std::istringstream model(text);
        double expected = 0, actual = 0;
        model >> expected;
        ParseStream parse;
        parse.append(text);
        ASSERT_TRUE(parse.extract(actual)) << text;
        ASSERT_TRUE(same(actual, expected)) << text;
        int expectedInt = 0, actualInt = 0;
        std::istringstream intModel(text);
        const bool intOk = static_cast<bool>(intModel >> expectedInt);
        ParseStream intParse;
        intParse.append(text);
        ASSERT_EQ(intParse.extract(actualInt), intOk) << text;
        ASSERT_EQ(actualInt, expectedInt) << text;
    }
}

TEST(FormatEquivalence, ValuesPrintAsTheStreamPrintsThem) {
    std::mt19937_64 rng(5);
    for (int i = 0; i < 200000; ++i) {
        const std::uint64_t bits = rng();
        double d;
        std::memcpy(&d, &bits, sizeof d);  // every kind of double, NaN and infinities included
        if (i % 4 == 0) d = static_cast<double>(static_cast<std::int64_t>(bits) >> (bits % 60));
        // Seven-digit decimals: the sixth digit's rounding, ties included,
        // is where a hand-rolled or shortest-form formatter goes wrong.
        if (i % 4 == 1) d = static_cast<double>(bits % 20000001) / std::pow(10.0, static_cast<double>(bits % 11));
        std::ostringstream stream;
        stream << d;
        std::string text;
        appendValue(text, d);
        ASSERT_EQ(text, stream.str());
        const int n = static_cast<int>(bits);
        std::ostringstream intStream;
        intStream << n;
        text.clear();
        appendValue(text, n);
        ASSERT_EQ(text, intStream.str());
    }
}

}  // namespace
}  // namespace orlo
