// The driver's parts in-process: line splitting, the carried-over parsing
// stream, value formatting, and whole command files run from memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <functional>
#include <new>
#include <random>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Format.h"
#include "Interpreter.h"
#include "Io.h"
#include "ParseStream.h"
#include "Program.h"
#include "RecursiveModel.h"
#include "TreeInvariants.h"

namespace orlo {
namespace {

// Lines as a LineReader returns them, with "<end>" once it reports the end
// and "<error>" when it fails.
std::vector<std::string> linesOf(ByteSource& source) {
    LineReader reader(source);
    std::vector<std::string> lines;
    std::string_view line;
    while (!reader.atEnd()) {
        if (!reader.next(line)) {
            lines.push_back("<error>");
            break;
        }
        lines.emplace_back(line);
    }
    if (reader.atEnd() && reader.error() == 0) lines.push_back("<end>");
    return lines;
}

TEST(LineReader, SplitsLikeGetline) {
    using L = std::vector<std::string>;
    for (std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{7}, MemorySource::kNever}) {
        SCOPED_TRACE(piece);
        MemorySource trailing("INT\nADD 1\n", piece);
        EXPECT_EQ(linesOf(trailing), (L{"INT", "ADD 1", "", "<end>"}));  // the empty last line is read
        MemorySource unterminated("INT\nADD 1", piece);
        EXPECT_EQ(linesOf(unterminated), (L{"INT", "ADD 1", "<end>"}));
        MemorySource empty("", piece);
        EXPECT_EQ(linesOf(empty), (L{"", "<end>"}));
        MemorySource raw(std::string_view("A\r\n\0B\n\n", 7), piece);
        EXPECT_EQ(linesOf(raw), (L{"A\r", std::string("\0B", 2), "", "", "<end>"}));
    }
}

TEST(LineReader, LinesLongerThanItsBuffer) {
    // A line that straddles several buffer refills must come out whole.
    const std::string longLine(300000, 'x');
    const std::string text = "a\n" + longLine + "\nb";
    MemorySource source(text, 4096);
    const std::vector<std::string> lines = linesOf(source);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], longLine);
    EXPECT_EQ(lines[2], "b");
}

TEST(LineReader, ReadErrorDropsThePartialLineAndEndsTheInput) {
    MemorySource source("INT\nADD 1\nADD 2\n", 5, 12);  // fails inside "ADD 2"
    LineReader reader(source);
    std::string_view line;
    ASSERT_TRUE(reader.next(line));
    EXPECT_EQ(line, "INT");
    ASSERT_TRUE(reader.next(line));
    EXPECT_EQ(line, "ADD 1");
    EXPECT_FALSE(reader.next(line));
    EXPECT_TRUE(reader.atEnd());  // a loop on atEnd() stops: never an endless loop
    EXPECT_EQ(reader.error(), EIO);
    EXPECT_FALSE(reader.next(line));
}

TEST(ParseStream, LeftoverTextWaitsForLaterExtractions) {
    ParseStream parse;
    int v = 0;
    parse.append(" 1 2");
    ASSERT_TRUE(parse.extract(v));
    EXPECT_EQ(v, 1);
    parse.append(" 7");
    ASSERT_TRUE(parse.extract(v));
    EXPECT_EQ(v, 2);
    ASSERT_TRUE(parse.extract(v));
    EXPECT_EQ(v, 7);
    // Nothing left: the extraction fails and stores nothing.
    EXPECT_FALSE(parse.extract(v));
    EXPECT_EQ(v, 7);
}

TEST(ParseStream, NumberGluedToTheNextLine) {
    // Appended text is not separated from what was left: "1" and "2" join.
    ParseStream parse;
    int v = 0;
    parse.append(" 5 1");
    ASSERT_TRUE(parse.extract(v));
    parse.append("2");
    ASSERT_TRUE(parse.extract(v));
    EXPECT_EQ(v, 12);
}

