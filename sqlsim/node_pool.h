// Recycled memory for the nodes of parse trees.
//
// A batch's tree is some twenty to a hundred nodes of a few sizes, built and freed together, one
// batch after another. The general allocator keeps only a handful of freed blocks of a size ready
// for reuse, so most of a tree's nodes took its slower paths. MakeNode builds a node (and its
// shared count, in one block) from a free list the thread keeps per block size.
//
// The lists are per thread and never shared: a block freed on a thread goes to that thread's list,
// whichever thread made it (the blocks come from ::operator new, so any thread may reuse or release
// them). A node kept beyond its batch (a computed column, a check, a view's query) simply holds its
// block until it is released. Each list keeps at most kKeptBytes; the rest goes back to the general
// allocator, and so does the whole list when its thread ends.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <utility>

namespace sqlsim {

namespace node_pool {

template <std::size_t Size>
class BlockList {
public:
    static void* Take() {
        if (Local* l = Mine(); l && l->head) {
            Block* b = l->head;
            l->head = b->next;
            --l->count;
            return b;
        }
        return ::operator new(Size);
    }
    static void Give(void* p) noexcept {
        Local* l = Mine();
        if (!l || l->count >= kMaxBlocks) {
            ::operator delete(p);
            return;
        }
        Block* b = static_cast<Block*>(p);
        b->next = l->head;
        l->head = b;
        ++l->count;
    }

private:
    static_assert(Size >= sizeof(void*), "a block must hold the free list's link");
    static constexpr std::size_t kKeptBytes = 256 * 1024;
    static constexpr std::size_t kMaxBlocks = kKeptBytes / Size > 16 ? kKeptBytes / Size : 16;

    struct Block {
        Block* next;
    };
    struct Local {
        Block* head = nullptr;
        std::size_t count = 0;
        ~Local() {
            ended = true;
            while (head) {
                Block* b = head;
                head = b->next;
                ::operator delete(b);
            }
        }
    };
    // Set when the thread's list has been destroyed (the thread is ending): a node freed after
    // that, e.g. by another thread-local object's destructor, goes straight back.
    static inline thread_local bool ended = false;

    static Local* Mine() noexcept {
        if (ended) return nullptr;
        static thread_local Local list;
        return &list;
    }
};

// An allocator over BlockList, for std::allocate_shared: the shared count keeps a copy, so the
// node's block returns to a list whichever thread drops the last reference.
template <class T>
struct Allocator {
    using value_type = T;
    Allocator() = default;
    template <class U>
    Allocator(const Allocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        static_assert(alignof(T) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__, "over-aligned node");
        if (n != 1) return static_cast<T*>(::operator new(n * sizeof(T)));
        return static_cast<T*>(BlockList<sizeof(T)>::Take());
    }
    void deallocate(T* p, std::size_t n) noexcept {
        if (n != 1) ::operator delete(p);
        else BlockList<sizeof(T)>::Give(p);
    }
    template <class U>
    bool operator==(const Allocator<U>&) const noexcept { return true; }
    template <class U>
    bool operator!=(const Allocator<U>&) const noexcept { return false; }
};

}  // namespace node_pool

template <class T, class... Args>
std::shared_ptr<T> MakeNode(Args&&... args) {
    return std::allocate_shared<T>(node_pool::Allocator<T>(), std::forward<Args>(args)...);
}

}  // namespace sqlsim
