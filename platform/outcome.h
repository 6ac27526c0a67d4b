// How every call that can fail says so: it gives back its value, or the
// reason it failed, put into words at the failing call itself (before any
// other call can change errno or GetLastError).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace vellomar::platform {

// Why something failed, one line for the user: "open PING_20261207.txt: Permission denied (errno 13)".
struct Failure {
    std::string reason;
};

// The system's last error (errno, GetLastError) as it stands right now, after what was being done.
Failure SystemFailure(std::string_view what);

// A value, or why there is none.
template <class T> class [[nodiscard]] Outcome {
public:
    Outcome(T value) : held_(std::in_place_index<0>, std::move(value)) {}
    Outcome(Failure failure) : held_(std::in_place_index<1>, std::move(failure)) {}

    explicit operator bool() const { return held_.index() == 0; }
    T& operator*() { return std::get<0>(held_); }
    const T& operator*() const { return std::get<0>(held_); }
    T* operator->() { return &std::get<0>(held_); }
    const T* operator->() const { return &std::get<0>(held_); }
    // Empty when there is a value.
    const std::string& Reason() const
    {
        static const std::string none;
        return held_.index() == 1 ? std::get<1>(held_).reason : none;
    }

private:
    std::variant<T, Failure> held_;
};

// Done, or why not.
template <> class [[nodiscard]] Outcome<void> {
public:
    Outcome() = default;
    Outcome(Failure failure) : reason_(std::move(failure.reason)) {}

    explicit operator bool() const { return !reason_; }
    const std::string& Reason() const
    {
        static const std::string none;
        return reason_ ? *reason_ : none;
    }

private:
    std::optional<std::string> reason_;
};

using Done = Outcome<void>;

}  // namespace vellomar::platform
