// The claim is a named mutex in the session's namespace, named after the
// folder; Windows removes it with the last handle, however the process ends.
// A later start reaches the holder through a named event beside it, which the
// holder's listener waits on.
#include "single_instance.h"

#include <windows.h>

#include <thread>
#include <utility>
#include <vector>

#include "diagnostics.h"
#include "owned.h"
#include "wide_text.h"

namespace vellomar::platform {

namespace {

using Handle = OwnedHandle;

// The folder's own name as the file system keeps it (links followed), upper
// case, since Windows compares names without case.
std::wstring CanonicalFolder(const std::filesystem::path& folder)
{
    std::wstring name = folder.native();
    const Handle handle(CreateFileW(folder.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (handle.IsOpen()) {
        std::vector<wchar_t> buffer(MAX_PATH);
        for (;;) {
            const DWORD length = GetFinalPathNameByHandleW(handle.Get(), buffer.data(),
                                                           static_cast<DWORD>(buffer.size()), FILE_NAME_NORMALIZED);
            if (length == 0)
                break;
            if (length < buffer.size()) {
                name.assign(buffer.data(), length);
                break;
            }
            buffer.resize(length + 1);
        }
    }
    if (!name.empty())
        CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
    return name;
}

}  // namespace

struct FolderClaim::Native {
    Handle mutex;
    Handle showRequest;  // auto-reset: one request, one show
};

struct ShowRequestListener::Thread {
    Handle stop;
    std::thread thread;

    ~Thread()
    {
        if (thread.joinable()) {
            SetEvent(stop.Get());
            thread.join();
        }
    }
};

FolderClaim::FolderClaim(const std::filesystem::path& programFolder) : native_(std::make_unique<Native>())
{
    const std::wstring name = L"Local\\" + Utf8ToWide(ClaimName(WideToUtf8(CanonicalFolder(programFolder))));
    // The event exists before the mutex, so a start that finds the mutex
    // always finds the event too.
    native_->showRequest = Handle(CreateEventW(nullptr, FALSE, FALSE, (name + L"-show").c_str()));
    if (!native_->showRequest.IsOpen()) {
        problem_ = "cannot make the event that later starts would use (" + LastErrorText() +
                   "); another monitor may run from this folder";
        return;
    }
    native_->mutex = Handle(CreateMutexW(nullptr, FALSE, name.c_str()));
    const DWORD error = GetLastError();
    if (!native_->mutex.IsOpen()) {
        problem_ = "cannot claim the program folder (" + LastErrorText() + "); another monitor may run from it";
        return;
    }
    if (error == ERROR_ALREADY_EXISTS) {
        native_->mutex.Reset();
        outcome_ = Outcome::HeldByAnother;
        return;
    }
    // A request left for a holder that has since ended is not for this one.
    ResetEvent(native_->showRequest.Get());
    outcome_ = Outcome::Holder;
}

FolderClaim::~FolderClaim() = default;

platform::Done FolderClaim::AskHolderToShow()
{
    if (outcome_ != Outcome::HeldByAnother)
        return Failure {"no other monitor holds this folder"};
    // The user started this process, so it may hand the foreground on.
    AllowSetForegroundWindow(ASFW_ANY);
    if (!SetEvent(native_->showRequest.Get()))
        return SystemFailure("SetEvent for the running monitor");
    return {};
}

platform::Outcome<ShowRequestListener> FolderClaim::ListenForShowRequests(std::function<void()> onShow)
{
    if (outcome_ != Outcome::Holder)
        return Failure {"this process does not hold the folder"};
    auto listener = std::make_unique<ShowRequestListener::Thread>();
    listener->stop = Handle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!listener->stop.IsOpen())
        return SystemFailure("later starts cannot ask this monitor to show its window: CreateEventW");
    listener->thread = std::thread([stop = listener->stop.Get(), request = native_->showRequest.Get(), onShow] {
        const HANDLE watched[2] = {stop, request};  // the stop first: it wins when both are set
        while (WaitForMultipleObjects(2, watched, FALSE, INFINITE) == WAIT_OBJECT_0 + 1)
            onShow();
    });
    return ShowRequestListener(std::move(listener));
}

ShowRequestListener::ShowRequestListener(std::unique_ptr<Thread> thread) : thread_(std::move(thread))
{}
ShowRequestListener::ShowRequestListener(ShowRequestListener&&) noexcept = default;
ShowRequestListener& ShowRequestListener::operator=(ShowRequestListener&&) noexcept = default;
ShowRequestListener::~ShowRequestListener() = default;

}  // namespace vellomar::platform
