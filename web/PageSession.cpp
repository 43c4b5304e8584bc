// The wasm entry point of the page: Orlo's own interpreter and BSTSET,
// stepped through a command file, each step told as the set's update
// reported it.
//
// The page copies a command file into orlo_input()'s room and calls
// orlo_load(); then orlo_go(k) brings the run to step k and returns a frame
// (Frame.h) describing it: the command and what Orlo printed for it, the
// walk with each comparison, what the update changed, the drawn part of the
// tree before and after it, and the tree's figures. orlo_search() walks the
// tree as it stands toward a value read from the text in
// orlo_query_input()'s room, as a command's value is read, and describes
// that walk in a frame of the same form. The ids in orlo_opened()'s room
// name folds the page wants drawn open.
//
// Should Orlo stop in the middle of a step (out of memory: this runtime
// ends the run, see WasiRuntime.cpp), the word orlo_progress() points to
// names the step it was carrying out.
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Escape.h"
#include "Format.h"
#include "Frame.h"
#include "Interpreter.h"
#include "Io.h"
#include "ParseStream.h"
#include "session/FrameWriter.h"
#include "session/RunFile.h"
#include "session/Stepper.h"
#include "session/Trace.h"
#include "session/TreeShape.h"
#include "session/View.h"
#include "bstset/detail/Access.h"

namespace orlo {
namespace session {

void appendExact(std::string& out, double value) {
    std::string printed;
    appendValue(printed, value);
    if (!std::isfinite(value)) return;  // printed in full already
    char text[32];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, value);
    const std::string_view exact(text, static_cast<std::size_t>(r.ptr - text));
    if (exact != printed) out.append(exact);
}

namespace {

/// The most bytes of the listing a frame carries: its first lines, a line
/// saying how many are left out, and its last lines.
constexpr std::size_t kListingEnds = 32 << 10;

using frame::Header;
using frame::Spans;

/// What the page asked to see.
struct View {
    Opened opened;  // folds drawn open
    std::size_t mostPath = frame::Limits::pathLevels;  // path levels drawn; the rest above is folded
};

/// A run of one element type, seen through frames.
class Run {
public:
    virtual ~Run() = default;
    virtual void go(std::uint32_t k, FrameWriter& frame, const View& view) = 0;
    virtual void search(std::string_view text, FrameWriter& frame, const View& view) = 0;
    virtual const std::uint32_t* progress() const = 0;
    virtual std::uint32_t known() const = 0;
    virtual std::uint32_t move(std::uint32_t k, std::uint64_t budget) = 0;
};

template <typename T>
class TypedRun final : public Run {
public:
    explicit TypedRun(const RunFile& file) : file_(file), stepper_(file) {}

