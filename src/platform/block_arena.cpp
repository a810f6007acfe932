#include "platform/block_arena.h"

#include <cstdint>
#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

void BlockArena::NextChunk() {
    Retire();
    // From the heap, so that a chunk can take memory that objects freed before have left.
    void* memory = std::malloc(ChunkBytes);
    if (!memory) throw std::bad_alloc();
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
    // The chunk is about to be filled: the pages it covers whole are made present in one call
    // rather than in a fault each (a kernel without this advice refuses it, and the pages come
    // as they are first written).
    static const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const std::uintptr_t from = (reinterpret_cast<std::uintptr_t>(memory) + page - 1) & ~(page - 1);
    const std::uintptr_t to = (reinterpret_cast<std::uintptr_t>(memory) + ChunkBytes) & ~(page - 1);
    if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
#endif
    auto* chunk = new (memory) Chunk;
    chunk->Next = static_cast<char*>(memory) + ((sizeof(Chunk) + Align - 1) & ~(Align - 1));
    chunk->End = static_cast<char*>(memory) + ChunkBytes;
    current_ = chunk;
}

void BlockArena::Retire() {
    if (!current_) return;
    Chunk* chunk = current_;
    current_ = nullptr;
    chunk->Release();
}

void BlockArena::GiveBack(Chunk* chunk) {
    chunk->~Chunk();
    std::free(chunk);
}
