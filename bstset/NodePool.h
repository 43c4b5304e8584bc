// NodePool: the memory behind the nodes of one tree.
//
// A tree holds one leaf and (but for the root) one routing node per distinct
// value, all of two sizes, so each tree gets a NodeArena of its own: two
// BlockPools serving fixed-size blocks from chunks, with no per-block header
// and no search. Everything an arena holds goes back to the system when its
// last block is freed or the arena is destroyed, whatever other trees do, and
// no two trees share a lock.
//
// A block finds its pool without being told: chunks are made of pages aligned
// to their size, and every page starts with a header naming its owner. So a
// node can be deleted anywhere (by the tree's operations, by its parent's
// destructor, by a caller holding it), and a leaf that grows into a routing
// node takes the new nodes from its own arena.
//
// Under AddressSanitizer a freed block is poisoned and never handed out
// again while its arena lives, so a read through a dangling node is reported.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <new>
#include <vector>

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

namespace orlo {

namespace detail {

constexpr std::size_t roundUp(std::size_t n, std::size_t to) { return (n + to - 1) / to * to; }
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

}  // namespace detail

/// Blocks of BlockSize bytes aligned to BlockAlign. Not synchronised: its
/// arena decides who may call it.
template <std::size_t BlockSize, std::size_t BlockAlign>
class BlockPool {
public:
    /// `owner` is what ownerOf() gives back for the pool's blocks.
    explicit BlockPool(void* owner) noexcept : owner_(owner) {}
    ~BlockPool() { releaseChunks(); }
    BlockPool(const BlockPool&) = delete;
    BlockPool& operator=(const BlockPool&) = delete;

    void* allocate() {
        void* block;
        if (free_ != nullptr) {
            block = free_;
            detail::unpoison(block, kBlock);
            free_ = free_->next;
        } else {
            if (bumpEnd_ - bump_ < static_cast<std::ptrdiff_t>(kBlock)) nextPage();
            block = bump_;
            bump_ += kBlock;
            detail::unpoison(block, kBlock);
        }
        ++live_;
        return block;
    }

    /// Makes sure the next allocate() cannot fail.
    void reserve() {
        if (free_ == nullptr && bumpEnd_ - bump_ < static_cast<std::ptrdiff_t>(kBlock)) nextPage();
    }

    void release(void* block) noexcept {
#if defined(ORLO_ADDRESS_SANITIZER)
        detail::poison(block, kBlock);  // and never reused
#else
        auto* freed = static_cast<FreeBlock*>(block);
        freed->next = free_;
        free_ = freed;
#endif
        if (--live_ == 0) releaseChunks();
    }

    /// The owner given to the pool that served `block`.
    static void* ownerOf(const void* block) noexcept {
        const auto page = reinterpret_cast<std::uintptr_t>(block) & ~(std::uintptr_t{kPage} - 1);
        return reinterpret_cast<const PageHeader*>(page)->owner;
    }

    /// Bytes taken from the system and not yet given back.
    std::size_t chunkBytes() const noexcept { return chunkBytes_; }

private:
    struct FreeBlock {
        FreeBlock* next;
    };
    // Every page starts with one; the first page of a chunk also links the
    // chunks together.
    struct PageHeader {
        void* owner;
        PageHeader* nextChunk;
        std::size_t chunkBytes;
    };

    static constexpr std::size_t kAlign = BlockAlign < alignof(FreeBlock) ? alignof(FreeBlock) : BlockAlign;
    static constexpr std::size_t kBlock = detail::roundUp(BlockSize < sizeof(FreeBlock) ? sizeof(FreeBlock) : BlockSize, kAlign);
    // Blocks start at a multiple of their size (up to a cache line), so a
    // block of 16, 32 or 64 bytes never straddles two cache lines.
    static constexpr std::size_t kFirstBlock =
        detail::roundUp(sizeof(PageHeader), detail::powerOfTwoAtLeast(kBlock) < 64 ? detail::powerOfTwoAtLeast(kBlock) : 64);
    // At least 4 KiB, and room for some 30 blocks beside the header.
    static constexpr std::size_t kPage = detail::powerOfTwoAtLeast(kFirstBlock + 30 * kBlock) < 4096
                                             ? 4096
                                             : detail::powerOfTwoAtLeast(kFirstBlock + 30 * kBlock);
    // Chunks double from one page, so a small tree stays small, up to a size
    // where the cost per chunk no longer matters.
    static constexpr std::size_t kMaxChunkPages = (std::size_t{1} << 20) / kPage < 1 ? 1 : (std::size_t{1} << 20) / kPage;

