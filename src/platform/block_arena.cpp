#include "platform/block_arena.h"

#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

void BlockArena::NextChunk() {
    Retire();
#if defined(__linux__)
    void* memory = mmap(nullptr, ChunkBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) throw std::bad_alloc();
#if defined(MADV_POPULATE_WRITE)
    // The chunk is about to be filled: its pages are made present in one call rather than one
    // fault each (a kernel without this advice ignores it, and the pages come on demand).
    madvise(memory, ChunkBytes, MADV_POPULATE_WRITE);
#endif
#else
    void* memory = std::malloc(ChunkBytes);
    if (!memory) throw std::bad_alloc();
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

void BlockArena::Unmap(Chunk* chunk) {
    chunk->~Chunk();
#if defined(__linux__)
    munmap(chunk, ChunkBytes);
#else
    std::free(chunk);
#endif
}
