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
#include "tray_rules.h"
#include "window_logic.h"

class QLabel;
class QListWidget;

namespace vellomar {

class Vellomar : public QWidget, private WindowFace {
    Q_OBJECT

public:
    explicit Vellomar(WindowSeams seams, QWidget* parent = nullptr);
    ~Vellomar() override;

    WindowLogic& Logic() { return *logic_; }
    // Brings the window back from the tray or from minimised, to the front.
    // May be called from any thread: the window does it on its own.
    void ShowAndRaise();
    // With StartShow::Minimised the window waits a moment for a tray first.
    void ShowAtStart(StartShow how);
    bool TrayShown() const { return tray_->InTray(); }

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

    std::array<QWidget*, form::kControlCount> controls_ {};  // in the form's order
    QListWidget* List1 = nullptr;
    QTimer* Timer1 = nullptr;
    std::unique_ptr<WindowLogic> logic_;
    TrayIcon* tray_ = nullptr;  // a child of the window
};

}  // namespace vellomar
