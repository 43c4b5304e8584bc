// The wasm entry point of the page: Orlo's own interpreter, stepped one
// command at a time, with the tree after each step handed to the page.
//
// The page copies a command file into orlo_input()'s room, calls
// orlo_load(), then orlo_run_to(k) for any step k (0: before the first
// command) and reads the frame orlo_run_to() returns: what the step printed,
// the tree after it, the walk of its value and the tree's figures. Going
// back runs the file again from its start; going forward goes on from where
// the run stands.
//
// A frame is 32-bit words (little-endian), then text:
//   [0] steps done  [1] steps in the file  [2] kind: 0 before any command,
//   1 ADD, 2 DEL, 3 another keyword  [3] 1 when a value was read and the set
//   updated  [4] the value's count before  [5] its count after  [6] its
//   depth after (-1: not held)  [7] nodes N  [8] walk length W  [9] figure
//   words F  [10] text bytes  [11] the element type: 0 none, 1 INT,
//   2 DOUBLE, 3 STRING
//   then 4 text spans (offset, length): the command line, the value as
//   printed, what the step printed, the listing (once the last step is
//   done)
//   then N nodes, pre-order, 10 words each: id, 1 for a leaf, depth, count,
//   nodes in its subtree, smallest (offset, length), largest (offset, length),
//   a key of what it shows (its bounds or value and count: a node whose key
//   changes from one step to the next changed)
//   then W node numbers: the query walk of the value, root first
//   then F words of figures: distinct, occurrences (low, high), routing
//   nodes, height, average leaf depth x 1000, leaves at depths 1..height
//   then the text: UTF-8, every value and line escaped as Escape::Text says.
//
// orlo_search() walks the tree as it stands toward a value read from the
// text in orlo_query_input()'s room, as a command's value is read. Its
// result is words: [0] 1 when a value was read, [1] its count, [2] its depth
// (-1: not held), [3] the walk's length W, then W node numbers of the frame
// last made, then the length of the value as printed and its text.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Escape.h"
#include "Figures.h"
#include "Format.h"
#include "Interpreter.h"
#include "Io.h"
#include "ParseStream.h"

namespace orlo {
namespace {

constexpr std::size_t kHeaderWords = 12;
constexpr std::size_t kNodeWords = 10;

/// A frame under construction.
class Frame {
public:
    void start() {
        words.assign(kHeaderWords, 0);
        text_.clear();
    }
    /// Appends a span of text, escaped for display.
    void span(std::string_view raw) {
        const std::size_t start = text_.size();
        appendEscaped(text_, raw, Escape::Text);
        words.push_back(static_cast<std::uint32_t>(start));
        words.push_back(static_cast<std::uint32_t>(text_.size() - start));
    }
    /// The words and the text in one block.
    const std::uint8_t* finish() {
        words[10] = static_cast<std::uint32_t>(text_.size());
        block_.resize(words.size() * 4 + text_.size());
        std::memcpy(block_.data(), words.data(), words.size() * 4);
        std::memcpy(block_.data() + words.size() * 4, text_.data(), text_.size());
        return block_.data();
    }

