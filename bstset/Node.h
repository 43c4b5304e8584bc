// The nodes of the leaf-oriented binary search tree behind BSTSET.
//
// Values live only in leaves (LeafNode), one leaf per distinct value with the
// number of its occurrences. Routing nodes (InnerNode) always have two
// children and cache the smallest and largest value of their subtree. Every
// operation that may reshape the tree returns the node that takes the called
// node's place; the caller stores it, so no node needs a parent pointer.
//
// The tree is not balanced: sorted input builds a chain as tall as the number
// of distinct values. No operation, query or destructor therefore uses stack
// space that grows with the height; they loop instead of recursing, and give
// exactly the results of the plain recursive formulation.
//
// Failures: an insertion or removal that throws (out of memory, a throwing
// copy of T, a count that would pass INT_MAX) leaves the tree exactly as it
// was. Everything that can throw happens before the first change.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

#include "NodePool.h"

namespace orlo {

namespace detail {

template <typename T, typename = void>
struct HasLess : std::false_type {};
template <typename T>
struct HasLess<T, std::void_t<decltype(static_cast<bool>(std::declval<const T&>() < std::declval<const T&>()))>>
    : std::true_type {};
template <typename T, typename = void>
struct HasGreater : std::false_type {};
template <typename T>
struct HasGreater<T, std::void_t<decltype(static_cast<bool>(std::declval<const T&>() > std::declval<const T&>()))>>
    : std::true_type {};
template <typename T, typename = void>
struct HasEqual : std::false_type {};
template <typename T>
struct HasEqual<T, std::void_t<decltype(static_cast<bool>(std::declval<const T&>() == std::declval<const T&>()))>>
    : std::true_type {};
template <typename T, typename = void>
struct HasNotEqual : std::false_type {};
template <typename T>
struct HasNotEqual<T, std::void_t<decltype(static_cast<bool>(std::declval<const T&>() != std::declval<const T&>()))>>
    : std::true_type {};

/// What the tree needs of its element type, each with its own message.
template <typename T>
constexpr bool checkElementType() {
    static_assert(!std::is_reference_v<T> && !std::is_const_v<T>, "BSTSET: the element type must be a plain object type");
    static_assert(HasLess<T>::value, "BSTSET: the element type needs a < b (const operands, result convertible to bool)");
    static_assert(HasGreater<T>::value, "BSTSET: the element type needs a > b (const operands, result convertible to bool)");
    static_assert(HasEqual<T>::value, "BSTSET: the element type needs a == b (const operands, result convertible to bool)");
    static_assert(HasNotEqual<T>::value, "BSTSET: the element type needs a != b (const operands, result convertible to bool)");
    static_assert(std::is_copy_constructible_v<T>, "BSTSET: the element type must be copy constructible");
    static_assert(std::is_copy_assignable_v<T>, "BSTSET: the element type must be copy assignable");
    static_assert(std::is_nothrow_destructible_v<T>, "BSTSET: the element type's destructor must not throw");
    return true;
}

/// Gives several cached bounds one new value, in two steps: the constructor
/// does everything that can throw, and write() cannot fail, so an update that
/// throws has changed nothing. Types whose copy assignment cannot throw are
/// assigned in place; for the others a copy per bound is made up front and
/// swapped in (the copies then hold the old bounds and die with this object).
template <typename T>
class BoundUpdate {
public:
    static constexpr bool kDirect = std::is_nothrow_copy_assignable_v<T> || !std::is_nothrow_swappable_v<T>;

    BoundUpdate(const T& value, std::size_t bounds) : value_(value) {
        if constexpr (!kDirect) {
            // Most updates change a bound or two: those copies stay on the
            // stack.
            if (bounds > kInline) spill_.reserve(bounds - kInline);
            for (std::size_t i = 0; i < bounds; ++i) {
                if (i < kInline) {
                    inline_[i].emplace(value);
                } else {
                    spill_.push_back(value);
                }
            }
        } else {
            (void)bounds;
        }
    }