    void go(std::uint32_t k, FrameWriter& frame, const View& view) override {
        k = std::min(k, file_.steps());
        frame.header(Header::done) = k;
        if (k == 0) {
            stepper_.moveTo(0);
            frame.header(Header::kind) = static_cast<std::uint32_t>(frame::Kind::start);
            describeTree(frame, 0);
            return;
        }
        stepper_.moveTo(k - 1);
        const Command<T> c = stepper_.commandAt(k);
        // The tree before the command, around the path its value takes.
        std::vector<Drawn<T>> before;
        int countBefore = 0;
        if (c.updates()) {
            std::vector<const Node<T>*> path = queryPath(c.value);
            countBefore = heldOn(path, c.value).second;
            before = capture(stepper_.set(), stepper_.shape(), path, view.opened, view.mostPath);
        }
        Trace<T> trace(true);
        std::unordered_set<const void*> drawn;
        for (const Drawn<T>& d : before) drawn.insert(d.node);
        trace.watched = &drawn;
        printed_.text.clear();
        stepper_.runNext(trace, out_);
        // A tree that holds NaN is out of order, and an update that finds
        // nothing can still rewrite the bounds along its walk.
        const bool changed = !trace.made.empty() || !trace.gone.empty() || trace.count.leaf != nullptr || trace.boundEdits > 0;

        frame.header(Header::kind) = static_cast<std::uint32_t>(c.keyword == Command<T>::Keyword::Add   ? frame::Kind::add
                                                                : c.keyword == Command<T>::Keyword::Del ? frame::Kind::del
                                                                                                        : frame::Kind::other);
        std::uint32_t flags = c.extracted ? frame::extracted : 0;
        if (stepper_.stuckAfter(k)) flags |= frame::stuck;
        frame.header(Header::flags) = flags;
        frame.header(Header::countBefore) = static_cast<std::uint32_t>(countBefore);
        std::string text(file_.line(k));
        frame.span(Spans::line, text);
        text.clear();
        appendValue(text, c.value);
        frame.span(Spans::value, text, kLabelEnds);
        text.clear();
        appendExact(text, c.value);
        frame.span(Spans::exact, text, kLabelEnds);
        putPrinted(frame, printed_.text);
        text.clear();
        stepper_.waitingAfter(k, text);
        frame.span(Spans::waiting, text);
        frame.header(Header::waitingLine) = stepper_.waitingLineAfter(k);

        if (c.updates()) {
            const auto [depth, count] = located(c.value);
            frame.header(Header::countAfter) = static_cast<std::uint32_t>(count);
            frame.header(Header::depth) = static_cast<std::uint32_t>(depth);
            writeWalk(frame, trace, c.value);
            writeChange(frame, trace);
            std::vector<const Node<T>*> path;
            for (const auto& p : trace.walk) path.push_back(p.node);
            if (!changed) {
                // Nothing changed: the tree before is the tree after.
                if (trace.end != nullptr) path.push_back(trace.end);
                before = capture(stepper_.set(), stepper_.shape(), path, view.opened, view.mostPath);
            } else if (!trace.made.empty()) {
                // The reached leaf's place went to the new routing node, over it and the new leaf.
                for (const Node<T>* n : trace.made) {
                    if (const_cast<Node<T>*>(n)->getType() == 0) path.push_back(n);
                }
                for (const Node<T>* n : trace.made) {
                    if (const_cast<Node<T>*>(n)->getType() == 1) path.push_back(n);
                }
            } else if (!trace.gone.empty()) {
                // The routing node went; its other child took its place.
                if (!path.empty()) path.back() = trace.walk.back().other;
            } else if (trace.end != nullptr) {
                path.push_back(trace.end);
            }
            frame.header(Header::beforeNodes) = static_cast<std::uint32_t>(before.size());
            write(frame, before);
            const std::vector<Drawn<T>> after =
                changed ? capture(stepper_.set(), stepper_.shape(), path, view.opened, view.mostPath) : std::move(before);
            frame.header(Header::afterNodes) = static_cast<std::uint32_t>(after.size());
            write(frame, after);
        } else {
            frame.header(Header::depth) = static_cast<std::uint32_t>(-1);
            const std::vector<Drawn<T>> after = capture(stepper_.set(), stepper_.shape(), {}, view.opened, view.mostPath);
            frame.header(Header::afterNodes) = static_cast<std::uint32_t>(after.size());
            write(frame, after);
        }
        describeTree(frame, k);
    }

