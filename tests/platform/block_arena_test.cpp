#include "platform/block_arena.h"

#include <gtest/gtest.h>

#include <array>
#include <thread>
#include <vector>

namespace {

int living = 0;

// An object that counts the living ones and checks its own contents when it ends.
struct Counted {
    std::array<long, 28> values{};
    long seed = 0;
    Counted() { ++living; }
    ~Counted() {
        for (const long value : values) EXPECT_EQ(value, seed);
        --living;
    }
};

// Objects from an arena fill several chunks, outlive the arena, keep their contents and end
// once each, on whatever thread lets go of them last, in any order.
TEST(BlockArena, ObjectsOutliveTheArenaAndEndOnceEach) {
    std::vector<std::shared_ptr<Counted>> objects;
    std::weak_ptr<Counted> watched;
    {
        BlockArena arena;
        for (long i = 0; i < 20000; ++i) {  // about 5 MB: several chunks
            objects.push_back(arena.Make<Counted>());
            objects.back()->seed = i;
            objects.back()->values.fill(i);
        }
        watched = objects[7];
    }
    EXPECT_EQ(living, 20000);
    for (size_t i = 0; i < objects.size(); i += 2) objects[i].reset();  // every other one, here
    EXPECT_EQ(living, 10000);
    std::thread([&objects] { objects.resize(objects.size() / 2); }).join();
    EXPECT_EQ(living, 5000);
    EXPECT_EQ(watched.lock()->seed, 7);  // a weak pointer keeps its block, then finds it ended
    objects.clear();
    EXPECT_EQ(living, 0);
    EXPECT_TRUE(watched.expired());
}

}  // namespace
