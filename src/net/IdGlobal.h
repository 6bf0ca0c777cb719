#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "net/IdException.h"

// Runs an action when the scope ends, however it ends: the one guard for a clean-up that has no
// object of its own. The action must not throw.
template <typename TAction> class TScopeExit {
public:
    explicit TScopeExit(TAction action) : action_(std::move(action)) {}
    // A failing action must not end the program: the destructor may run while an exception
    // unwinds, where a second one calls std::terminate.
    ~TScopeExit()
    {
        try {
            action_();
        } catch (...) {
        }
    }
    TScopeExit(const TScopeExit&) = delete;
    TScopeExit& operator=(const TScopeExit&) = delete;

private:
    TAction action_;
};

// Date-time values: days since 30 December 1899, the time of day as the fraction, local time.
using TDateTime = double;

class EIdFailedToRetreiveTimeZoneInfo : public EIdException {
public:
    EIdFailedToRetreiveTimeZoneInfo() : EIdException("Failed attempting to retrieve time zone information.")
    {
    }
};

// Raised by EncodeDate/EncodeTime for a combination that names no real date or time.
class EIdInvalidDate : public EIdException {
public:
    using EIdException::EIdException;
};

// Calendar arithmetic on TDateTime.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hours, int minutes, int seconds, int milliseconds = 0);
struct TDateParts {
    int year, month, day, hours, minutes, seconds, milliseconds, dayOfWeek; // dayOfWeek 1 = Sunday
};
TDateParts DecodeDateTime(TDateTime value);
TDateTime NowLocal();

// Mail header dates ("Tue, 8 Dec 2026 03:22:15 +0100").
std::string DateToInternetText(TDateTime value);
// Reads a date from the front of the text; the text keeps what was not consumed (the zone).
TDateTime InternetTextToDate(std::string& text);
TDateTime InternetTextToLocalDate(const std::string& text);
std::string ZoneOffsetText(TDateTime offset, bool useGMT);
TDateTime ZoneOffsetValue(const std::string& text);
TDateTime LocalOffsetFromUTC();
int DayNameIndex(const std::string& text);
int MonthNameIndex(const std::string& text);

// Text helpers.
std::string CutToken(std::string& text, const std::string& delimiter, bool remove = true);
int FindText(const std::string& needle, const std::string& haystack);
int IndexOfText(const std::string& text, const std::vector<std::string>& array, bool caseSensitive);
bool SameTextNoCase(const std::string& a, const std::string& b);
bool IsDigitChar(char c);
// The value of a hexadecimal digit of either case; -1 for any other character.
int HexDigitValue(char c);
// Digits for writing hexadecimal escapes ("=3D", "%3D"), upper case as the mail standards ask.
inline constexpr char kUpperHexDigits[] = "0123456789ABCDEF";
int MinOf(int a, int b);
void SplitCommaList(const std::string& text, std::vector<std::string>& list);
std::string Trim(const std::string& text);
std::string TrimLeft(const std::string& text);
std::string TrimRight(const std::string& text);
std::string UpperCase(const std::string& text);
std::string LowerCase(const std::string& text);
// Strict decimal conversion of the whole text (an optional sign, then digits); false otherwise.
bool TryStrToInt(const std::string& text, int& value);
int StrToIntDef(const std::string& text, int fallback);

// Files and folders.
const std::string& TempFolder();
std::string NewTempFileName();
bool CopyFileNoOverwrite(const std::string& source, const std::string& destination);
std::string WithTrailingBackslash(const std::string& path);

// Locale class of the user: 0 Chinese simplified, 1 other Chinese, 2 Japanese, 3 Korean, 4 other.
int UserLocaleClass();
// The codeset of the user's locale as the locale names it ("UTF-8" when it names none).
std::string SystemCodeset();
// True when that codeset is UTF-8.
bool SystemCodesetIsUtf8();

bool IsMainThread();
// Milliseconds of a monotonic clock, wrapping at 2^32.
uint32_t TickCount();