    void write(T& bound) noexcept(std::is_nothrow_copy_assignable_v<T> || !kDirect) {
        if constexpr (kDirect) {
            bound = value_;
        } else {
            using std::swap;
            swap(bound, next_ < kInline ? *inline_[next_] : spill_[next_ - kInline]);
            ++next_;
        }
    }

private:
    static constexpr std::size_t kInline = kDirect ? 0 : 4;
    const T& value_;
    std::optional<T> inline_[kInline == 0 ? 1 : kInline];
    std::vector<T> spill_;
    std::size_t next_ = 0;
};

/// a < b and a > b, as T's operators answer them. For std::string they are
/// byte-wise comparisons as unsigned char; done here, inline, they are
/// several times faster than the library's call to memcmp for the short
/// strings a walk compares level after level.
template <typename T>
bool less(const T& a, const T& b) {
    return a < b;
}
template <typename T>
bool greater(const T& a, const T& b) {
    return a > b;
}
inline bool less(const std::string& a, const std::string& b) noexcept {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    const auto* p = reinterpret_cast<const unsigned char*>(a.data());
    const auto* q = reinterpret_cast<const unsigned char*>(b.data());
    for (std::size_t i = 0; i < n; ++i) {
        if (p[i] != q[i]) return p[i] < q[i];
    }
    return a.size() < b.size();
}
inline bool greater(const std::string& a, const std::string& b) noexcept { return less(b, a); }

/// Starts fetching the cache line at p; only a hint, which never reads p
/// and never faults, whatever p holds.
inline void prefetch(const void* p) noexcept {
#if defined(__GNUC__)
    __builtin_prefetch(p);
#else
    (void)p;
#endif
}

/// a when c holds, else b, without a branch. Where c is a coin toss (the
/// direction of a walk through a random tree) a branch is mispredicted every
/// other level; GCC will not turn these choices into conditional moves, so
/// the choice is made with a mask.
template <typename P>
P pick(bool c, P a, P b) noexcept {
    static_assert(std::is_pointer_v<P>);
    const std::uintptr_t mask = std::uintptr_t{0} - static_cast<std::uintptr_t>(c);
    return reinterpret_cast<P>((reinterpret_cast<std::uintptr_t>(a) & mask) | (reinterpret_cast<std::uintptr_t>(b) & ~mask));
}

}  // namespace detail

/// Where an insertion or removal leaves its value: the depth of the leaf that
/// holds it (counting the called node as level 1) and its multiplicity, or -1
/// and 0 when the value is not held; whether a removal took an occurrence
/// away; and the nodes it freed, so walks begun ahead of time can forget
/// them. The depth and count queries that follow the update would answer
/// exactly this.
struct Outcome {
    int depth = -1;
    int count = 0;
    bool removed = false;
    const void* freedLeaf = nullptr;
    const void* freedInner = nullptr;
};

template <typename T>
class LeafNode;
template <typename T>
class InnerNode;

/// The memory of one tree's nodes.
template <typename T>
using TreeArena = NodeArena<LeafNode<T>, InnerNode<T>>;

template <typename T>
class Node {
    static_assert(detail::checkElementType<T>());

public:
    Node() = default;
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    /// 1 for a leaf, 0 for a routing node.
    virtual int getType() = 0;
    /// Inserts one occurrence of v; returns the subtree's new root.
    virtual Node* add(const T& v, Outcome* outcome = nullptr) = 0;
    /// Removes one occurrence of v; returns the subtree's new root, or null
    /// when the subtree held nothing else.
    virtual Node* del(const T& v, Outcome* outcome = nullptr) = 0;
    virtual T& leftMin() = 0;
    virtual T& rightMax() = 0;
    /// Occurrences of v in the subtree, 0 when absent.
    virtual int count(const T& v) = 0;
    /// Level of the leaf holding v, this node being level 1; -1 when absent.
    virtual int depth(const T& v) = 0;
    virtual Node* getLeft() = 0;
    virtual Node* getRight() = 0;
    virtual ~Node() {}
};

template <typename T>
class LeafNode final : public Node<T> {
public:
    /// Occurrences of value; at least 1 while the leaf exists.
    int multiplicity;
    T value;

    explicit LeafNode(const T& v) : multiplicity(1), value(v) {}

    int getType() override { return 1; }
    T& leftMin() override { return value; }
    T& rightMax() override { return value; }
    Node<T>* getLeft() override { return nullptr; }
    Node<T>* getRight() override { return nullptr; }
    int count(const T& v) override { return v == value ? multiplicity : 0; }
    int depth(const T& v) override { return v == value ? 1 : -1; }

