// The memory of one tree: the bottom layer of the library, which knows
// nothing of nodes but their sizes.
//
// A tree holds one leaf and (but for the root) one routing node per distinct
// value, all of two sizes, so each set gets a NodeArena of its own: two
// BlockPools serving fixed-size blocks from chunks, with no per-block header
// and no search. Chunks grow geometrically from room for two blocks, so a
// set of a few values costs a few hundred bytes, and a large tree takes its
// memory in chunks of up to 1 MiB. Freed blocks are handed out again first.
// Everything an arena holds goes back to the system when its last block is
// freed or the arena is destroyed, whatever other sets do, and the next
// chunk is then as small as a new arena's first; no two sets share a lock.
// Blocks are aligned as their type asks, however much that is.
//
// A block does not know its arena: the tree's walks are told which arena
// they work in (detail::Update), and a set's nodes are created and destroyed
// only by them. Nodes made by hand (`new LeafNode<T>(v)`) come from one
// shared arena, which locks.
//
// Under AddressSanitizer a freed block is poisoned and never handed out
// again while its arena lives, so a read through a dangling node is reported.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

#if !defined(_LIBCPP_HAS_NO_THREADS)
#include <mutex>
#endif

#if defined(__SANITIZE_ADDRESS__)
#define ORLO_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORLO_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(ORLO_ADDRESS_SANITIZER)
#include <sanitizer/asan_interface.h>
#endif

namespace orlo::detail {

constexpr std::size_t roundUp(std::size_t n, std::size_t to) { return (n + to - 1) / to * to; }
/// The smallest power of two not below n (1 for 0). Also sizes the
/// command window's ring (driver/CommandWindow.h).
constexpr std::size_t powerOfTwoAtLeast(std::size_t n) {
    std::size_t p = 1;
    while (p < n) p *= 2;
    return p;
}

inline void poison(const void* p, std::size_t n) noexcept {
#if defined(ORLO_ADDRESS_SANITIZER)
    ASAN_POISON_MEMORY_REGION(p, n);
#else
    (void)p;
    (void)n;
#endif
}

inline void unpoison(const void* p, std::size_t n) noexcept {
#if defined(ORLO_ADDRESS_SANITIZER)
    ASAN_UNPOISON_MEMORY_REGION(p, n);
#else
    (void)p;
    (void)n;
#endif
}

#if defined(_LIBCPP_HAS_NO_THREADS)
// A standard library built without threads (libc++ for wasm32-wasi) has no
// std::mutex, and nothing runs at the same time there: the lock is empty.
struct ArenaMutex {
    void lock() noexcept {}
    void unlock() noexcept {}
};
#else
using ArenaMutex = std::mutex;
#endif

/// Blocks of BlockSize bytes aligned to BlockAlign. Not synchronised: its
/// arena decides who may call it.
template <std::size_t BlockSize, std::size_t BlockAlign>
class BlockPool {
public:
    BlockPool() noexcept = default;
    ~BlockPool() { releaseChunks(); }
    BlockPool(const BlockPool&) = delete;
    BlockPool& operator=(const BlockPool&) = delete;

    void* allocate() {
        void* block;
        if (free_ != nullptr) {
            block = free_;
            unpoison(block, kBlock);
            free_ = free_->next;
        } else {
            if (bump_ == bumpEnd_) grow();
            block = bump_;
            bump_ += kBlock;
            unpoison(block, kBlock);
        }
        ++live_;
        return block;
    }

    /// Makes sure the next allocate() cannot fail.
    void reserve() {
        if (free_ == nullptr && bump_ == bumpEnd_) grow();
    }

    void release(void* block) noexcept {
#if defined(ORLO_ADDRESS_SANITIZER)
        poison(block, kBlock);  // and never reused
#else
        auto* freed = static_cast<FreeBlock*>(block);
        freed->next = free_;
        free_ = freed;
#endif
        if (--live_ == 0) releaseChunks();
    }

    /// Bytes taken from the system and not yet given back.
    std::size_t chunkBytes() const noexcept { return chunkBytes_; }

