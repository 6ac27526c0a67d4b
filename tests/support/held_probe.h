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

struct HeldProbe {
    std::atomic<EchoEnd> end {EchoEnd::Replied};
    std::atomic<bool> throws {false};
    std::atomic<int> sent {0}, running {0}, maxRunning {0};
    std::string lastAddress;  // read once the answer has been passed back
    std::thread::id thread;
    std::mutex mutex;
    std::condition_variable released;
    bool held = false;

    void Hold()
    {
        std::lock_guard lock(mutex);
        held = true;
    }
    void Release()
    {
        std::lock_guard lock(mutex);
        held = false;
        released.notify_all();
    }

    ProbeResult operator()(const std::string& address)
    {
        maxRunning = std::max(maxRunning.load(), ++running);
        {
            std::unique_lock lock(mutex);
            released.wait(lock, [this] { return !held; });
        }
        lastAddress = address;
        thread = std::this_thread::get_id();
        ++sent, --running;
        if (throws)
            throw std::runtime_error("no ICMP library");
        // The status numbers of a reply and a time-out; the log writes the latter as -10.
        return {end, end == EchoEnd::Replied ? 0 : 11010, 3};
    }
};

}  // namespace vellomar::testing
