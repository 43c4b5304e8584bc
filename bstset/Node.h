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
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

#include "NodePool.h"

namespace orlo {

/// Where an insertion or removal leaves its value: the depth of the leaf that
/// holds it (counting the called node as level 1) and its multiplicity, or -1
/// and 0 when the value is not held. The depth and count queries that follow
/// the update would answer exactly this.
struct Outcome {
    int depth = -1;
    int count = 0;
};

template <typename T>
class Node {
public:
    Node() = default;
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    /// 1 for a leaf, 0 for a routing node.
    virtual int getType() = 0;
    /// Inserts one occurrence of v; returns the subtree's new root.
    virtual Node* add(T& v, Outcome* outcome = nullptr) = 0;
    /// Removes one occurrence of v; returns the subtree's new root, or null
    /// when the subtree held nothing else.
    virtual Node* del(T& v, Outcome* outcome = nullptr) = 0;
    virtual T& leftMin() = 0;
    virtual T& rightMax() = 0;
    /// Occurrences of v in the subtree, 0 when absent.
    virtual int count(T& v) = 0;
    /// Level of the leaf holding v, this node being level 1; -1 when absent.
    virtual int depth(T& v) = 0;
    virtual Node* getLeft() = 0;
    virtual Node* getRight() = 0;
    virtual ~Node() {}
};

template <typename T>
class InnerNode;

template <typename T>
class LeafNode final : public Node<T>, public Pooled<LeafNode<T>> {
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
    int count(T& v) override { return v == value ? multiplicity : 0; }
    int depth(T& v) override { return v == value ? 1 : -1; }

    Node<T>* add(T& v, Outcome* outcome = nullptr) override;
    Node<T>* del(T& v, Outcome* outcome = nullptr) override;
};

template <typename T>
class InnerNode final : public Node<T>, public Pooled<InnerNode<T>> {
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

    /// The leaf where a query for v ends in the subtree under n, and how many
    /// routing nodes lie above it. Routing: a value smaller than the right
    /// subtree's smallest goes left, anything else goes right.
    static LeafNode<T>* leafFor(Node<T>* n, const T& v, int& levels) {
        levels = 0;
        while (n->getType() == 0) {
            auto* in = static_cast<InnerNode*>(n);
            n = v < in->right->leftMin() ? in->left : in->right;
            ++levels;
        }
        return static_cast<LeafNode<T>*>(n);
    }

    /// Both queries in one walk.
    static Outcome locate(Node<T>* n, T& v) {
        int levels;
        LeafNode<T>* leaf = leafFor(n, v, levels);
        const int d = leaf->depth(v);
        return {d == -1 ? -1 : d + levels, leaf->count(v)};
    }

    int count(T& v) override {
        int levels;
        return leafFor(this, v, levels)->count(v);
    }

    int depth(T& v) override { return locate(this, v).depth; }

    Node<T>* add(T& v, Outcome* outcome = nullptr) override;
    Node<T>* del(T& v, Outcome* outcome = nullptr) override;

private:
    /// One step of a removal's descent: the routing node and the side taken.
    struct Step {
        InnerNode* node;
        bool wentRight;
    };

    static void prefetch(const void* p) {
#if defined(__GNUC__)
        __builtin_prefetch(p);
#else
        (void)p;
#endif
    }

