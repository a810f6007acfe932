#pragma once
// BlockArena: the blocks of many shared objects made one after another on one thread (the
// columns of a snapshot being read), cut in turn from large chunks instead of one heap block
// each. Make<T>() returns an ordinary std::shared_ptr<T>: its block records the chunk it lies
// in, and a chunk is given back once the arena has moved past it (or ended) and the last object
// in it has ended, on whatever thread that happens. Meant for objects that end together (a model):
// one that outlives the others keeps its whole chunk.
#include <atomic>
#include <cstddef>
#include <memory>
#include <new>

class BlockArena {
    struct Chunk;

public:
    BlockArena() = default;
    BlockArena(const BlockArena&) = delete;
    BlockArena& operator=(const BlockArena&) = delete;
    ~BlockArena() { Retire(); }

    template <class T>
    std::shared_ptr<T> Make() {
        // The block holds T and the shared pointer's count, table of virtual functions and
        // allocator: the room is made sure of before the allocator is copied into the block.
        constexpr std::size_t most = sizeof(T) + MaxOverhead;
        static_assert(most <= ChunkBytes / 4 && alignof(T) <= Align);
        if (!current_ || current_->Free() < most) NextChunk();
        return std::allocate_shared<T>(Allocator<T>(current_));
    }

private:
    static constexpr std::size_t ChunkBytes = std::size_t(1) << 20;
    static constexpr std::size_t MaxOverhead = 64;
    static constexpr std::size_t Align = 16;

    struct Chunk {
        std::atomic<std::size_t> Live{1};  // the blocks in use, and 1 while it is the arena's
        char* Next = nullptr;
        char* End = nullptr;
        std::size_t Free() const { return static_cast<std::size_t>(End - Next); }
        void* Take(std::size_t bytes) {
            bytes = (bytes + Align - 1) & ~(Align - 1);
            if (bytes > Free()) throw std::bad_alloc();  // Make made sure of the room
            void* block = Next;
            Next += bytes;
            Live.fetch_add(1, std::memory_order_relaxed);
            return block;
        }
        void Release() {
            if (Live.fetch_sub(1, std::memory_order_acq_rel) == 1) GiveBack(this);
        }
    };

    template <class T>
    struct Allocator {
        using value_type = T;
        explicit Allocator(Chunk* chunk) : chunk(chunk) {}
        template <class U>
        Allocator(const Allocator<U>& other) : chunk(other.chunk) {}
        T* allocate(std::size_t n) { return static_cast<T*>(chunk->Take(n * sizeof(T))); }
        void deallocate(T*, std::size_t) { chunk->Release(); }
        template <class U>
        bool operator==(const Allocator<U>& other) const { return chunk == other.chunk; }
        Chunk* chunk;
    };

    void NextChunk();
    void Retire();
    static void GiveBack(Chunk* chunk);

    Chunk* current_ = nullptr;
};
