// One running monitor per program folder. The first start claims the folder
// and listens for later starts; a later start finds the claim taken, asks the
// holder to show its window, and ends. The claim is the system's to release:
// it goes with the process however the process ends, so nothing a crash
// leaves behind keeps the next start from monitoring.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "outcome.h"

namespace vellomar::platform {

class ShowRequestListener;

class FolderClaim {
public:
    enum class Outcome {
        Holder,         // this process is the folder's monitor
        HeldByAnother,  // a monitor already runs from this folder
        NotAvailable,   // no claim could be made here; this process monitors all the same
    };

    explicit FolderClaim(const std::filesystem::path& programFolder);
    ~FolderClaim();
    FolderClaim(const FolderClaim&) = delete;
    FolderClaim& operator=(const FolderClaim&) = delete;

    Outcome outcome() const { return outcome_; }
    // Why the claim was not made, or why a holder cannot be reached by later
    // starts; empty when all is well.
    const std::string& Problem() const { return problem_; }

    // For a start that found the folder held: asks the holder to show its
    // window. Fails when it could not be reached within a second or two.
    platform::Done AskHolderToShow();

    // For the holder: onShow runs on a thread of the listener's own, once for
    // each request from a later start, until the listener is destroyed. The
    // claim must outlive the listener. Fails, saying why, when later starts
    // cannot reach this one.
    platform::Outcome<ShowRequestListener> ListenForShowRequests(std::function<void()> onShow);

private:
    struct Native;
    Outcome outcome_ = Outcome::NotAvailable;
    std::string problem_;
    std::unique_ptr<Native> native_;
};

// Stops listening, and waits for a request being passed on, when destroyed.
class ShowRequestListener {
public:
    struct Thread;
    explicit ShowRequestListener(std::unique_ptr<Thread> thread);
    ShowRequestListener(ShowRequestListener&&) noexcept;
    ShowRequestListener& operator=(ShowRequestListener&&) noexcept;
    ~ShowRequestListener();

private:
    std::unique_ptr<Thread> thread_;
};

// The name both systems give a folder's claim: the same folder by any path
// gives the same name once the path is made canonical.
inline std::string ClaimName(std::string_view canonicalPathBytes)
{
    uint64_t hash = 14695981039346656037ull;  // 64-bit FNV-1a
    for (unsigned char byte : canonicalPathBytes) {
        hash ^= byte;
        hash *= 1099511628211ull;
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string name = "Vellomar-";
    for (int shift = 60; shift >= 0; shift -= 4)
        name += kDigits[(hash >> shift) & 0xf];
    return name;
}

}  // namespace vellomar::platform