    std::vector<std::uint32_t> words;

private:
    std::string text_;
    std::vector<std::uint8_t> block_;
};

/// Steps through one command file of one element type.
class Run {
public:
    virtual ~Run() = default;
    /// Carries out the next command; false when there is none left.
    virtual bool step() = 0;
    /// Prints the listing, once, after the last command.
    virtual void list() = 0;
    /// Describes the run as it stands; `stepped`: a command has been carried
    /// out (the last one is described).
    virtual void describe(Frame& frame, bool stepped) = 0;
    /// The walk toward a value read from `text` in the tree as it stands.
    virtual std::vector<std::uint32_t> search(std::string_view text, std::string& shown) = 0;
};

/// FNV-1a over text, from `hash` on.
std::uint32_t fnv(std::string_view text, std::uint32_t hash) {
    for (const char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    return (hash ^ 0xffu) * 16777619u;  // ends the text: "a","b" differs from "ab",""
}

struct NoHints {
    template <typename T>
    void operator()(const T&) const noexcept {}
};

template <typename T>
class TypedRun final : public Run {
public:
    explicit TypedRun(LineReader& file) : commands_(file, 0, true, NoHints{}) {}

    bool step() override {
        const Command<T>* c = commands_.next();
        if (c == nullptr) return false;
        printed_.text.clear();
        last_ = *c;
        countBefore_ = c->updates() ? set_(c->value) : 0;
        answer(*c, out_, set_, shown_);
        return true;
    }

    void list() override {
        if (!listed_) printListing(set_, listing_);
        listed_ = true;
    }

    void describe(Frame& frame, bool stepped) override {
        std::vector<std::uint32_t>& w = frame.words;
        const Command<T>* c = stepped ? &*last_ : nullptr;
        w[6] = 0xffffffffu;
        std::string value;
        if (c != nullptr) {
            w[2] = c->keyword == Command<T>::Keyword::Add ? 1 : c->keyword == Command<T>::Keyword::Del ? 2 : 3;
            w[3] = c->updates() ? 1 : 0;
            if (c->updates()) {
                w[4] = static_cast<std::uint32_t>(countBefore_);
                w[5] = static_cast<std::uint32_t>(set_(c->value));
                w[6] = static_cast<std::uint32_t>(set_[c->value]);
            }
            appendValue(value, c->value);
        }
        frame.span(c != nullptr ? std::string_view(c->line) : std::string_view());
        frame.span(value);
        frame.span(stepped ? std::string_view(printed_.text) : std::string_view());
        frame.span(listed_ ? std::string_view(listingText_.text) : std::string_view());

        // The nodes, pre-order. A node's subtree ends where the next node no
        // deeper than it starts.
        const std::size_t first = w.size();
        std::unordered_map<const void*, std::uint32_t> number;
        std::vector<std::uint32_t> open;  // nodes whose subtree goes on
        std::uint32_t n = 0;
        const auto close = [&](int depth) {
            while (!open.empty() && static_cast<int>(w[first + kNodeWords * open.back() + 2]) >= depth) {
                w[first + kNodeWords * open.back() + 4] = n - open.back();
                open.pop_back();
            }
        };
        std::string label;
        set_.visit([&](const typename BSTSET<T>::NodeView& node) {
            close(node.depth);
            open.push_back(n);
            number.emplace(node.id, n);
            w.push_back(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(node.id)));
            w.push_back(node.leaf ? 1 : 0);
            w.push_back(static_cast<std::uint32_t>(node.depth));
            w.push_back(static_cast<std::uint32_t>(node.count));
            w.push_back(0);  // its subtree's size, once known
            label.clear();
            appendValue(label, node.smallest);
            frame.span(label);
            std::uint32_t key = fnv(label, 2166136261u);
            if (!node.leaf) {
                label.clear();
                appendValue(label, node.largest);
            }
            frame.span(label);
            key = fnv(label, key) ^ static_cast<std::uint32_t>(node.count) * 16777619u;
            w.push_back(key);
            ++n;
        });
        close(0);
        w[7] = n;

        if (c != nullptr && c->updates()) {
            set_.visitPath(c->value, [&](const typename BSTSET<T>::NodeView& node) {
                w.push_back(number.at(node.id));
                ++w[8];
            });
        }

        const TreeFigures f = figuresOf(set_);
        const std::size_t figuresAt = w.size();
        w.push_back(static_cast<std::uint32_t>(f.distinct));
        w.push_back(static_cast<std::uint32_t>(static_cast<unsigned long long>(f.occurrences) & 0xffffffffu));
        w.push_back(static_cast<std::uint32_t>(static_cast<unsigned long long>(f.occurrences) >> 32));
        w.push_back(static_cast<std::uint32_t>(f.routing));
        w.push_back(static_cast<std::uint32_t>(f.height));
        w.push_back(static_cast<std::uint32_t>(f.averageLeafDepth * 1000 + 0.5));
        for (int d = 1; d <= f.height; ++d) w.push_back(static_cast<std::uint32_t>(f.leavesAtDepth[static_cast<std::size_t>(d)]));
        w[9] = static_cast<std::uint32_t>(w.size() - figuresAt);
    }

    std::vector<std::uint32_t> search(std::string_view text, std::string& shown) override {
        std::vector<std::uint32_t> out = {0, 0, 0xffffffffu, 0};
        ParseStream parse;
        parse.append(text);
        T value{};
        if (!parse.extract(value)) return out;
        appendValue(shown, value);
        out[0] = 1;
        out[1] = static_cast<std::uint32_t>(set_(value));
        out[2] = static_cast<std::uint32_t>(set_[value]);
        std::unordered_map<const void*, std::uint32_t> number;
        std::uint32_t n = 0;
        set_.visit([&](const typename BSTSET<T>::NodeView& node) { number.emplace(node.id, n++); });
        set_.visitPath(value, [&](const typename BSTSET<T>::NodeView& node) {
            out.push_back(number.at(node.id));
            ++out[3];
        });
        return out;
    }

private:
    StringSink printed_;
    LineWriter out_{printed_};
    StringSink listingText_;
    LineWriter listing_{listingText_};
    BSTSET<T> set_;
    CommandWindow<T, NoHints> commands_;
    std::string shown_;
    std::optional<Command<T>> last_;  // the command of the last step
    int countBefore_ = 0;
    bool listed_ = false;
};

/// The command file the page gave, and the run through it.
class Session {
public:
    char* input(std::size_t n) {
        text_.resize(n);
        return text_.data();
    }