    /// Room for the descent of a removal, as deep as the tallest tree seen.
    /// Kept per thread so that a removal does not allocate every time.
    static std::vector<Step>& removalPath() {
        static thread_local std::vector<Step> path;
        return path;
    }
};

template <typename T>
Node<T>* LeafNode<T>::add(T& v, Outcome* outcome) {
    if (v == value) {
        ++multiplicity;
        if (outcome != nullptr) *outcome = {1, multiplicity};
        return this;
    }
    // Both allocations happen before anything is linked, and the leaf is
    // released again if the routing node cannot be made.
    LeafNode* fresh = new LeafNode(v);
    InnerNode<T>* routing;
    try {
        routing = v < value ? new InnerNode<T>(fresh, this) : new InnerNode<T>(this, fresh);
    } catch (...) {
        delete fresh;
        throw;
    }
    if (outcome != nullptr) *outcome = {routing->depth(v), routing->count(v)};
    return routing;
}

template <typename T>
Node<T>* LeafNode<T>::del(T& v, Outcome* outcome) {
    if (v != value) {
        if (outcome != nullptr) *outcome = {};
        return this;
    }
    if (multiplicity == 1) {
        if (outcome != nullptr) *outcome = {};
        delete this;
        return nullptr;
    }
    --multiplicity;
    if (outcome != nullptr) *outcome = {1, multiplicity};
    return this;
}

// The walks below read a routing node's own cached bounds where the
// description reads its children's: minValue is a copy of left->leftMin()
// and maxValue of right->rightMax(), bit for bit, in every tree whose values
// are ordered (all but NaN), so every decision comes out the same. A value
// outside a node's bounds also settles the routing without a look at the
// children: below minValue it goes left, above maxValue right.

template <typename T>
Node<T>* InnerNode<T>::add(T& v, Outcome* outcome) {
    // Routing nodes never change identity on insertion; only the leaf where
    // the walk ends may be replaced. Bounds widen on the way down.
    InnerNode* n = this;
    int levels = 1;
    for (;;) {
        Node<T>** link;
        if (v < n->minValue) {
            n->minValue = v;
            link = &n->left;
        } else if (v > n->maxValue) {
            n->maxValue = v;
            link = &n->right;
        } else {
            prefetch(n->left);  // fetched alongside the right child's bound
            // A value between the two subtrees goes left.
            link = v < n->right->leftMin() ? &n->left : &n->right;
        }
        Node<T>* child = *link;
        if (child->getType() == 0) {
            n = static_cast<InnerNode*>(child);
            ++levels;
            continue;
        }
        *link = child->add(v, outcome);
        if (outcome != nullptr && outcome->depth != -1) outcome->depth += levels;
        return this;
    }
}

template <typename T>
Node<T>* InnerNode<T>::del(T& v, Outcome* outcome) {
    if (outcome != nullptr) *outcome = {};

    // Descend, noting each routing node entered. The steps go into a buffer
    // kept per thread, through a cursor held in a local so the compiler can
    // keep it in a register. Nothing changes before the leaf is reached, so
    // running out of memory for the path is harmless.
    std::vector<Step>& path = removalPath();
    if (path.empty()) path.resize(64);
    Step* first = path.data();
    Step* next = first;
    Step* limit = first + path.size();

    InnerNode* n = this;
    for (;;) {
        if (v < n->minValue || v > n->maxValue) return this;  // not in this subtree
        bool wentRight;
        if (!(v < n->maxValue)) {
            wentRight = true;  // the largest value lives on the right
        } else if (!(v > n->minValue)) {
            wentRight = false;  // the smallest on the left
        } else {
            // Routed as an insertion would be, by the right subtree's smallest
            // value, so only one child is read. A value between the two
            // subtrees is absent either way: it now ends at a leaf that does
            // not hold it, and nothing changes.
            prefetch(n->left);
            wentRight = !(v < n->right->leftMin());
        }
        if (next == limit) {
            const std::size_t used = path.size();
            path.resize(2 * used);
            first = path.data();
            next = first + used;
            limit = first + path.size();
        }
        *next++ = {n, wentRight};
        Node<T>*& child = wentRight ? n->right : n->left;
        if (child->getType() == 0) {
            n = static_cast<InnerNode*>(child);
            continue;
        }
        child = child->del(v, outcome);
        if (child != nullptr) {
            // One occurrence fewer, or none to remove: no bound moves.
            if (outcome != nullptr && outcome->depth != -1) outcome->depth += static_cast<int>(next - first);
            return this;
        }
        break;
    }

    // The leaf is gone. Its parent gives way to the leaf's sibling.
    const Step parent = *--next;
    Node<T>*& survivorSlot = parent.wentRight ? parent.node->left : parent.node->right;
    Node<T>* survivor = survivorSlot;
    survivorSlot = nullptr;
    delete parent.node;
    if (next == first) return survivor;
    const Step& grandparent = next[-1];
    (grandparent.wentRight ? grandparent.node->right : grandparent.node->left) = survivor;

    // The removed value was the largest (or smallest) of exactly those
    // subtrees the walk entered by a run of right (left) steps ending at the
    // leaf; they take the survivor's bound. Every other bound stays.
    const bool side = parent.wentRight;
    const T& bound = side ? survivor->rightMax() : survivor->leftMin();
    while (next != first && next[-1].wentRight == side) {
        --next;
        (side ? next->node->maxValue : next->node->minValue) = bound;
    }
    return this;
}

}  // namespace orlo
