#include "usbprobe/bounded_task.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace usbprobe {

CCancelToken::CCancelToken() {
    if (pipe2(pipe_, O_CLOEXEC) != 0) {
        pipe_[0] = pipe_[1] = -1;
    }
}

CCancelToken::~CCancelToken() {
    for (const int fd : pipe_) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

bool CCancelToken::Claim() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_ == State::kCancelled) {
        return false;
    }
    state_ = State::kClaimed;
    return true;
}

bool CCancelToken::Cancel() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_ != State::kRunning) {
        return false;
    }
    state_ = State::kCancelled;
    const char wake = 1;
    if (pipe_[1] >= 0) {
        const ssize_t sent = write(pipe_[1], &wake, 1);
        static_cast<void>(sent);
    }
    return true;
}

bool RunBounded(const std::function<void(CCancelToken&)>& work, const WaitBound& bound) {
    CCancelToken token;
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::thread worker([&] {
        work(token);
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
        finished.notify_all();
    });
    bool overran = false;
    {
        std::unique_lock<std::mutex> lock(mutex);
        for (int poll = 0; poll < bound.polls && !done; ++poll) {
            finished.wait_for(lock, std::chrono::milliseconds(bound.pollMs), [&] { return done; });
        }
        if (!done) {
            overran = token.Cancel();
        }
    }
    worker.join();
    return !overran;
}

WaitBound WaitBoundFromEnvironment() {
    WaitBound bound;
    if (const char* text = std::getenv("USBPROBE_POLL_MS")) {
        char* end = nullptr;
        const long value = std::strtol(text, &end, 10);
        if (end != text && *end == '\0' && value >= 1 && value <= 100) {
            bound.pollMs = static_cast<int>(value);
        }
    }
    return bound;
}

}  // namespace usbprobe