    void nextPage() {
        if (bumpEnd_ == chunkEnd_) grow();
        char* page = bumpEnd_;
        detail::unpoison(page, sizeof(PageHeader));
        reinterpret_cast<PageHeader*>(page)->owner = owner_;
        bump_ = page + kFirstBlock;
        bumpEnd_ = page + kPage;
    }

    void grow() {
        const std::size_t bytes = nextChunkPages_ * kPage;
        char* chunk = static_cast<char*>(::operator new(bytes, std::align_val_t{kPage}));
        detail::poison(chunk, bytes);
        detail::unpoison(chunk, sizeof(PageHeader));
        auto* header = reinterpret_cast<PageHeader*>(chunk);
        header->nextChunk = chunks_;
        header->chunkBytes = bytes;
        chunks_ = header;
        chunkBytes_ += bytes;
        bumpEnd_ = chunk;
        chunkEnd_ = chunk + bytes;
        if (nextChunkPages_ < kMaxChunkPages) nextChunkPages_ *= 2;
    }

    void releaseChunks() noexcept {
        while (chunks_ != nullptr) {
            PageHeader* next = chunks_->nextChunk;
            const std::size_t bytes = chunks_->chunkBytes;
            detail::unpoison(chunks_, bytes);
            ::operator delete(static_cast<void*>(chunks_), std::align_val_t{kPage});
            chunks_ = next;
        }
        free_ = nullptr;
        bump_ = bumpEnd_ = chunkEnd_ = nullptr;
        chunkBytes_ = 0;
        nextChunkPages_ = 1;
    }

    void* const owner_;
    FreeBlock* free_ = nullptr;
    char* bump_ = nullptr;     // next block of the current page
    char* bumpEnd_ = nullptr;  // end of the current page
    char* chunkEnd_ = nullptr;
    PageHeader* chunks_ = nullptr;
    std::size_t live_ = 0;
    std::size_t chunkBytes_ = 0;
    std::size_t nextChunkPages_ = 1;
};

/// The blocks of one tree: its leaves and its routing nodes. A tree's arena
/// is used by one thread at a time, like the tree. The shared arena serves
/// nodes made outside any tree (`new LeafNode<T>(v)` by hand) and locks.
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

    /// The arena a node's block came from.
    static NodeArena& of(const Leaf* leaf) noexcept { return *static_cast<NodeArena*>(LeafPool::ownerOf(leaf)); }
    static NodeArena& of(const Inner* inner) noexcept { return *static_cast<NodeArena*>(InnerPool::ownerOf(inner)); }

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
    /// lives, so a tall tree's walks do not allocate every time.
    std::vector<Inner*>& scratch() noexcept { return scratch_; }

    /// Bytes held from the system for this arena's nodes.
    std::size_t bytesHeld() const noexcept { return leaves_.chunkBytes() + inners_.chunkBytes(); }

private:
    using LeafPool = BlockPool<sizeof(Leaf), alignof(Leaf)>;
    using InnerPool = BlockPool<sizeof(Inner), alignof(Inner)>;

    struct Shared {};
    explicit NodeArena(Shared) : mutex_(new std::mutex) {}

    // Locks only the shared arena's mutex.
    class Lock {
    public:
        explicit Lock(std::mutex* m) : m_(m) {
            if (m_ != nullptr) m_->lock();
        }
        ~Lock() {
            if (m_ != nullptr) m_->unlock();
        }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        std::mutex* m_;
    };

    std::mutex* const mutex_ = nullptr;  // only for the shared arena
    LeafPool leaves_{this};
    InnerPool inners_{this};
    std::vector<Inner*> scratch_;
};

}  // namespace orlo
