// The Qt window with its message boxes handed to the test instead of shown:
// no test waits on a modal box.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "vellomar_window.h"

namespace vellomar::testing {

class WindowWithoutBoxes : public Vellomar {
public:
    using Boxes = std::function<void(const std::string& text, const std::string& caption)>;
    WindowWithoutBoxes(WindowSeams seams, Boxes boxes) : Vellomar(std::move(seams)), boxes_(std::move(boxes)) {}

private:
    void ShowMessageBox(const std::string& text, const std::string& caption) override { boxes_(text, caption); }
    Boxes boxes_;
};

}  // namespace vellomar::testing
