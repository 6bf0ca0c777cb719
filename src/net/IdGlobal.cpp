#include "net/IdGlobal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <system_error>

namespace {

constexpr double MillisecondsPerDay = 86400000.0;

const std::array<const char*, 7> DayNames = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const std::array<const char*, 12> MonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month)
{
    static const std::array<int, 12> days = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

// Days from 1 January 1970 for a proleptic Gregorian date, and back.
long long DaysFromCivil(long long year, unsigned month, unsigned day)
{
    year -= month <= 2;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<long long>(dayOfEra) - 719468;
}

void CivilFromDays(long long days, int& year, int& month, int& day)
{
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = static_cast<int>(static_cast<long long>(yearOfEra) + era * 400 + (month <= 2));
}

// 30 December 1899, day 0 of TDateTime, counted from 1 January 1970.
const long long DateTimeEpoch = DaysFromCivil(1899, 12, 30);

bool IsBlankOrControl(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

char AsciiUpper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

int IndexOfName(const std::string& text, const char* const* names, int count)
{
    const std::string upper = UpperCase(text);
    for (int i = 0; i < count; ++i) {
        if (upper == UpperCase(names[i])) {
            return i + 1;
        }
    }
    return 0;
}

std::string LocaleName()
{
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return {};
}

} // namespace

TDateTime EncodeDate(int year, int month, int day)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) {
        throw EIdInvalidDate("Invalid argument to date encode");
    }
    return static_cast<TDateTime>(
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - DateTimeEpoch);
}

TDateTime EncodeTime(int hours, int minutes, int seconds, int milliseconds)
{
    if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59 ||
        milliseconds < 0 || milliseconds > 999) {
        throw EIdInvalidDate("Invalid argument to time encode");
    }
    return (((hours * 60.0 + minutes) * 60.0 + seconds) * 1000.0 + milliseconds) / MillisecondsPerDay;
}

TDateParts DecodeDateTime(TDateTime value)
{
    // The whole part counts days (negative before day 0); the fraction is always the time of day.
    long long days = static_cast<long long>(std::trunc(value));
    long long milliseconds = std::llround(std::fabs(value - static_cast<double>(days)) * MillisecondsPerDay);
    if (milliseconds >= static_cast<long long>(MillisecondsPerDay)) {
        milliseconds = static_cast<long long>(MillisecondsPerDay) - 1;
    }
    TDateParts parts{};
    CivilFromDays(days + DateTimeEpoch, parts.year, parts.month, parts.day);
    parts.hours = static_cast<int>(milliseconds / 3600000);
    parts.minutes = static_cast<int>(milliseconds / 60000 % 60);
    parts.seconds = static_cast<int>(milliseconds / 1000 % 60);
    parts.milliseconds = static_cast<int>(milliseconds % 1000);
    // Day 0 was a Saturday; Sunday is 1.
    parts.dayOfWeek = static_cast<int>(((days + 6) % 7 + 7) % 7) + 1;
    return parts;
}

TDateTime NowLocal()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
           EncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59),
                      static_cast<int>(now.tv_nsec / 1000000));
}

std::string DateToInternetText(TDateTime value)
{
    const TDateParts parts = DecodeDateTime(value);
    char text[80];
    std::snprintf(text, sizeof text, "%s, %d %s %d %02d:%02d:%02d %s", DayNames[parts.dayOfWeek - 1],
                  parts.day, MonthNames[parts.month - 1], parts.year, parts.hours, parts.minutes,
                  parts.seconds, ZoneOffsetText(LocalOffsetFromUTC(), false).c_str());
    return text;
}

TDateTime LocalOffsetFromUTC()
{
    const time_t now = std::time(nullptr);
    tm local{};
    if (now == static_cast<time_t>(-1) || localtime_r(&now, &local) == nullptr) {
        throw EIdFailedToRetreiveTimeZoneInfo();
    }
    // The bias is what must be added to local time to get UTC, in minutes.
    const long bias = -local.tm_gmtoff / 60;
    const long magnitude = std::labs(bias);
    const TDateTime offset =
        EncodeTime(static_cast<int>(magnitude / 60 % 24), static_cast<int>(magnitude % 60), 0);
    return bias > 0 ? -offset : offset;
}

std::string ZoneOffsetText(TDateTime offset, bool useGMT)
{
    if (useGMT && offset == 0) {
        return "GMT";
    }
    const long long minutes = std::llround(std::fabs(offset) * 1440.0);
    char text[32];
    std::snprintf(text, sizeof text, " %02lld%02lld", minutes / 60, minutes % 60);
    text[0] = offset >= 0 ? '+' : '-';
    return text;
}

