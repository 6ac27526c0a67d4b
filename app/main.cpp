#include <QApplication>

#include <cstdio>
#include <cstdlib>

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

}  // namespace

int main(int argc, char* argv[])
{
    if (!DisplayAvailable()) {
        std::fprintf(stderr,
                     "vellomar: no graphical display (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                     "Start it from a desktop session, or under a virtual display: xvfb-run ./vellomar\n");
        return 2;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName("Vellomar");

    vellomar::WindowSeams seams;
    seams.programFolder = QCoreApplication::applicationDirPath().toStdString();
    vellomar::Vellomar monitor(std::move(seams));
    monitor.show();
    monitor.Logic().Form_Load();
    return application.exec();
}
