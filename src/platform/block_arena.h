#pragma once
// BlockArena: the blocks of many shared objects made one after another on one thread (the
// columns of a snapshot being read), cut in turn from large chunks instead of one heap block
// each. Make<T>() returns an ordinary std::shared_ptr<T>: a chunk is aligned to its size, so a
// block finds its chunk from its own address (the block holds no pointer to it), and a chunk is
// given back once the arena has moved past it (or ended) and the last object in it has ended, on
// whatever thread that happens. Meant for objects that end together (a model): one that outlives
// the others keeps its whole chunk.
#include <atomic>
#include <cstddef>
#include <cstdint>
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
        // The block holds T and the shared pointer's counts and table of virtual functions: the
        // room is made sure of before the block is taken.
        constexpr std::size_t most = sizeof(T) + MaxOverhead;
        static_assert(most <= ChunkBytes / 4 && alignof(T) <= Align);
        if (!current_ || current_->Free() < most) NextChunk();
        // The allocator holds nothing (so the block holds no copy of it): it takes the block
        // from the chunk named here, on this thread, within this call.
        Taking() = current_;
        return std::allocate_shared<T>(Allocator<T>());
    }

private:
    static constexpr std::size_t ChunkBytes = std::size_t(1) << 20;
    static constexpr std::size_t MaxOverhead = 64;
    static constexpr std::size_t Align = 8;

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

    static Chunk*& Taking() {
        thread_local Chunk* chunk = nullptr;
        return chunk;
    }
    static Chunk* ChunkOf(const void* block) {
        return reinterpret_cast<Chunk*>(reinterpret_cast<std::uintptr_t>(block) & ~(ChunkBytes - 1));
    }

    template <class T>
    struct Allocator {
        using value_type = T;
        Allocator() = default;
        template <class U>
        Allocator(const Allocator<U>&) {}
        T* allocate(std::size_t n) { return static_cast<T*>(Taking()->Take(n * sizeof(T))); }
        void deallocate(T* block, std::size_t) { ChunkOf(block)->Release(); }
        template <class U>
        bool operator==(const Allocator<U>&) const { return true; }
    };

    void NextChunk();
    void Retire();
    static void GiveBack(Chunk* chunk);

    Chunk* current_ = nullptr;
};
