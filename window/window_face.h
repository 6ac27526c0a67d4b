// What the window logic needs from the window on screen: its labels, its list,
// its timer, a message box, and a way back onto the window's thread. Qt and
// Win32 each realise it; strings are UTF-8.
#pragma once

#include <functional>
#include <string>

#include "tray_state.h"

namespace vellomar {

enum class Label { HostName, IPAddress, OutFile };  // lblHostName, lblIPAddress, lblOutFile

class WindowFace {
public:
    virtual ~WindowFace() = default;

    virtual std::string Caption(Label label) const = 0;
    virtual void SetCaption(Label label, const std::string& caption) = 0;

    // List1
    virtual int ListCount() const = 0;
    virtual void ListClear() = 0;
    virtual void ListAddItem(const std::string& item) = 0;

    // Timer1: an interval of 0 stops it, whatever Enabled says.
    virtual void SetTimerInterval(int milliseconds) = 0;
    virtual void SetTimerEnabled(bool enabled) = 0;

    // A modal message box with an OK button only; returns once it is closed.
    virtual void ShowMessageBox(const std::string& text, const std::string& caption) = 0;

    // Runs closure later on the window's thread, as an ordinary event, in the
    // order posted. May be called from any thread. Closures still pending when
    // the window is destroyed are dropped.
    virtual void Post(std::function<void()> closure) = 0;

    // The tray icon, on a face that has one: its colour and tooltip, and a
    // notification shown beside it.
    virtual void ShowTrayState(const TrayState&) {}
    virtual void Notify(const std::string& /*title*/, const std::string& /*text*/) {}
};

}  // namespace vellomar
