// Update observers: what an insertion or removal tells code that watches
// the tree change (a drawing of each step, a journal that takes updates
// back). They are opt-in, through BSTSET::insertAndLocate(v, observer) and
// removeAndLocate(v, observer); every other update reports to a
// QuietObserver, whose hooks do nothing and cost nothing. What each hook is
// told, and when, is stated in BSTSET.h.
#pragma once

namespace orlo {

template <typename T>
class Node;
template <typename T>
class LeafNode;
template <typename T>
class InnerNode;

/// The comparison the tree's algorithm makes at a routing node.
enum class Compared : unsigned char {
    RightSmallest,  // insertion: v < the right child's smallest goes left, anything else right
    LeftLargest,    // removal: v > the left child's largest goes right, anything else left
    OutsideRange,   // removal: v below the node's own smallest or above its largest: not in this subtree; the walk ends at this node
    BetweenSides,   // removal: v > the left child's largest but < the right child's smallest: absent; the walk ends at this node
};

/// Base for update observers: every hook does nothing; derive and hide the
/// ones you need.
template <typename T>
struct QuietObserver {
    /// true: a node taken out of the tree is handed to freed() and not
    /// destroyed; the observer owns it from then on.
    static constexpr bool kKeepsFreed = false;

    void passed(const Node<T>* /*routing*/, Compared /*how*/, const T& /*bound*/, bool /*wentRight*/) noexcept {}
    void reached(const LeafNode<T>* /*leaf*/, bool /*holds*/) noexcept {}
    void boundChanged(const InnerNode<T>* /*node*/, bool /*largest*/, const T& /*before*/, const T& /*after*/) noexcept {}
    void countChanged(const LeafNode<T>* /*leaf*/, int /*before*/, int /*after*/) noexcept {}
    void created(const Node<T>* /*node*/) noexcept {}
    void freed(Node<T>* /*node*/) noexcept {}
};

}  // namespace orlo