    /// Throws std::length_error, changing nothing, when v already occurs
    /// INT_MAX times.
    Node<T>* add(const T& v, Outcome* outcome = nullptr) override;
    Node<T>* del(const T& v, Outcome* outcome = nullptr) override;

    // Nodes live in their tree's arena (NodePool.h); one made by plain `new`
    // belongs to no tree and comes from the shared arena.
    static void* operator new(std::size_t) { return TreeArena<T>::shared().allocateLeaf(); }
    static void* operator new(std::size_t, TreeArena<T>& arena) { return arena.allocateLeaf(); }
    static void operator delete(void* p) noexcept {
        if (p != nullptr) TreeArena<T>::of(static_cast<LeafNode*>(p)).releaseLeaf(p);
    }
    static void operator delete(void* p, TreeArena<T>& arena) noexcept { arena.releaseLeaf(p); }
};

template <typename T>
class InnerNode final : public Node<T> {
public:
    T maxValue;  // the largest value of the subtree
    T minValue;  // the smallest value of the subtree
    Node<T>* right;  // owned, never null
    Node<T>* left;   // owned, never null

    /// Routing nodes are made only when a second distinct value reaches a
    /// leaf, so both children are leaves here.
    InnerNode(LeafNode<T>* l, LeafNode<T>* r)
        : maxValue(r->rightMax()), minValue(l->leftMin()), right(r), left(l) {}

    /// Destroys both subtrees. A child detached beforehand (set to null) is
    /// left alone.
    ~InnerNode() override {
        destroy(right);
        destroy(left);
    }

    /// Destroys a whole subtree in constant stack space. Right rotations turn
    /// the subtree into a chain whose left children are leaves, which is then
    /// eaten from the top; every routing node is detached before it is
    /// deleted, so no destructor ever descends.
    static void destroy(Node<T>* n) noexcept {
        while (n != nullptr) {
            if (n->getType() == 1) {
                delete n;
                return;
            }
            auto* top = static_cast<InnerNode*>(n);
            if (top->left->getType() == 0) {
                auto* l = static_cast<InnerNode*>(top->left);
                top->left = l->right;
                l->right = top;
                n = l;
            } else {
                delete top->left;
                n = top->right;
                top->left = top->right = nullptr;
                delete top;
            }
        }
    }

    int getType() override { return 0; }
    T& leftMin() override { return minValue; }
    T& rightMax() override { return maxValue; }
    Node<T>* getLeft() override { return left; }
    Node<T>* getRight() override { return right; }

    // The hot walks (and BSTSET's early walks) tell the two node kinds apart,
    // and read a node's smallest value, without virtual calls: typeid reads
    // the kind from the node's type data, so no indirect branch is
    // mispredicted level after level near the leaves. Should a platform hand
    // out two type_info objects for one type, the comparisons of their
    // addresses fail and the virtual calls answer instead.
    static bool isRouting(const Node<T>* n) noexcept {
        if (&typeid(*n) == &typeid(InnerNode)) return true;
        if (&typeid(*n) == &typeid(LeafNode<T>)) return false;
        return const_cast<Node<T>*>(n)->getType() == 0;
    }
    static const T& smallest(const Node<T>* n) {
        if (&typeid(*n) == &typeid(InnerNode)) return static_cast<const InnerNode*>(n)->minValue;
        if (&typeid(*n) == &typeid(LeafNode<T>)) return static_cast<const LeafNode<T>*>(n)->value;
        return const_cast<Node<T>*>(n)->leftMin();
    }

    /// The leaf where a query for v ends in the subtree under n, and how many
    /// routing nodes lie above it. Routing: a value smaller than the right
    /// subtree's smallest goes left, anything else goes right.
    static LeafNode<T>* leafFor(Node<T>* n, const T& v, int& levels) {
        levels = 0;
        while (isRouting(n)) {
            auto* in = static_cast<InnerNode*>(n);
            n = detail::pick(detail::less(v, smallest(in->right)), in->left, in->right);
            ++levels;
        }
        return static_cast<LeafNode<T>*>(n);
    }

    /// Both queries in one walk.
    static Outcome locate(Node<T>* n, const T& v) {
        int levels;
        LeafNode<T>* leaf = leafFor(n, v, levels);
        const int d = leaf->depth(v);
        return {d == -1 ? -1 : d + levels, leaf->count(v)};
    }

    int count(const T& v) override {
        int levels;
        return leafFor(this, v, levels)->count(v);
    }