TEST(ParseStream, UnusableCharacterSticksAndHoldsOnlyItself) {
    ParseStream parse;
    int v = 9;
    parse.append(" x 1");
    EXPECT_FALSE(parse.extract(v));
    EXPECT_EQ(v, 0);  // a failed conversion stores zero
    EXPECT_TRUE(parse.stuck());
    for (int i = 0; i < 10000; ++i) {
        parse.append(" 42 and more text that can never be read");
        v = 3;
        ASSERT_FALSE(parse.extract(v));
        ASSERT_EQ(v, 0);
    }
    EXPECT_EQ(parse.held(), 1u);
}

TEST(ParseStream, SignThenUnusableCharacterSticksOnTheSecondTry) {
    ParseStream parse;
    double v = 1;
    parse.append("-x");
    EXPECT_FALSE(parse.extract(v));  // consumes the sign
    EXPECT_FALSE(parse.stuck());
    parse.append(" 5");
    EXPECT_FALSE(parse.extract(v));  // stops at x, consuming nothing
    EXPECT_TRUE(parse.stuck());
}

TEST(ParseStream, ASignAloneIsConsumed) {
    // The failed extraction of "-" eats the sign; the next line parses.
    ParseStream parse;
    int v = 1;
    parse.append(" -");
    EXPECT_FALSE(parse.extract(v));
    parse.append(" 5");
    ASSERT_TRUE(parse.extract(v));
    EXPECT_EQ(v, 5);
}

TEST(ParseStream, ConsumedTextIsNotKept) {
    ParseStream parse;
    std::string word;
    for (int i = 0; i < 100000; ++i) {
        parse.append(" word" + std::to_string(i) + "   ");
        ASSERT_TRUE(parse.extract(word));
    }
    EXPECT_EQ(word, "word99999");
    EXPECT_LE(parse.held(), 3u);
}

TEST(ParseStream, StringsNeverStick) {
    ParseStream parse;
    std::string word = "before";
    parse.append("   ");
    EXPECT_FALSE(parse.extract(word));
    EXPECT_EQ(word, "before");  // nothing to read: left as it was
    parse.append(std::string("\x80\x01z\0y", 5) + "\tnext");
    ASSERT_TRUE(parse.extract(word));
    EXPECT_EQ(word, std::string("\x80\x01z\0y", 5));
    ASSERT_TRUE(parse.extract(word));
    EXPECT_EQ(word, "next");
}

TEST(Format, MatchesTheStreamOperator) {
    for (int v : {0, 7, -7, 100, INT_MAX, INT_MIN}) {
        std::string text;
        appendValue(text, v);
        EXPECT_EQ(text, std::to_string(v));
    }
    for (double v : {0.0, -0.0, 2.5, 1e7, 3.14159265, 0.1234567, 1e-5, 123456.7, 1234567.0, -1e300, 5e-324}) {
        std::ostringstream stream;
        stream << v;
        std::string text;
        appendValue(text, v);
        EXPECT_EQ(text, stream.str());
    }
}

std::string runFile(std::string_view file, FileRun* how = nullptr, std::size_t failAfter = MemorySource::kNever) {
    MemorySource source(file, MemorySource::kNever, failAfter);
    LineReader reader(source);
    StringSink sink;
    LineWriter out(sink);
    const FileRun ran = runCommandFile(reader, out);
    if (how != nullptr) *how = ran;
    return sink.text;
}

