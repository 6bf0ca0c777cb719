#include "net/IdGlobal.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <thread>

#include "support/TestSupport.h"

namespace {

// Sets TZ (and the locale variables) for one test and restores them afterwards.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name)
    {
        const char* old = std::getenv(name);
        hadValue_ = old != nullptr;
        if (hadValue_) {
            oldValue_ = old;
        }
        setenv(name, value, 1);
        tzset();
    }
    ~ScopedEnvironment()
    {
        if (hadValue_) {
            setenv(name_.c_str(), oldValue_.c_str(), 1);
        } else {
            unsetenv(name_.c_str());
        }
        tzset();
    }

private:
    std::string name_;
    std::string oldValue_;
    bool hadValue_ = false;
};

TDateTime At(int year, int month, int day, int hours = 0, int minutes = 0, int seconds = 0)
{
    return EncodeDate(year, month, day) + EncodeTime(hours, minutes, seconds);
}

void ExpectSameMoment(TDateTime expected, TDateTime actual)
{
    EXPECT_NEAR(expected, actual, 0.5 / 86400.0) << DateToInternetText(expected) << " vs "
                                                  << DateToInternetText(actual);
}

} // namespace

TEST(DateArithmetic, DayZeroIsThirtiethOfDecember1899)
{
    EXPECT_EQ(0.0, EncodeDate(1899, 12, 30));
    EXPECT_EQ(46364.0, EncodeDate(2026, 12, 8));
    const TDateParts parts = DecodeDateTime(At(2026, 12, 8, 3, 22, 15));
    EXPECT_EQ(2026, parts.year);
    EXPECT_EQ(12, parts.month);
    EXPECT_EQ(8, parts.day);
    EXPECT_EQ(3, parts.hours);
    EXPECT_EQ(22, parts.minutes);
    EXPECT_EQ(15, parts.seconds);
    EXPECT_EQ(3, parts.dayOfWeek); // Tuesday
}

TEST(DateArithmetic, InvalidCombinationsRaise)
{
    EXPECT_THROW(EncodeDate(2026, 0, 1), EIdInvalidDate);
    EXPECT_THROW(EncodeDate(2026, 2, 29), EIdInvalidDate);
    EXPECT_NO_THROW(EncodeDate(2024, 2, 29));
    EXPECT_THROW(EncodeTime(24, 0, 0), EIdInvalidDate);
    EXPECT_THROW(EncodeTime(0, 60, 0), EIdInvalidDate);
}

TEST(InternetDateWriting, UsesEnglishNamesAndTheCurrentOffset)
{
    ScopedEnvironment zone("TZ", "UTC-1");
    EXPECT_EQ("Tue, 8 Dec 2026 03:22:15 +0100", DateToInternetText(At(2026, 12, 8, 3, 22, 15)));
}

TEST(InternetDateWriting, ZoneWestOfUtcIsNegative)
{
    ScopedEnvironment zone("TZ", "UTC+5");
    EXPECT_EQ("Fri, 1 Jan 2027 00:05:09 -0500", DateToInternetText(At(2027, 1, 1, 0, 5, 9)));
}

TEST(ZoneOffsets, TextForms)
{
    EXPECT_EQ("+0100", ZoneOffsetText(EncodeTime(1, 0, 0), false));
    EXPECT_EQ("-0500", ZoneOffsetText(-EncodeTime(5, 0, 0), false));
    EXPECT_EQ("+0530", ZoneOffsetText(EncodeTime(5, 30, 0), false));
    EXPECT_EQ("+0000", ZoneOffsetText(0, false));
    EXPECT_EQ("GMT", ZoneOffsetText(0, true));
    EXPECT_EQ("+0100", ZoneOffsetText(EncodeTime(1, 0, 0), true));
}

TEST(ZoneOffsets, ValuesFromText)
{
    EXPECT_DOUBLE_EQ(EncodeTime(1, 0, 0), ZoneOffsetValue("+0100"));
    EXPECT_DOUBLE_EQ(-EncodeTime(5, 30, 0), ZoneOffsetValue("  -0530 (EST)"));
    EXPECT_EQ(0, ZoneOffsetValue("GMT"));
    EXPECT_EQ(0, ZoneOffsetValue("+01"));
    EXPECT_EQ(0, ZoneOffsetValue("+0a00"));
    EXPECT_EQ(0, ZoneOffsetValue("+2500"));
    EXPECT_EQ(0, ZoneOffsetValue(""));
}

