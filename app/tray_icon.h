// The monitor's icon in the desktop's system tray: it shows the connection's
// state, brings the window back, and offers the window's Start and Stop.
#pragma once

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

#include <array>
#include <filesystem>
#include <string>

#include "tray_state.h"

class QAction;
class QWidget;

namespace vellomar {

class WindowLogic;

class TrayIcon : public QObject {
    Q_OBJECT

public:
    // Whether the desktop shows tray icons now. The icon is made either way,
    // and appears when a tray does.
    static bool Available();

    TrayIcon(QWidget& window, WindowLogic& logic, std::filesystem::path programFolder);

    void Show(const TrayState& state);
    void Notify(const std::string& title, const std::string& text);
    void ShowWindow();

private:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void BuildMenu(WindowLogic& logic);
    void Activated(QSystemTrayIcon::ActivationReason reason);
    void OpenInDesktop(const std::filesystem::path& path);

    QWidget& window_;
    std::filesystem::path programFolder_;
    std::array<QIcon, 4> icons_;  // by TrayColour
    QMenu menu_;
    QAction* openPage_ = nullptr;
    QSystemTrayIcon icon_;
};

}  // namespace vellomar