TEST(Interpreter, RunsEachElementType) {
    FileRun how{};
    EXPECT_EQ(runFile("INT\nADD 5\nADD 3\n", &how), "ADD 5\nb[5] == 1\nb(5) == 1\nADD 3\nb[3] == 2\nb(3) == 1\n3\n5\n");
    EXPECT_EQ(how, FileRun::Ran);
    EXPECT_EQ(runFile("DOUBLE\nADD 2.50\nADD 1e7\nDEL 2.5\n"),
              "ADD 2.5\nb[2.5] == 1\nb(2.5) == 1\nADD 1e+07\nb[1e+07] == 2\nb(1e+07) == 1\n"
              "DEL 2.5\nb[2.5] == -1\nb(2.5) == 0\n1e+07\n");
    EXPECT_EQ(runFile("STRING\nADD hello world\nDEL foo\n"),
              "ADD hello\nb[hello] == 1\nb(hello) == 1\nDEL world\nb[world] == -1\nb(world) == 0\nhello\n");
    EXPECT_EQ(runFile("int\nADD 5\n", &how), "");
    EXPECT_EQ(how, FileRun::NoType);
}

TEST(Interpreter, ReadErrorStillListsWhatWasDone) {
    FileRun how{};
    // The error strikes inside "ADD 3": it is not carried out.
    EXPECT_EQ(runFile("INT\nADD 1\nADD 2\nADD 3\n", &how, 18),
              "ADD 1\nb[1] == 1\nb(1) == 1\nADD 2\nb[2] == 2\nb(2) == 1\n1\n2\n");
    EXPECT_EQ(how, FileRun::Ran);
    runFile("INT\n", &how, 0);
    EXPECT_EQ(how, FileRun::Unreadable);
}

// Runs the commands after the type line on `set`, printing into `sink`;
// what the run throws is let through.
template <typename Set>
void runCommandsOn(std::string_view file, Set& set, StringSink& sink) {
    MemorySource source(file);
    LineReader reader(source);
    LineWriter out(sink);
    std::string_view typeLine;
    reader.next(typeLine);
    runCommands(reader, out, set);
}

// The commands on the recursive model, as the interpreter prints them.
std::string runOnModel(std::string_view file) {
    testing::ModelSet<int> model;
    StringSink sink;
    runCommandsOn(file, model, sink);
    return sink.text;
}

TEST(Interpreter, ALargeRunWithEarlyWalksPrintsWhatTheModelPrints) {
    // Large enough for the set's early walks to run while the interpreter
    // reads ahead; removals of values the window has just added make walks
    // meet freed nodes. Hunts a read-ahead or a walk that changes output.
    std::mt19937 rng(3);
    std::string file = "INT\n";
    std::vector<int> held, recent;
    for (int i = 0; i < 150000; ++i) {
        const unsigned kind = i < 110000 ? 0 : rng() % 10;
        if (kind < 5 || held.empty()) {
            held.push_back(static_cast<int>(rng() >> 1));
            recent.push_back(held.back());
            if (recent.size() > 20) recent.erase(recent.begin());
            file += "ADD " + std::to_string(held.back()) + "\n";
        } else if (kind < 7 && !recent.empty()) {
            file += "DEL " + std::to_string(recent.back()) + "\n";
            recent.pop_back();
        } else {
            file += "DEL " + std::to_string(held[rng() % held.size()]) + "\n";
        }
    }
    const std::string expected = runOnModel(file);
    const std::string printed = runFile(file);
    ASSERT_GT(printed.size(), expected.size());
    EXPECT_TRUE(printed.compare(0, expected.size(), expected) == 0);
}

// Serves a command file in pieces, like a file or a pipe, and looks at every
// read to see how far the interpreter has got: each command prints three
// lines. `change`, when set, runs first and may change what is left to
// serve, as another program writing the file would.
class WatchedSource final : public ByteSource {
public:
    WatchedSource(std::string file, std::size_t piece, const StringSink& sink)
        : file(std::move(file)), piece_(piece), sink_(sink) {}

    long read(char* into, std::size_t n) override {
        const std::size_t answered = static_cast<std::size_t>(std::count(sink_.text.begin(), sink_.text.end(), '\n')) / 3;
        if (change) change(answered);
        // Every command whose whole line has been served must have been
        // answered before the source is asked for more.
        const auto lines = static_cast<std::size_t>(std::count(file.begin(), file.begin() + static_cast<long>(served), '\n'));
        if (lines > 1) mostWaiting = std::max(mostWaiting, lines - 1 - answered);
        ++reads;
        const std::size_t count = std::min({n, piece_, file.size() - served});
        std::memcpy(into, file.data() + served, count);
        served += count;
        return static_cast<long>(count);
    }

