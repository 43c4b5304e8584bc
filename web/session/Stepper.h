// The page's run of one command file: Orlo's interpreter on a real BSTSET,
// brought to any step and back.
//
// Going forward, a command is read from the file (once) and carried out by
// the set. What each command did is recorded: the value it read, how the
// stream stood after it, and what kind of change it made. Going back takes
// a step back exactly:
//   - a new leaf (and its routing node) goes again by removing the value;
//   - one more occurrence goes by removing one, one fewer comes back by
//     adding one;
//   - a removed last occurrence comes back by linking in again the very
//     leaf and routing node the removal took out: the set hands them to the
//     session instead of destroying them, so the tree returns to its exact
//     shape (adding the value again would put it elsewhere).
// A step already run is run again from its record, without the file. So a
// step costs the walk, whichever way it goes; a jump costs a walk per step
// passed. Only a tree that has held a value unequal to itself (NaN), whose
// removals cannot take back its insertions, is run again from the start.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "CommandReader.h"
#include "Interpreter.h"
#include "RunFile.h"
#include "Trace.h"
#include "TreeShape.h"
#include "bstset/BSTSET.h"
#include "bstset/detail/Access.h"

namespace orlo::session {

/// How a step changed the tree.
enum class Change : std::uint8_t { None, AddNew, AddAgain, DelOne, DelLast };

/// How a step's value is kept: numbers as they are; a word by where it lies
/// in the run's stream, from which it is read back.
template <typename T>
struct Recorded {
    T value{};
};
template <>
struct Recorded<std::string> {
    std::uint32_t at = 0;
    std::uint32_t bytes = 0;
};

/// The set as the interpreter's answer() sees it, reporting to a Trace.
template <typename T>
struct TracedSet {
    using value_type = T;
    BSTSET<T>& set;
    Trace<T>& trace;
    auto insertAndLocate(const T& v) { return set.insertAndLocate(v, trace); }
    auto removeAndLocate(const T& v) { return set.removeAndLocate(v, trace); }
};

template <typename T>
class Stepper {
    // A step is taken back by linking in again the very nodes a removal took
    // out, and a bound change is read as an edit of its node: the tree must
    // edit bounds in place, not rebuild their nodes (bstset/detail/Tuning.h).
    static_assert(detail::kBoundsBy<T> != detail::BoundsBy::Rebuilding,
                  "the page's session needs bounds edited in place: build it without ORLO_PLAIN or ORLO_NO_BOUNDS_BY_VALUE");
public:
    explicit Stepper(const RunFile& file) : file_(file) {
        shape_.clear();
        // The record's room at once: pages not yet written cost nothing, and
        // growing by doubling would leave the module's memory at the peak.
        flags_.reserve(file.steps());
        values_.reserve(file.steps());
    }

    ~Stepper() { releaseKept(); }
    Stepper(const Stepper&) = delete;
    Stepper& operator=(const Stepper&) = delete;

    const BSTSET<T>& set() const { return set_; }
    const TreeShape<T>& shape() const { return shape_; }
    /// The tree stands after this step (0: before the first command).
    std::uint32_t at() const { return at_; }
    /// Steps run so far: up to here they are taken from the record.
    std::uint32_t known() const { return static_cast<std::uint32_t>(flags_.size()); }
    /// The step being carried out, for the page to read should Orlo stop
    /// in the middle of it (out of memory): its address stays put.
    const std::uint32_t* progress() const { return &progress_; }

    /// Brings the tree to just after step j; given a budget of work (a step
    /// costs one, one for each node its walk passes, and one for each node
    /// of a subtree a removal moved up or down), goes no further once it is
    /// spent. Returns the step the tree stands after.
    std::uint32_t moveTo(std::uint32_t j, std::uint64_t budget = UINT64_MAX) {
        j = std::min(j, file_.steps());
        if (budget == 0) return at_;
        if (j < at_ && unorderedFrom_ <= at_) restart();
        Trace<T> trace(false);
        while (at_ > j && budget > 0) budget -= std::min(budget, undo(at_--, trace));
        while (at_ < j && budget > 0) {
            progress_ = at_ + 1;
            Command<T> c = commandAt(at_ + 1);
            trace.clear();
            if (c.updates()) {
                if (c.isAdd()) {
                    set_.insertAndLocate(c.value, trace);
                } else {
                    set_.removeAndLocate(c.value, trace);
                }
            }
            const std::uint64_t moved = account(++at_, c, trace);
            budget -= std::min<std::uint64_t>(budget, 1 + trace.walk.size() + moved);
        }
        return at_;
    }

    /// Carries out step at() + 1 (which must exist), reporting it to `trace`
    /// and printing what Orlo prints for it to `out`. Returns its command.
    const Command<T>& runNext(Trace<T>& trace, LineWriter& out) {
        progress_ = at_ + 1;
        shown_ = commandAt(at_ + 1);
        TracedSet<T> traced{set_, trace};
        answer(shown_, out, traced, printed_);
        account(++at_, shown_, trace);
        return shown_;
    }