    int depth(const T& v) override { return locate(this, v).depth; }

    /// add() and del() read a routing node's own cached bounds where the
    /// plain formulation reads its children's. That gives the same results
    /// in every tree whose values are ordered, and is faster. A tree that has
    /// held a value unequal to itself (NaN) is not ordered; these take the
    /// plain formulation's comparisons exactly, for any tree.
    static Node<T>* addUnordered(Node<T>* root, const T& v, Outcome* outcome);
    static Node<T>* delUnordered(Node<T>* root, const T& v, Outcome* outcome);

    Node<T>* add(const T& v, Outcome* outcome = nullptr) override;
    Node<T>* del(const T& v, Outcome* outcome = nullptr) override;

    static void* operator new(std::size_t) { return TreeArena<T>::shared().allocateInner(); }
    static void* operator new(std::size_t, TreeArena<T>& arena) { return arena.allocateInner(); }
    static void operator delete(void* p) noexcept {
        if (p != nullptr) TreeArena<T>::of(static_cast<InnerNode*>(p)).releaseInner(p);
    }
    static void operator delete(void* p, TreeArena<T>& arena) noexcept { arena.releaseInner(p); }

private:
    /// add() for a tree whose new nodes cannot fail to be made: widens the
    /// bounds on the way down, in one pass.
    Node<T>* addInPlace(const T& v, Outcome* outcome);
};

template <typename T>
Node<T>* LeafNode<T>::add(const T& v, Outcome* outcome) {
    if (v == value) {
        if (multiplicity == INT_MAX) throw std::length_error("BSTSET: a value cannot occur more than INT_MAX times");
        ++multiplicity;
        if (outcome != nullptr) *outcome = {1, multiplicity};
        return this;
    }
    // Both nodes are made before anything is linked, in this leaf's arena;
    // the new leaf is released again if the routing node cannot be made.
    TreeArena<T>& arena = TreeArena<T>::of(this);
    LeafNode* fresh = new (arena) LeafNode(v);
    InnerNode<T>* routing;
    try {
        routing = v < value ? new (arena) InnerNode<T>(fresh, this) : new (arena) InnerNode<T>(this, fresh);
    } catch (...) {
        delete fresh;
        throw;
    }
    if (outcome != nullptr) *outcome = InnerNode<T>::locate(routing, v);
    return routing;
}

template <typename T>
Node<T>* LeafNode<T>::del(const T& v, Outcome* outcome) {
    if (v != value) {
        if (outcome != nullptr) *outcome = {};
        return this;
    }
    if (multiplicity == 1) {
        if (outcome != nullptr) *outcome = {-1, 0, true, this};
        delete this;  // v may be this leaf's value: it is not read again
        return nullptr;
    }
    --multiplicity;
    if (outcome != nullptr) *outcome = {1, multiplicity, true};
    return this;
}

// In an ordered tree a routing node's minValue is a copy of left->leftMin()
// and its maxValue of right->rightMax(), bit for bit, so the walks below may
// read the node's own fields. A value outside a node's bounds also settles
// the routing without a look at the children: below minValue it goes left,
// above maxValue right.

template <typename T>
Node<T>* InnerNode<T>::add(const T& v, Outcome* outcome) {
    // Routing nodes never change identity on insertion; only the leaf where
    // the walk ends may be replaced. A value that widens a node's bounds is
    // the new smallest (largest) value of its subtree, so it widens every
    // node below on the way too: the widened nodes are one run of left
    // (right) steps ending at the leaf, and such a value is new, so the leaf
    // makes two nodes for it.
    TreeArena<T>& arena = TreeArena<T>::of(this);
    if constexpr (std::is_nothrow_copy_constructible_v<T> && std::is_nothrow_copy_assignable_v<T>) {
        if (!arena.isShared()) {
            // With the two nodes' memory in hand and copies that cannot
            // throw, nothing can fail once the walk starts changing bounds.
            arena.reserve();
            return addInPlace(v, outcome);
        }
    }

    // Otherwise the widened nodes are noted on the way down and widened
    // after the leaf has taken the value, so a failure there changes nothing.
    std::vector<InnerNode*> local;
    std::vector<InnerNode*>& widen = arena.isShared() ? local : arena.scratch();
    widen.clear();
    bool widenMax = false;
    InnerNode* n = this;
    int levels = 1;
    Node<T>** link;
    for (;;) {
        bool goRight;
        bool widens = true;
        if (detail::less(v, n->minValue)) {
            goRight = false;
        } else if (detail::greater(v, n->maxValue)) {
            goRight = true;
        } else {
            widens = false;
            detail::prefetch(n->left);
            goRight = !(detail::less(v, smallest(n->right)));
        }
        if (widens) {
            if (widen.empty()) {
                widenMax = goRight;
            } else if (goRight != widenMax) {
                return addUnordered(this, v, outcome);  // the run broke: the tree is not ordered
            }
            widen.push_back(n);
        } else if (!widen.empty()) {
            return addUnordered(this, v, outcome);
        }
        link = goRight ? &n->right : &n->left;
        if (!isRouting(*link)) break;
        n = static_cast<InnerNode*>(*link);
        ++levels;
    }

    detail::BoundUpdate<T> update(v, widen.size());
    *link = (*link)->add(v, outcome);
    for (InnerNode* w : widen) update.write(widenMax ? w->maxValue : w->minValue);
    if (outcome != nullptr && outcome->depth != -1) outcome->depth += levels;
    return this;
}

template <typename T>
Node<T>* InnerNode<T>::addInPlace(const T& v, Outcome* outcome) {
    InnerNode* n = this;
    int levels = 1;
    for (;;) {
        Node<T>** link;
        if (detail::less(v, n->minValue)) {
            n->minValue = v;
            link = &n->left;
        } else if (detail::greater(v, n->maxValue)) {
            n->maxValue = v;
            link = &n->right;
        } else {
            detail::prefetch(n->left);  // fetched alongside the right child's bound
            // A value between the two subtrees goes left.
            link = detail::pick(detail::less(v, smallest(n->right)), &n->left, &n->right);
        }
        Node<T>* child = *link;
        if (isRouting(child)) {
            n = static_cast<InnerNode*>(child);
            ++levels;
            continue;
        }
        // Only a value already held can fail here (its count is full), and
        // such a value widened nothing on the way.
        *link = child->add(v, outcome);
        if (outcome != nullptr && outcome->depth != -1) outcome->depth += levels;
        return this;
    }
}

template <typename T>
Node<T>* InnerNode<T>::del(const T& v, Outcome* outcome) {
    if (outcome != nullptr) *outcome = {};

    // Only the leaf's parent and the bounds of the run of same-side steps
    // ending at the leaf can change, so the walk keeps just those, in its
    // tree's own scratch room: nothing is shared with other trees' walks.
    InnerNode* parent = nullptr;  // n's parent, null while n is this node
    bool parentRight = false;
    // The current run of same-side steps, n last, through a cursor held in
    // locals so the compiler can keep it in registers. Nothing changes before
    // the leaf is reached, so running out of memory for it is harmless.
    TreeArena<T>& arena = TreeArena<T>::of(this);
    std::vector<InnerNode*> local;
    std::vector<InnerNode*>& room = arena.isShared() ? local : arena.scratch();
    if (room.size() < 64) room.resize(64);
    InnerNode** first = room.data();
    InnerNode** next = first;
    InnerNode** limit = first + room.size();
    bool runRight = false;
    InnerNode* n = this;
    int levels = 1;
    for (;;) {
        if (detail::less(v, n->minValue) || detail::greater(v, n->maxValue)) return this;  // not in this subtree
        bool goRight;
        if (!(detail::less(v, n->maxValue))) {
            goRight = true;  // the largest value lives on the right
        } else if (!(detail::greater(v, n->minValue))) {
            goRight = false;  // the smallest on the left
        } else {
            // Routed as an insertion would be, by the right subtree's smallest
            // value, so only one child is read. A value between the two
            // subtrees is absent either way: it now ends at a leaf that does
            // not hold it, and nothing changes.
            detail::prefetch(n->left);
            goRight = !(detail::less(v, smallest(n->right)));
        }
        if (goRight != runRight) {
            next = first;
            runRight = goRight;
        }
        if (next == limit) {
            const std::size_t used = room.size();
            room.resize(2 * used);
            first = room.data();
            next = first + used;
            limit = first + room.size();
        }
        *next++ = n;
        Node<T>* child = detail::pick(goRight, n->right, n->left);
        if (isRouting(child)) {
            parent = n;
            parentRight = goRight;
            n = static_cast<InnerNode*>(child);
            ++levels;
            continue;
        }

        auto* leaf = static_cast<LeafNode<T>*>(child);
        if (v != leaf->value) return this;
        if (leaf->multiplicity > 1) {
            --leaf->multiplicity;
            if (outcome != nullptr) *outcome = {levels + 1, leaf->multiplicity, true};
            return this;
        }

        // The last occurrence: n gives way to the leaf's sibling. The value
        // was the largest (smallest) of exactly the run's subtrees above n;
        // they take the sibling's bound. Every other bound stays.
        Node<T>* survivor = goRight ? n->left : n->right;
        const auto above = static_cast<std::size_t>(next - first) - 1;
        detail::BoundUpdate<T> update(goRight ? survivor->rightMax() : survivor->leftMin(), above);
        // Bottom up: the nodes walked last are the likeliest still in cache.
        for (InnerNode** w = next - 1; w != first;) {
            --w;
            update.write(goRight ? (*w)->maxValue : (*w)->minValue);
        }
        Node<T>* result = this;
        if (parent == nullptr) {
            result = survivor;
        } else {
            (parentRight ? parent->right : parent->left) = survivor;
        }
        if (outcome != nullptr) *outcome = {-1, 0, true, leaf, n};
        // The tree is whole again before any element's destructor runs.
        n->left = n->right = nullptr;
        delete n;
        delete leaf;
        return result;
    }
}

template <typename T>
Node<T>* InnerNode<T>::addUnordered(Node<T>* root, const T& v, Outcome* outcome) {
    // The decisions are taken on the unchanged tree, as the plain
    // formulation takes each before it descends; the widening is applied
    // after the leaf has taken the value.
    std::vector<std::pair<InnerNode*, bool>> widen;  // node, and whether its largest value widens
    Node<T>** link = &root;
    int levels = 0;
    while ((*link)->getType() == 0) {
        auto* n = static_cast<InnerNode*>(*link);
        if (v < n->left->leftMin()) {
            widen.emplace_back(n, false);
        } else if (v > n->right->rightMax()) {
            widen.emplace_back(n, true);
        }
        link = v < n->right->leftMin() ? &n->left : &n->right;
        ++levels;
    }
    detail::BoundUpdate<T> update(v, widen.size());
    *link = (*link)->add(v, outcome);
    for (auto& [node, largest] : widen) update.write(largest ? node->maxValue : node->minValue);
    if (outcome != nullptr && outcome->depth != -1) outcome->depth += levels;
    return root;
}

template <typename T>
Node<T>* InnerNode<T>::delUnordered(Node<T>* root, const T& v, Outcome* outcome) {
    if (outcome != nullptr) *outcome = {};
    struct Step {
        InnerNode* node;
        bool wentRight;
    };
    std::vector<Step> path;  // the routing nodes the removal descends through
    Node<T>* n = root;
    while (n->getType() == 0) {
        auto* in = static_cast<InnerNode*>(n);
        if (v < in->minValue || v > in->maxValue) break;
        bool goRight = false;
        if (v > in->left->rightMax()) {
            if (v < in->right->leftMin()) break;  // between the subtrees: absent
            goRight = true;
        }
        path.push_back({in, goRight});
        n = goRight ? in->right : in->left;
    }
    if (n->getType() == 0) {
        // The walk stopped at a routing node, which stays as it is; its
        // ancestors still refresh their bounds from it, as the plain
        // formulation does.
    } else {
        n = n->del(v, outcome);
        if (outcome != nullptr && outcome->depth != -1) outcome->depth += static_cast<int>(path.size());
    }
    // Back up the path: each node stores what its child became, gives way to
    // its other child when that one is gone, and refreshes its bound.
    while (!path.empty()) {
        const Step step = path.back();
        path.pop_back();
        InnerNode* in = step.node;
        if (n == nullptr) {
            Node<T>*& kept = step.wentRight ? in->left : in->right;
            n = kept;
            kept = nullptr;
            (step.wentRight ? in->right : in->left) = nullptr;
            if (outcome != nullptr) outcome->freedInner = in;
            delete in;
            continue;
        }
        if (step.wentRight) {
            in->right = n;
            in->maxValue = n->rightMax();
        } else {
            in->left = n;
            in->minValue = n->leftMin();
        }
        n = in;
    }
    return n;
}

}  // namespace orlo
