#include <gtest/gtest.h>

#include <cstdlib>
#include <iconv.h>

#include "message/IdHeaderCoder.h"
#include "message/IdHeaderList.h"
#include "net/IdGlobal.h"

namespace {

const TIdHeaderEncoding kLatin1{"ISO-8859-1", 'Q', false};
const TIdHeaderEncoding kUtf8Q{"UTF-8", 'Q', false};
const TIdHeaderEncoding kUtf8B{"UTF-8", 'B', false};
const std::string kEscape = "\x1B";

// Converts with the system's iconv; empty when it refuses the input.
std::string Iconv(const std::string& bytes, const char* from, const char* to)
{
    iconv_t handle = iconv_open(to, from);
    std::string input = bytes;
    std::string output(bytes.size() * 4 + 16, '\0');
    char* in = input.data();
    char* out = output.data();
    size_t inLeft = input.size();
    size_t outLeft = output.size();
    const bool ok = iconv(handle, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1) &&
                    iconv(handle, nullptr, nullptr, &out, &outLeft) != static_cast<size_t>(-1);
    iconv_close(handle);
    return ok ? output.substr(0, output.size() - outLeft) : std::string();
}

std::vector<std::string> EncodedWords(const std::string& header)
{
    std::vector<std::string> words;
    for (size_t start = header.find("=?"); start != std::string::npos; start = header.find("=?", start)) {
        const size_t letterEnd = header.find('?', header.find('?', start + 2) + 1);
        const size_t end = header.find("?=", letterEnd + 1) + 2;
        words.push_back(header.substr(start, end - start));
        start = end;
    }
    return words;
}

std::string Repeated(const std::string& text, int count)
{
    std::string result;
    for (int i = 0; i < count; ++i) {
        result += text;
    }
    return result;
}

bool IsValidUtf8(const std::string& text)
{
    return Iconv(text, "UTF-8", "UTF-16LE").size() > 0 || text.empty();
}

struct TCharsetRow {
    int localeClass;
    const char* codeset;
    const char* charset;
    char encoding;
    bool convertJapanese;
    const char* convertFrom;
};

TEST(HeaderCharsetTest, FollowsTheLocaleOnItsLegacyCodesetsAndNamesEveryOtherCodesetAsItIs)
{
    const TCharsetRow rows[] = {
        {0, "GB2312", "GB2312", 'B', false, ""},
        {1, "BIG5", "Big5", 'B', false, ""},
        {2, "SJIS", "ISO-2022-JP", 'B', true, ""},
        {2, "eucJP", "ISO-2022-JP", 'B', false, "eucJP"},
        {3, "EUC-KR", "EUC-KR", 'B', false, ""},
        {4, "ISO-8859-1", "ISO-8859-1", 'Q', false, ""},
        {4, "ISO-8859-15", "ISO-8859-15", 'Q', false, ""},
        {4, "KOI8-R", "KOI8-R", 'Q', false, ""},
        // A Japanese user on a codeset that is not Japanese gets no Japanese conversion.
        {2, "ISO-8859-1", "ISO-8859-1", 'B', false, ""},
        {4, "SJIS", "ISO-2022-JP", 'B', true, ""},
    };
    for (const TCharsetRow& row : rows) {
        SCOPED_TRACE(std::string(row.codeset) + " " + std::to_string(row.localeClass));
        const TIdHeaderEncoding encoding = SelectHeaderCharset(row.localeClass, row.codeset);
        EXPECT_EQ(encoding.CharSet, row.charset);
        EXPECT_EQ(encoding.Encoding, row.encoding);
        EXPECT_EQ(encoding.ConvertJapanese, row.convertJapanese);
        EXPECT_EQ(encoding.ConvertFrom, row.convertFrom);
    }
    // "日" in EUC-JP goes out in ISO-2022-JP.
    EXPECT_EQ(ConvertForSending("\xC6\xFC", SelectHeaderCharset(2, "EUC-JP")), "\x1B$BF|\x1B(B");
}

TEST(HeaderCharsetTest, NamesUtf8OnUtf8SystemsWithBForEastAsianLocales)
{
    for (int localeClass = 0; localeClass <= 4; ++localeClass) {
        const TIdHeaderEncoding encoding = SelectHeaderCharset(localeClass, "UTF-8");
        EXPECT_EQ(encoding.CharSet, "UTF-8");
        EXPECT_EQ(encoding.Encoding, localeClass == 4 ? 'Q' : 'B');
        EXPECT_FALSE(encoding.ConvertJapanese);
    }
}

// Sets LC_ALL for the life of the object.
class TLocale {
public:
    explicit TLocale(const char* name) { setenv("LC_ALL", name, 1); }
    ~TLocale() { unsetenv("LC_ALL"); }
    TLocale(const TLocale&) = delete;
    TLocale& operator=(const TLocale&) = delete;
};

TEST(HeaderCharsetTest, ReadsLocaleAndCodesetFromTheEnvironment)
{
    {
        TLocale locale("ja_JP.SJIS");
        const TIdHeaderEncoding encoding = SelectHeaderCharset();
        EXPECT_EQ(encoding.CharSet, "ISO-2022-JP");
        EXPECT_TRUE(encoding.ConvertJapanese);
        EXPECT_EQ(DecodeHeaderText("=?ISO-2022-JP?B?GyRCRnwbKEI=?="), "\x93\xFA");
    }
    TLocale locale("ja_JP.UTF-8");
    EXPECT_EQ(SelectHeaderCharset().CharSet, "UTF-8");
    EXPECT_EQ(SelectHeaderCharset().Encoding, 'B');
    EXPECT_EQ(DecodeHeaderText("=?ISO-2022-JP?B?GyRCRnwbKEI=?="), "\xE6\x97\xA5");
}

TEST(EncodeHeaderTextTest, EncodesOnlyTheWordsThatNeedIt)
{
    EXPECT_EQ(EncodeHeaderText("Caf\xE9 au th\xE9", "", kLatin1),
              "=?ISO-8859-1?Q?Caf=E9?= au =?ISO-8859-1?Q?th=E9?=");
}

TEST(EncodeHeaderTextTest, JoinsNeighbouringWordsIntoOneEncodedWord)
{
    EXPECT_EQ(EncodeHeaderText("Re: \xE9t\xE9 \xE0 Paris", "", kLatin1),
              "Re: =?ISO-8859-1?Q?=E9t=E9_=E0?= Paris");
}

TEST(EncodeHeaderTextTest, LeavesAsciiTextUnchanged)
{
    const std::string subject = "Re: [list] 50% off: a=b? (yes_no)";
    EXPECT_EQ(EncodeHeaderText(subject, "", kLatin1), subject);
}

TEST(EncodeHeaderTextTest, EscapesTheCallersSpecialsAndQReservedCharacters)
{
    EXPECT_EQ(EncodeHeaderText("M\xFCller, Ren\xE9_=?", NameSpecials, kLatin1),
              "=?ISO-8859-1?Q?M=FCller=2C_Ren=E9=5F=3D=3F?=");
}

TEST(EncodeHeaderTextTest, EncodesBase64WithPadding)
{
    EXPECT_EQ(EncodeHeaderText("\xE9", "", {"ISO-8859-1", 'B', false}), "=?ISO-8859-1?B?6Q==?=");
    EXPECT_EQ(EncodeHeaderText("\xE9\xE9", "", {"ISO-8859-1", 'B', false}), "=?ISO-8859-1?B?6ek=?=");
    EXPECT_EQ(EncodeHeaderText("Caf\xC3\xA9", "", kUtf8B), "=?UTF-8?B?Q2Fmw6k=?=");
}

TEST(EncodeHeaderTextTest, SplitsLongSubjectsIntoWordsOfAtMost75Characters)
{
    const std::string subject = Repeated("\xE9t\xE9 ", 40);
    for (const TIdHeaderEncoding& encoding : {kLatin1, TIdHeaderEncoding{"ISO-8859-1", 'B', false}}) {
        const std::string encoded = EncodeHeaderText(subject, "", encoding);
        const std::vector<std::string> words = EncodedWords(encoded);
        ASSERT_GT(words.size(), 2u);
        std::string joined;
        for (size_t i = 0; i < words.size(); ++i) {
            EXPECT_LE(words[i].size(), 75u) << words[i];
            joined += (i == 0 ? "" : "\r\n\t") + words[i];
        }
        EXPECT_EQ(encoded, joined + " ");
        // Words are filled: the next token or group would not have fitted.
        EXPECT_GT(words[0].size(), 75u - (encoding.Encoding == 'Q' ? 3 : 4));
    }
}

TEST(EncodeHeaderTextTest, NeverSplitsAUtf8Character)
{
    const std::string subject = Repeated("\xE6\x97\xA5\xC3\xA9", 60); // an ideograph, an accented letter
    for (const TIdHeaderEncoding& encoding : {kUtf8Q, kUtf8B}) {
        const std::string encoded = EncodeHeaderText(subject, "", encoding);
        for (const std::string& word : EncodedWords(encoded)) {
            EXPECT_LE(word.size(), 75u);
            EXPECT_TRUE(IsValidUtf8(DecodeHeaderText(word, false))) << word;
        }
        EXPECT_EQ(DecodeHeaderText(encoded, false), subject);
    }
}

TEST(EncodeHeaderTextTest, ConvertsShiftJisToIso2022JpFirst)
{
    const std::string encoded = EncodeHeaderText("\x93\xFA", "", {"ISO-2022-JP", 'B', true});
    EXPECT_EQ(encoded, "=?ISO-2022-JP?B?GyRCRnwbKEI=?="); // ESC $ B 0x46 0x7C ESC ( B
}

TEST(EncodeHeaderTextTest, RoundTripsThroughTheHeaderListAndTheDecoder)
{
    const std::string texts[] = {
        "Caf\xC3\xA9 cr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
        "e",
        "Re: \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE4\xBB\xB6\xE5\x90\x8D and more plain words "
        "here",
        "tab\tand \xC3\xA9\t\xC3\xA9 trailing ",
        std::string(30, 'x') + " " + Repeated("\xC3\xA9", 100) + " end",
    };
    for (const std::string& text : texts) {
        for (const TIdHeaderEncoding& encoding : {kUtf8Q, kUtf8B}) {
            TIdHeaderList list;
            list.SetHeader("Subject", EncodeHeaderText(text, "", encoding));
            for (const std::string& line : list.Lines()) {
                EXPECT_LE(line.size(), 78u + 10) << line; // an encoded word is never broken
            }
            EXPECT_EQ(DecodeHeaderText(list.GetHeader("Subject"), false), TrimRight(text));
        }
    }
}

TEST(EncodeAddressTest, QuotesAsciiNamesAndEncodesOthers)
{
    TIdEMailAddressItem item;
    item.Address = "a@b.c";
    EXPECT_EQ(EncodeAddressItem(item, kLatin1), "a@b.c");
    item.Name = "Anne \"The\" \\Person";
    EXPECT_EQ(EncodeAddressItem(item, kLatin1), "\"Anne \\\"The\\\" \\\\Person\" <a@b.c>");
    item.Name = "Ren\xE9 O.";
    EXPECT_EQ(EncodeAddressItem(item, kLatin1), "=?ISO-8859-1?Q?Ren=E9_O=2E?= <a@b.c>");
    item.Name = "Solo";
    item.Address = "";
    EXPECT_EQ(EncodeAddressItem(item, kLatin1), "\"Solo\" <>");
}

TEST(EncodeAddressTest, JoinsAListWithCommaAndBlank)
{
    TIdEMailAddressList list;
    EXPECT_EQ(EncodeAddressList(list, kLatin1), "");
    list.SetAddressListText("A <a@b.c>, d@e.f");
    EXPECT_EQ(EncodeAddressList(list, kLatin1), "\"A\" <a@b.c>, d@e.f");
}

TEST(DecodeHeaderTextTest, DecodesEveryWordAndKeepsTheTextAround)
{
    EXPECT_EQ(DecodeHeaderText("Re: =?UTF-8?Q?Caf=C3=A9?= menu", false), "Re: Caf\xC3\xA9 menu");
    EXPECT_EQ(DecodeHeaderText("=?ISO-8859-1?Q?a?= b =?ISO-8859-1?B?6Q==?=", false), "a b \xC3\xA9");
    EXPECT_EQ(DecodeHeaderText("plain: no words", false), "plain: no words");
}

TEST(DecodeHeaderTextTest, JoinsNeighbouringWordsWithoutTheWhiteSpaceBetween)
{
    EXPECT_EQ(DecodeHeaderText("=?UTF-8?Q?a?= \r\n\t =?UTF-8?Q?b?=", false), "ab");
    EXPECT_EQ(DecodeHeaderText("=?UTF-8?Q?a?= =?ISO-8859-1?Q?=E9?=", false), "a\xC3\xA9");
    // A character split across two words is put together again.
    EXPECT_EQ(DecodeHeaderText("=?UTF-8?Q?=C3?= =?UTF-8?Q?=A9?=", false), "\xC3\xA9");
}

TEST(DecodeHeaderTextTest, AcceptsLowerCaseCharsetAndLetterAndALanguageSuffix)
{
    EXPECT_EQ(DecodeHeaderText("=?iso-8859-1?q?caf=e9?=", false), "caf\xC3\xA9");
    EXPECT_EQ(DecodeHeaderText("=?utf-8*en?b?w6k=?=", false), "\xC3\xA9");
}

TEST(DecodeHeaderTextTest, DecodesAnyCharsetTheConverterKnows)
{
    EXPECT_EQ(DecodeHeaderText("=?GB2312?B?1tDOxA==?=", false), "\xE4\xB8\xAD\xE6\x96\x87");
    EXPECT_EQ(DecodeHeaderText("=?KOI8-R?Q?=F0=D2=C9=D7=C5=D4?=", false),
              "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82");
}

TEST(DecodeHeaderTextTest, LeavesUndecodableWordsAsTheyStand)
{
    EXPECT_EQ(DecodeHeaderText("a =?X-UNKNOWN-9?Q?abc?= b", false), "a =?X-UNKNOWN-9?Q?abc?= b");
    EXPECT_EQ(DecodeHeaderText("=?UTF-8?Q?100=?= =?UTF-8?Q?=C3=A9?=", false), "=?UTF-8?Q?100=?= \xC3\xA9");
    EXPECT_EQ(DecodeHeaderText("=?UTF-8?Q?=4?=", false), "=?UTF-8?Q?=4?=");
    EXPECT_EQ(DecodeHeaderText("=?UTF-8?X?abc?=", false), "=?UTF-8?X?abc?=");
    EXPECT_EQ(DecodeHeaderText("=?UTF-8//IGNORE?Q?a?=", false), "=?UTF-8//IGNORE?Q?a?=");
    EXPECT_EQ(DecodeHeaderText("=?*en?Q?a?=", false), "=?*en?Q?a?=");
    EXPECT_EQ(DecodeHeaderText("=?", false), "=?");
}

TEST(DecodeHeaderTextTest, DecodesAWordWithoutClosingToTheEnd)
{
    EXPECT_EQ(DecodeHeaderText("x =?UTF-8?Q?caf=C3=A9_au", false), "x caf\xC3\xA9 au");
}

TEST(DecodeHeaderTextTest, DecodesBase64WithoutTrailingZeroBytes)
{
    EXPECT_EQ(DecodeHeaderText("=?UTF-8?B?YQ==?=", false), "a");
    EXPECT_EQ(DecodeHeaderText("=?UTF-8?B?YWI=?=", false), "ab");
    EXPECT_EQ(DecodeHeaderText("=?UTF-8?B?YWJj?=", false), "abc");
    // Characters outside the alphabet count as 0.
    EXPECT_EQ(DecodeHeaderText("=?ISO-8859-1?B?Y!==?=", false), "`");
}

TEST(DecodeHeaderTextTest, ReplacesBytesThatAreNoCharacterOfTheCharset)
{
    EXPECT_EQ(DecodeHeaderText("=?UTF-8?Q?a=FFb?=", false), "a\xEF\xBF\xBD"
                                                            "b");
}

TEST(DecodeHeaderTextTest, TurnsIso2022JpIntoUtf8OrIntoShiftJisOnAShiftJisSystem)
{
    const std::string word = "=?ISO-2022-JP?B?GyRCRnwbKEI=?=";
    EXPECT_EQ(DecodeHeaderText(word, false), "\xE6\x97\xA5");
    EXPECT_EQ(DecodeHeaderText(word, true), "\x93\xFA");
}

TEST(JapaneseConversionTest, JisToShiftJisMatchesTheSystemConverterOnTheWholeTable)
{
    int compared = 0;
    for (int j1 = 0x21; j1 <= 0x7E; ++j1) {
        for (int j2 = 0x21; j2 <= 0x7E; ++j2) {
            const std::string jis =
                kEscape + "$B" + std::string{static_cast<char>(j1), static_cast<char>(j2)} + kEscape + "(B";
            const std::string shiftJis = JisToShiftJis(jis);
            ASSERT_EQ(shiftJis.size(), 2u);
            EXPECT_EQ(ShiftJisToJis(shiftJis), jis);
            const std::string expected = Iconv(jis, "ISO-2022-JP", "SHIFT_JIS");
            if (!expected.empty()) {
                EXPECT_EQ(shiftJis, expected) << j1 << " " << j2;
                ++compared;
            }
        }
    }
    EXPECT_GT(compared, 6000);
}

TEST(JapaneseConversionTest, ShiftJisToJisSwitchesModesAroundDoubleByteText)
{
    EXPECT_EQ(ShiftJisToJis("a\x93\xFA\x96\x7B"
                            "b"),
              "a" + kEscape + "$BF|K\\" + kEscape + "(Bb");
    EXPECT_EQ(ShiftJisToJis("plain"), "plain");
    EXPECT_EQ(JisToShiftJis("a" + kEscape + "$BF|K\\" + kEscape + "(Bb"), "a\x93\xFA\x96\x7B"
                                                                          "b");
}

TEST(JapaneseConversionTest, WidensHalfWidthKanaAndFoldsTheirSoundMarks)
{
    const auto jis = [](std::initializer_list<int> bytes) {
        std::string text = kEscape + "$B";
        for (int b : bytes) {
            text += static_cast<char>(b);
        }
        return text + kEscape + "(B";
    };
    EXPECT_EQ(ShiftJisToJis("\xA1"), jis({0x21, 0x23}));
    EXPECT_EQ(ShiftJisToJis("\xB1"), jis({0x25, 0x22}));
    EXPECT_EQ(ShiftJisToJis("\xDF"), jis({0x21, 0x2C}));
    EXPECT_EQ(ShiftJisToJis("\xB6\xDE"), jis({0x25, 0x2C}));
    EXPECT_EQ(ShiftJisToJis("\xB3\xDE"), jis({0x25, 0x74}));
    EXPECT_EQ(ShiftJisToJis("\xCA\xDE"), jis({0x25, 0x50}));
    EXPECT_EQ(ShiftJisToJis("\xCA\xDF"), jis({0x25, 0x51}));
    // A kana without a voiced form keeps the mark as a character of its own.
    EXPECT_EQ(ShiftJisToJis("\xB1\xDE"), jis({0x25, 0x22, 0x21, 0x2B}));
    EXPECT_EQ(ShiftJisToJis("\xB6\xDF"), jis({0x25, 0x2B, 0x21, 0x2C}));
}

TEST(JapaneseConversionTest, DropsBytesThatAreNoCharacters)
{
    EXPECT_EQ(ShiftJisToJis("a\x80\xA0\xFD\xFE\xFF"
                            "b"),
              "ab");
    EXPECT_EQ(ShiftJisToJis("a\xF0\x40"
                            "b"),
              "ab"); // user-defined area
    EXPECT_EQ(ShiftJisToJis("a\x93\x7F"
                            "b"),
              "ab");                                       // invalid trail byte
    EXPECT_EQ(ShiftJisToJis("a\x93"), "a");                // lead byte at the end
    EXPECT_EQ(JisToShiftJis("a" + kEscape + "$BF"), "a");  // half a pair at the end
    EXPECT_EQ(JisToShiftJis("a" + kEscape + "$"), "a$");   // an escape without two bytes goes alone
    EXPECT_EQ(JisToShiftJis("a" + kEscape + "(Jb"), "ab"); // other designations are dropped
}

} // namespace
