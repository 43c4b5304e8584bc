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
// copy or comparison of T, a count that would pass INT_MAX) leaves the tree
// exactly as it was. Every comparison and everything that can throw happens
// before the first change, and the changes themselves cannot fail
// (detail::BoundEdit).
//
// A set's nodes live in its arena (detail/NodePool.h), which the set hands
// to every operation in a detail::Update; the nodes an update takes out of
// the tree go back to the set, which destroys them once it has stored the
// new root: no element's destructor ever sees a tree half changed. Nodes
// made by hand (`new LeafNode<T>(v)`, operations called without an Update)
// use a shared arena, and their operations destroy what they remove at once.
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

#include "detail/NodePool.h"

// Without RTTI the walks tell the node kinds apart by a virtual call.
#if defined(__GXX_RTTI) || defined(_CPPRTTI)
#define ORLO_HAS_RTTI 1
#endif

// For the few lines every step of a walk runs: called from many places, GCC
// would otherwise keep them out of line, a call per level.
#if defined(__GNUC__)
#define ORLO_ALWAYS_INLINE __attribute__((always_inline)) inline
#else
#define ORLO_ALWAYS_INLINE inline
#endif

namespace orlo {

template <typename T>
class Node;
template <typename T>
class LeafNode;
template <typename T>
class InnerNode;

namespace detail {

template <typename T>
using LessResult = decltype(std::declval<const T&>() < std::declval<const T&>());
template <typename T>
using GreaterResult = decltype(std::declval<const T&>() > std::declval<const T&>());
template <typename T>
using EqualResult = decltype(std::declval<const T&>() == std::declval<const T&>());
template <typename T>
using NotEqualResult = decltype(std::declval<const T&>() != std::declval<const T&>());

/// The type of `op` on two const T, or void when there is no such operator.
template <template <typename> class Op, typename T, typename = void>
struct Result {
    using type = void;
};
template <template <typename> class Op, typename T>
struct Result<Op, T, std::void_t<Op<T>>> {
    using type = Op<T>;
};
template <template <typename> class Op, typename T>
constexpr bool kHas = !std::is_void_v<typename Result<Op, T>::type>;
template <template <typename> class Op, typename T>
constexpr bool kGivesBool = std::is_convertible_v<typename Result<Op, T>::type, bool>;

/// What the tree needs of its element type, each with its own message.
template <typename T>
constexpr bool checkElementType() {
    static_assert(!std::is_reference_v<T> && !std::is_const_v<T>, "BSTSET: the element type must be a plain object type");
    static_assert(kHas<LessResult, T>, "BSTSET: the element type needs a < b on const operands");
    static_assert(kHas<GreaterResult, T>, "BSTSET: the element type needs a > b on const operands");
    static_assert(kHas<EqualResult, T>, "BSTSET: the element type needs a == b on const operands");
    static_assert(kHas<NotEqualResult, T>, "BSTSET: the element type needs a != b on const operands");
    static_assert(!kHas<LessResult, T> || kGivesBool<LessResult, T>,
                  "BSTSET: a < b on the element type must give a result implicitly convertible to bool");
    static_assert(!kHas<GreaterResult, T> || kGivesBool<GreaterResult, T>,
                  "BSTSET: a > b on the element type must give a result implicitly convertible to bool");
    static_assert(!kHas<EqualResult, T> || kGivesBool<EqualResult, T>,
                  "BSTSET: a == b on the element type must give a result implicitly convertible to bool");
    static_assert(!kHas<NotEqualResult, T> || kGivesBool<NotEqualResult, T>,
                  "BSTSET: a != b on the element type must give a result implicitly convertible to bool");
    static_assert(std::is_copy_constructible_v<T>, "BSTSET: the element type must be copy constructible");
    static_assert(std::is_nothrow_destructible_v<T>, "BSTSET: the element type's destructor must not throw");
    return true;
}

/// Comparisons of T that cannot throw: then a walk may change bounds on its
/// way down, since no later comparison can fail and leave them changed.
template <typename T>
constexpr bool kNothrowCompare = noexcept(std::declval<const T&>() < std::declval<const T&>()) &&
                                 noexcept(std::declval<const T&>() > std::declval<const T&>()) &&
                                 noexcept(std::declval<const T&>() == std::declval<const T&>()) &&
                                 noexcept(std::declval<const T&>() != std::declval<const T&>());

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

/// The memory of one tree's nodes.
template <typename T>
using TreeArena = NodeArena<LeafNode<T>, InnerNode<T>>;

/// Destroys one node whose children, if any, are detached, and gives its
/// block back to `arena`.
template <typename T>
void freeNode(TreeArena<T>& arena, Node<T>* n) noexcept;

/// What a set tells a node operation, and what the operation tells it back.
template <typename T>
struct Update {
    // In: where the tree's nodes live (null: the shared arena of nodes made
    // by hand), and whether a removal takes every occurrence.
    TreeArena<T>* arena = nullptr;
    bool everyOccurrence = false;

