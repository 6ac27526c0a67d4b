#include "tray_icon.h"

#include <QApplication>
#include <QDesktopServices>
#include <QEvent>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include "app_icon.h"
#include "daily_log_format.h"
#include "desktop_notifier.h"
#include "tray_host_watch.h"
#include "tray_tint.h"
#include "window_logic.h"

namespace vellomar {

namespace {

// A menu item's text shows an ampersand only when it is doubled.
QString MenuText(const std::string& text)
{
    return QString::fromStdString(text).replace('&', "&&");
}

}  // namespace

TrayIcon::TrayIcon(QWidget& window, WindowLogic& logic, std::filesystem::path programFolder)
    : QObject(&window), window_(window), programFolder_(std::move(programFolder)), menu_(new QMenu(&window))
{
    menu_->setObjectName("trayMenu");
    for (TrayColour colour : {TrayColour::Grey, TrayColour::Green, TrayColour::Amber, TrayColour::Red})
        icons_[static_cast<size_t>(colour)] = AppIcon(TintFor(colour));
    BuildMenu(logic);
    Show(state_);
    window_.installEventFilter(this);
    notifier_ = new DesktopNotifier(this, [this](const QString& title, const QString& text) { Balloon(title, text); });
    hosts_ = new TrayHostWatch(this);
    connect(hosts_, &TrayHostWatch::Appeared, this, &TrayIcon::MakeIcon);
}

// A window minimised, or kept hidden by --minimized, while there was no tray
// goes to the tray now.
void TrayIcon::MakeIcon()
{
    icon_ = new QSystemTrayIcon(this);
    icon_->setObjectName("trayIcon");
    icon_->setContextMenu(menu_);
    connect(icon_, &QSystemTrayIcon::activated, this, &TrayIcon::Activated);
    Show(state_);
    icon_->show();
    if (!window_.isVisible() || window_.isMinimized())
        window_.hide();
}

// Start and Stop go through the buttons' handlers, under the same rules: held
// while a probe is out and run after it in order.
void TrayIcon::BuildMenu(WindowLogic& logic)
{
    stateLine_ = menu_->addAction("Vellomar");
    stateLine_->setEnabled(false);
    menu_->addSeparator();
    connect(menu_->addAction("Pokaži okno"), &QAction::triggered, this, &TrayIcon::ShowWindow);
    menu_->addSeparator();
    connect(menu_->addAction("Start"), &QAction::triggered, this, [&logic] { logic.cmdStart_Click(); });
    connect(menu_->addAction("Stop"), &QAction::triggered, this, [&logic] { logic.cmdStop_Click(); });
    menu_->addSeparator();
    const std::filesystem::path page = programFolder_ / std::string(daily_log::kPageName);
    openPage_ = menu_->addAction("Odpri pregled prekinitev (ERR_list.html)");
    connect(openPage_, &QAction::triggered, this, [this, page] { OpenInDesktop(page); });
    connect(menu_->addAction("Odpri mapo programa"), &QAction::triggered, this,
            [this] { OpenInDesktop(programFolder_); });
    menu_->addSeparator();
    connect(menu_->addAction("Končaj"), &QAction::triggered, qApp, &QCoreApplication::quit);
    // The page exists only after the first rebuild, ten minutes into a run.
    connect(menu_, &QMenu::aboutToShow, this, [this, page] { openPage_->setEnabled(std::filesystem::exists(page)); });
}

void TrayIcon::Show(const TrayState& state)
{
    state_ = state;
    const QIcon& icon = icons_[static_cast<size_t>(state.colour)];
    stateLine_->setText(MenuText(state.tooltip));
    stateLine_->setIcon(icon);
    if (!icon_)
        return;
    icon_->setIcon(icon);
    icon_->setToolTip(QString::fromStdString(state.tooltip));
}

void TrayIcon::Notify(const std::string& title, const std::string& text)
{
    notifier_->Notify(QString::fromStdString(title), QString::fromStdString(text));
}

// Where the desktop took no notice: the tray's own balloon, where there is a tray.
void TrayIcon::Balloon(const QString& title, const QString& text)
{
    if (icon_)
        icon_->showMessage(title, text, icon_->icon());
}

void TrayIcon::ShowWindow()
{
    window_.showNormal();
    window_.raise();
    window_.activateWindow();
}

void TrayIcon::Activated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason != QSystemTrayIcon::Trigger)
        return;
    if (window_.isVisible() && !window_.isMinimized() && window_.isActiveWindow())
        window_.hide();
    else
        ShowWindow();
}

// A minimised window goes to the tray, where the desktop has one now; it is
// hidden once the minimising is over, since hiding within the state change
// leaves it minimised when shown.
bool TrayIcon::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &window_ && event->type() == QEvent::WindowStateChange && window_.isMinimized() && InTray())
        QTimer::singleShot(0, &window_, [this] {
            if (window_.isMinimized())
                window_.hide();
        });
    return QObject::eventFilter(watched, event);
}

void TrayIcon::OpenInDesktop(const std::filesystem::path& path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path.string())));
}

}  // namespace vellomar