    std::string file;
    std::size_t served = 0;
    std::function<void(std::size_t answered)> change;
    std::size_t mostWaiting = 0;  // commands served and not answered, at a read
    std::size_t reads = 0;

private:
    std::size_t piece_;
    const StringSink& sink_;
};

// Runs the commands of `source`'s file on `set`; returns what was printed.
template <typename Set>
std::string runWatched(WatchedSource& source, const StringSink& sink, Set& set) {
    LineReader reader(source);
    LineWriter out(const_cast<StringSink&>(sink));
    std::string_view typeLine;
    reader.next(typeLine);
    runCommands(reader, out, set);
    return sink.text;
}

std::string addLines(int from, int to) {
    std::string lines;
    for (int v = from; v <= to; ++v) lines += "ADD " + std::to_string(v * 7919 % 10007) + "\n";
    return lines;
}

// The model, told of upcoming values as a ReadAheadSet would be; notes how
// many operations ahead of its own a value was hinted, at most. (The files
// it runs add each value once.)
struct HintedModel : testing::ModelSet<int> {
    std::size_t updates = 0, mostAhead = 0;
    std::unordered_map<int, std::size_t> hintedAt;  // value -> updates done when hinted
    void prefetch(const int& v) { hintedAt.emplace(v, updates); }
    Where insertAndLocate(const int& v) {
        if (const auto at = hintedAt.find(v); at != hintedAt.end()) mostAhead = std::max(mostAhead, updates - at->second);
        ++updates;
        return ModelSet::insertAndLocate(v);
    }
};

// A set that runs out of memory when it is told of the value 13 ahead.
struct FailingHints : testing::ModelSet<int> {
    void prefetch(const int& v) {
        if (v == 13) throw std::bad_alloc();
    }
};

}  // namespace

template <>
inline constexpr std::size_t kReadAheadFor<HintedModel> = kHintAhead;
template <>
inline constexpr std::size_t kReadAheadFor<FailingHints> = kHintAhead;