    /// The command of step k (k ≤ known() + 1), as it was read.
    Command<T> commandAt(std::uint32_t k) {
        if (k > known()) return readNext();
        Command<T> c;
        const std::uint8_t f = flags_[k - 1];
        c.keyword = static_cast<typename Command<T>::Keyword>((f >> kKeywordShift) & 3);
        c.extracted = (f & kExtracted) != 0;
        c.value = valueOf(values_[k - 1]);
        return c;
    }

    Change changeAt(std::uint32_t k) const { return static_cast<Change>(flags_[k - 1] & kChangeMask); }

    /// The text still waiting in the stream after step k, or, once the
    /// stream is stuck, the character it cannot get past.
    void waitingAfter(std::uint32_t k, std::string& out) const {
        const std::uint64_t from = consumedAfter(k);
        const std::uint64_t to = stuckAfter(k) ? from + 1 : file_.streamAt(k + 1);
        file_.appendStream(from, to, out);
    }
    bool stuckAfter(std::uint32_t k) const { return k > 0 && (flags_[k - 1] & kStuck) != 0; }
    /// The command line whose argument text the waiting text after step k
    /// begins in; 0 when nothing waits.
    std::uint32_t waitingLineAfter(std::uint32_t k) const {
        if (k == 0 || (consumedAfter(k) >= file_.streamAt(k + 1) && !stuckAfter(k))) return 0;
        return file_.commandAt(consumedAfter(k));
    }
    /// Stream bytes consumed after step k.
    std::uint64_t consumedAfter(std::uint32_t k) const {
        if (k == 0) return 0;
        const auto at = std::lower_bound(unread_.begin(), unread_.end(), std::make_pair(k, std::uint32_t{0}));
        return at != unread_.end() && at->first == k ? at->second : file_.streamAt(k + 1);
    }

    /// Whether the tree has held a value unequal to itself after step k.
    bool unorderedAfter(std::uint32_t k) const { return unorderedFrom_ <= k; }

private:
    static constexpr std::uint8_t kChangeMask = 7;
    static constexpr std::uint8_t kExtracted = 8;
    static constexpr std::uint8_t kStuck = 16;
    static constexpr int kKeywordShift = 5;

    /// A removal of a last occurrence: what it took out, kept to go back in.
    struct Removal {
        std::uint32_t step;
        Node<T>* routing;  // null when the tree was the leaf alone
        Node<T>* leaf;
        const Node<T>* risen;  // the routing node's other child, which took its place
        bool leafRight;        // the leaf was the routing node's right child
    };

    /// Reads the next command of the file and records how it was read.
    Command<T> readNext() {
        const std::uint32_t k = known() + 1;
        Command<T> c;
        reader_.read(file_.line(k), c);
        std::uint8_t f = static_cast<std::uint8_t>(static_cast<unsigned>(c.keyword) << kKeywordShift);
        if (c.extracted) f |= kExtracted;
        if (reader_.stream().stuck()) f |= kStuck;
        flags_.push_back(f);
        const std::uint64_t consumed = reader_.stream().consumed();
        if (consumed != file_.streamAt(k + 1)) unread_.push_back({k, static_cast<std::uint32_t>(consumed)});
        values_.push_back(record(c, consumed));
        return c;
    }

    Recorded<T> record(const Command<T>& c, std::uint64_t consumed) {
        if constexpr (std::is_same_v<T, std::string>) {
            // A word read ends where the stream stands now; a failed read left
            // the word before in place.
            if (c.extracted) lastWord_ = {static_cast<std::uint32_t>(consumed - c.value.size()), static_cast<std::uint32_t>(c.value.size())};
            return lastWord_;
        } else {
            (void)consumed;
            return Recorded<T>{c.value};
        }
    }

    T valueOf(const Recorded<T>& r) const {
        if constexpr (std::is_same_v<T, std::string>) {
            std::string word;
            file_.appendStream(r.at, std::uint64_t{r.at} + r.bytes, word);
            return word;
        } else {
            return r.value;
        }
    }

    /// Takes down what step k did to the tree, as its trace tells; returns
    /// the nodes of a risen subtree this walked (see TreeShape::shrank()).
    std::uint64_t account(std::uint32_t k, const Command<T>& c, const Trace<T>& trace) {
        std::uint64_t moved = 0;
        // Only a value added can put NaN in the tree: removing one finds nothing.
        if (c.updates() && c.isAdd() && !(c.value == c.value)) unorderedFrom_ = std::min(unorderedFrom_, k);
        Change change = Change::None;
        if (!trace.made.empty()) {
            change = Change::AddNew;
            shape_.grew(trace);
        } else if (!trace.gone.empty()) {
            change = Change::DelLast;
            keep(k, trace);
            moved = shape_.shrank(trace);
        } else if (trace.count.leaf != nullptr) {
            change = c.isAdd() ? Change::AddAgain : Change::DelOne;
        }
        std::uint8_t& f = flags_[k - 1];
        f = static_cast<std::uint8_t>((f & ~kChangeMask) | static_cast<std::uint8_t>(change));
        return moved;
    }