TEST(ZoneOffsets, LocalOffsetFollowsTheTimeZone)
{
    {
        ScopedEnvironment zone("TZ", "UTC-5:30");
        EXPECT_DOUBLE_EQ(EncodeTime(5, 30, 0), LocalOffsetFromUTC());
    }
    {
        ScopedEnvironment zone("TZ", "UTC+8");
        EXPECT_DOUBLE_EQ(-EncodeTime(8, 0, 0), LocalOffsetFromUTC());
    }
}

TEST(InternetDateReading, FullFormConvertedToLocalTime)
{
    ScopedEnvironment zone("TZ", "UTC");
    ExpectSameMoment(At(2026, 12, 8, 2, 22, 15), InternetTextToLocalDate("Tue, 8 Dec 2026 03:22:15 +0100"));
}

TEST(InternetDateReading, ShortFormsAndTwoDigitYears)
{
    ScopedEnvironment zone("TZ", "UTC-2");
    ExpectSameMoment(At(2026, 12, 8, 5, 22, 0), InternetTextToLocalDate("8 Dec 26 03:22 GMT"));
    std::string text = "8 Dec 85 10:00";
    EXPECT_EQ(1985, DecodeDateTime(InternetTextToDate(text)).year);
    text = "8 Dec 79";
    EXPECT_EQ(2079, DecodeDateTime(InternetTextToDate(text)).year);
}

TEST(InternetDateReading, LeavesTheZoneInTheText)
{
    std::string text = "  Tue, 8 Dec 2026 03:22:15 +0100 (CET)";
    ExpectSameMoment(At(2026, 12, 8, 3, 22, 15), InternetTextToDate(text));
    EXPECT_EQ("+0100 (CET)", text);
}

TEST(InternetDateReading, GarbageGivesZero)
{
    for (std::string text : {"", "   ", "8 December 2026 10:00 +0000", "hello world", "32 Jan 2026",
                             "8 Dec 2026 25:61:00", "Tue,", "::::"}) {
        EXPECT_EQ(0, InternetTextToDate(text)) << text;
    }
    ScopedEnvironment zone("TZ", "UTC-1");
    // Unreadable dates still get the zone adjustment, never an exception.
    EXPECT_DOUBLE_EQ(EncodeTime(1, 0, 0), InternetTextToLocalDate("8 December 2026 10:00"));
}

TEST(InternetDateReading, NamesMatchOnlyThreeLetterForms)
{
    EXPECT_EQ(1, DayNameIndex("sun"));
    EXPECT_EQ(7, DayNameIndex("Sat"));
    EXPECT_EQ(0, DayNameIndex("Sunday"));
    EXPECT_EQ(12, MonthNameIndex("dec"));
    EXPECT_EQ(0, MonthNameIndex("December"));
}

TEST(TextHelpers, CutTokenRemovesUpToTheDelimiter)
{
    std::string text = "a b c";
    EXPECT_EQ("a", CutToken(text, " "));
    EXPECT_EQ("b c", text);
    text = "abc";
    EXPECT_EQ("abc", CutToken(text, " "));
    EXPECT_EQ("", text);
    text = "key: value";
    EXPECT_EQ("key", CutToken(text, ": ", false));
    EXPECT_EQ("key: value", text);
    text = std::string("one\0two", 7);
    EXPECT_EQ("one", CutToken(text, std::string(1, '\0')));
    EXPECT_EQ("two", text);
}

TEST(TextHelpers, FindAndIndexOfText)
{
    EXPECT_EQ(3, FindText("c", "abcabc"));
    EXPECT_EQ(0, FindText("x", "abc"));
    EXPECT_EQ(0, FindText("", "abc"));
    EXPECT_EQ(1, IndexOfText("TO", {"from", "to"}, false));
    EXPECT_EQ(-1, IndexOfText("TO", {"from", "to"}, true));
    EXPECT_TRUE(SameTextNoCase("Content-Type", "content-TYPE"));
    EXPECT_FALSE(SameTextNoCase("abc", "abcd"));
}