    // Out, for an ordered tree: what the queries for the value would answer
    // after the update (the depth of its leaf, the called node being level
    // 1, and its multiplicity; -1 and 0 when it is not held), and its leaf.
    int depth = -1;
    int count = 0;
    LeafNode<T>* leaf = nullptr;
    int removed = 0;  // occurrences a removal took away

    // Nodes the update took out of the tree, not yet destroyed: finish()
    // destroys them once the caller has stored the new root.
    LeafNode<T>* freedLeaf = nullptr;
    InnerNode<T>* freedInner = nullptr;
    std::vector<InnerNode<T>*> retired;  // routing nodes replaced by rebuilt copies

    TreeArena<T>& nodes() const noexcept { return arena != nullptr ? *arena : TreeArena<T>::shared(); }

    void finish() noexcept {
        if (freedInner != nullptr || freedLeaf != nullptr || !retired.empty()) destroyFreed();
    }

private:
    void destroyFreed() noexcept {
        TreeArena<T>& a = nodes();
        if (freedInner != nullptr) freeNode<T>(a, freedInner);
        if (freedLeaf != nullptr) freeNode<T>(a, freedLeaf);
        for (InnerNode<T>* r : retired) freeNode<T>(a, r);
        freedInner = nullptr;
        freedLeaf = nullptr;
        retired.clear();
    }
};

/// The Update an operation works with: its caller's, or, called on nodes
/// made by hand without one, its own, whose freed nodes go when it returns.
template <typename T>
class UpdateScope {
public:
    explicit UpdateScope(Update<T>* given) noexcept : given_(given) {}
    ~UpdateScope() {
        if (own_) own_->finish();
    }
    UpdateScope(const UpdateScope&) = delete;
    UpdateScope& operator=(const UpdateScope&) = delete;
    Update<T>& get() noexcept {
        if (given_ != nullptr) return *given_;
        if (!own_) own_.emplace();
        return *own_;
    }

private:
    Update<T>* given_;
    std::optional<Update<T>> own_;
};

template <typename T>
class BoundEdit;

}  // namespace detail

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
    virtual Node* add(const T& v, detail::Update<T>* update = nullptr) = 0;
    /// Removes one occurrence of v; returns the subtree's new root, or null
    /// when the subtree held nothing else.
    virtual Node* del(const T& v, detail::Update<T>* update = nullptr) = 0;
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
    Node<T>* add(const T& v, detail::Update<T>* update = nullptr) override;
    Node<T>* del(const T& v, detail::Update<T>* update = nullptr) override;

