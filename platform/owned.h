// The one owner of a descriptor (Linux) or a handle (Windows): it closes what
// it holds exactly once, when it goes or is given something else, and hands
// it on when moved. Kind says what the system calls "none" and how it closes.
#pragma once

#include <string_view>
#include <utility>

#include "outcome.h"

namespace vellomar::platform {

template <class Kind> class Owned {
public:
    using Native = typename Kind::Native;

    Owned() = default;
    // Takes native over; the system's "none" values make an owner of nothing.
    explicit Owned(Native native) : native_(Kind::IsNone(native) ? Kind::kNone : native) {}
    Owned(Owned&& other) noexcept : native_(other.Release()) {}
    Owned& operator=(Owned&& other) noexcept
    {
        if (this != &other) {
            Reset();
            native_ = other.Release();
        }
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { Reset(); }

    bool IsOpen() const { return native_ != Kind::kNone; }
    Native Get() const { return native_; }
    // Gives up ownership without closing.
    Native Release() { return std::exchange(native_, Kind::kNone); }
    // Closes now, saying why when the system reports an error on the close
    // (a delayed write error): what was held is let go all the same.
    Done Close(std::string_view what)
    {
        if (IsOpen() && !Kind::Close(Release()))
            return SystemFailure(what);
        return {};
    }
    void Reset()
    {
        if (IsOpen())
            Kind::Close(Release());
    }

private:
    Native native_ = Kind::kNone;
};

#ifdef _WIN32
// A kernel handle closed with CloseHandle. Some calls give nullptr for none,
// others INVALID_HANDLE_VALUE; both mean none here.
struct HandleKind {
    using Native = void*;
    static constexpr Native kNone = nullptr;
    static bool IsNone(Native handle) { return handle == nullptr || handle == reinterpret_cast<Native>(-1); }
    static bool Close(Native handle);
};
using OwnedHandle = Owned<HandleKind>;
using OwnedFile = OwnedHandle;
#else
struct DescriptorKind {
    using Native = int;
    static constexpr Native kNone = -1;
    static bool IsNone(Native fd) { return fd < 0; }
    // Linux lets the descriptor go even when close reports an error: no retry.
    static bool Close(Native fd);
};
using OwnedDescriptor = Owned<DescriptorKind>;
using OwnedFile = OwnedDescriptor;
#endif

}  // namespace vellomar::platform
