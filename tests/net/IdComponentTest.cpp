#include "net/IdComponent.h"

#include <gtest/gtest.h>

#include <vector>

#include "net/IdStack.h"

namespace {

TEST(IdComponentTest, SocketStackLivesWhileAnyComponentExists)
{
    ASSERT_EQ(TIdComponent::LiveComponentCount(), 0);
    ASSERT_EQ(SocketStack, nullptr);
    {
        TIdComponent first;
        EXPECT_NE(SocketStack, nullptr);
        {
            TIdComponent second;
            EXPECT_EQ(TIdComponent::LiveComponentCount(), 2);
        }
        EXPECT_NE(SocketStack, nullptr);
    }
    EXPECT_EQ(SocketStack, nullptr);
    TIdComponent again;
    EXPECT_NE(SocketStack, nullptr);
}

TEST(IdComponentTest, StatusTextsFillInTheirArgument)
{
    TIdComponent component;
    std::vector<std::pair<TIdStatus, std::string>> seen;
    component.OnStatus = [&](TIdComponent& sender, TIdStatus status, const std::string& text) {
        EXPECT_EQ(&sender, &component);
        seen.emplace_back(status, text);
    };
    component.ReportStatus(stResolving, "mail.example.org");
    component.ReportStatus(stConnecting, "10.0.0.1");
    component.ReportStatus(stConnected, "10.0.0.1");
    component.ReportStatus(stDisconnecting, "10.0.0.1");
    component.ReportStatus(stDisconnected, "");
    component.ReportStatus(stStatusText, "Encoding text");
    const std::vector<std::pair<TIdStatus, std::string>> expected{
        {stResolving, "Resolving hostname mail.example.org."},
        {stConnecting, "Connecting to 10.0.0.1."},
        {stConnected, "Connected."},
        {stDisconnecting, "Disconnecting from 10.0.0.1."},
        {stDisconnected, "Not connected."},
        {stStatusText, "Encoding text"}};
    EXPECT_EQ(seen, expected);
}

TEST(IdComponentTest, NestedWorkSpansReportOnceWithRunningTotals)
{
    TIdComponent component;
    std::vector<std::string> events;
    component.OnWorkBegin = [&](TIdComponent&, TWorkMode mode, int64_t maximum) {
        events.push_back("begin " + std::to_string(mode) + " " + std::to_string(maximum));
    };
    component.OnWork = [&](TIdComponent&, TWorkMode mode, int64_t count) {
        events.push_back("work " + std::to_string(mode) + " " + std::to_string(count));
    };
    component.OnWorkEnd = [&](TIdComponent&, TWorkMode mode) {
        events.push_back("end " + std::to_string(mode));
    };

    component.AdvanceWork(wkWrite, 5); // outside a span: silent
    component.StartWork(wkWrite, 100);
    component.AdvanceWork(wkWrite, 10);
    component.StartWork(wkWrite, 7);
    component.AdvanceWork(wkWrite, 20);
    component.StartWork(wkRead, 0); // the other mode keeps its own span
    component.FinishWork(wkRead);
    component.FinishWork(wkWrite);
    component.AdvanceWork(wkWrite, 1);
    component.FinishWork(wkWrite);

    const std::vector<std::string> expected{"begin 1 100", "work 1 10", "work 1 30", "begin 0 0",
                                            "end 0",       "work 1 31", "end 1"};
    EXPECT_EQ(events, expected);
}

} // namespace