    // A set's nodes live in its arena (placement form); one made by plain
    // `new` belongs to no set and comes from the shared arena.
    static void* operator new(std::size_t) { return detail::TreeArena<T>::shared().allocateLeaf(); }
    static void* operator new(std::size_t, detail::TreeArena<T>& arena) { return arena.allocateLeaf(); }
    static void operator delete(void* p) noexcept {
        if (p != nullptr) detail::TreeArena<T>::shared().releaseLeaf(p);
    }
    static void operator delete(void* p, detail::TreeArena<T>& arena) noexcept { arena.releaseLeaf(p); }
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

    /// Destroys a whole subtree of nodes made by hand (shared arena).
    static void destroy(Node<T>* n) noexcept {
        if (n != nullptr) destroy(n, detail::TreeArena<T>::shared());
    }

    /// Destroys a whole subtree in constant stack space, giving its blocks
    /// back to `arena`. Right rotations turn the subtree into a chain whose
    /// left children are leaves, which is then eaten from the top; every
    /// routing node is detached before it is destroyed, so no destructor
    /// ever descends.
    static void destroy(Node<T>* n, detail::TreeArena<T>& arena) noexcept {
        while (n != nullptr) {
            if (!isRouting(n)) {
                detail::freeNode(arena, n);
                return;
            }
            auto* top = static_cast<InnerNode*>(n);
            if (isRouting(top->left)) {
                auto* l = static_cast<InnerNode*>(top->left);
                top->left = l->right;
                l->right = top;
                n = l;
            } else {
                detail::freeNode(arena, top->left);
                n = top->right;
                top->left = top->right = nullptr;
                detail::freeNode<T>(arena, top);
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
    // addresses fail and the virtual calls answer instead, as they do in a
    // build without RTTI.
    ORLO_ALWAYS_INLINE static bool isRouting(const Node<T>* n) noexcept {
#if defined(ORLO_HAS_RTTI)
        if (&typeid(*n) == &typeid(InnerNode)) return true;
        if (&typeid(*n) == &typeid(LeafNode<T>)) return false;
#endif
        return const_cast<Node<T>*>(n)->getType() == 0;
    }
    ORLO_ALWAYS_INLINE static const T& smallest(const Node<T>* n) {
#if defined(ORLO_HAS_RTTI)
        if (&typeid(*n) == &typeid(InnerNode)) return static_cast<const InnerNode*>(n)->minValue;
        if (&typeid(*n) == &typeid(LeafNode<T>)) return static_cast<const LeafNode<T>*>(n)->value;
#endif
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

    /// Both queries in one walk: the depth of v's leaf and its count.
    static std::pair<int, int> locate(Node<T>* n, const T& v) {
        int levels;
        LeafNode<T>* leaf = leafFor(n, v, levels);
        const int d = leaf->depth(v);
        return {d == -1 ? -1 : d + levels, leaf->count(v)};
    }

    int count(const T& v) override {
        int levels;
        return leafFor(this, v, levels)->count(v);
    }

    int depth(const T& v) override { return locate(this, v).first; }

    /// add() and del() read a routing node's own cached bounds where the
    /// plain formulation reads its children's. That gives the same results
    /// in every tree whose values are ordered, and is faster. A tree that has
    /// held a value unequal to itself (NaN) is not ordered; these take the
    /// plain formulation's comparisons exactly, for any tree.
    static Node<T>* addUnordered(Node<T>* root, const T& v, detail::Update<T>& update);
    static Node<T>* delUnordered(Node<T>* root, const T& v, detail::Update<T>& update);

    Node<T>* add(const T& v, detail::Update<T>* update = nullptr) override;
    Node<T>* del(const T& v, detail::Update<T>* update = nullptr) override;

    static void* operator new(std::size_t) { return detail::TreeArena<T>::shared().allocateInner(); }
    static void* operator new(std::size_t, detail::TreeArena<T>& arena) { return arena.allocateInner(); }
    static void operator delete(void* p) noexcept {
        if (p != nullptr) detail::TreeArena<T>::shared().releaseInner(p);
    }
    static void operator delete(void* p, detail::TreeArena<T>& arena) noexcept { arena.releaseInner(p); }

private:
    friend class detail::BoundEdit<T>;

    /// A copy of `from` with one bound replaced, for detail::BoundEdit; its
    /// children are set when it takes from's place.
    InnerNode(const InnerNode& from, bool largest, const T& bound)
        : maxValue(largest ? bound : from.maxValue), minValue(largest ? from.minValue : bound), right(nullptr), left(nullptr) {}

    /// add() where copies and comparisons of T cannot throw and the new nodes'
    /// memory is in hand: widens the bounds on the way down, in one pass.
    Node<T>* addInPlace(const T& v, detail::Update<T>& update);
    static constexpr bool kAddsInPlace =
        std::is_nothrow_copy_constructible_v<T> && std::is_nothrow_copy_assignable_v<T> && detail::kNothrowCompare<T>;
};

namespace detail {

template <typename T>
void freeNode(TreeArena<T>& arena, Node<T>* n) noexcept {
    if (InnerNode<T>::isRouting(n)) {
        auto* in = static_cast<InnerNode<T>*>(n);
        in->~InnerNode();  // its children are detached: it destroys nothing else
        arena.releaseInner(in);
    } else {
        auto* leaf = static_cast<LeafNode<T>*>(n);
        leaf->~LeafNode();
        arena.releaseLeaf(leaf);
    }
}

/// New bounds for routing nodes on one path, in two steps so that an update
/// that throws changes nothing: run() and set() do everything that can
/// throw, and commit() cannot fail. How a bound takes its new value depends
/// on T:
///   - Assign: copy assignment cannot throw; commit() assigns.
///   - Swap: it can, but swap cannot (std::string); a copy is made first and
///     commit() swaps it in (the copy then holds the old value, which dies
///     with the BoundEdit).
///   - Rebuild: neither; a copy of the node with the new bound is made first,
///     and commit() links it in the node's place and retires the old node
///     (the Update destroys it with the other nodes it freed).
template <typename T>
class BoundEdit {
public:
    enum class How { Assign, Swap, Rebuild };
    static constexpr How kHow = std::is_nothrow_copy_assignable_v<T> ? How::Assign
                                : std::is_nothrow_swappable_v<T>     ? How::Swap
                                                                     : How::Rebuild;

    explicit BoundEdit(Update<T>& update) noexcept : update_(update) {}
    BoundEdit(const BoundEdit&) = delete;
    BoundEdit& operator=(const BoundEdit&) = delete;
    ~BoundEdit() {
        if constexpr (kHow == How::Rebuild) {
            if (!committed_) {
                for (std::size_t i = 0; i < size_; ++i) {
                    if (at(i).fresh != nullptr) freeNode<T>(update_.nodes(), at(i).fresh);
                }
            }
        }
    }

    /// A run of routing nodes, consecutive on the path (each the child of
    /// the one before on the side `largest` names), all taking `value` as
    /// their largest (or smallest) value. `firstLink` is where the first one
    /// hangs, or null for the node the operation was called on. The array
    /// and the value must stay unchanged until commit(). Assigned bounds
    /// need no room of their own: a tall tree's long runs cost nothing more.
    void run(InnerNode<T>* const* nodes, std::size_t count, Node<T>** firstLink, bool largest, const T& value) {
        if constexpr (kHow == How::Assign) {
            run_ = nodes;
            runCount_ = count;
            runLargest_ = largest;
            runValue_ = &value;
            (void)firstLink;
        } else {
            reserve(count);
            for (std::size_t i = 0; i < count; ++i) {
                set(nodes[i], i == 0 ? firstLink : (largest ? &nodes[i - 1]->right : &nodes[i - 1]->left), largest, value);
            }
        }
    }

    /// Room for n set() calls, so none copies what an earlier one made.
    void reserve(std::size_t n) {
        if (size_ + n > kInline) spill_.reserve(size_ + n - kInline);
        if constexpr (kHow == How::Rebuild) update_.retired.reserve(update_.retired.size() + size_ + n);
    }

    /// Routing node n gets `value` as its largest (`largest`) or smallest
    /// value. `link` is where n hangs (a child field of its parent), or null
    /// for the node the operation was called on. Nodes come top-down along
    /// one path, at most one edit each; value must stay unchanged until
    /// commit().
    void set(InnerNode<T>* n, Node<T>** link, bool largest, const T& value) {
        if (size_ >= kInline) spill_.emplace_back();
        Edit& e = at(size_);
        e.node = n;
        e.link = link;
        e.largest = largest;
        e.value = &value;
        if constexpr (kHow == How::Swap) {
            e.copy.emplace(value);
        } else if constexpr (kHow == How::Rebuild) {
            e.fresh = new (update_.nodes()) InnerNode<T>(*n, largest, value);
        }
        ++size_;
    }

    /// Makes every change. `top` is the node that takes the called node's
    /// place as things stand; returns it, or its rebuilt copy.
    Node<T>* commit(Node<T>* top) noexcept {
        if constexpr (kHow == How::Assign) {
            // Bottom up: the nodes walked last are the likeliest still in cache.
            for (std::size_t i = runCount_; i-- > 0;) {
                (runLargest_ ? run_[i]->maxValue : run_[i]->minValue) = *runValue_;
            }
        }
        for (std::size_t i = 0; i < size_; ++i) {
            Edit& e = at(i);
            if constexpr (kHow == How::Assign) {
                (e.largest ? e.node->maxValue : e.node->minValue) = *e.value;
            } else if constexpr (kHow == How::Swap) {
                using std::swap;
                swap(e.largest ? e.node->maxValue : e.node->minValue, *e.copy);
            } else {
                InnerNode<T>* old = e.node;
                e.fresh->left = old->left;
                e.fresh->right = old->right;
                old->left = old->right = nullptr;
                Node<T>** link = e.link;
                // n's parent, if edited, is the edit just before (one path,
                // top-down), and has been replaced by its copy.
                if (i > 0 && link == &at(i - 1).node->left) link = &at(i - 1).fresh->left;
                if (i > 0 && link == &at(i - 1).node->right) link = &at(i - 1).fresh->right;
                if (link == nullptr) {
                    top = e.fresh;
                } else {
                    *link = e.fresh;
                }
                update_.retired.push_back(old);  // room reserved by reserve()
            }
        }
        committed_ = true;
        return top;
    }

private:
    struct Edit {
        InnerNode<T>* node = nullptr;
        Node<T>** link = nullptr;
        bool largest = false;
        const T* value = nullptr;
        std::conditional_t<kHow == How::Swap, std::optional<T>, char> copy{};
        InnerNode<T>* fresh = nullptr;
    };
    // Most updates change a bound or two: copies for those stay on the
    // stack. Assigned bounds come as runs and need none.
    static constexpr std::size_t kInline = kHow == How::Assign ? 0 : 4;
    Edit& at(std::size_t i) noexcept { return i < kInline ? inline_[i] : spill_[i - kInline]; }

    Update<T>& update_;
    InnerNode<T>* const* run_ = nullptr;
    std::size_t runCount_ = 0;
    bool runLargest_ = false;
    const T* runValue_ = nullptr;
    Edit inline_[kInline == 0 ? 1 : kInline];
    std::vector<Edit> spill_;
    std::size_t size_ = 0;
    bool committed_ = false;
};

}  // namespace detail

template <typename T>
Node<T>* LeafNode<T>::add(const T& v, detail::Update<T>* update) {
    if (v == value) {
        if (multiplicity == INT_MAX) throw std::length_error("BSTSET: a value cannot occur more than INT_MAX times");
        ++multiplicity;
        if (update != nullptr) {
            update->depth = 1;
            update->count = multiplicity;
            update->leaf = this;
        }
        return this;
    }
    // Every comparison comes before anything is made; both nodes are made
    // before anything is linked, in this tree's arena, and the new leaf goes
    // again if the routing node cannot be made.
    const bool goesLeft = v < value;
    detail::TreeArena<T>& arena = update != nullptr ? update->nodes() : detail::TreeArena<T>::shared();
    LeafNode* fresh = new (arena) LeafNode(v);
    InnerNode<T>* routing;
    try {
        routing = goesLeft ? new (arena) InnerNode<T>(fresh, this) : new (arena) InnerNode<T>(this, fresh);
    } catch (...) {
        detail::freeNode<T>(arena, fresh);
        throw;
    }
    if (update != nullptr) {
        // In an ordered tree a query for v reaches the new leaf, one level
        // below the new routing node.
        update->depth = 2;
        update->count = 1;
        update->leaf = fresh;
    }
    return routing;
}

template <typename T>
Node<T>* LeafNode<T>::del(const T& v, detail::Update<T>* update) {
    if (v != value) return this;
    detail::UpdateScope<T> scope(update);
    detail::Update<T>& u = scope.get();
    if (multiplicity == 1 || u.everyOccurrence) {
        u.removed = multiplicity;
        u.freedLeaf = this;  // destroyed by the caller (or the scope) later
        return nullptr;
    }
    --multiplicity;
    u.removed = 1;
    u.depth = 1;
    u.count = multiplicity;
    u.leaf = this;
    return this;
}

// In an ordered tree a routing node's minValue is a copy of left->leftMin()
// and its maxValue of right->rightMax(), bit for bit, so the walks below may
// read the node's own fields. A value outside a node's bounds also settles
// the routing without a look at the children: below minValue it goes left,
// above maxValue right.

template <typename T>
Node<T>* InnerNode<T>::add(const T& v, detail::Update<T>* update) {
    detail::UpdateScope<T> scope(update);
    detail::Update<T>& u = scope.get();
    detail::TreeArena<T>& arena = u.nodes();
    if constexpr (kAddsInPlace) {
        if (!arena.isShared()) {
            // With the two nodes' memory in hand, and copies and comparisons
            // that cannot throw, nothing can fail once the walk starts
            // changing bounds.
            arena.reserve();
            return addInPlace(v, u);
        }
    }

    // Routing nodes never change identity on insertion (but where their
    // bounds must be rebuilt); only the leaf where the walk ends may be
    // replaced. A value that widens a node's bounds is the new smallest
    // (largest) value of its subtree, so it widens every node below on the
    // way too: the widened nodes are one run of left (right) steps ending at
    // the leaf, and such a value is new, so the leaf makes two nodes for it.
    // The run is noted on the way down and widened once the leaf has taken
    // the value, so a failure anywhere changes nothing.
    std::vector<InnerNode*> local;
    std::vector<InnerNode*>& widen = arena.isShared() ? local : arena.scratch();
    widen.clear();
    bool widenMax = false;
    Node<T>** runLink = nullptr;  // where the run's first node hangs
    InnerNode* n = this;
    Node<T>** cameFrom = nullptr;  // where n hangs; null for this node
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
                runLink = cameFrom;
            } else if (goRight != widenMax) {
                return addUnordered(this, v, u);  // the run broke: the tree is not ordered
            }
            widen.push_back(n);
        } else if (!widen.empty()) {
            return addUnordered(this, v, u);
        }
        link = goRight ? &n->right : &n->left;
        if (!isRouting(*link)) break;
        cameFrom = link;
        n = static_cast<InnerNode*>(*link);
        ++levels;
    }

    detail::BoundEdit<T> edit(u);
    edit.run(widen.data(), widen.size(), runLink, widenMax, v);
    *link = (*link)->add(v, &u);
    if (u.depth != -1) u.depth += levels;
    return edit.commit(this);
}

template <typename T>
Node<T>* InnerNode<T>::addInPlace(const T& v, detail::Update<T>& update) {
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
        *link = child->add(v, &update);
        if (update.depth != -1) update.depth += levels;
        return this;
    }
}

