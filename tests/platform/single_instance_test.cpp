// One monitor per program folder: who holds a folder, when it is let go, and
// how a later start reaches the holder.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

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
using testing::PathFromUtf8;
using testing::TempFolder;

// Waits up to five seconds for count to reach wanted.
bool Reaches(const std::atomic<int>& count, int wanted)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (count.load() < wanted && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return count.load() >= wanted;
}

struct Folders {
    TempFolder root;
    fs::path held = root.path() / PathFromUtf8("Čedomir Жанна");
    fs::path inside = held / "inside";
    Folders() { fs::create_directories(inside); }
};

TEST(FolderClaim, ASecondClaimOnTheHeldFolderByAnyPathFailsOthersSucceed)
{
    Folders folders;
    FolderClaim first(folders.held);
    ASSERT_EQ(first.outcome(), Outcome::Holder) << first.Problem();
    EXPECT_EQ(first.Problem(), "");

    struct Case {
        const char* what;
        fs::path folder;
        Outcome expected;
    };
    const Case cases[] = {
        {"the same path", folders.held, Outcome::HeldByAnother},
        {"through a dot", folders.held / ".", Outcome::HeldByAnother},
        {"down and up again", folders.inside / "..", Outcome::HeldByAnother},
        {"a folder inside it", folders.inside, Outcome::Holder},
        {"the folder above it", folders.root.path(), Outcome::Holder},
#ifdef _WIN32
        {"in other case", folders.root.path() / PathFromUtf8("ČEDOMIR ЖАННА"), Outcome::HeldByAnother},
#endif
    };
    for (const Case& c : cases) {
        FolderClaim second(c.folder);
        EXPECT_EQ(second.outcome(), c.expected) << c.what << ": " << second.Problem();
    }
}

TEST(FolderClaim, TheFolderIsFreeAgainOnceItsHolderGoes)
{
    Folders folders;
    auto first = std::make_unique<FolderClaim>(folders.held);
    ASSERT_EQ(first->outcome(), Outcome::Holder);
    EXPECT_EQ(FolderClaim(folders.held).outcome(), Outcome::HeldByAnother);
    first.reset();
    FolderClaim again(folders.held);
    EXPECT_EQ(again.outcome(), Outcome::Holder);
    EXPECT_EQ(again.Problem(), "");
}

TEST(FolderClaim, RequestsReachOnlyTheirOwnFoldersHolderEvenWhenSentBeforeItListens)
{
    Folders folders;
    FolderClaim held(folders.held);
    FolderClaim other(folders.inside);
    ASSERT_EQ(held.outcome(), Outcome::Holder);
    ASSERT_EQ(other.outcome(), Outcome::Holder);

    FolderClaim early(folders.held);
    ASSERT_EQ(early.outcome(), Outcome::HeldByAnother);
    EXPECT_TRUE(early.AskHolderToShow());  // before the holder's window is up

    std::atomic<int> heldShown {0}, otherShown {0};
    {
        ShowRequestListener heldListener = held.ListenForShowRequests([&] { ++heldShown; });
        ShowRequestListener otherListener = other.ListenForShowRequests([&] { ++otherShown; });
        EXPECT_TRUE(Reaches(heldShown, 1));
        FolderClaim late(folders.inside / "..");  // the same folder by another path
        ASSERT_EQ(late.outcome(), Outcome::HeldByAnother);
        EXPECT_TRUE(late.AskHolderToShow());
        EXPECT_TRUE(Reaches(heldShown, 2));
    }
    EXPECT_EQ(heldShown.load(), 2);
    EXPECT_EQ(otherShown.load(), 0);
    EXPECT_FALSE(held.AskHolderToShow()) << "the holder has no one to ask";
}

#ifndef _WIN32
TEST(FolderClaim, AFolderThatCannotBeOpenedIsNotClaimedAndSaysWhy)
{
    TempFolder root;
    FolderClaim claim(root / "missing");
    EXPECT_EQ(claim.outcome(), Outcome::NotAvailable);
    EXPECT_NE(claim.Problem().find("No such file"), std::string::npos) << claim.Problem();
}

TEST(FolderClaim, ALinkToTheHeldFolderIsTheSameFolder)
{
    Folders folders;
    fs::create_directory_symlink(folders.held, folders.root / "link");
    FolderClaim first(folders.root / "link");
    ASSERT_EQ(first.outcome(), Outcome::Holder);
    EXPECT_EQ(FolderClaim(folders.held).outcome(), Outcome::HeldByAnother);
}

// A holder killed outright, while a program it started still runs (as the
// ping helper may), leaves the folder free and its listening name unused.
TEST(FolderClaim, AHolderKilledWithSigkillLetsGoEvenWhileItsChildRuns)
{
    Folders folders;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        FolderClaim claim(folders.held);
        pid_t child = -1;
        char sleepName[] = "sleep", seconds[] = "30";
        char* arguments[] = {sleepName, seconds, nullptr};
        if (claim.outcome() != Outcome::Holder || posix_spawnp(&child, "sleep", nullptr, nullptr, arguments, environ))
            _exit(1);
        (void)!write(ready[1], &child, sizeof child);
        pause();
        _exit(0);
    }
    close(ready[1]);
    pid_t child = -1;
    const bool started = read(ready[0], &child, sizeof child) == sizeof child;
    close(ready[0]);
    EXPECT_EQ(FolderClaim(folders.held).outcome(), Outcome::HeldByAnother);
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    ASSERT_TRUE(started);

    FolderClaim next(folders.held);
    EXPECT_EQ(next.outcome(), Outcome::Holder);
    EXPECT_EQ(next.Problem(), "") << "the child still holds the listening name";
    kill(child, SIGKILL);  // no longer this process's grandchild to wait for
}
#endif

}  // namespace
}  // namespace vellomar::platform
