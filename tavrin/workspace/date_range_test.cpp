#include "tavrin/workspace/date_range.h"

#include <gtest/gtest.h>

namespace workspace {

TEST(DateRange, SplitsYearMonthDayAtTheFirstTwoHyphens) {
    EXPECT_EQ(SplitDateField("2016-09-01"), (CalendarDate{2016, 9, 1}));
    EXPECT_EQ(SplitDateField("2016-9-1x"), (CalendarDate{2016, 9, 1}));
    // Missing parts read as 0, text without digits as 0.
    EXPECT_EQ(SplitDateField("2016"), (CalendarDate{2016, 0, 0}));
    EXPECT_EQ(SplitDateField("2016-09"), (CalendarDate{2016, 9, 0}));
    EXPECT_EQ(SplitDateField("abc-de-fg"), (CalendarDate{0, 0, 0}));
    EXPECT_EQ(SplitDateField(""), (CalendarDate{0, 0, 0}));
    // The day part is the rest after the second hyphen, so a third hyphen ends the digits.
    EXPECT_EQ(SplitDateField("2016-09-01-05"), (CalendarDate{2016, 9, 1}));
}

TEST(DateRange, AcceptsOnlyDatesThatExist) {
    EXPECT_TRUE(ParseDateField("2016-09-10").has_value());
    EXPECT_TRUE(ParseDateField("1900-01-01").has_value());
    EXPECT_TRUE(ParseDateField("2016-02-29").has_value());
    EXPECT_TRUE(ParseDateField("2000-02-29").has_value());
    EXPECT_FALSE(ParseDateField("1899-12-31").has_value());
    EXPECT_FALSE(ParseDateField("2016-00-10").has_value());
    EXPECT_FALSE(ParseDateField("2016-13-10").has_value());
    EXPECT_FALSE(ParseDateField("2016-09-00").has_value());
    EXPECT_FALSE(ParseDateField("2016-09-31").has_value());  // would roll into October
    EXPECT_FALSE(ParseDateField("2015-02-29").has_value());
    EXPECT_FALSE(ParseDateField("1900-02-29").has_value());
    EXPECT_FALSE(ParseDateField("-2016-09-10").has_value());
    EXPECT_FALSE(ParseDateField("99999999999-01-01").has_value());
    EXPECT_FALSE(ParseDateField("log").has_value());
}

}  // namespace workspace