template <typename T>
Node<T>* InnerNode<T>::del(const T& v, detail::Update<T>* update) {
    detail::UpdateScope<T> scope(update);
    detail::Update<T>& u = scope.get();

    // Only the leaf's parent and the bounds of the run of same-side steps
    // ending at the leaf can change, so the walk keeps just those, in its
    // tree's own scratch room: nothing is shared with other trees' walks.
    InnerNode* parent = nullptr;  // n's parent, null while n is this node
    bool parentRight = false;
    // The current run of same-side steps, n last, through a cursor held in
    // locals so the compiler can keep it in registers. Nothing changes before
    // the leaf is reached, so running out of memory for it is harmless.
    detail::TreeArena<T>& arena = u.nodes();
    std::vector<InnerNode*> local;
    std::vector<InnerNode*>& room = arena.isShared() ? local : arena.scratch();
    if (room.size() < 64) room.resize(64);
    InnerNode** first = room.data();
    InnerNode** next = first;
    InnerNode** limit = first + room.size();
    bool runRight = false;
    Node<T>** runLink = nullptr;  // where the run's first node hangs
    InnerNode* n = this;
    Node<T>** cameFrom = nullptr;  // where n hangs; null for this node
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
        if (goRight != runRight || next == first) {
            next = first;
            runRight = goRight;
            runLink = cameFrom;
        }
        if (next == limit) {
            const std::size_t used = room.size();
            room.resize(2 * used);
            first = room.data();
            next = first + used;
            limit = first + room.size();
        }
        *next++ = n;
        Node<T>** link = goRight ? &n->right : &n->left;
        if (isRouting(*link)) {
            parent = n;
            parentRight = goRight;
            cameFrom = link;
            n = static_cast<InnerNode*>(*link);
            ++levels;
            continue;
        }

        auto* leaf = static_cast<LeafNode<T>*>(*link);
        if (v != leaf->value) return this;
        if (leaf->multiplicity > 1 && !u.everyOccurrence) {
            --leaf->multiplicity;
            u.removed = 1;
            u.depth = levels + 1;
            u.count = leaf->multiplicity;
            u.leaf = leaf;
            return this;
        }

        // The last occurrence: n gives way to the leaf's sibling. The value
        // was the largest (smallest) of exactly the run's subtrees above n;
        // they take the sibling's bound. Every other bound stays.
        Node<T>* survivor = goRight ? n->left : n->right;
        const auto above = static_cast<std::size_t>(next - first) - 1;
        detail::BoundEdit<T> edit(u);
        edit.run(first, above, runLink, goRight, goRight ? survivor->rightMax() : survivor->leftMin());
        Node<T>* top = this;
        if (parent == nullptr) {
            top = survivor;
        } else {
            (parentRight ? parent->right : parent->left) = survivor;
        }
        n->left = n->right = nullptr;
        u.removed = leaf->multiplicity;
        u.freedLeaf = leaf;
        u.freedInner = n;
        return edit.commit(top);
    }
}

