// Which platform plugins the program tries, from the environment it finds.
#include "app/display_choice.h"

#include <gtest/gtest.h>

TEST(DisplayChoiceTest, HeadlessWithoutADisplayOtherwiseTheDisplayWithOffscreenLast)
{
    DisplayChoice c = chooseDisplay(true, {"", ":0", "", ""});
    EXPECT_TRUE(c.headless);
    EXPECT_EQ(c.platforms, "offscreen");
    EXPECT_TRUE(c.notice.isEmpty()) << "asked for: nothing to say";

    c = chooseDisplay(false, {});
    EXPECT_TRUE(c.headless);
    EXPECT_EQ(c.platforms, "offscreen");
    EXPECT_FALSE(c.notice.isEmpty());

    c = chooseDisplay(false, {"", ":1", "", "x11"});
    EXPECT_FALSE(c.headless);
    EXPECT_TRUE(c.fallbackArmed);
    EXPECT_EQ(c.platforms, "xcb;offscreen");
    EXPECT_EQ(unreachableDisplayNotice({"", ":1", "", ""}), "tarnwick: cannot open display :1; running headless");

    c = chooseDisplay(false, {"", ":1", "wayland-0", "wayland"});
    EXPECT_EQ(c.platforms, "wayland;xcb;offscreen");

    // The user's own platform choice stands, failures included.
    c = chooseDisplay(false, {"xcb", "", "", ""});
    EXPECT_FALSE(c.headless);
    EXPECT_FALSE(c.fallbackArmed);
    EXPECT_TRUE(c.platforms.isEmpty());
}
