// NodePool: the allocator behind one kind of tree node.
//
// A tree holds one leaf and (but for the root) one routing node per distinct
// value, all of one size, so a free list over large chunks serves them with
// no per-block header and no search. Chunks are handed back to the system as
// soon as the last node of the kind is gone, so a destroyed multiset leaves
// nothing behind. One pool serves every tree of a node type; a spin lock
// keeps trees in different threads apart (one tree is never shared).
#pragma once

#include <atomic>
#include <cstddef>
#include <new>

namespace orlo {

class NodePool {
public:
    /// Serves blocks of blockSize bytes aligned to blockAlign (the node
    /// classes are final, so every request has exactly that size).
    NodePool(std::size_t blockSize, std::size_t blockAlign)
        : chunkAlign_(atLeast(blockAlign, alignof(std::max_align_t))),
          blockSize_(roundUp(atLeast(blockSize, sizeof(FreeBlock)), atLeast(blockAlign, alignof(FreeBlock)))) {}

    NodePool(const NodePool&) = delete;
    NodePool& operator=(const NodePool&) = delete;

    void* allocate(std::size_t /*size*/) {
        Guard guard(lock_);
        void* block = take();
        ++live_;
        return block;
    }

    void release(void* p) noexcept {
        if (p == nullptr) return;
        Guard guard(lock_);
        auto* block = static_cast<FreeBlock*>(p);
        block->next = free_;
        free_ = block;
        if (--live_ == 0) releaseChunks();
    }

    /// Makes sure the next allocate() finds a block without asking the system.
    void reserve() {
        Guard guard(lock_);
        if (free_ == nullptr && bump_ == bumpEnd_) grow();
    }

    std::size_t blockSize() const { return blockSize_; }

private:
    struct FreeBlock {
        FreeBlock* next;
    };
    struct Chunk {
        Chunk* next;
    };

    class Guard {
    public:
        explicit Guard(std::atomic_flag& flag) : flag_(flag) {
            while (flag_.test_and_set(std::memory_order_acquire)) {
            }
        }
        ~Guard() { flag_.clear(std::memory_order_release); }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

    private:
        std::atomic_flag& flag_;
    };

    static constexpr std::size_t atLeast(std::size_t n, std::size_t least) { return n < least ? least : n; }
    static constexpr std::size_t roundUp(std::size_t n, std::size_t to) { return (n + to - 1) / to * to; }
    // Chunks grow geometrically so a small tree stays small, up to a size
    // where the per-chunk cost no longer matters.
    static constexpr std::size_t kFirstChunkBlocks = 64;
    static constexpr std::size_t kMaxChunkBytes = std::size_t{1} << 20;

    void* take() {
        if (free_ != nullptr) {
            FreeBlock* block = free_;
            free_ = block->next;
            return block;
        }
        if (bump_ == bumpEnd_) grow();
        void* block = bump_;
        bump_ += blockSize_;
        return block;
    }

    void grow() {
        const std::size_t header = roundUp(sizeof(Chunk), chunkAlign_);
        std::size_t bytes = header + nextChunkBlocks_ * blockSize_;
        if (bytes > kMaxChunkBytes && nextChunkBlocks_ > kFirstChunkBlocks) {
            bytes = header + (kMaxChunkBytes - header) / blockSize_ * blockSize_;
        }
        char* raw = static_cast<char*>(::operator new(bytes, std::align_val_t{chunkAlign_}));
        auto* chunk = reinterpret_cast<Chunk*>(raw);
        chunk->next = chunks_;
        chunks_ = chunk;
        bump_ = raw + header;
        bumpEnd_ = raw + bytes;
        if (bytes < kMaxChunkBytes) nextChunkBlocks_ *= 2;
    }

    void releaseChunks() noexcept {
        while (chunks_ != nullptr) {
            Chunk* next = chunks_->next;
            ::operator delete(static_cast<void*>(chunks_), std::align_val_t{chunkAlign_});
            chunks_ = next;
        }
        free_ = nullptr;
        bump_ = bumpEnd_ = nullptr;
        nextChunkBlocks_ = kFirstChunkBlocks;
    }

    const std::size_t chunkAlign_;
    const std::size_t blockSize_;
    std::atomic_flag lock_ = ATOMIC_FLAG_INIT;
    FreeBlock* free_ = nullptr;
    Chunk* chunks_ = nullptr;
    char* bump_ = nullptr;
    char* bumpEnd_ = nullptr;
    std::size_t live_ = 0;
    std::size_t nextChunkBlocks_ = kFirstChunkBlocks;
};

/// Gives a node class a pool of its own:
///   class LeafNode final : public Node<T>, public Pooled<LeafNode<T>> { ... };
template <typename Derived>
class Pooled {
public:
    static void* operator new(std::size_t size) { return pool().allocate(size); }
    static void operator delete(void* p) noexcept { pool().release(p); }
    /// Makes sure the next allocation of a node of this class cannot fail.
    static void reserve() { pool().reserve(); }

private:
    static NodePool& pool() {
        static NodePool instance(sizeof(Derived), alignof(Derived));
        return instance;
    }
};

}  // namespace orlo
