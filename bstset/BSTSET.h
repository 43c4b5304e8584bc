// BSTSET: an ordered multiset over the leaf-oriented search tree of Node.h,
// and its iterator, which visits each distinct value once in ascending order.
//
// The operations are operators: `set << v` inserts one occurrence, `set >> v`
// removes one, `set[v]` is the depth of v's leaf (-1 when absent) and `set(v)`
// its multiplicity (0 when absent).
#pragma once

#include <cstddef>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <stack>
#include <type_traits>
#include <utility>
#include <vector>

#include "Node.h"

namespace orlo {

template <typename T>
class BSTSET {
public:
    class iterator {
    public:
        // What std::iterator_traits reads: a forward iterator over the
        // distinct values.
        using iterator_category = std::forward_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = T*;
        using reference = T&;

        /// The end position.
        iterator() : current(nullptr) {}

        /// Stands on the smallest value of the subtree under start, or at the
        /// end position when start is null.
        explicit iterator(Node<T>* start) : current(start) { descend(); }

        /// Two iterators are equal when they stand on the same leaf.
        bool operator!=(const iterator& other) const { return current != other.current; }
        bool operator==(const iterator& other) const { return current == other.current; }

        /// The value the iterator stands on. Reading past the end is a fault
        /// in the caller that cannot be reported any other way: it ends the
        /// process.
        T& operator*() const {
            if (current == nullptr) {
                std::cout << "Sakra" << std::endl;
                std::exit(1);
            }
            return current->leftMin();
        }
        T* operator->() const { return &**this; }

        /// Moves to the next distinct value, or to the end position.
        void operator++(int) { advance(); }
        iterator& operator++() {
            advance();
            return *this;
        }

    private:
        Node<T>* current;  // the leaf stood on; null at the end position
        // The routing nodes above current that the walk still needs, the root
        // at the bottom. The root stays even once the walk has ended.
        std::stack<Node<T>*, std::vector<Node<T>*>> path;

        void descend() {
            while (current != nullptr && current->getType() == 0) {
                path.push(current);
#if defined(__GNUC__)
                // The right subtree is next once the left one is done; near
                // the leaves that is soon, so start fetching it now.
                __builtin_prefetch(current->getRight());
#endif
                current = current->getLeft();
            }
        }

        void advance() {
            for (;;) {
                if (path.size() > 1) {
                    Node<T>* top = path.top();
                    if (top->getLeft() == current) {
                        current = top->getRight();
                        descend();
                        return;
                    }
                    // The right subtree of top is done; so is top.
                    current = top;
                    path.pop();
                } else if (path.size() == 1) {
                    Node<T>* root = path.top();
                    current = root->getLeft() == current ? root->getRight() : nullptr;
                    descend();
                    return;
                } else {
                    current = nullptr;
                    return;
                }
            }
        }
    };

    using value_type = T;
    using const_iterator = iterator;

    BSTSET() : root(nullptr) {}
    BSTSET(const BSTSET&) = delete;
    BSTSET& operator=(const BSTSET&) = delete;
    BSTSET(BSTSET&& other) noexcept
        : root(std::exchange(other.root, nullptr)),
          last(std::move(other.last)),
          unordered(std::exchange(other.unordered, false)) {
        other.last.known = false;
    }
    BSTSET& operator=(BSTSET&& other) noexcept {
        if (this != &other) {
            InnerNode<T>::destroy(root);
            root = std::exchange(other.root, nullptr);
            last = std::move(other.last);
            unordered = std::exchange(other.unordered, false);
            other.last.known = false;
        }
        return *this;
    }
    virtual ~BSTSET() { InnerNode<T>::destroy(root); }

    /// Inserts one occurrence of v.
    void operator<<(T v) {
        // With a block of each node kind in hand the insertion cannot run out
        // of memory half-way (copying a value still can, for strings).
        LeafNode<T>::reserve();
        InnerNode<T>::reserve();
        last.known = false;
        Outcome outcome;
        if (root == nullptr) {
            root = new LeafNode<T>(v);
            outcome = InnerNode<T>::locate(root, v);
        } else {
            root = root->add(v, &outcome);
        }
        remember(v, outcome);
    }

    /// Removes one occurrence of v; removing an absent value changes nothing.
    void operator>>(T& v) {
        if (root == nullptr) return;
        last.known = false;
        Outcome outcome;
        root = root->del(v, &outcome);
        remember(v, outcome);
    }

    /// Depth of v's leaf, the root being level 1; -1 when v is not held.
    int operator[](T& v) {
        if (root == nullptr) return -1;
        return isLast(v) ? last.outcome.depth : locate(v).depth;
    }

    /// Number of occurrences of v.
    int operator()(T& v) {
        if (root == nullptr) return 0;
        return isLast(v) ? last.outcome.count : locate(v).count;
    }

    iterator begin() { return iterator(root); }
    iterator& end() { return endIterator; }

    /// The root of the tree, null when the multiset is empty; for walks that
    /// need the tree's shape (drawing it, checking it).
    Node<T>* getRoot() const { return root; }

private:
    Node<T>* root;  // owned
    iterator endIterator;

    // The two queries that follow an update almost always ask about the value
    // just updated, whose depth and count the update found on its way. They
    // are kept until the tree changes again.
    struct Last {
        bool known = false;
        T value{};
        Outcome outcome;
    } last;
    // A value unequal to itself (NaN) breaks the ordering the shortcut relies
    // on; a tree that ever held one answers every query by walking.
    bool unordered = false;

    bool isLast(const T& v) const { return last.known && v == last.value; }

    void remember(const T& v, const Outcome& outcome) {
        if constexpr (std::is_floating_point_v<T>) {
            if (!(v == v)) unordered = true;
        }
        last.known = false;
        if (unordered) return;
        last.value = v;
        last.outcome = outcome;
        last.known = true;
    }

    Outcome locate(T& v) {
        const Outcome outcome = InnerNode<T>::locate(root, v);
        remember(v, outcome);
        return outcome;
    }
};

}  // namespace orlo
