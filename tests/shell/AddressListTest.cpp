#include "shell/AddressList.h"

#include <gtest/gtest.h>

using namespace quietpane;

TEST(AddressList, SimilarityLooksAtTheFirst24CharactersIgnoringAsciiCase)
{
    // "http://www.example.com/a" is exactly 24 characters long.
    EXPECT_TRUE(IsSimilarAddress("http://www.example.com/a/one.html", "HTTP://WWW.EXAMPLE.COM/A/two.html"));
    EXPECT_FALSE(IsSimilarAddress("http://www.example.com/a", "http://www.example.com/b"));
    EXPECT_TRUE(IsSimilarAddress("http://x/", "HTTP://X/"));
    // A text shorter than 24 characters is similar only to an equal one.
    EXPECT_FALSE(IsSimilarAddress("http://x/", "http://x/more"));
    // Only A to Z ignore case.
    EXPECT_FALSE(IsSimilarAddress(QString::fromUtf8("http://ä/"), QString::fromUtf8("http://Ä/")));
}

TEST(AddressList, TypedAddressGoesToTheTop)
{
    QStringList lines{"http://a/", "http://b/", "http://c/"};
    PutTypedAddressFirst(lines, "HTTP://C/");
    EXPECT_EQ(lines, QStringList({"http://c/", "http://a/", "http://b/"}));
    PutTypedAddressFirst(lines, "http://new/");
    EXPECT_EQ(lines, QStringList({"http://new/", "http://c/", "http://a/", "http://b/"}));
}

TEST(AddressList, LinkAddressIsAppendedUnlessASimilarLineExists)
{
    QStringList lines{"http://www.example.com/a/index.html"};
    EXPECT_FALSE(AddToAddressList(lines, "http://www.example.com/a/other.html"));
    EXPECT_TRUE(AddToAddressList(lines, "http://www.example.com/b/"));
    EXPECT_FALSE(AddToAddressList(lines, "http://www.example.com/b/"));
    EXPECT_EQ(lines, QStringList({"http://www.example.com/a/index.html", "http://www.example.com/b/"}));
}
