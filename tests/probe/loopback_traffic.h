// Raw-socket helpers that watch and forge ICMP traffic on the namespace's
// loopback, for the probe tests.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <thread>
#include <vector>

namespace vellomar::testing {

// An echo request carrying "hello", as seen on loopback.
struct SeenRequest {
    uint32_t source = 0;
    uint32_t destination = 0;
    uint16_t identifier = 0;
    uint16_t sequence = 0;
};

// Sees every echo request carrying "hello" that crosses loopback while it is open.
class RequestWatcher {
public:
    RequestWatcher();
    ~RequestWatcher();
    RequestWatcher(const RequestWatcher&) = delete;
    RequestWatcher& operator=(const RequestWatcher&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    int Descriptor() const { return fd_; }
    // The next request already waiting, if any; other packets are passed over.
    std::optional<SeenRequest> NextRequest();
    // Counts the requests that arrive until loopback stays quiet for settle.
    int CountRequests(std::chrono::milliseconds settle = std::chrono::milliseconds(50));

private:
    int fd_ = -1;
};

// Floods loopback, from a thread of its own, with packets that miss the answer
// to each echo request it sees by a single detail: replies with another
// identifier, sequence, code, sender or checksum, and error messages quoting
// other requests. Replies and errors about requests nobody sent fill up each
// round. Given answerAfter, it also sends the true reply itself that long after
// seeing the request.
//
// The flood has a fixed rate rather than whatever the CPU allows, so that a
// test states what it proves even on a small, busy machine: one round every
// millisecond, 15 packets a round, 15,000 packets per second; while a request
// is known, 11 of each round's packets are near misses to it.
class LoopbackImpostor {
public:
    static constexpr std::chrono::milliseconds kRoundInterval{1};
    static constexpr int kPacketsPerRound = 15;
    static constexpr int kNearMissesPerRound = 11;
    static constexpr int kPacketsPerSecond = kPacketsPerRound * 1000 / kRoundInterval.count();

    explicit LoopbackImpostor(std::optional<std::chrono::milliseconds> answerAfter = std::nullopt);
    ~LoopbackImpostor();
    LoopbackImpostor(const LoopbackImpostor&) = delete;
    LoopbackImpostor& operator=(const LoopbackImpostor&) = delete;

    bool IsRunning() const { return thread_.joinable(); }
    // Ends the flood; the counts below are final afterwards.
    void Stop();
    int RequestsSeen() const { return requestsSeen_; }
    int NearMissesSent() const { return nearMissesSent_; }
    int AnswersSent() const { return answersSent_; }

private:
    void Run();
    void SendNoise(uint32_t round, int count);
    int SendNearMisses(const SeenRequest& request);
    bool Send(int fd, const std::vector<uint8_t>& message, uint32_t to);

    std::optional<std::chrono::milliseconds> answerAfter_;
    RequestWatcher watcher_;
    int stranger_ = -1;  // sends from 127.0.0.2
    std::atomic<bool> stop_{false};
    std::atomic<int> requestsSeen_{0};
    std::atomic<int> nearMissesSent_{0};
    std::atomic<int> answersSent_{0};
    std::thread thread_;
};

}  // namespace vellomar::testing