TDateTime ZoneOffsetValue(const std::string& text)
{
    const std::string zone = Trim(text).substr(0, 5);
    if (zone.empty() || (zone[0] != '+' && zone[0] != '-')) {
        return 0;
    }
    int hours = 0;
    int minutes = 0;
    if (!TryStrToInt(zone.substr(1, 2), hours) || !TryStrToInt(zone.substr(3, 2), minutes)) {
        return 0;
    }
    try {
        const TDateTime offset = EncodeTime(hours, minutes, 0);
        return zone[0] == '-' ? -offset : offset;
    } catch (const EIdInvalidDate&) {
        return 0;
    }
}

int DayNameIndex(const std::string& text)
{
    return IndexOfName(text, DayNames.data(), static_cast<int>(DayNames.size()));
}

int MonthNameIndex(const std::string& text)
{
    return IndexOfName(text, MonthNames.data(), static_cast<int>(MonthNames.size()));
}

TDateTime InternetTextToDate(std::string& text)
{
    text = Trim(text);
    if (text.empty()) {
        return 0;
    }
    try {
        if (DayNameIndex(text.substr(0, 3)) > 0) {
            CutToken(text, " ");
        }
        const int day = StrToIntDef(CutToken(text, " "), 1);
        text = TrimLeft(text);
        const int month = MonthNameIndex(CutToken(text, " "));
        text = TrimLeft(text);
        int year = StrToIntDef(CutToken(text, " "), 1900);
        if (year < 80) {
            year += 2000;
        } else if (year < 100) {
            year += 1900;
        }
        TDateTime result = EncodeDate(year, month, day);
        text = TrimLeft(text);
        if (text.find(':') != std::string::npos) {
            std::string time = CutToken(text, " ");
            const int hours = StrToIntDef(CutToken(time, ":"), 0);
            const int minutes = StrToIntDef(CutToken(time, ":"), 0);
            const int seconds = StrToIntDef(time, 0);
            result += EncodeTime(hours, minutes, seconds);
            text = TrimLeft(text);
        }
        return result;
    } catch (const EIdInvalidDate&) {
        return 0;
    }
}

TDateTime InternetTextToLocalDate(const std::string& text)
{
    std::string rest = text;
    const TDateTime base = InternetTextToDate(rest);
    // Zones shorter than "+hhmm" ("GMT", "UT", "EST") count as UTC.
    const TDateTime zone = rest.size() > 4 ? ZoneOffsetValue(rest) : 0;
    return base - zone + LocalOffsetFromUTC();
}

std::string CutToken(std::string& text, const std::string& delimiter, bool remove)
{
    // UTF-8 text has no lead bytes that a delimiter could match inside of, so one
    // byte search serves every delimiter, the NUL character included.
    const int position = FindText(delimiter, text);
    if (position == 0) {
        std::string token = text;
        if (remove) {
            text.clear();
        }
        return token;
    }
    std::string token = text.substr(0, static_cast<size_t>(position - 1));
    if (remove) {
        text.erase(0, static_cast<size_t>(position - 1) + delimiter.size());
    }
    return token;
}

int FindText(const std::string& needle, const std::string& haystack)
{
    if (needle.empty()) {
        return 0;
    }
    const size_t position = haystack.find(needle);
    return position == std::string::npos ? 0 : static_cast<int>(position) + 1;
}

int IndexOfText(const std::string& text, const std::vector<std::string>& array, bool caseSensitive)
{
    for (size_t i = 0; i < array.size(); ++i) {
        if (caseSensitive ? array[i] == text : SameTextNoCase(array[i], text)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool SameTextNoCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) {
            return false;
        }
    }
    return true;
}

bool IsDigitChar(char c)
{
    return c >= '0' && c <= '9';
}

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

int MinOf(int a, int b)
{
    return a < b ? a : b;
}

void SplitCommaList(const std::string& text, std::vector<std::string>& list)
{
    list.clear();
    size_t itemStart = 0;
    int quotesInItem = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        const bool atEnd = i == text.size();
        if (!atEnd && text[i] == '"') {
            ++quotesInItem;
        }
        // A comma inside the item's first quoted section does not end the item.
        if (atEnd || (text[i] == ',' && quotesInItem != 1)) {
            std::string item = Trim(text.substr(itemStart, i - itemStart));
            if (!item.empty()) {
                list.push_back(std::move(item));
            }
            itemStart = i + 1;
            quotesInItem = 0;
        }
    }
}

