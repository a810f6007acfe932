#include "platform/block_arena.h"

#include <cstdlib>

void BlockArena::NextChunk() {
    Retire();
    // From the heap, so that a chunk can take memory that objects freed before have left;
    // aligned to its size, so that its blocks find it (ChunkOf).
    void* memory = std::aligned_alloc(ChunkBytes, ChunkBytes);
    if (!memory) throw std::bad_alloc();
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
