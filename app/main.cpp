#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "icmp_platform.h"
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
    if (!DisplayAvailable()) {
        std::fprintf(stderr, "vellomar: no graphical display (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                             "Start it from a desktop session, or under a virtual display: xvfb-run ./vellomar\n");
        return 2;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName("Vellomar");

    vellomar::WindowSeams seams;
    seams.programFolder = QCoreApplication::applicationDirPath().toStdString();
    vellomar::Vellomar monitor(std::move(seams));
    monitor.ShowAtStart(StartMinimized(argc, argv));
    monitor.Logic().Form_Load();
    return application.exec();
}
