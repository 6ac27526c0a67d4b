// The monitor's window on Qt: host, address and log path labels, the list of
// recent records, Start/Stop/Help and the timer. What they do is WindowLogic's.
#pragma once

#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "form.h"
#include "tray_icon.h"
#include "window_logic.h"

class QLabel;
class QListWidget;

namespace vellomar {

// Shows a modal message with an OK button only; a QMessageBox unless replaced.
using MessageBoxShower = std::function<void(const std::string& text, const std::string& caption)>;

class Vellomar : public QWidget, private WindowFace {
    Q_OBJECT

public:
    explicit Vellomar(WindowSeams seams, MessageBoxShower messageBox = {}, QWidget* parent = nullptr);
    ~Vellomar() override;

    WindowLogic& Logic() { return *logic_; }
    // Brings the window back from the tray or from minimised, to the front.
    // May be called from any thread: the window does it on its own.
    void ShowAndRaise();
    // Shows the window, or with minimized only its tray icon (a minimised
    // window where the desktop has no tray).
    void ShowAtStart(bool minimized);

private:
    void CreateControls();
    void ConnectButton(form::Id id);
    QLabel* LabelFor(Label label) const;

    // WindowFace
    std::string Caption(Label label) const override;
    void SetCaption(Label label, const std::string& caption) override;
    int ListCount() const override;
    void ListClear() override;
    void ListAddItem(const std::string& item) override;
    void SetTimerInterval(int milliseconds) override;
    void SetTimerEnabled(bool enabled) override;
    void ShowMessageBox(const std::string& text, const std::string& caption) override;
    void Post(std::function<void()> closure) override;
    void ShowTrayState(const TrayState& state) override;
    void Notify(const std::string& title, const std::string& text) override;

    MessageBoxShower messageBox_;
    std::array<QWidget*, form::kControlCount> controls_ {};  // in the form's order
    QListWidget* List1 = nullptr;
    QTimer* Timer1 = nullptr;
    std::unique_ptr<WindowLogic> logic_;
    TrayIcon* tray_ = nullptr;  // a child of the window
};

}  // namespace vellomar