    /// Keeps what a removal of a last occurrence took out, for going back.
    void keep(std::uint32_t k, const Trace<T>& trace) {
        Removal r{k, nullptr, nullptr, nullptr, false};
        for (const Node<T>* n : trace.gone) {
            auto* node = const_cast<Node<T>*>(n);
            if (node->getType() == 1) {
                r.leaf = node;
            } else {
                r.routing = node;
            }
        }
        if (r.routing != nullptr) {
            r.risen = trace.walk.back().other;
            r.leafRight = trace.walk.back().right;
        }
        kept_.push_back(r);  // in step order: every step after k stands taken back
    }

    /// Takes step k back; returns the work it took (see moveTo()).
    std::uint64_t undo(std::uint32_t k, Trace<T>& trace) {
        progress_ = k;
        const Change change = changeAt(k);
        if (change == Change::None) return 1;
        if (change == Change::DelLast) return 1 + putBack();
        const T v = valueOf(values_[k - 1]);
        trace.clear();
        if (change == Change::DelOne) {
            set_.insertAndLocate(v, trace);
        } else {
            // A new value (its leaf and routing node go again) or one more occurrence.
            set_.removeAndLocate(v, trace);
            if (change == Change::AddNew) {
                const std::uint64_t moved = shape_.shrank(trace);
                for (const Node<T>* n : trace.gone) detail::Access::destroy(set_, const_cast<Node<T>*>(n));
                return 1 + trace.walk.size() + moved;
            }
        }
        return 1 + trace.walk.size();
    }

    /// Links back in the leaf and routing node that the latest removal of a
    /// last occurrence took out, where they were; returns the work done: the
    /// levels walked and the nodes of the subtree that went back down.
    std::uint64_t putBack() {
        const Removal r = kept_.back();  // every later step stands taken back
        kept_.pop_back();
        auto* leaf = static_cast<LeafNode<T>*>(r.leaf);
        std::vector<const Node<T>*> path;  // from the root down to the routing node
        if (r.routing == nullptr) {
            detail::Access::root(set_) = leaf;
        } else {
            auto* routing = static_cast<InnerNode<T>*>(r.routing);
            Node<T>* risen = const_cast<Node<T>*>(r.risen);
            // Where the risen subtree hangs, by a walk toward its smallest
            // value: a value held, which the bounds as they stand route truly
            // (the leaf's value, no longer held, may not be: the bounds above
            // it were narrowed to leave it out).
            Node<T>** link = &detail::Access::root(set_);
            const T& smallest = risen->leftMin();
            while (*link != risen) {
                auto* in = static_cast<InnerNode<T>*>(*link);
                path.push_back(in);
                link = smallest < in->right->leftMin() ? &in->left : &in->right;
            }
            routing->left = r.leafRight ? risen : leaf;
            routing->right = r.leafRight ? leaf : risen;
            *link = routing;
            path.push_back(routing);
        }
        detail::Access::size(set_) += static_cast<std::size_t>(leaf->multiplicity);
        detail::Access::invalidateIterators(set_);
        // The bounds above come from the children again, deepest first.
        for (std::size_t i = path.size(); i-- > 0;) {
            auto* in = const_cast<InnerNode<T>*>(static_cast<const InnerNode<T>*>(path[i]));
            in->minValue = in->left->leftMin();
            in->maxValue = in->right->rightMax();
        }
        return path.size() + shape_.restored(path, r.routing == nullptr ? nullptr : r.risen);
    }

    /// Back to the empty tree before the first command; the record stays.
    void restart() {
        releaseKept();
        set_.clear();
        shape_.clear();
        at_ = 0;
    }

    /// Destroys the nodes kept for the removals that stand (a removal taken
    /// back has its nodes in the tree again): they are out of the tree, and
    /// nothing else would free them.
    void releaseKept() {
        for (const Removal& r : kept_) {
            detail::Access::destroy(set_, r.leaf);
            if (r.routing != nullptr) detail::Access::destroy(set_, r.routing);
        }
        kept_.clear();
    }

    const RunFile& file_;
    BSTSET<T> set_;
    TreeShape<T> shape_;
    CommandReader<T> reader_;  // where the file's reading stands: after step known()
    std::uint32_t at_ = 0;
    std::uint32_t progress_ = 0;
    std::uint32_t unorderedFrom_ = UINT32_MAX;

    // The record, [k - 1] for step k.
    std::vector<std::uint8_t> flags_;     // Change, kExtracted, kStuck, the keyword
    // The steps after which text waits in the stream, with the stream bytes
    // consumed then (stuck: where it stuck); after any other step the stream
    // has consumed all it was given.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> unread_;
    std::vector<Recorded<T>> values_;    // the run's value after the step
    std::vector<Removal> kept_;          // the removals of last occurrences, in step order
    Recorded<T> lastWord_;

    Command<T> shown_;
    std::string printed_;
};

}  // namespace orlo::session