TEST(TextHelpers, SplitCommaListKeepsCommasInTheFirstQuotedSection)
{
    std::vector<std::string> items{"stale"};
    SplitCommaList("\"Doe, John\" <john@example.com>,  jane@example.com , ,", items);
    ASSERT_EQ(2u, items.size());
    EXPECT_EQ("\"Doe, John\" <john@example.com>", items[0]);
    EXPECT_EQ("jane@example.com", items[1]);
    SplitCommaList("", items);
    EXPECT_TRUE(items.empty());
}

TEST(TextHelpers, StrictIntegerConversion)
{
    int value = 0;
    EXPECT_TRUE(TryStrToInt("-42", value));
    EXPECT_EQ(-42, value);
    EXPECT_FALSE(TryStrToInt("4 2", value));
    EXPECT_FALSE(TryStrToInt("", value));
    EXPECT_FALSE(TryStrToInt("+", value));
    EXPECT_FALSE(TryStrToInt("99999999999", value));
    EXPECT_EQ(7, StrToIntDef("x", 7));
    EXPECT_EQ("a b", Trim(" \t a b\r\n"));
}

TEST(Files, TempFileIsPrivateAndUnique)
{
    const std::string first = NewTempFileName();
    const std::string second = NewTempFileName();
    EXPECT_NE(first, second);
    EXPECT_EQ(0u, first.rfind(TempFolder() + "Vida", 0));
    struct stat status {};
    ASSERT_EQ(0, stat(first.c_str(), &status));
    EXPECT_EQ(0600u, status.st_mode & 0777);
    EXPECT_EQ(0, status.st_size);
    std::remove(first.c_str());
    std::remove(second.c_str());
}

TEST(Files, CopyNeverOverwrites)
{
    quietpane::test::TempDir folder;
    const auto source = folder.WriteFile("source", std::string(200000, 'x'));
    const auto existing = folder.WriteFile("existing", "keep me");
    EXPECT_FALSE(CopyFileNoOverwrite(source.string(), existing.string()));
    EXPECT_EQ("keep me", quietpane::test::ReadFile(existing));
    const auto copy = folder.Path() / "copy";
    EXPECT_TRUE(CopyFileNoOverwrite(source.string(), copy.string()));
    EXPECT_EQ(std::string(200000, 'x'), quietpane::test::ReadFile(copy));
    EXPECT_FALSE(CopyFileNoOverwrite((folder.Path() / "missing").string(), (folder.Path() / "x").string()));
    EXPECT_EQ("/tmp/", WithTrailingBackslash("/tmp"));
    EXPECT_EQ("/tmp/", WithTrailingBackslash("/tmp/"));
}

TEST(Locale, ClassFromTheLocaleVariables)
{
    ScopedEnvironment clearAll("LC_ALL", "");
    ScopedEnvironment clearCtype("LC_CTYPE", "");
    const std::pair<const char*, int> cases[] = {{"zh_CN.UTF-8", 0}, {"zh_TW.UTF-8", 1}, {"zh", 1},
                                                 {"ja_JP.SJIS", 2},  {"ko_KR.UTF-8", 3}, {"de_DE.UTF-8", 4},
                                                 {"C", 4},           {"", 4}};
    for (const auto& [locale, expected] : cases) {
        ScopedEnvironment lang("LANG", locale);
        EXPECT_EQ(expected, UserLocaleClass()) << locale;
    }
    ScopedEnvironment all("LC_ALL", "ja_JP.SJIS");
    EXPECT_EQ(2, UserLocaleClass());
    EXPECT_EQ("SJIS", SystemCodeset());
    EXPECT_FALSE(SystemCodesetIsUtf8());
}

TEST(Threads, OnlyTheMainThreadIsMain)
{
    EXPECT_TRUE(IsMainThread());
    bool insideOther = true;
    std::thread([&] { insideOther = IsMainThread(); }).join();
    EXPECT_FALSE(insideOther);
}
