#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "privileges.h"
#include "startup.h"
#include "vellomar_window.h"

namespace {

using vellomar::platform::Done;

// The Qt face of the start-up: a window once a display is there to show it.
class QtStart final : public vellomar::StartFace {
public:
    QtStart(int& argc, char** argv) : argc_(argc), argv_(argv) {}

    void WriteLine(std::string_view utf8, bool toError) override
    {
        std::fprintf(toError ? stderr : stdout, "%.*s\n", static_cast<int>(utf8.size()), utf8.data());
    }

    Done CheckDisplay() override
    {
        auto set = [](const char* name) {
            const char* value = std::getenv(name);
            return value && *value;
        };
        if (set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM"))
            return {};
        return vellomar::platform::Failure {
            "no graphical display (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
            "Start it from a desktop session, or under a virtual display: xvfb-run ./vellomar"};
    }

    Done MakeWindow(vellomar::WindowSeams seams) override
    {
        application_.emplace(argc_, argv_);
        QApplication::setApplicationName("Vellomar");
        window_.emplace(std::move(seams));
        return {};
    }

    vellomar::WindowLogic& Logic() override { return window_->Logic(); }
    bool TrayShown() const override { return window_->TrayShown(); }
    void ShowAtStart(vellomar::StartShow how) override { window_->ShowAtStart(how); }
    void ShowAndRaise() override { window_->ShowAndRaise(); }
    int RunUntilClosed() override { return QApplication::exec(); }

private:
    int& argc_;
    char** argv_;
    std::optional<QApplication> application_;
    std::optional<vellomar::Vellomar> window_;  // after the application: goes first
};

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
    QtStart face(argc, argv);
    return vellomar::RunMonitor(std::vector<std::string>(argv + 1, argv + argc), face);
}