std::string Trim(const std::string& text)
{
    return TrimLeft(TrimRight(text));
}

std::string TrimLeft(const std::string& text)
{
    size_t start = 0;
    while (start < text.size() && IsBlankOrControl(text[start])) {
        ++start;
    }
    return text.substr(start);
}

std::string TrimRight(const std::string& text)
{
    size_t end = text.size();
    while (end > 0 && IsBlankOrControl(text[end - 1])) {
        --end;
    }
    return text.substr(0, end);
}

std::string UpperCase(const std::string& text)
{
    std::string result = text;
    for (char& c : result) {
        c = AsciiUpper(c);
    }
    return result;
}

std::string LowerCase(const std::string& text)
{
    std::string result = text;
    for (char& c : result) {
        c = AsciiLower(c);
    }
    return result;
}

bool TryStrToInt(const std::string& text, int& value)
{
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        i = 1;
    }
    if (i == text.size()) {
        return false;
    }
    long long result = 0;
    for (; i < text.size(); ++i) {
        if (!IsDigitChar(text[i])) {
            return false;
        }
        result = result * 10 + (text[i] - '0');
        if (result > 2147483648LL) {
            return false;
        }
    }
    result = negative ? -result : result;
    if (result > 2147483647LL) {
        return false;
    }
    value = static_cast<int>(result);
    return true;
}

int StrToIntDef(const std::string& text, int fallback)
{
    int value = 0;
    return TryStrToInt(text, value) ? value : fallback;
}

const std::string& TempFolder()
{
    static const std::string folder = [] {
        const char* variable = std::getenv("TMPDIR");
        return WithTrailingBackslash(variable != nullptr && *variable != '\0' ? variable : "/tmp");
    }();
    return folder;
}

std::string NewTempFileName()
{
    std::string path = TempFolder() + "VidaXXXXXX";
    // mkstemp creates the file with mode 0600: it may hold someone's attachment.
    const int fd = mkstemp(path.data());
    if (fd < 0) {
        throw std::system_error(errno, std::generic_category(),
                                "Cannot create a temporary file in " + TempFolder());
    }
    close(fd);
    return path;
}

bool CopyFileNoOverwrite(const std::string& source, const std::string& destination)
{
    const int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return false;
    }
    struct stat status {};
    fstat(in, &status);
    const int out = open(destination.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, status.st_mode & 0777);
    if (out < 0) {
        close(in);
        return false;
    }
    std::array<char, 65536> buffer{};
    bool copied = true;
    for (;;) {
        const ssize_t count = read(in, buffer.data(), buffer.size());
        if (count == 0) {
            break;
        }
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            copied = false;
            break;
        }
        for (ssize_t written = 0; written < count && copied;) {
            const ssize_t step = write(out, buffer.data() + written, static_cast<size_t>(count - written));
            if (step < 0 && errno != EINTR) {
                copied = false;
            } else if (step > 0) {
                written += step;
            }
        }
        if (!copied) {
            break;
        }
    }
    close(in);
    if (close(out) != 0) {
        copied = false;
    }
    if (!copied) {
        unlink(destination.c_str());
    }
    return copied;
}

std::string WithTrailingBackslash(const std::string& path)
{
    return !path.empty() && path.back() == '/' ? path : path + "/";
}

int UserLocaleClass()
{
    const std::string locale = LocaleName();
    const std::string language = LowerCase(locale.substr(0, locale.find_first_of("_.@")));
    if (language == "zh") {
        return UpperCase(locale.substr(2, 3)) == "_CN" ? 0 : 1;
    }
    if (language == "ja") {
        return 2;
    }
    if (language == "ko") {
        return 3;
    }
    return 4;
}

std::string SystemCodeset()
{
    const std::string locale = LocaleName();
    const size_t dot = locale.find('.');
    if (dot == std::string::npos) {
        return "UTF-8";
    }
    const std::string codeset = locale.substr(dot + 1, locale.find('@', dot) - dot - 1);
    return codeset.empty() ? "UTF-8" : codeset;
}

bool SystemCodesetIsUtf8()
{
    const std::string codeset = UpperCase(SystemCodeset());
    return codeset == "UTF-8" || codeset == "UTF8";
}

bool IsMainThread()
{
    // On Linux the main thread's id is the process id.
    return gettid() == getpid();
}

uint32_t TickCount()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                                 static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}
