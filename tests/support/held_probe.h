// A probe that answers as told, on whatever thread it is called from, and can
// be held until the test lets it answer.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

#include "socket_stuff.h"

namespace vellomar::testing {

class HeldProbe {
public:
    std::atomic<int32_t> status {0};
    std::atomic<bool> throws {false};
    std::atomic<int> sent {0}, running {0}, maxRunning {0};
    std::string lastAddress;
    std::thread::id thread;

    void Hold() { SetHeld(true); }
    void Release() { SetHeld(false); }

    int32_t operator()(const std::string& address, EchoReply& reply)
    {
        maxRunning = std::max(maxRunning.load(), ++running);
        std::unique_lock lock(mutex_);
        released_.wait(lock, [this] { return !held_; });
        lastAddress = address;
        thread = std::this_thread::get_id();
        ++sent, --running;
        if (throws)
            throw std::runtime_error("no ICMP library");
        reply.RoundTripTime = 3;
        return status;
    }

private:
    void SetHeld(bool held)
    {
        std::lock_guard lock(mutex_);
        held_ = held;
        released_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable released_;
    bool held_ = false;
};

}  // namespace vellomar::testing
