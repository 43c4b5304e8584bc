// The node classes as the walks see them: which kind a node is, its
// smallest and largest value, and giving nodes back to their arena. The
// classes themselves are in Node.h, above every walk; here they are only
// declared, and used once complete.
#pragma once

#include <typeinfo>

#include "../Observer.h"
#include "Element.h"
#include "Memory.h"

// Without RTTI the walks tell the node kinds apart by a virtual call.
#if defined(__GXX_RTTI) || defined(_CPPRTTI)
#define ORLO_HAS_RTTI 1
#endif

namespace orlo::detail {

/// The memory of one tree's nodes.
template <typename T>
using TreeArena = NodeArena<LeafNode<T>, InnerNode<T>>;

// The walks tell the two node kinds apart, and read a node's bounds, without
// virtual calls: typeid reads the kind from the node's type data, so no
// indirect branch is mispredicted level after level near the leaves. Should
// a platform hand out two type_info objects for one type, the comparisons of
// their addresses fail and the virtual calls answer instead, as they do in a
// build without RTTI.

/// Whether n is a routing node (else a leaf).
template <typename T>
ORLO_ALWAYS_INLINE bool isRouting(const Node<T>* n) noexcept {
#if defined(ORLO_HAS_RTTI)
    if constexpr (tuning::kKindByTypeid) {
        if (&typeid(*n) == &typeid(InnerNode<T>)) return true;
        if (&typeid(*n) == &typeid(LeafNode<T>)) return false;
    }
#endif
    return const_cast<Node<T>*>(n)->getType() == 0;
}

/// The smallest value of the subtree under n: a routing node's cached
/// bound, or a leaf's value.
template <typename T>
ORLO_ALWAYS_INLINE const T& smallest(const Node<T>* n) {
#if defined(ORLO_HAS_RTTI)
    if constexpr (tuning::kKindByTypeid) {
        if (&typeid(*n) == &typeid(InnerNode<T>)) return static_cast<const InnerNode<T>*>(n)->minValue;
        if (&typeid(*n) == &typeid(LeafNode<T>)) return static_cast<const LeafNode<T>*>(n)->value;
    }
#endif
    return const_cast<Node<T>*>(n)->leftMin();
}

/// The largest value of the subtree under n.
template <typename T>
ORLO_ALWAYS_INLINE const T& largest(const Node<T>* n) {
#if defined(ORLO_HAS_RTTI)
    if constexpr (tuning::kKindByTypeid) {
        if (&typeid(*n) == &typeid(InnerNode<T>)) return static_cast<const InnerNode<T>*>(n)->maxValue;
        if (&typeid(*n) == &typeid(LeafNode<T>)) return static_cast<const LeafNode<T>*>(n)->value;
    }
#endif
    return const_cast<Node<T>*>(n)->rightMax();
}

/// Destroys one node whose children, if any, are detached, and gives its
/// block back to `arena`.
template <typename T>
void freeNode(TreeArena<T>& arena, Node<T>* n) noexcept {
    if (isRouting(n)) {
        auto* in = static_cast<InnerNode<T>*>(n);
        in->~InnerNode();  // its children are detached: it destroys nothing else
        arena.releaseInner(in);
    } else {
        auto* leaf = static_cast<LeafNode<T>*>(n);
        leaf->~LeafNode();
        arena.releaseLeaf(leaf);
    }
}

/// Destroys a whole subtree in constant stack space, giving its blocks back
/// to `arena`. Right rotations turn the subtree into a chain whose left
/// children are leaves, which is then eaten from the top; every routing
/// node is detached before it is destroyed, so no destructor ever descends.
/// A routing node whose children were detached (null) is destroyed alone.
template <typename T>
void destroyTree(TreeArena<T>& arena, Node<T>* n) noexcept {
    while (n != nullptr) {
        if (!isRouting(n)) {
            freeNode(arena, n);
            return;
        }
        auto* top = static_cast<InnerNode<T>*>(n);
        if (top->left != nullptr && isRouting(top->left)) {
            auto* l = static_cast<InnerNode<T>*>(top->left);
            top->left = l->right;
            l->right = top;
            n = l;
        } else {
            if (top->left != nullptr) freeNode(arena, top->left);
            n = top->right;
            top->left = top->right = nullptr;
            freeNode<T>(arena, top);
        }
    }
}

}  // namespace orlo::detail