    void search(std::string_view text, FrameWriter& frame, const View& view) override {
        frame.header(Header::done) = stepper_.at();
        frame.header(Header::kind) = static_cast<std::uint32_t>(frame::Kind::search);
        ParseStream parse;
        parse.append(text);
        T v{};
        if (!parse.extract(v)) return;  // flags say no value was read
        frame.header(Header::flags) = frame::extracted;
        std::string shown;
        appendValue(shown, v);
        frame.span(Spans::value, shown, kLabelEnds);
        shown.clear();
        appendExact(shown, v);
        frame.span(Spans::exact, shown, kLabelEnds);
        // A query's walk: at each routing node, by the right side's smallest value.
        const std::vector<const Node<T>*> path = queryPath(v);
        const auto [depth, count] = heldOn(path, v);
        frame.header(Header::countAfter) = static_cast<std::uint32_t>(count);
        frame.header(Header::depth) = static_cast<std::uint32_t>(depth);
        const Node<T>* leaf = path.empty() ? nullptr : path.back();
        const bool holds = count > 0;
        writeWalkItems(frame, path.empty() ? 0 : path.size() - 1, leaf, holds, [&](std::size_t i, std::size_t at) {
            auto* node = const_cast<Node<T>*>(path[i]);
            const T& bound = node->getRight()->leftMin();
            frame.word(at + frame::WalkItem::node) = id(node);
            frame.word(at + frame::WalkItem::how) = static_cast<std::uint32_t>(frame::WalkHow::rightSmallest);
            frame.word(at + frame::WalkItem::right) = v < bound ? 0 : 1;
            putValue(frame, at + frame::WalkItem::boundAt, at + frame::WalkItem::exactAt, bound);
        });
        const std::vector<Drawn<T>> nodes = capture(stepper_.set(), stepper_.shape(), path, view.opened, view.mostPath);
        frame.header(Header::afterNodes) = static_cast<std::uint32_t>(nodes.size());
        write(frame, nodes);
        describeTree(frame, stepper_.at());
    }

    const std::uint32_t* progress() const override { return stepper_.progress(); }
    std::uint32_t known() const override { return stepper_.known(); }
    std::uint32_t move(std::uint32_t k, std::uint64_t budget) override { return stepper_.moveTo(k, budget); }

private:
    static std::uint32_t id(const void* node) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(node)); }

    /// The nodes a query for v passes, root first, ending at a leaf.
    std::vector<const Node<T>*> queryPath(const T& v) const {
        std::vector<const Node<T>*> path;
        stepper_.set().visitPath(v, [&](const auto& node) { path.push_back(static_cast<const Node<T>*>(node.id)); });
        return path;
    }

    /// What Orlo prints for v, b[v] and b(v), read off the path a query for
    /// v takes (queryPath()): the walks are one.
    static std::pair<int, int> heldOn(const std::vector<const Node<T>*>& path, const T& v) {
        if (path.empty()) return {-1, 0};
        const auto* leaf = static_cast<const LeafNode<T>*>(path.back());
        return leaf->value == v ? std::pair<int, int>{static_cast<int>(path.size()), leaf->multiplicity} : std::pair<int, int>{-1, 0};
    }

    /// b[v] and b(v) in the tree as it stands, in one walk.
    std::pair<int, int> located(const T& v) const {
        Node<T>* root = detail::Access::root(stepper_.set());
        return root == nullptr ? std::pair<int, int>{-1, 0} : detail::locate(root, v);
    }

    /// A value as printed and, where that rounds, in full.
    static void putValue(FrameWriter& frame, std::size_t printedAt, std::size_t exactAt, const T& value) {
        std::string text;
        appendValue(text, value);
        frame.put(printedAt, text);
        text.clear();
        appendExact(text, value);
        frame.put(exactAt, text);
    }

    /// The walk's records: `routing` comparisons, each filled in by
    /// fill(i, record), then the leaf the walk reached, when it reached one.
    /// Of a long walk only the first and the last comparisons are written;
    /// walkSkipped counts those left out between them.
    template <class Fill>
    static void writeWalkItems(FrameWriter& frame, std::size_t routing, const void* leaf, bool holds, Fill fill) {
        constexpr std::size_t head = frame::Limits::walkHead, tail = frame::Limits::walkTail;
        const std::size_t skipped = routing > head + tail ? routing - head - tail : 0;
        frame.header(Header::walkSkipped) = static_cast<std::uint32_t>(skipped);
        for (std::size_t i = 0; i < routing; ++i) {
            if (i == head && skipped > 0) i += skipped;
            fill(i, frame.record(frame::WalkItem::kWords));
        }
        std::uint32_t items = static_cast<std::uint32_t>(routing - skipped);
        if (leaf != nullptr) {
            const std::size_t at = frame.record(frame::WalkItem::kWords);
            frame.word(at + frame::WalkItem::node) = id(leaf);
            frame.word(at + frame::WalkItem::how) = static_cast<std::uint32_t>(frame::WalkHow::leaf);
            frame.word(at + frame::WalkItem::holds) = holds ? 1 : 0;
            ++items;
        }
        frame.header(Header::walkItems) = items;
    }

