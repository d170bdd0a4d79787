// The hand box's field names: one table, each field its own control name.
#include "core/hand_box_field.h"

#include <QSet>
#include <gtest/gtest.h>

TEST(HandBoxFieldNames, EveryFieldRoundTripsAndNamesAreUnique)
{
    QSet<QString> seen;
    for (HandBoxField f : allHandBoxFields()) {
        const QString name = fieldName(f);
        EXPECT_FALSE(name.isEmpty());
        EXPECT_FALSE(seen.contains(name)) << qPrintable(name);
        seen.insert(name);
        EXPECT_EQ(fieldNamed(name), f) << qPrintable(name);
    }
    EXPECT_EQ(fieldName(HandBoxField::DP_Faren), QStringLiteral("DP_Faren"));
    EXPECT_EQ(fieldName(HandBoxField::GraphCheck1), QStringLiteral("GraphCheck1"));
    EXPECT_EQ(fieldNamed(QStringLiteral("LCloud_Calc")), std::nullopt); // a caption, not a field
}