template <typename T>
Node<T>* InnerNode<T>::addUnordered(Node<T>* root, const T& v, detail::Update<T>& update) {
    // The decisions are taken on the unchanged tree, as the plain
    // formulation takes each before it descends; the widening is applied
    // after the leaf has taken the value.
    struct Widen {
        InnerNode* node;
        Node<T>** link;
        bool largest;
    };
    std::vector<Widen> widen;
    Node<T>** cameFrom = nullptr;
    Node<T>* n = root;
    int levels = 0;
    Node<T>** link = nullptr;
    while (n->getType() == 0) {
        auto* in = static_cast<InnerNode*>(n);
        if (v < in->left->leftMin()) {
            widen.push_back({in, cameFrom, false});
        } else if (v > in->right->rightMax()) {
            widen.push_back({in, cameFrom, true});
        }
        link = v < in->right->leftMin() ? &in->left : &in->right;
        cameFrom = link;
        n = *link;
        ++levels;
    }
    detail::BoundEdit<T> edit(update);
    edit.reserve(widen.size());
    for (const Widen& w : widen) edit.set(w.node, w.link, w.largest, v);
    Node<T>* grown = n->add(v, &update);
    if (update.depth != -1) update.depth += levels;
    if (link == nullptr) return grown;  // the root was a leaf
    *link = grown;
    return edit.commit(root);
}

