#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "diagnostics.h"
#include "files.h"
#include "privileges.h"
#include "single_instance.h"
#include "vellomar_window.h"

namespace {

bool DisplayAvailable()
{
    auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

bool StartMinimized(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--minimized") == 0)
            return true;
    return false;
}

}  // namespace

int main(int argc, char* argv[])
{
    // The window never needs a privilege: pings that need one go through the
    // ping helper. Should the executable have been given one all the same, it
    // is gone before any toolkit or plugin code runs.
    if (!vellomar::platform::DropPrivileges()) {
        std::fprintf(stderr, "vellomar: could not give up the privileges it was started with; not starting.\n");
        return 1;
    }
    // One monitor per folder: a later start hands over to the running one and
    // ends before it reads, probes or writes anything. One started at login
    // leaves the running window as it is.
    vellomar::platform::FolderClaim claim(vellomar::platform::ProgramFolder());
    if (claim.outcome() == vellomar::platform::FolderClaim::Outcome::HeldByAnother) {
        if (!StartMinimized(argc, argv))
            claim.AskHolderToShow();
        return 0;
    }
    if (!claim.Problem().empty())
        vellomar::platform::ExplainProblem(claim.Problem());
    if (!DisplayAvailable()) {
        std::fprintf(stderr, "vellomar: no graphical display (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                             "Start it from a desktop session, or under a virtual display: xvfb-run ./vellomar\n");
        return 2;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName("Vellomar");

    vellomar::WindowSeams seams;
    seams.programFolder = vellomar::platform::ProgramFolder();
    vellomar::Vellomar monitor(std::move(seams));
    monitor.ShowAtStart(StartMinimized(argc, argv));
    const auto showRequests = claim.ListenForShowRequests([&monitor] { monitor.ShowAndRaise(); });
    monitor.Logic().Form_Load();
    return application.exec();
}
