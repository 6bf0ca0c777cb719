#include <gtest/gtest.h>

#include "message/IdEMailAddress.h"

namespace {

TIdEMailAddressItem Parsed(const std::string& text)
{
    TIdEMailAddressItem item;
    item.SetText(text);
    return item;
}

TEST(EMailAddressItemTest, ReadsNameAndAddressFromAngleForm)
{
    const TIdEMailAddressItem item = Parsed("Anne Person <anne@example.com>");
    EXPECT_EQ(item.Name, "Anne Person");
    EXPECT_EQ(item.Address, "anne@example.com");
    EXPECT_EQ(item.Text(), "Anne Person <anne@example.com>");
}

TEST(EMailAddressItemTest, KeepsABareAddressAsGivenBlanksIncluded)
{
    const TIdEMailAddressItem item = Parsed("  anne@example.com ");
    EXPECT_EQ(item.Address, "  anne@example.com ");
    EXPECT_EQ(item.Name, "");
}

TEST(EMailAddressItemTest, StripsDoubleThenSingleQuotesFromTheName)
{
    EXPECT_EQ(Parsed("\"Person, Anne\" <a@b.c>").Name, "Person, Anne");
    EXPECT_EQ(Parsed("\"'Anne'\" <a@b.c>").Name, "Anne");
    EXPECT_EQ(Parsed("\"\" <a@b.c>").Name, "");
    EXPECT_EQ(Parsed("\" <a@b.c>").Name, "\"");
}

TEST(EMailAddressItemTest, TakesACommentInParenthesesAsTheName)
{
    const TIdEMailAddressItem item = Parsed("bbb@ddd.com (John X. Doe)");
    EXPECT_EQ(item.Address, "bbb@ddd.com");
    EXPECT_EQ(item.Name, "John X. Doe");
}

TEST(EMailAddressItemTest, LeavesBothEmptyWhenTheClosingBracketHasNoOpening)
{
    for (const char* text : {"anne@example.com>", "anne@example.com)"}) {
        const TIdEMailAddressItem item = Parsed(text);
        EXPECT_EQ(item.Address, "") << text;
        EXPECT_EQ(item.Name, "") << text;
    }
}

TEST(EMailAddressItemTest, ShowsAnAddressAloneWhenTheNameIsItsUpperCase)
{
    TIdEMailAddressItem item;
    item.Address = "anne@example.com";
    item.Name = "ANNE@EXAMPLE.COM";
    EXPECT_EQ(item.Text(), "anne@example.com");
    item.Name = "";
    EXPECT_EQ(item.Text(), "anne@example.com");
}

TEST(EMailAddressItemTest, TextFormRoundTrips)
{
    for (const char* text : {"Anne <a@b.c>", "a@b.c", "Barney P. Erson <b@d.e>", "X Y <>"}) {
        EXPECT_EQ(Parsed(text).Text(), text);
    }
}

TEST(EMailAddressListTest, KeepsACommaInsideAQuotedNameAndDropsEmptyPieces)
{
    TIdEMailAddressList list;
    list.SetAddressListText("\"Person, Anne\" <anne@example.com>, bob@example.com,, ,");
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Items(0).Name, "Person, Anne");
    EXPECT_EQ(list.Items(0).Address, "anne@example.com");
    EXPECT_EQ(list.Items(1).Address, "bob@example.com");
    EXPECT_EQ(list.AddressListText(), "Person, Anne <anne@example.com>, bob@example.com");
}

TEST(EMailAddressListTest, SplitsAtCommasInsideAngleBrackets)
{
    TIdEMailAddressList list;
    list.SetAddressListText("A <a@b, c@d>");
    EXPECT_EQ(list.Count(), 2);
}

TEST(EMailAddressListTest, ReplacesTheWholeListAndCopiesItems)
{
    TIdEMailAddressList list;
    list.SetAddressListText("a@b.c, d@e.f");
    list.SetAddressListText("g@h.i");
    ASSERT_EQ(list.Count(), 1);
    const TIdEMailAddressList copy = list;
    list.Items(0).Address = "changed";
    EXPECT_EQ(copy.Items(0).Address, "g@h.i");
    list.SetAddressListText("");
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.AddressListText(), "");
}

} // namespace