template <typename T>
Node<T>* InnerNode<T>::delUnordered(Node<T>* root, const T& v, detail::Update<T>& update) {
    struct Step {
        InnerNode* node;
        Node<T>** link;  // where node hangs; null for the root
        bool wentRight;
    };
    std::vector<Step> path;  // the routing nodes the removal descends through
    Node<T>** cameFrom = nullptr;
    Node<T>* n = root;
    while (n->getType() == 0) {
        auto* in = static_cast<InnerNode*>(n);
        if (v < in->minValue || v > in->maxValue) break;
        bool goRight = false;
        if (v > in->left->rightMax()) {
            if (v < in->right->leftMin()) break;  // between the subtrees: absent
            goRight = true;
        }
        path.push_back({in, cameFrom, goRight});
        cameFrom = goRight ? &in->right : &in->left;
        n = *cameFrom;
    }

    // What the leaf does, decided before anything changes. When its last
    // occurrence goes, its parent gives way to the leaf's sibling.
    LeafNode<T>* leaf = nullptr;
    bool leafGoes = false;
    if (n->getType() != 0 && !(v != static_cast<LeafNode<T>*>(n)->value)) {
        leaf = static_cast<LeafNode<T>*>(n);
        leafGoes = leaf->multiplicity == 1 || update.everyOccurrence;
    }
    Node<T>* bottom = n;  // what hangs below the last node that stays
    Step gone{};
    if (leafGoes && !path.empty()) {
        gone = path.back();
        path.pop_back();
        bottom = gone.wentRight ? gone.node->left : gone.node->right;
    }

    // Back up the path, every node refreshes its bound on the side it took
    // from the child it now has, as the plain formulation does. The value it
    // takes is found without changing anything: its child's bound on that
    // side is the child's own refreshed value when the child refreshes the
    // same side, and otherwise a value nothing here changes.
    std::vector<const T*> source(path.size());
    for (std::size_t i = path.size(); i-- > 0;) {
        const bool right = path[i].wentRight;
        if (i + 1 < path.size() && path[i + 1].wentRight == right) {
            source[i] = source[i + 1];
        } else {
            Node<T>* child = i + 1 < path.size() ? path[i + 1].node : bottom;
            source[i] = right ? &child->rightMax() : &child->leftMin();
        }
    }
    detail::BoundEdit<T> edit(update);
    edit.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) edit.set(path[i].node, path[i].link, path[i].wentRight, *source[i]);

    // From here nothing can fail.
    Node<T>* top = root;
    if (leaf != nullptr) {
        update.removed = leafGoes ? leaf->multiplicity : 1;
        if (leafGoes) {
            update.freedLeaf = leaf;
            if (gone.node == nullptr) return nullptr;  // the tree was this one leaf
            gone.node->left = gone.node->right = nullptr;
            update.freedInner = gone.node;
            if (gone.link == nullptr) {
                top = bottom;
            } else {
                *gone.link = bottom;
            }
        } else {
            --leaf->multiplicity;
            update.depth = static_cast<int>(path.size()) + 1;
            update.count = leaf->multiplicity;
            update.leaf = leaf;
        }
    }
    return edit.commit(top);
}

}  // namespace orlo