    void writeWalk(FrameWriter& frame, const Trace<T>& trace, const T& v) {
        writeWalkItems(frame, trace.walk.size(), trace.end, trace.holds, [&](std::size_t i, std::size_t at) {
            const auto& p = trace.walk[i];
            frame.word(at + frame::WalkItem::node) = id(p.node);
            frame.word(at + frame::WalkItem::how) = static_cast<std::uint32_t>(howOf(p.how));
            // Outside a node's range, "right" says the value lies above it.
            const bool right = p.how == Compared::OutsideRange ? !(v < p.bound) : p.right;
            frame.word(at + frame::WalkItem::right) = right ? 1 : 0;
            putValue(frame, at + frame::WalkItem::boundAt, at + frame::WalkItem::exactAt, p.bound);
        });
    }

    static frame::WalkHow howOf(Compared how) {
        switch (how) {
            case Compared::RightSmallest: return frame::WalkHow::rightSmallest;
            case Compared::LeftLargest: return frame::WalkHow::leftLargest;
            case Compared::OutsideRange: return frame::WalkHow::outsideRange;
            case Compared::BetweenSides: return frame::WalkHow::betweenSides;
        }
        return frame::WalkHow::leaf;
    }

    void writeChange(FrameWriter& frame, const Trace<T>& trace) {
        std::uint32_t items = 0;
        const auto item = [&](frame::ChangeWhat what, const void* node) {
            const std::size_t at = frame.record(frame::ChangeItem::kWords);
            frame.word(at + frame::ChangeItem::what) = static_cast<std::uint32_t>(what);
            frame.word(at + frame::ChangeItem::node) = id(node);
            ++items;
            return at;
        };
        for (const auto& e : trace.bounds) {
            const std::size_t at = item(frame::ChangeWhat::bound, e.node);
            frame.word(at + frame::ChangeItem::largest) = e.largest ? 1 : 0;
            frame.put(at + frame::ChangeItem::oldAt, e.before);
            frame.put(at + frame::ChangeItem::newAt, e.after);
        }
        if (trace.count.leaf != nullptr) {
            const std::size_t at = item(frame::ChangeWhat::count, trace.count.leaf);
            frame.word(at + frame::ChangeItem::before) = static_cast<std::uint32_t>(trace.count.before);
            frame.word(at + frame::ChangeItem::after) = static_cast<std::uint32_t>(trace.count.after);
        }
        for (const Node<T>* n : trace.made) item(frame::ChangeWhat::created, n);
        for (const Node<T>* n : trace.gone) item(frame::ChangeWhat::freed, n);
        if (!trace.gone.empty() && !trace.walk.empty()) item(frame::ChangeWhat::rose, trace.walk.back().other);
        frame.header(Header::changeItems) = items;
    }

    /// What Orlo printed for the step, each over-long line cut to its ends.
    static void putPrinted(FrameWriter& frame, std::string_view printed) {
        std::string shown;
        bool cut = false;
        for (std::size_t at = 0; at < printed.size();) {
            std::size_t end = printed.find('\n', at);
            if (end == std::string_view::npos) end = printed.size();
            const std::string_view line = printed.substr(at, end - at);
            cut |= FrameWriter::appendCut(shown, line, kLineEnds);
            shown += '\n';
            at = end + 1;
        }
        frame.span(Spans::printed, shown, shown.size());
        if (cut) {
            frame.word(Header::kWords + Spans::printed * frame::Span::kWords + frame::Span::whole) =
                static_cast<std::uint32_t>(printed.size());
        }
    }

