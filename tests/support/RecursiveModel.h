// A plain recursive model of the search tree, written straight from the
// description of its algorithms: the yardstick that the iterative, faster
// implementation is compared with, shape for shape, by the unit tests and
// by the fuzz target. Recursion limits it to modest heights.
#pragma once

#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace orlo::testing {

/// The tree's algorithms as described, recursively and with nothing added:
/// the yardstick for the iterative implementation on small trees.
template <typename T>
class RecursiveModel {
public:
    void add(const T& v) { root_ = root_ ? add(std::move(root_), v) : leaf(v); }
    void del(const T& v) {
        if (root_) root_ = del(std::move(root_), v);
    }
    int depth(const T& v) const { return root_ ? depth(root_.get(), v) : -1; }
    int count(const T& v) const { return root_ ? count(root_.get(), v) : 0; }

    std::string shape() const {
        std::ostringstream out;
        if (root_) shape(root_.get(), out);
        return out.str();
    }

    /// The distinct values, left to right as the leaves stand.
    std::vector<T> values() const {
        std::vector<T> out;
        if (root_) collect(root_.get(), out);
        return out;
    }

private:
    // A leaf uses value and multiplicity, a routing node the rest; every
    // field holds a copy of some value, so T needs no default constructor.
    struct N {
        explicit N(const T& v) : value(v), minValue(v), maxValue(v) {}
        bool isLeaf = true;
        T value;
        int multiplicity = 1;
        T minValue, maxValue;
        std::unique_ptr<N> left, right;
    };
    using P = std::unique_ptr<N>;

    static P leaf(const T& v) { return std::make_unique<N>(v); }
    static const T& leftMin(const N* n) { return n->isLeaf ? n->value : n->minValue; }
    static const T& rightMax(const N* n) { return n->isLeaf ? n->value : n->maxValue; }

    static P add(P n, const T& v) {
        if (n->isLeaf) {
            if (v == n->value) {
                ++n->multiplicity;
                return n;
            }
            P inner = std::make_unique<N>(v);
            inner->isLeaf = false;
            if (v < n->value) {
                inner->left = leaf(v);
                inner->right = std::move(n);
            } else {
                inner->left = std::move(n);
                inner->right = leaf(v);
            }
            inner->maxValue = rightMax(inner->right.get());
            inner->minValue = leftMin(inner->left.get());
            return inner;
        }
        if (v < leftMin(n->left.get())) {
            n->minValue = v;
        } else if (v > rightMax(n->right.get())) {
            n->maxValue = v;
        }
        if (v < leftMin(n->right.get())) {
            n->left = add(std::move(n->left), v);
        } else {
            n->right = add(std::move(n->right), v);
        }
        return n;
    }

    static P del(P n, const T& v) {
        if (n->isLeaf) {
            if (v != n->value) return n;
            if (n->multiplicity == 1) return nullptr;
            --n->multiplicity;
            return n;
        }
        if (v < n->minValue || v > n->maxValue) return n;
        if (v > rightMax(n->left.get())) {
            if (v < leftMin(n->right.get())) return n;
            n->right = del(std::move(n->right), v);
            if (!n->right) return std::move(n->left);
            n->maxValue = rightMax(n->right.get());
            return n;
        }
        n->left = del(std::move(n->left), v);
        if (!n->left) return std::move(n->right);
        n->minValue = leftMin(n->left.get());
        return n;
    }

    static int count(const N* n, const T& v) {
        if (n->isLeaf) return v == n->value ? n->multiplicity : 0;
        return v < leftMin(n->right.get()) ? count(n->left.get(), v) : count(n->right.get(), v);
    }
    static int depth(const N* n, const T& v) {
        if (n->isLeaf) return v == n->value ? 1 : -1;
        const int d = v < leftMin(n->right.get()) ? depth(n->left.get(), v) : depth(n->right.get(), v);
        return d == -1 ? -1 : d + 1;
    }
    static void shape(const N* n, std::ostringstream& out) {
        if (n->isLeaf) {
            out << n->value << '*' << n->multiplicity << ' ';
            return;
        }
        out << '[' << n->minValue << ',' << n->maxValue << "](";
        shape(n->left.get(), out);
        shape(n->right.get(), out);
        out << ')';
    }

    P root_;

    static void collect(const N* n, std::vector<T>& out) {
        if (n->isLeaf) {
            out.push_back(n->value);
            return;
        }
        collect(n->left.get(), out);
        collect(n->right.get(), out);
    }
};

/// The model behind the multiset's operations, so the command interpreter
/// can run on it.
template <typename T>
struct ModelSet {
    using value_type = T;
    struct Where {
        int depth;
        int count;
    };
    RecursiveModel<T> model;

    void operator<<(const T& v) { model.add(v); }
    void operator>>(const T& v) { model.del(v); }
    int operator[](const T& v) const { return model.depth(v); }
    int operator()(const T& v) const { return model.count(v); }
    Where insertAndLocate(const T& v) {
        *this << v;
        return {model.depth(v), model.count(v)};
    }
    Where removeAndLocate(const T& v) {
        *this >> v;
        return {model.depth(v), model.count(v)};
    }
};

}  // namespace orlo::testing