namespace {

TEST(Interpreter, AsksTheSourceForMoreOnlyWhenEveryCommandReadHasRun) {
    // Hunts a read-ahead that asks the source for a later command's bytes
    // while commands it has read are unanswered: a pipe fed by hand would
    // get its answers a window late, and a slow file system would hold the
    // first answer back for reads only later commands need. The hints must
    // still run ahead where lines are at hand.
    const std::string file = "INT\n" + addLines(1, 3000);
    for (const std::size_t piece : {std::size_t{1}, std::size_t{9}, std::size_t{4096}, std::size_t{1} << 20}) {
        SCOPED_TRACE(piece);
        StringSink sink;
        WatchedSource source(file, piece, sink);
        BSTSET<int> set;
        EXPECT_EQ(runWatched(source, sink, set), runOnModel(file));
        EXPECT_EQ(source.mostWaiting, 0u);

        StringSink hintedSink;
        WatchedSource again(file, piece, hintedSink);
        HintedModel model;
        runWatched(again, hintedSink, model);
        EXPECT_EQ(again.reads, source.reads);
        if (piece < 16) {
            EXPECT_LE(model.mostAhead, 1u);  // at most one more line at hand
        } else {
            EXPECT_EQ(model.mostAhead, kHintAhead);
        }
    }
}

TEST(Interpreter, AFileThatGrowsOrShrinksWhileRunningIsReadAsALoopReadsIt) {
    // Hunts a read-ahead that meets the end of a file early: a command
    // appended while the earlier ones run must still be carried out, and a
    // file cut short must not be carried out past the cut.
    const std::string five = "INT\n" + addLines(1, 5);
    StringSink sink;
    WatchedSource growing(five, std::size_t{1} << 20, sink);
    growing.change = [&](std::size_t answered) {
        if (answered == 5 && growing.file == five) growing.file += "ADD 77\n";
    };
    BSTSET<int> set;
    EXPECT_EQ(runWatched(growing, sink, set), runOnModel(five + "ADD 77\n"));

    const std::string forty = "INT\n" + addLines(1, 40);
    StringSink cutSink;
    WatchedSource shrinking(forty, 10, cutSink);
    shrinking.change = [&](std::size_t answered) {
        if (answered >= 3) shrinking.file.resize(shrinking.served);
    };
    BSTSET<int> cut;
    const std::string printed = runWatched(shrinking, cutSink, cut);
    EXPECT_LT(shrinking.served, forty.size() / 4);
    EXPECT_EQ(printed, runOnModel(shrinking.file));
}

TEST(Interpreter, WhatIsReadAheadIsBoundedInBytes) {
    // Hunts a window bounded only in commands: of long lines, it reads ahead
    // only what fits its bytes.
    const std::string padding(4000, ' ');
    std::string file = "INT\n";
    for (int v = 1; v <= 100; ++v) file += "ADD " + std::to_string(v) + padding + "\n";
    StringSink sink;
    WatchedSource source(file, std::size_t{1} << 20, sink);
    HintedModel model;
    runWatched(source, sink, model);
    EXPECT_GE(model.mostAhead, 2u);
    EXPECT_LE(model.mostAhead, kAheadBytes / padding.size() + 1);
}

TEST(Interpreter, AFailureWhileReadingAheadWaitsForTheCommandsReadBeforeIt) {
    // Hunts a failure that surfaces while earlier commands still wait in the
    // window: they must all be carried out and printed first. ADD 13 had
    // been read when its hint failed; ADD 14 never is.
    std::string before = "INT\n";
    for (int v = 1; v <= 13; ++v) before += "ADD " + std::to_string(v) + "\n";
    const std::string file = before + "ADD 14\n";
    FailingHints set;
    StringSink sink;
    EXPECT_THROW(runCommandsOn(file, set, sink), std::bad_alloc);
    EXPECT_EQ(sink.text, runOnModel(before));
}

// Runs the commands on a set whose value 7 already occurs INT_MAX - 1 times.
FileRun runNearTheCountLimit(LineReader& file, LineWriter& out) {
    std::string_view typeLine;
    if (!file.next(typeLine)) return FileRun::Unreadable;
    BSTSET<int> set;
    for (int v : {3, 7, 9}) set << v;
    int levels;
    detail::leafFor(testing::rootOf(set), 7, levels)->multiplicity = INT_MAX - 1;
    runCommands(file, out, set);
    return FileRun::Ran;
}

TEST(ProgramDeathTest, ACountPastIntMaxEndsTheRunLikeRunningOutOfMemory) {
    char path[] = "/tmp/orlo-count-XXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    const std::string file = "INT\nADD 7\nADD 7\nADD 9\n";
    ASSERT_EQ(::write(fd, file.data(), file.size()), static_cast<ssize_t>(file.size()));
    ::close(fd);
    char name[] = "Orlo";
    char* argv[] = {name, path, nullptr};
    // What was printed before the refused line stays printed; the refused
    // line prints its echo only; standard error says why; the status is 1.
    EXPECT_EXIT(
        {
            ::dup2(STDERR_FILENO, STDOUT_FILENO);
            std::exit(runProgram(2, argv, {"Orlo", "", Usage::Errors::UsageOnOutput}, runNearTheCountLimit));
        },
        ::testing::ExitedWithCode(1),
        "^ADD 7\nb\\[7\\] == 3\nb\\(7\\) == 2147483647\nADD 7\nOrlo: BSTSET: a value cannot occur more than INT_MAX times\n$");
    ::unlink(path);
}

}  // namespace
}  // namespace orlo