    /// The figures, and the listing once the last command is done.
    void describeTree(FrameWriter& frame, std::uint32_t k) {
        const TreeShape<T>& shape = stepper_.shape();
        const std::vector<std::uint32_t>& depths = shape.leavesAtDepth();
        const std::size_t at = frame.record(frame::Figures::kWords);
        std::uint64_t distinct = 0, depthSum = 0;
        for (std::size_t d = 1; d < depths.size(); ++d) {
            distinct += depths[d];
            depthSum += d * std::uint64_t{depths[d]};
        }
        const std::uint64_t occurrences = stepper_.set().size();
        frame.word(at + frame::Figures::distinct) = static_cast<std::uint32_t>(distinct);
        frame.word(at + frame::Figures::occurrencesLow) = static_cast<std::uint32_t>(occurrences);
        frame.word(at + frame::Figures::occurrencesHigh) = static_cast<std::uint32_t>(occurrences >> 32);
        frame.word(at + frame::Figures::routing) = static_cast<std::uint32_t>(shape.routingNodes());
        frame.word(at + frame::Figures::height) = static_cast<std::uint32_t>(depths.size() - 1);
        frame.word(at + frame::Figures::depthSumLow) = static_cast<std::uint32_t>(depthSum);
        frame.word(at + frame::Figures::depthSumHigh) = static_cast<std::uint32_t>(depthSum >> 32);
        for (std::size_t d = 1; d < depths.size(); ++d) frame.push(depths[d]);
        frame.header(Header::figureWords) = static_cast<std::uint32_t>(frame::Figures::kWords + depths.size() - 1);
        std::uint32_t flags = frame.header(Header::flags);
        if (stepper_.unorderedAfter(k)) flags |= frame::unordered;
        if (k == file_.steps()) {
            flags |= frame::listed;
            putListing(frame);
        }
        frame.header(Header::flags) = flags;
    }

    /// The listing: each distinct value once, ascending. A long one is cut
    /// to its first and last lines, with a line saying how many are left
    /// out: its ends are read from the tree's two ends, so a large tree's
    /// listing costs what is shown.
    void putListing(FrameWriter& frame) {
        std::string head, tail, value;
        std::uint64_t lines = 0;
        for (const T& v : stepper_.set()) {
            value.clear();
            appendValue(value, v);
            value += '\n';
            if (head.size() + value.size() > kListingEnds) break;
            head += value;
            ++lines;
        }
        const std::uint64_t distinct = stepper_.shape().of(detail::Access::root(stepper_.set())).leaves;
        // The last lines, from the largest value down, in a walk of the tree
        // right to left.
        std::vector<std::string> last;
        std::size_t tailBytes = 0;
        std::vector<Node<T>*> stack;
        if (lines < distinct) stack.push_back(detail::Access::root(stepper_.set()));
        while (!stack.empty() && lines + last.size() < distinct) {
            Node<T>* n = stack.back();
            stack.pop_back();
            if (n->getType() == 0) {
                stack.push_back(n->getLeft());
                stack.push_back(n->getRight());
                continue;
            }
            value.clear();
            appendValue(value, n->leftMin());
            value += '\n';
            if (tailBytes + value.size() > kListingEnds) break;
            tailBytes += value.size();
            last.push_back(value);
        }
        std::string text = std::move(head);
        const std::uint64_t skipped = distinct - lines - last.size();
        if (skipped > 0) text += "\xe2\x80\xa6 " + std::to_string(skipped) + " more lines \xe2\x80\xa6\n";
        for (std::size_t i = last.size(); i-- > 0;) text += last[i];
        frame.span(Spans::listing, text, text.size());
    }

    const RunFile& file_;
    Stepper<T> stepper_;
    StringSink printed_;
    LineWriter out_{printed_};
};

/// The command file the page gave, and the run through it.
class Session {
public:
    char* input(std::size_t n) {
        input_.resize(n);
        return input_.data();
    }

