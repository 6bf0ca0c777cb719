#include "shell/ShellRules.h"
#include "platform/NumberText.h"

#include <gtest/gtest.h>

using namespace quietpane;

TEST(ShellRules, ElapsedTimeReadsHoursMinutesSecondsWithoutLeadingZeros)
{
    EXPECT_EQ(FormatElapsed(0), "0:0:0");
    EXPECT_EQ(FormatElapsed(5 * 60 + 7), "0:5:7");
    EXPECT_EQ(FormatElapsed(3725), "1:2:5");
    EXPECT_EQ(FormatElapsed(100 * 3600 + 59), "100:0:59");
}

TEST(ShellRules, ElapsedSecondsDivideEachTickFirstAndWrapAround)
{
    EXPECT_EQ(ElapsedSeconds(3725999, 0), 3725);
    EXPECT_EQ(ElapsedSeconds(2000, 1999), 1); // 2 - 1, not 0.001 s rounded
    EXPECT_EQ(ElapsedSeconds(500, 4294967000u), static_cast<int32_t>(0u - 4294967u));
}

TEST(ShellRules, ProgressIsAPercentageOfTheMaximumAndEmptyOtherwise)
{
    EXPECT_EQ(ProgressPosition(50, 100), 50);
    EXPECT_EQ(ProgressPosition(1, 3), 33);
    EXPECT_EQ(ProgressPosition(7, 0), 0);
    EXPECT_EQ(ProgressPosition(-1, 100), 0);
    EXPECT_EQ(ProgressPosition(2000000000, 2100000000), 95); // the product needs 64 bits
    EXPECT_EQ(ProgressPosition(300, 100), 100);
}

TEST(ShellRules, StrToIntRejectsTextThatIsNoWholeNumber)
{
    EXPECT_EQ(StrToInt("49224"), 49224);
    EXPECT_EQ(StrToInt("-5"), -5);
    try {
        StrToInt("");
        FAIL() << "no error";
    } catch (const EConvertError& error) {
        EXPECT_STREQ(error.what(), "'' is not a valid integer value");
    }
    EXPECT_THROW(StrToInt("12ab"), EConvertError);
}
