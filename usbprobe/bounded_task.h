#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>

namespace usbprobe {

// Shared between a waiting thread and the thread it waits for, so that exactly one of them has the last
// word: the worker claims the right to report its outcome, or the waiter cancels it first.
class CCancelToken {
  public:
    CCancelToken();
    ~CCancelToken();
    CCancelToken(const CCancelToken&) = delete;
    CCancelToken& operator=(const CCancelToken&) = delete;

    // Becomes readable once the task is cancelled; a worker blocked in poll() includes it.
    int Fd() const { return pipe_[0]; }
    // Worker: true when it may go on to report; false when it has been cancelled.
    bool Claim();
    // Waiter: true when the worker had not claimed yet and is now cancelled.
    bool Cancel();

  private:
    enum class State { kRunning, kClaimed, kCancelled };
    std::mutex mutex_;
    State state_ = State::kRunning;
    int pipe_[2] = {-1, -1};
};

// The bound on a reader thread: it is looked at every pollMs milliseconds, at most polls times.
struct WaitBound {
    int pollMs = 100;
    int polls = 40;
};

// Runs work on a second thread and waits for it within the bound. A task still running then is cancelled
// through its token and joined, so it ends cleanly rather than being killed. Returns false when the task
// was cancelled.
bool RunBounded(const std::function<void(CCancelToken&)>& work, const WaitBound& bound);

// The bound from $USBPROBE_POLL_MS (the poll interval, 1 to 100 ms; the tool's own default 100 ms).
WaitBound WaitBoundFromEnvironment();

}  // namespace usbprobe