    /// Takes the text in input()'s room as a command file; returns its
    /// element type (0: the first line names none, and nothing is done).
    std::uint32_t load() {
        run_.reset();
        file_.load(std::move(input_));
        input_ = std::string();
        withElementType(file_.type(), [&](auto tag) {
            using T = typename decltype(tag)::type;
            run_ = std::make_unique<TypedRun<T>>(file_);
        });
        return static_cast<std::uint32_t>(file_.type());
    }

    /// As load(), the text in input()'s room being written as the page
    /// embeds a run (Escape::PageData).
    std::uint32_t loadPageData() {
        unescapePageData(input_);
        return load();
    }

    const std::uint8_t* go(std::uint32_t k) {
        frame_.start();
        header();
        if (run_ != nullptr) run_->go(k, frame_, view_);
        frame_.header(Header::known) = known();
        return frame_.finish();
    }

    const std::uint8_t* search(std::size_t n) {
        frame_.start();
        header();
        if (run_ != nullptr) run_->search(std::string_view(query_.data(), n), frame_, view_);
        return frame_.finish();
    }

    /// Takes the run toward the tree after step k, spending at most `budget`
    /// work (Stepper::moveTo()); returns the step it stands after.
    std::uint32_t move(std::uint32_t k, std::uint32_t budget) { return run_ != nullptr ? run_->move(k, budget) : 0; }

    std::size_t frameSize() const { return frame_.size(); }
    const char* fileData() const { return file_.bytes().data(); }
    std::size_t fileSize() const { return file_.bytes().size(); }

    /// The file written as the page embeds a run (Escape::PageData), in
    /// input()'s room, which the next input() reuses: the page saves a page
    /// with the run in it by the very escaper orlo-dot writes one with.
    const char* pageData() {
        input_.clear();
        appendEscaped(input_, std::string_view(file_.bytes()), Escape::PageData);
        return input_.data();
    }
    std::size_t pageDataSize() const { return input_.size(); }
    std::uint32_t steps() const { return file_.steps(); }

    /// Where command k's line lies in the file (k from 1; 0 when there is no
    /// such command): [0] its first byte, [1] just past it and its line feed.
    const std::uint32_t* commandLine(std::uint32_t k) {
        lineSpan_[0] = lineSpan_[1] = 0;
        if (k == 0 || k > file_.steps()) return lineSpan_;
        const std::string_view all = file_.bytes(), line = file_.line(k);
        const auto at = static_cast<std::size_t>(line.data() - all.data());
        lineSpan_[0] = static_cast<std::uint32_t>(at);
        lineSpan_[1] = static_cast<std::uint32_t>(std::min(at + line.size() + 1, all.size()));
        return lineSpan_;
    }

    char* queryInput(std::size_t n) {
        query_.resize(n);
        return query_.data();
    }

    /// Room for the ids of the folds to draw open; opened() takes them.
    std::uint32_t* openedInput(std::size_t n) {
        openedIds_.resize(n);
        return openedIds_.data();
    }
    void opened() {
        view_.opened.clear();
        for (const std::uint32_t id : openedIds_) view_.opened.insert(id);
    }

    /// The most levels of a walk's path the frames draw (the rest is folded).
    /// At least the walk's end is drawn.
    void pathLevels(std::uint32_t n) { view_.mostPath = std::max<std::uint32_t>(n, 1); }

    const std::uint32_t* progress() const { return run_ != nullptr ? run_->progress() : &noProgress_; }

private:
    void header() {
        frame_.header(Header::steps) = file_.steps();
        frame_.header(Header::type) = static_cast<std::uint32_t>(file_.type());
        frame_.header(Header::depth) = static_cast<std::uint32_t>(-1);
    }
    std::uint32_t known() const { return run_ != nullptr ? run_->known() : 0; }

    std::string input_;
    RunFile file_;
    std::unique_ptr<Run> run_;
    FrameWriter frame_;
    std::string query_;
    std::vector<std::uint32_t> openedIds_;
    View view_;
    std::uint32_t noProgress_ = 0;
    std::uint32_t lineSpan_[2] = {0, 0};
};

Session& session() {
    static Session* s = new Session;
    return *s;
}

}  // namespace
}  // namespace session
}  // namespace orlo

