// The claim is an exclusive flock on the program folder itself, opened for
// reading: nothing is written into the folder, and the kernel drops the lock
// with the last descriptor, however the process ends. The holder listens on
// an abstract unix socket named after the folder (and the user), which, too,
// vanishes with the process.
#include "single_instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <thread>
#include <utility>

#include "diagnostics.h"
#include "owned.h"

namespace vellomar::platform {

namespace {

using Descriptor = OwnedDescriptor;

struct SocketAddress {
    sockaddr_un address {};
    socklen_t length = 0;
};

// An abstract name (leading NUL): no file, gone when its socket closes.
SocketAddress AbstractAddress(const std::string& name)
{
    SocketAddress result;
    result.address.sun_family = AF_UNIX;
    const size_t size = std::min(name.size(), sizeof result.address.sun_path - 1);
    std::memcpy(result.address.sun_path + 1, name.data(), size);
    result.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + size);
    return result;
}

std::string SocketName(const std::filesystem::path& folder)
{
    std::error_code error;
    std::filesystem::path canonical = std::filesystem::canonical(folder, error);
    const std::string& bytes = error ? folder.native() : canonical.native();
    return ClaimName(bytes) + "-" + std::to_string(getuid());
}

// A monitor that was just killed lets go of its folder and its name one
// after the other, and a program it started can still hold a copy of both for
// a moment: the name is given a second to come free.
bool BindWhenFree(int socket, const std::string& name)
{
    const SocketAddress address = AbstractAddress(name);
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (bind(socket, reinterpret_cast<const sockaddr*>(&address.address), address.length) == 0)
            return true;
        if (errno != EADDRINUSE)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

Descriptor UnixStreamSocket()
{
    return Descriptor(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
}

// Only this user's starts may bring the window forward.
bool FromThisUser(int connection)
{
    ucred peer {};
    socklen_t size = sizeof peer;
    return getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == getuid();
}

}  // namespace

struct FolderClaim::Native {
    Descriptor folder;
    Descriptor listening;
    std::string socketName;
};

struct ShowRequestListener::Thread {
    Descriptor stopRead, stopWrite;
    std::thread thread;

    ~Thread()
    {
        if (thread.joinable()) {
            const char stop = 's';
            (void)!write(stopWrite.Get(), &stop, 1);
            thread.join();
        }
    }
};

FolderClaim::FolderClaim(const std::filesystem::path& programFolder) : native_(std::make_unique<Native>())
{
    native_->socketName = SocketName(programFolder);
    native_->folder = Descriptor(open(programFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!native_->folder.IsOpen()) {
        problem_ =
            "cannot open the program folder to claim it (" + LastErrorText() + "); another monitor may run from it";
        return;
    }
    if (flock(native_->folder.Get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) {
            outcome_ = Outcome::HeldByAnother;
            return;
        }
        problem_ = "cannot lock the program folder (" + LastErrorText() + "); another monitor may run from it";
        return;
    }
    outcome_ = Outcome::Holder;
    // Listening from now on: a later start's request waits in the backlog
    // until the window is there to take it.
    Descriptor listening = UnixStreamSocket();
    if (!listening.IsOpen() || !BindWhenFree(listening.Get(), native_->socketName) || listen(listening.Get(), 8) != 0) {
        problem_ = "later starts cannot ask this monitor to show its window (" + LastErrorText() + ")";
        return;
    }
    native_->listening = std::move(listening);
}

FolderClaim::~FolderClaim() = default;

// The holder may have taken the lock a moment ago and not be listening yet.
platform::Done FolderClaim::AskHolderToShow()
{
    if (outcome_ != Outcome::HeldByAnother)
        return Failure {"no other monitor holds this folder"};
    const SocketAddress address = AbstractAddress(native_->socketName);
    Failure failure;
    for (int attempt = 0; attempt < 40; ++attempt) {
        Descriptor connection = UnixStreamSocket();
        if (!connection.IsOpen())
            return SystemFailure("socket");
        if (connect(connection.Get(), reinterpret_cast<const sockaddr*>(&address.address), address.length) == 0)
            return {};  // the connection is the request
        failure = SystemFailure("connect to the running monitor");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return failure;
}

platform::Outcome<ShowRequestListener> FolderClaim::ListenForShowRequests(std::function<void()> onShow)
{
    if (outcome_ != Outcome::Holder)
        return Failure {"this process does not hold the folder"};
    if (!native_->listening.IsOpen())
        return Failure {problem_};
    auto listener = std::make_unique<ShowRequestListener::Thread>();
    int stop[2];
    if (pipe2(stop, O_CLOEXEC) != 0)
        return SystemFailure("later starts cannot ask this monitor to show its window: pipe2");
    listener->stopRead = Descriptor(stop[0]);
    listener->stopWrite = Descriptor(stop[1]);
    listener->thread = std::thread([listening = native_->listening.Get(), stopRead = stop[0], onShow] {
        for (;;) {
            pollfd watched[2] = {{listening, POLLIN, 0}, {stopRead, POLLIN, 0}};
            if (poll(watched, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                return;
            }
            if (watched[1].revents != 0)
                return;
            Descriptor connection(accept4(listening, nullptr, nullptr, SOCK_CLOEXEC));
            if (connection.IsOpen() && FromThisUser(connection.Get()))
                onShow();
        }
    });
    return ShowRequestListener(std::move(listener));
}

ShowRequestListener::ShowRequestListener(std::unique_ptr<Thread> thread) : thread_(std::move(thread))
{}
ShowRequestListener::ShowRequestListener(ShowRequestListener&&) noexcept = default;
ShowRequestListener& ShowRequestListener::operator=(ShowRequestListener&&) noexcept = default;
ShowRequestListener::~ShowRequestListener() = default;

}  // namespace vellomar::platform
