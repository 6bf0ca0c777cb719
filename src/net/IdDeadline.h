#pragma once

#include <algorithm>
#include <chrono>

#include "net/IdStack.h"

// A limit taken at its start: what is left of it as a time-out for the next wait. A limit of
// IdTimeoutInfinite never runs out.
class TIdDeadline {
public:
    explicit TIdDeadline(int timeoutMs)
        : infinite_(timeoutMs == IdTimeoutInfinite),
          end_(std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0)))
    {
    }

    // In ms, never negative; IdTimeoutInfinite for a limit that has none.
    int RemainingMs() const
    {
        if (infinite_) {
            return IdTimeoutInfinite;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end_ - std::chrono::steady_clock::now());
        return static_cast<int>(std::max<long long>(left.count(), 0));
    }

private:
    bool infinite_;
    std::chrono::steady_clock::time_point end_;
};
