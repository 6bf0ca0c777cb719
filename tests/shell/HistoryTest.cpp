#include "shell/History.h"

#include <gtest/gtest.h>

#include <vector>

using quietpane::EListError;
using quietpane::THistory;

namespace {

THistory Visited(std::initializer_list<const char*> urls)
{
    THistory history;
    for (const char* url : urls)
        history.Visit(QString::fromLatin1(url));
    return history;
}

} // namespace

TEST(History, StartsEmptyBeforeTheFirstNavigation)
{
    THistory history;
    EXPECT_TRUE(history.Entries().isEmpty());
    EXPECT_EQ(history.Index(), -1);
}

TEST(History, NewAddressAfterGoingBackCutsOffTheEntriesAfterTheCurrentOne)
{
    THistory history = Visited({"http://h/", "http://a/", "http://b/"});
    EXPECT_EQ(history.Entries(), QStringList({"http://h/", "http://a/", "http://b/"}));
    EXPECT_EQ(history.Index(), 2);
    history.Visit("http://a/");
    history.Visit("http://h/");
    EXPECT_EQ(history.Index(), 0);
    history.Visit("http://c/");
    EXPECT_EQ(history.Entries(), QStringList({"http://h/", "http://c/"}));
    EXPECT_EQ(history.Index(), 1);
}

TEST(History, RevisitingAKnownAddressMovesTheIndexWithoutAdding)
{
    THistory history = Visited({"http://h/", "http://a/", "http://b/"});
    history.Visit("http://a/");
    EXPECT_EQ(history.Index(), 1);
    EXPECT_EQ(history.Entries().size(), 3);
    EXPECT_EQ(history.BackAddress(), "http://h/");
    EXPECT_EQ(history.ForwardAddress(), "http://b/");
}

TEST(History, AddressesDifferingOnlyInLetterCaseAreOneEntry)
{
    THistory history = Visited({"http://h/", "http://Example.ORG/Page", "http://b/"});
    history.Visit("HTTP://example.org/page");
    EXPECT_EQ(history.Index(), 1);
    EXPECT_EQ(history.Entries().size(), 3);
}

TEST(History, RedirectLeavesOnlyTheAddressRedirectedTo)
{
    struct Case {
        QStringList visits; // the last one is where the server redirected the one before
        QStringList entries;
        int index;
    };
    const std::vector<Case> cases{
        {{"http://h/", "http://a/", "http://a2/"}, {"http://h/", "http://a2/"}, 1},
        // To a known address: the new entry goes, the known one becomes current.
        {{"http://h/", "http://b/", "http://a/", "http://b/"}, {"http://h/", "http://b/"}, 1},
        // From a known address: nothing was added, so nothing goes.
        {{"http://h/", "http://a/", "http://h/", "http://c/"}, {"http://h/", "http://c/"}, 1},
    };
    for (const Case& c : cases) {
        THistory history;
        for (const QString& visit : c.visits)
            history.Visit(visit);
        history.Redirected(c.visits.last());
        EXPECT_EQ(history.Entries(), c.entries) << c.visits.join(' ').toStdString();
        EXPECT_EQ(history.Index(), c.index) << c.visits.join(' ').toStdString();
    }
    // A report for another address than the current one changes nothing.
    THistory history = Visited({"http://h/", "http://a/"});
    history.Redirected("http://other/");
    EXPECT_EQ(history.Entries().size(), 2);
}

TEST(History, StepsOutsideTheListRaiseTheIndexError)
{
    THistory empty;
    try {
        (void)empty.BackAddress();
        FAIL() << "no error";
    } catch (const EListError& error) {
        EXPECT_STREQ(error.what(), "List index out of bounds (-2)");
    }
    THistory one = Visited({"http://h/"});
    try {
        (void)one.BackAddress();
        FAIL() << "no error";
    } catch (const EListError& error) {
        EXPECT_STREQ(error.what(), "List index out of bounds (-1)");
    }
    EXPECT_THROW((void)one.ForwardAddress(), EListError);
}
