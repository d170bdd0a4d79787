#include "screen/screen_fit.h"

#include <gtest/gtest.h>

TEST(ScreenFit, PlacesOutOfSightComeIntoTheAreaAndPlacesInsideStay)
{
    const QRect area(0, 0, 1366, 728); // 1366 x 768 less a panel
    EXPECT_EQ(keptWithin(QRect(100, 100, 265, 554), area), QRect(100, 100, 265, 554));
    EXPECT_EQ(keptWithin(QRect(377, 100, 1016, 373), area), QRect(350, 100, 1016, 373));
    EXPECT_EQ(keptWithin(QRect(3000, 2000, 265, 554), area), QRect(1101, 174, 265, 554));
    EXPECT_EQ(keptWithin(QRect(-50, -20, 265, 554), area), QRect(0, 0, 265, 554));
    // Larger than the area: cut to it, at its corner.
    EXPECT_EQ(keptWithin(QRect(200, 50, 1100, 1000), area), QRect(200, 0, 1100, 728));
    EXPECT_EQ(keptWithin(QRect(10, 10, 2000, 300), QRect(1366, 0, 1000, 800)), QRect(1366, 10, 1000, 300));
}
