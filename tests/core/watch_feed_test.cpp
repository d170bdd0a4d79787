#include "watch/watch_status.h"

#include <gtest/gtest.h>

// A listener that goes is never called again, also when it goes while the
// feed is telling (a setup change restarting a module from a listener).
TEST(WatchFeedTest, RemovedListenersAreNotToldAgain)
{
    WatchFeed feed;
    QStringList told;
    WatchFeed::ListenerId second = 0, third = 0;
    feed.listen([&](const WatchStatus &, WatchFeed::Change) { told << "first"; });
    second = feed.listen([&](const WatchStatus &, WatchFeed::Change) {
        told << "second";
        feed.unlisten(second);
        feed.unlisten(third);
    });
    third = feed.listen([&](const WatchStatus &, WatchFeed::Change) { told << "third"; });

    feed.setBoard(BoardStatus{});
    EXPECT_EQ(told, (QStringList{"first", "second"}));
    told.clear();
    const WatchFeed::ListenerId fourth = feed.listen([&](const WatchStatus &, WatchFeed::Change) { told << "fourth"; });
    feed.setBoard(BoardStatus{});
    feed.unlisten(fourth);
    feed.unlisten(fourth); // twice is harmless
    feed.setBoard(BoardStatus{});
    EXPECT_EQ(told, (QStringList{"first", "fourth", "first"}));
}
