// ReentryGuard: the outer entry holds the flag; a nested one is turned back
// and must leave the flag to the outer entry.
#include "core/reentry_guard.h"

#include <gtest/gtest.h>

TEST(ReentryGuard, NestedEntryIsTurnedBackAndLeavesTheFlagSet)
{
    bool running = false;
    {
        ReentryGuard outer(running);
        EXPECT_TRUE(outer.active());
        EXPECT_TRUE(running);
        {
            ReentryGuard nested(running);
            EXPECT_FALSE(nested.active());
        }
        EXPECT_TRUE(running); // a third entry is still turned back
    }
    EXPECT_FALSE(running);
}

TEST(ReentryGuard, ReleaseEndsTheHoldEarlyOnce)
{
    bool running = false;
    ReentryGuard guard(running);
    guard.release();
    EXPECT_FALSE(running);
    EXPECT_FALSE(guard.active());
    ReentryGuard next(running); // a new entry after the release holds it
    EXPECT_TRUE(next.active());
    guard.release();
    EXPECT_TRUE(running); // the released guard no longer touches the flag
}
