// The monitor's icon in the desktop's system tray: it shows the connection's
// state, brings the window back, and offers the menu of tray_menu.h. The
// icon is made once the desktop offers a tray, however late; notices go
// through the desktop's notification service, tray or no tray.
#pragma once

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

#include <array>
#include <filesystem>
#include <memory>
#include <string>

#include "tray_rules.h"
#include "tray_state.h"

class QAction;
class QWidget;

namespace vellomar {

class WindowLogic;
class DesktopNotifier;
class TrayHostWatch;

class TrayIcon : public QObject, private TrayMenuFace {
    Q_OBJECT

public:
    TrayIcon(QWidget& window, WindowLogic& logic, std::filesystem::path programFolder);

    // Whether the icon is in a tray of the desktop's now.
    bool InTray() const { return icon_ != nullptr; }

    void Show(const TrayState& state);
    void Notify(const std::string& title, const std::string& text);
    void ShowWindow() override;

private:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void BuildMenu();
    void MakeIcon();
    void Balloon(const QString& title, const QString& text);
    void Activated(QSystemTrayIcon::ActivationReason reason);

    // TrayMenuFace
    platform::Done OpenInDesktop(const std::filesystem::path& path) override;
    void EndProgram() override;

    QWidget& window_;
    WindowLogic& logic_;
    std::filesystem::path programFolder_;
    std::array<QIcon, 4> icons_;    // by TrayColour
    QMenu* menu_;                   // the window's, so that it goes with it
    QAction* stateLine_ = nullptr;  // the tooltip's text, for desktops that show no tooltips
    TrayState state_ {TrayColour::Grey, "Vellomar"};
    TrayHostWatch* hosts_ = nullptr;
    DesktopNotifier* notifier_ = nullptr;
    QSystemTrayIcon* icon_ = nullptr;  // once there is a tray
};

}  // namespace vellomar