    /// Takes the text in input()'s room as a command file; returns its
    /// element type (0: the first line names none, and nothing is done).
    int load() {
        steps_ = countSteps();
        restart();
        return type_;
    }

    /// Runs to step k (or the last one) and describes it.
    const std::uint8_t* runTo(int k) {
        if (k < done_) restart();
        while (run_ != nullptr && done_ < k && run_->step()) ++done_;
        if (run_ != nullptr && done_ == steps_) run_->list();
        frame_.start();
        frame_.words[0] = static_cast<std::uint32_t>(done_);
        frame_.words[1] = static_cast<std::uint32_t>(steps_);
        frame_.words[11] = static_cast<std::uint32_t>(type_);
        if (run_ != nullptr) {
            run_->describe(frame_, done_ > 0);
        } else {
            for (int i = 0; i < 4; ++i) frame_.span(std::string_view());
        }
        return frame_.finish();
    }

    std::size_t frameSize() const { return frame_.words.size() * 4 + frame_.words[10]; }

    int steps() const { return steps_; }

    /// The walk toward the value the text in input()'s room holds; see the
    /// layout above. Does not take that text as a command file.
    const std::uint32_t* search(std::size_t n) {
        std::string shown;
        found_ = run_ != nullptr ? run_->search(std::string_view(query_.data(), n), shown) : std::vector<std::uint32_t>{0, 0, 0xffffffffu, 0};
        found_.push_back(static_cast<std::uint32_t>(shown.size()));
        std::string escaped;
        appendEscaped(escaped, shown, Escape::Text);
        found_.back() = static_cast<std::uint32_t>(escaped.size());
        const std::size_t words = found_.size();
        found_.resize(words + (escaped.size() + 3) / 4);
        std::memcpy(found_.data() + words, escaped.data(), escaped.size());
        return found_.data();
    }

    char* queryInput(std::size_t n) {
        query_.resize(n);
        return query_.data();
    }

private:
    /// The command lines: those of three characters or more after the type
    /// line, as the interpreter takes them.
    int countSteps() {
        MemorySource source(text_);
        LineReader lines(source);
        std::string_view line;
        int steps = 0;
        if (!lines.next(line)) return 0;
        while (!lines.atEnd() && lines.next(line)) steps += line.size() > 2 ? 1 : 0;
        return steps;
    }

    void restart() {
        run_.reset();
        reader_.reset();
        source_ = std::make_unique<MemorySource>(text_);
        reader_ = std::make_unique<LineReader>(*source_);
        done_ = 0;
        type_ = 0;
        std::string_view typeLine;
        if (!reader_->next(typeLine)) return;
        const ElementType type = elementType(typeLine);
        type_ = static_cast<int>(type);
        withElementType(type, [&](auto tag) {
            using T = typename decltype(tag)::type;
            run_ = std::make_unique<TypedRun<T>>(*reader_);
        });
    }

    std::string text_;
    std::unique_ptr<MemorySource> source_;
    std::unique_ptr<LineReader> reader_;
    std::unique_ptr<Run> run_;
    int steps_ = 0;
    int done_ = 0;
    int type_ = 0;
    Frame frame_;
    std::string query_;
    std::vector<std::uint32_t> found_;
};

Session& session() {
    static Session* s = new Session;
    return *s;
}

}  // namespace
}  // namespace orlo

extern "C" {

/// Room for a command file of n bytes.
__attribute__((export_name("orlo_input"))) char* orlo_input(std::size_t n) { return orlo::session().input(n); }

/// Takes the command file in orlo_input()'s room; returns its element type
/// (0 when its first line names none).
__attribute__((export_name("orlo_load"))) int orlo_load() { return orlo::session().load(); }

/// Runs to step k and returns the frame describing it; orlo_frame_size()
/// gives its length in bytes.
__attribute__((export_name("orlo_run_to"))) const std::uint8_t* orlo_run_to(int k) { return orlo::session().runTo(k); }

__attribute__((export_name("orlo_frame_size"))) std::size_t orlo_frame_size() { return orlo::session().frameSize(); }

/// The command lines of the file last loaded: its steps.
__attribute__((export_name("orlo_steps"))) int orlo_steps() { return orlo::session().steps(); }

/// Room for the text of a value to search for.
__attribute__((export_name("orlo_query_input"))) char* orlo_query_input(std::size_t n) { return orlo::session().queryInput(n); }

/// The walk toward the value in orlo_query_input()'s room, in the tree as it
/// stands (the frame last made).
__attribute__((export_name("orlo_search"))) const std::uint32_t* orlo_search(std::size_t n) { return orlo::session().search(n); }

}  // extern "C"
