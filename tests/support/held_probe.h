// A probe that answers as told, on whatever thread it is called from, and can
// be held until the test lets it answer.
#pragma once

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>

#include "socket_stuff.h"

namespace vellomar::testing {

struct HeldProbe {
    std::atomic<int32_t> status {0};
    std::atomic<bool> throws {false};
    std::atomic<int> sent {0}, running {0}, maxRunning {0};
    std::string lastAddress;  // read once the answer has been passed back
    std::thread::id thread;
    std::atomic<bool> held {false};

    void Hold() { held = true; }
    void Release()
    {
        held = false;
        held.notify_all();
    }

    int32_t operator()(const std::string& address, EchoReply& reply)
    {
        maxRunning = std::max(maxRunning.load(), ++running);
        held.wait(true);
        lastAddress = address;
        thread = std::this_thread::get_id();
        ++sent, --running;
        if (throws)
            throw std::runtime_error("no ICMP library");
        reply.RoundTripTime = 3;
        return status;
    }
};

}  // namespace vellomar::testing
