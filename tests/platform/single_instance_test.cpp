// One monitor per program folder: who holds a folder, when it is let go, how a later start reaches the holder.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "single_instance.h"
#include "temp_folder.h"

#ifndef _WIN32
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace vellomar::platform {
namespace {

namespace fs = std::filesystem;
using Outcome = FolderClaim::Outcome;

// Waits five seconds at least for count to reach wanted.
bool Reaches(const std::atomic<int>& count, int wanted)
{
    for (int i = 0; i < 500 && count < wanted; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return count >= wanted;
}

// The same folder by any path (a link too) is held, the folders around it are not; a later start's request
// reaches its own folder's holder, even one not yet listening, and no other; the folder is free once it goes.
TEST(FolderClaim, OneHolderPerFolderReachedByLaterStartsAndFreeOnceItGoes)
{
    testing::TempFolder root;
    const fs::path held = root.path() / testing::PathFromUtf8("Čedomir Жанна"), inside = held / "inside";
    fs::create_directories(inside);
    std::optional<FolderClaim> holder(held);
    ASSERT_EQ(holder->outcome(), Outcome::Holder) << holder->Problem();
    const Outcome kHeld = Outcome::HeldByAnother, kFree = Outcome::Holder;
    std::vector<std::pair<fs::path, Outcome>> cases {
        {held, kHeld}, {held / ".", kHeld}, {inside / "..", kHeld}, {inside, kFree}, {root.path(), kFree}};
#ifdef _WIN32
    cases.push_back({root.path() / testing::PathFromUtf8("ČEDOMIR ЖАННА"), kHeld});  // in other case
#else
    fs::create_directory_symlink(held, root / "link");
    cases.push_back({root / "link", kHeld});
    FolderClaim missing(root / "missing");
    EXPECT_EQ(missing.outcome(), Outcome::NotAvailable);
    EXPECT_NE(missing.Problem().find("No such file"), std::string::npos) << missing.Problem();
#endif
    for (const auto& [folder, expected] : cases)
        EXPECT_EQ(FolderClaim(folder).outcome(), expected) << testing::Utf8(folder);

    FolderClaim other(inside), early(held);
    EXPECT_EQ(other.Problem(), "") << "each holder listens under a name of its own";
    EXPECT_TRUE(early.AskHolderToShow());  // before the holder's window is up
    std::atomic<int> heldShown {0}, otherShown {0};
    {
        auto heldListener = holder->ListenForShowRequests([&] { ++heldShown; });
        auto otherListener = other.ListenForShowRequests([&] { ++otherShown; });
        EXPECT_TRUE(heldListener && otherListener && !early.ListenForShowRequests([] {})) << "only holders listen";
        EXPECT_TRUE(Reaches(heldShown, 1));
        FolderClaim late(inside / ".."), otherLate(inside);  // the first by another path
        EXPECT_TRUE(late.AskHolderToShow() && otherLate.AskHolderToShow());
        EXPECT_TRUE(Reaches(heldShown, 2) && Reaches(otherShown, 1));
    }
    EXPECT_EQ(std::pair(heldShown.load(), otherShown.load()), std::pair(2, 1)) << "each request reached one holder";
    EXPECT_FALSE(holder->AskHolderToShow()) << "the holder has no one to ask";
    holder.reset();
    FolderClaim again(held);
    EXPECT_TRUE(again.outcome() == Outcome::Holder && again.Problem().empty()) << again.Problem();
}

#ifndef _WIN32
// A holder killed outright while a program it started runs on (as the ping helper may) leaves the folder free.
TEST(FolderClaim, AHolderKilledWithSigkillLetsGoEvenWhileItsChildRuns)
{
    testing::TempFolder folder;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {  // claims, starts a child that outlives it, says the child's id and waits for the kill
        FolderClaim claim(folder.path());
        pid_t child = -1;
        char* arguments[] = {const_cast<char*>("sleep"), const_cast<char*>("30"), nullptr};
        if (claim.outcome() == Outcome::Holder &&
            posix_spawnp(&child, "sleep", nullptr, nullptr, arguments, environ) == 0 &&
            write(ready[1], &child, sizeof child) == sizeof child)
            pause();
        _exit(1);
    }
    close(ready[1]);
    pid_t child = -1;
    ASSERT_EQ(read(ready[0], &child, sizeof child), static_cast<ssize_t>(sizeof child)) << "the holder never started";
    EXPECT_EQ(FolderClaim(folder.path()).outcome(), Outcome::HeldByAnother);
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);

    FolderClaim next(folder.path());
    EXPECT_TRUE(next.outcome() == Outcome::Holder && next.Problem().empty()) << "the child kept the lock or the name";
    kill(child, SIGKILL);  // no longer this process's grandchild to wait for
}
#endif

}  // namespace
}  // namespace vellomar::platform
