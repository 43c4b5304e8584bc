// A map from a tree's nodes to a small value, for the page's session: open
// addressing over the nodes' addresses, which the set hands out and which
// stay put while a node is in the tree. About a dozen bytes a node, where a
// std::unordered_map takes several times that; a tree of a million values
// has a million routing nodes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orlo::session {

template <typename Value>
class NodeTable {
public:
    /// The value for `node`, which must be in the table.
    Value& at(const void* node) { return values_[find(key(node))]; }
    const Value& get(const void* node) const { return values_[find(key(node))]; }

    void put(const void* node, Value value) {
        if ((count_ + 1) * 4 > keys_.size() * 3) grow();
        const std::size_t i = slot(key(node));
        if (keys_[i] == 0) ++count_;
        keys_[i] = key(node);
        values_[i] = value;
    }

    /// Removes `node`, which must be in the table. Later entries of its run
    /// move back, so a search never needs to step over a hole.
    void erase(const void* node) {
        std::size_t i = find(key(node));
        const std::size_t mask = keys_.size() - 1;
        for (std::size_t j = (i + 1) & mask; keys_[j] != 0; j = (j + 1) & mask) {
            const std::size_t home = hash(keys_[j]) & mask;
            // Entry j may fill hole i unless its home lies cyclically in (i, j].
            if (((j - home) & mask) >= ((j - i) & mask)) {
                keys_[i] = keys_[j];
                values_[i] = values_[j];
                i = j;
            }
        }
        keys_[i] = 0;
        --count_;
    }

    std::size_t size() const { return count_; }

    void clear() {
        keys_.assign(16, 0);
        values_.assign(16, Value{});
        count_ = 0;
    }

private:
    static std::uintptr_t key(const void* node) { return reinterpret_cast<std::uintptr_t>(node); }
    static std::size_t hash(std::uintptr_t k) {
        // Nodes are a few words apart: mix the bits so that neighbours spread.
        std::uint64_t h = static_cast<std::uint64_t>(k) * 0x9e3779b97f4a7c15ULL;
        return static_cast<std::size_t>(h ^ (h >> 29));
    }

    /// The slot of k, or the empty slot where it would go.
    std::size_t slot(std::uintptr_t k) const {
        const std::size_t mask = keys_.size() - 1;
        std::size_t i = hash(k) & mask;
        while (keys_[i] != 0 && keys_[i] != k) i = (i + 1) & mask;
        return i;
    }
    std::size_t find(std::uintptr_t k) const { return slot(k); }

    void grow() {
        std::vector<std::uintptr_t> keys(keys_.size() * 2, 0);
        std::vector<Value> values(keys.size());
        keys.swap(keys_);
        values.swap(values_);
        count_ = 0;
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (keys[i] != 0) put(reinterpret_cast<const void*>(keys[i]), values[i]);
        }
    }

    std::vector<std::uintptr_t> keys_ = std::vector<std::uintptr_t>(16, 0);
    std::vector<Value> values_ = std::vector<Value>(16);
    std::size_t count_ = 0;
};

}  // namespace orlo::session
