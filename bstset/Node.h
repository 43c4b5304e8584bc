// The nodes of the leaf-oriented binary search tree behind BSTSET.
//
// Values live only in leaves (LeafNode), one leaf per distinct value with the
// number of its occurrences. Routing nodes (InnerNode) always have two
// children and cache the smallest and largest value of their subtree. Every
// operation that may reshape the tree returns the node that takes the called
// node's place; the caller stores it, so no node needs a parent pointer.
//
// The algorithms, as the operations below carry them out:
//   - add(v): at each routing node, v below the left child's smallest
//     becomes the node's smallest, else v above the right child's largest
//     its largest; then v below the right child's smallest goes left, any
//     other value right. At the leaf, v equal to its value counts once more;
//     any other value makes a routing node over the leaf and a new leaf for
//     v, v's leaf on the left when v is the smaller.
//   - del(v): at each routing node, v outside the node's own bounds is not
//     in its subtree, and nothing changes; v above the left child's largest
//     but below the right child's smallest is absent too; v above the left
//     child's largest goes right, any other value left. At the leaf, v equal
//     to its value counts once fewer; its last occurrence takes the leaf
//     away, and the leaf's parent gives way to the leaf's sibling. On the way
//     back up every node passed takes, as its bound on the side it went, its
//     child's bound there.
//   - count(v), depth(v): v below the right child's smallest goes left, any
//     other value right, down to the leaf, which holds v or not.
//
// The tree is not balanced: sorted input builds a chain as tall as the number
// of distinct values. No operation, query or destructor therefore uses stack
// space that grows with the height; the walks (detail/Walks.h) loop, and give
// exactly the results of the recursive formulation.
//
// Nodes made by hand (`new LeafNode<T>(v)`) come from a shared arena, and
// their operations destroy what they take out before they return. A set's
// nodes live in its own arena and are changed only by the set.
#pragma once

#include <cstddef>
#include <new>

#include "detail/Walks.h"

namespace orlo {

template <typename T>
class Node {
    static_assert(detail::checkElementType<T>());

public:
    Node() = default;
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    /// 1 for a leaf, 0 for a routing node.
    virtual int getType() = 0;
    /// Inserts one occurrence of v; returns the subtree's new root. Throws
    /// std::length_error, changing nothing, when v already occurs INT_MAX
    /// times.
    virtual Node* add(const T& v) = 0;
    /// Removes one occurrence of v; returns the subtree's new root, or null
    /// when the subtree held nothing else.
    virtual Node* del(const T& v) = 0;
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
    Node<T>* add(const T& v) override { return detail::changeByHand<T, false>(this, v); }
    Node<T>* del(const T& v) override { return detail::changeByHand<T, true>(this, v); }
    T& leftMin() override { return value; }
    T& rightMax() override { return value; }
    int count(const T& v) override { return v == value ? multiplicity : 0; }
    int depth(const T& v) override { return v == value ? 1 : -1; }
    Node<T>* getLeft() override { return nullptr; }
    Node<T>* getRight() override { return nullptr; }

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
    T maxValue;      // the largest value of the subtree
    T minValue;      // the smallest value of the subtree
    Node<T>* right;  // owned, never null
    Node<T>* left;   // owned, never null

    /// Routing nodes are made only when a second distinct value reaches a
    /// leaf, so both children are leaves here.
    InnerNode(LeafNode<T>* l, LeafNode<T>* r) : maxValue(r->rightMax()), minValue(l->leftMin()), right(r), left(l) {}

    /// Destroys both subtrees, the right one first (in the shared arena:
    /// a set takes its nodes apart itself). A child detached beforehand (set
    /// to null) is left alone.
    ~InnerNode() override {
        if (right != nullptr) detail::destroyTree<T>(detail::TreeArena<T>::shared(), right);
        if (left != nullptr) detail::destroyTree<T>(detail::TreeArena<T>::shared(), left);
    }

    int getType() override { return 0; }
    Node<T>* add(const T& v) override { return detail::changeByHand<T, false>(this, v); }
    Node<T>* del(const T& v) override { return detail::changeByHand<T, true>(this, v); }
    T& leftMin() override { return minValue; }
    T& rightMax() override { return maxValue; }
    int count(const T& v) override {
        int levels;
        return detail::leafFor<T>(this, v, levels)->count(v);
    }
    int depth(const T& v) override { return detail::locate<T>(this, v).first; }
    Node<T>* getLeft() override { return left; }
    Node<T>* getRight() override { return right; }

    static void* operator new(std::size_t) { return detail::TreeArena<T>::shared().allocateInner(); }
    static void* operator new(std::size_t, detail::TreeArena<T>& arena) { return arena.allocateInner(); }
    static void operator delete(void* p) noexcept {
        if (p != nullptr) detail::TreeArena<T>::shared().releaseInner(p);
    }
    static void operator delete(void* p, detail::TreeArena<T>& arena) noexcept { arena.releaseInner(p); }

private:
    friend class detail::BoundChanges<T>;

    /// A copy of `from` with one bound replaced, for a bound T cannot assign
    /// without a throw; its children are set when it takes from's place.
    InnerNode(const InnerNode& from, bool largest, const T& bound)
        : maxValue(largest ? bound : from.maxValue), minValue(largest ? from.minValue : bound), right(nullptr), left(nullptr) {}
};

}  // namespace orlo