    void swap(BlockPool& other) noexcept {
        std::swap(free_, other.free_);
        std::swap(bump_, other.bump_);
        std::swap(bumpEnd_, other.bumpEnd_);
        std::swap(chunks_, other.chunks_);
        std::swap(live_, other.live_);
        std::swap(chunkBytes_, other.chunkBytes_);
        std::swap(nextBlocks_, other.nextBlocks_);
    }

private:
    struct FreeBlock {
        FreeBlock* next;
    };
    struct ChunkHeader {
        ChunkHeader* next;
        std::size_t bytes;
    };

    static constexpr std::size_t kAlign = BlockAlign < alignof(FreeBlock) ? alignof(FreeBlock) : BlockAlign;
    static constexpr std::size_t kBlock = roundUp(BlockSize < sizeof(FreeBlock) ? sizeof(FreeBlock) : BlockSize, kAlign);
    // Chunks of at least this many bytes are aligned to a cache line and
    // their blocks start at a multiple of their size (up to a line), so a
    // block of 16, 32 or 64 bytes never straddles two lines where it counts.
    // Smaller chunks take the allocator's own alignment: their few blocks
    // are not worth the padding.
    static constexpr std::size_t kLine = 64;
    static constexpr std::size_t kAlignedChunk = 4096;
    static constexpr std::size_t kBlockAlign = powerOfTwoAtLeast(kBlock) < kLine ? powerOfTwoAtLeast(kBlock) : kLine;
    // The first chunk has room for two blocks: a set of one or two values
    // costs no more. Each chunk doubles the last, up to 1 MiB, where the
    // cost per chunk no longer matters.
    static constexpr std::size_t kFirstBlocks = 2;
    static constexpr std::size_t kMaxChunk = std::size_t{1} << 20;

    // A block type aligned beyond what plain operator new gives (alignas(64)
    // elements) has every chunk allocated with its alignment.
    static constexpr bool kOveraligned = kAlign > __STDCPP_DEFAULT_NEW_ALIGNMENT__;
    static constexpr std::size_t kChunkAlign = kAlign > kLine ? kAlign : kLine;

    static constexpr bool isLineAligned(std::size_t chunkBytes) { return chunkBytes >= kAlignedChunk; }
    /// Where the first block of a chunk of that size starts: blocks sit at a
    /// multiple of kAlign from the chunk's start, which is aligned at least
    /// as much.
    static constexpr std::size_t firstBlockAt(std::size_t chunkBytes) {
        return roundUp(sizeof(ChunkHeader), isLineAligned(chunkBytes) && kBlockAlign > kAlign ? kBlockAlign : kAlign);
    }
    static void* allocateChunk(std::size_t bytes) {
        if (isLineAligned(bytes)) return ::operator new(bytes, std::align_val_t{kChunkAlign});
        if constexpr (kOveraligned) return ::operator new(bytes, std::align_val_t{kAlign});
        return ::operator new(bytes);
    }
    static void releaseChunk(void* chunk, std::size_t bytes) noexcept {
        if (isLineAligned(bytes)) {
            ::operator delete(chunk, std::align_val_t{kChunkAlign});
        } else if constexpr (kOveraligned) {
            ::operator delete(chunk, std::align_val_t{kAlign});
        } else {
            ::operator delete(chunk);
        }
    }

    void grow() {
        std::size_t bytes = roundUp(sizeof(ChunkHeader), kAlign) + nextBlocks_ * kBlock;
        if (isLineAligned(bytes)) bytes = firstBlockAt(bytes) + nextBlocks_ * kBlock;
        char* chunk = static_cast<char*>(allocateChunk(bytes));
        poison(chunk, bytes);
        unpoison(chunk, sizeof(ChunkHeader));
        auto* header = reinterpret_cast<ChunkHeader*>(chunk);
        header->next = chunks_;
        header->bytes = bytes;
        chunks_ = header;
        chunkBytes_ += bytes;
        bump_ = chunk + firstBlockAt(bytes);
        bumpEnd_ = bump_ + nextBlocks_ * kBlock;
        if (nextBlocks_ * kBlock * 2 <= kMaxChunk) nextBlocks_ *= 2;
    }

