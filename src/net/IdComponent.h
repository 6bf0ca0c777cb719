#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "net/IdBaseComponent.h"

enum TIdStatus { stResolving, stConnecting, stConnected, stDisconnecting, stDisconnected, stStatusText };
enum TWorkMode { wkRead = 0, wkWrite = 1 };

class TIdComponent;

using TNotifyEvent = std::function<void(TIdComponent& sender)>;
using TIdStatusEvent =
    std::function<void(TIdComponent& sender, TIdStatus axStatus, const std::string& asStatusText)>;
using TWorkBeginEvent = std::function<void(TIdComponent& sender, TWorkMode aWorkMode, int64_t aWorkCountMax)>;
using TWorkEvent = std::function<void(TIdComponent& sender, TWorkMode aWorkMode, int64_t aWorkCount)>;
using TWorkEndEvent = std::function<void(TIdComponent& sender, TWorkMode aWorkMode)>;

// A network component: reports status and work progress, and keeps the process-wide socket stack
// alive while any component exists.
class TIdComponent : public TIdBaseComponent {
public:
    TIdComponent();
    ~TIdComponent() override;

    TIdStatusEvent OnStatus;
    TWorkBeginEvent OnWorkBegin;
    TWorkEvent OnWork;
    TWorkEndEvent OnWorkEnd;

    // Formats the status text only when someone listens.
    void ReportStatus(TIdStatus status, const std::string& argument);
    virtual void StartWork(TWorkMode mode, int64_t maximum);
    virtual void AdvanceWork(TWorkMode mode, int64_t count);
    virtual void FinishWork(TWorkMode mode);
    std::string LocalHostName();

    static int LiveComponentCount() { return liveComponentCount_; }

private:
    struct WorkSpan {
        int depth = 0;
        int64_t maximum = 0;
        int64_t position = 0;
    };
    WorkSpan work_[2];

    static int liveComponentCount_;
};

// The status text of a status value with its argument filled in.
std::string StatusText(TIdStatus status, const std::string& argument);
