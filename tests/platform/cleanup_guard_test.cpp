#include "platform/cleanup_guard.h"
#include "platform/tovimar_exception.h"

#include <gtest/gtest.h>

namespace {

TEST(CleanupGuard, CleansUpAndLetsTheSameErrorReachTheCaller) {
    int closed = 0;
    try {
        CleanupGuard close([&] { ++closed; });
        CleanupGuard failingCancel([] { throw TovimarException(3, QStringLiteral("Cancel"), QStringLiteral("cancel failed")); });
        throw TovimarException(75, QStringLiteral("Open"), QStringLiteral("Path/File access error"));
    } catch (const TovimarException& e) {
        // The clean-up's own failure does not replace the error on its way.
        EXPECT_EQ(e.Number, 75);
        EXPECT_EQ(e.Source, QStringLiteral("Open"));
        EXPECT_EQ(e.Description, QStringLiteral("Path/File access error"));
    }
    EXPECT_EQ(closed, 1);
}

TEST(CleanupGuard, OnErrorRunsOnlyWhileAnErrorUnwinds) {
    int cancelled = 0;
    {
        CleanupGuard cancel([&] { ++cancelled; }, CleanupWhen::OnError);
    }
    EXPECT_EQ(cancelled, 0);
    try {
        CleanupGuard cancel([&] { ++cancelled; }, CleanupWhen::OnError);
        throw std::runtime_error("x");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(cancelled, 1);
}

}  // namespace
