#include "net/IdAntiFreeze.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

// A responsiveness component whose pump records what it was asked to do.
struct PumpRecorder {
    TIdAntiFreeze antiFreeze;
    std::vector<bool> pumps; // the processAll flag of each call

    PumpRecorder()
    {
        antiFreeze.MessagePump = [this](bool processAll) { pumps.push_back(processAll); };
    }
};

TEST(IdAntiFreezeTest, DefaultsPumpEveryPendingEventOnlyAfterIdleWaits)
{
    PumpRecorder recorder;
    TIdAntiFreezeBase::KeepResponsive(false);
    EXPECT_TRUE(recorder.pumps.empty());
    TIdAntiFreezeBase::KeepResponsive(true);
    TIdAntiFreezeBase::KeepResponsive(false, true);
    EXPECT_EQ(recorder.pumps, (std::vector<bool>{true, true}));
}

TEST(IdAntiFreezeTest, SettingsDecideWhetherAndHowMuchToPump)
{
    PumpRecorder recorder;
    recorder.antiFreeze.OnlyWhenIdle = false;
    recorder.antiFreeze.ApplicationHasPriority = false;
    TIdAntiFreezeBase::KeepResponsive(false);
    EXPECT_EQ(recorder.pumps, (std::vector<bool>{false}));

    recorder.antiFreeze.Active = false;
    TIdAntiFreezeBase::KeepResponsive(true, true);
    EXPECT_EQ(recorder.pumps.size(), 1u);
}

TEST(IdAntiFreezeTest, OtherThreadsNeverPump)
{
    PumpRecorder recorder;
    std::thread([] { TIdAntiFreezeBase::KeepResponsive(true, true); }).join();
    EXPECT_TRUE(recorder.pumps.empty());
}

TEST(IdAntiFreezeTest, LatestRegisteredWinsAndAnyDestructionUnregisters)
{
    EXPECT_EQ(CurrentAntiFreeze, nullptr);
    TIdAntiFreeze first;
    EXPECT_EQ(CurrentAntiFreeze, &first);
    {
        TIdAntiFreeze second;
        EXPECT_EQ(CurrentAntiFreeze, &second);
    }
    EXPECT_EQ(CurrentAntiFreeze, nullptr);
    TIdAntiFreezeBase::KeepResponsive(true); // nothing registered: nothing happens
}

} // namespace
