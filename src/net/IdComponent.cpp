#include "net/IdComponent.h"

#include "net/IdStack.h"

int TIdComponent::liveComponentCount_ = 0;

std::string StatusText(TIdStatus status, const std::string& argument)
{
    switch (status) {
    case stResolving:
        return "Resolving hostname " + argument + ".";
    case stConnecting:
        return "Connecting to " + argument + ".";
    case stConnected:
        return "Connected.";
    case stDisconnecting:
        return "Disconnecting from " + argument + ".";
    case stDisconnected:
        return "Not connected.";
    case stStatusText:
        return argument;
    }
    return {};
}

TIdComponent::TIdComponent()
{
    if (liveComponentCount_ == 0) {
        SocketStack = std::make_unique<TIdStackPosix>();
    }
    ++liveComponentCount_;
}

TIdComponent::~TIdComponent()
{
    if (--liveComponentCount_ == 0) {
        SocketStack.reset();
    }
}

void TIdComponent::ReportStatus(TIdStatus status, const std::string& argument)
{
    if (OnStatus) {
        OnStatus(*this, status, StatusText(status, argument));
    }
}

void TIdComponent::StartWork(TWorkMode mode, int64_t maximum)
{
    WorkSpan& span = work_[mode];
    if (++span.depth == 1) {
        span.maximum = maximum;
        span.position = 0;
        if (OnWorkBegin) {
            OnWorkBegin(*this, mode, maximum);
        }
    }
}

void TIdComponent::AdvanceWork(TWorkMode mode, int64_t count)
{
    WorkSpan& span = work_[mode];
    if (span.depth >= 1) {
        span.position += count;
        if (OnWork) {
            OnWork(*this, mode, span.position);
        }
    }
}

void TIdComponent::FinishWork(TWorkMode mode)
{
    WorkSpan& span = work_[mode];
    if (span.depth == 1 && OnWorkEnd) {
        OnWorkEnd(*this, mode);
    }
    --span.depth;
}

std::string TIdComponent::LocalHostName()
{
    return SocketStack->LocalHostName();
}