extern "C" {

/// Room for a command file of n bytes.
__attribute__((export_name("orlo_input"))) char* orlo_input(std::size_t n) { return orlo::session::session().input(n); }

/// Takes the command file in orlo_input()'s room; returns its element type
/// (0 when its first line names none).
__attribute__((export_name("orlo_load"))) std::uint32_t orlo_load() { return orlo::session::session().load(); }

/// The file last loaded, byte for byte (orlo_file_size() bytes): the page
/// keeps no copy of its own.
__attribute__((export_name("orlo_file"))) const char* orlo_file() { return orlo::session::session().fileData(); }
__attribute__((export_name("orlo_file_size"))) std::size_t orlo_file_size() { return orlo::session::session().fileSize(); }

/// The file last loaded, written as the page embeds a run
/// (orlo_page_data_size() bytes, kept until the next orlo_input()).
__attribute__((export_name("orlo_page_data"))) const char* orlo_page_data() { return orlo::session::session().pageData(); }
__attribute__((export_name("orlo_page_data_size"))) std::size_t orlo_page_data_size() {
    return orlo::session::session().pageDataSize();
}

/// As orlo_load(), for a run in orlo_input()'s room written as the page
/// embeds it (%XX for some bytes; see Escape::PageData).
__attribute__((export_name("orlo_load_page_data"))) std::uint32_t orlo_load_page_data() {
    return orlo::session::session().loadPageData();
}

/// Where command line k lies in the file last loaded: two words, its first
/// byte and the byte past its line feed (both 0 when there is no line k).
__attribute__((export_name("orlo_command_line"))) const std::uint32_t* orlo_command_line(std::uint32_t k) {
    return orlo::session::session().commandLine(k);
}

/// The command lines of the file last loaded: its steps.
__attribute__((export_name("orlo_steps"))) std::uint32_t orlo_steps() { return orlo::session::session().steps(); }

/// Brings the run to step k and returns the frame describing it;
/// orlo_frame_size() gives its length in bytes.
__attribute__((export_name("orlo_go"))) const std::uint8_t* orlo_go(std::uint32_t k) { return orlo::session::session().go(k); }

/// Takes the run toward the tree after step k, spending at most `budget`
/// work (a step, each node its walk passes and each node of a subtree a
/// removal lifts or lowers cost one), so that a long way can be gone in
/// pieces; returns the step the tree stands after.
__attribute__((export_name("orlo_move"))) std::uint32_t orlo_move(std::uint32_t k, std::uint32_t budget) {
    return orlo::session::session().move(k, budget);
}

__attribute__((export_name("orlo_frame_size"))) std::size_t orlo_frame_size() { return orlo::session::session().frameSize(); }

/// Room for the text of a value to search for.
__attribute__((export_name("orlo_query_input"))) char* orlo_query_input(std::size_t n) {
    return orlo::session::session().queryInput(n);
}

/// The walk toward the value in orlo_query_input()'s first n bytes, in the
/// tree as it stands, as a frame.
__attribute__((export_name("orlo_search"))) const std::uint8_t* orlo_search(std::size_t n) {
    return orlo::session::session().search(n);
}

/// Room for the ids of n folds the page wants drawn open; orlo_opened()
/// takes them for the frames that follow.
__attribute__((export_name("orlo_opened_input"))) std::uint32_t* orlo_opened_input(std::size_t n) {
    return orlo::session::session().openedInput(n);
}
__attribute__((export_name("orlo_opened"))) void orlo_opened() { orlo::session::session().opened(); }

/// The most levels of a walk's path the frames that follow draw; the levels
/// above are folded into one node (64 unless set).
__attribute__((export_name("orlo_path_levels"))) void orlo_path_levels(std::uint32_t n) {
    orlo::session::session().pathLevels(n);
}

/// Where the step being carried out is written.
__attribute__((export_name("orlo_progress"))) const std::uint32_t* orlo_progress() { return orlo::session::session().progress(); }

}  // extern "C"