    /// Gives every chunk back; the next chunk is again the first size.
    void releaseChunks() noexcept {
        while (chunks_ != nullptr) {
            ChunkHeader* next = chunks_->next;
            const std::size_t bytes = chunks_->bytes;
            unpoison(chunks_, bytes);
            releaseChunk(chunks_, bytes);
            chunks_ = next;
        }
        free_ = nullptr;
        bump_ = bumpEnd_ = nullptr;
        chunkBytes_ = 0;
        nextBlocks_ = kFirstBlocks;
    }

    FreeBlock* free_ = nullptr;
    char* bump_ = nullptr;     // next block of the newest chunk
    char* bumpEnd_ = nullptr;  // end of its blocks
    ChunkHeader* chunks_ = nullptr;
    std::size_t live_ = 0;
    std::size_t chunkBytes_ = 0;
    std::size_t nextBlocks_ = kFirstBlocks;
};

/// The blocks of one tree: its leaves and its routing nodes. A set's arena
/// is used by one thread at a time, like the set. The shared arena serves
/// nodes made outside any set (`new LeafNode<T>(v)` by hand) and locks.
template <typename Leaf, typename Inner>
class NodeArena {
public:
    NodeArena() noexcept = default;
    NodeArena(const NodeArena&) = delete;
    NodeArena& operator=(const NodeArena&) = delete;

    static NodeArena& shared() {
        // Never destroyed: hand-made nodes may outlive static destruction.
        static NodeArena* arena = new NodeArena(Shared{});
        return *arena;
    }

    void* allocateLeaf() {
        Lock lock(mutex_);
        return leaves_.allocate();
    }
    void* allocateInner() {
        Lock lock(mutex_);
        return inners_.allocate();
    }
    void releaseLeaf(void* p) noexcept {
        Lock lock(mutex_);
        leaves_.release(p);
    }
    void releaseInner(void* p) noexcept {
        Lock lock(mutex_);
        inners_.release(p);
    }

    /// Makes sure the next allocateLeaf() and allocateInner() cannot fail.
    /// Not for the shared arena, where another thread may take the blocks.
    void reserve() {
        leaves_.reserve();
        inners_.reserve();
    }

    bool isShared() const noexcept { return mutex_ != nullptr; }

    /// Room for the routing nodes a walk must come back to; one walk at a
    /// time uses it, and never in the shared arena. Kept while the tree
    /// holds values, so a tall tree's walks do not allocate every time, and
    /// given back with the tree's last node (releaseScratch()).
    std::vector<Inner*>& scratch() noexcept { return scratch_; }
    void releaseScratch() noexcept { std::vector<Inner*>().swap(scratch_); }

    /// Bytes held from the system for this arena's nodes.
    std::size_t nodeBytes() const noexcept { return leaves_.chunkBytes() + inners_.chunkBytes(); }
    /// Everything held from the system: the nodes and the walks' room.
    std::size_t bytesHeld() const noexcept { return nodeBytes() + scratch_.capacity() * sizeof(Inner*); }

    /// Exchanges everything two sets' arenas hold (never the shared one's).
    void swap(NodeArena& other) noexcept {
        leaves_.swap(other.leaves_);
        inners_.swap(other.inners_);
        scratch_.swap(other.scratch_);
    }

private:
    using LeafPool = BlockPool<sizeof(Leaf), alignof(Leaf)>;
    using InnerPool = BlockPool<sizeof(Inner), alignof(Inner)>;

    struct Shared {};
    explicit NodeArena(Shared) : mutex_(new ArenaMutex) {}

    // Locks only the shared arena's mutex.
    class Lock {
    public:
        explicit Lock(ArenaMutex* m) : m_(m) {
            if (m_ != nullptr) m_->lock();
        }
        ~Lock() {
            if (m_ != nullptr) m_->unlock();
        }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        ArenaMutex* m_;
    };

    ArenaMutex* const mutex_ = nullptr;  // only for the shared arena
    LeafPool leaves_;
    InnerPool inners_;
    std::vector<Inner*> scratch_;
};

}  // namespace orlo::detail
