#include "tray_icon.h"

#include <QApplication>
#include <QDesktopServices>
#include <QEvent>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include "app_icon.h"
#include "desktop_notifier.h"
#include "tray_host_watch.h"
#include "tray_tint.h"

namespace vellomar {

TrayIcon::TrayIcon(QWidget& window, WindowLogic& logic, std::filesystem::path programFolder)
    : QObject(&window), window_(window), logic_(logic), programFolder_(std::move(programFolder)),
      menu_(new QMenu(&window))
{
    menu_->setObjectName("trayMenu");
    for (TrayColour colour : {TrayColour::Grey, TrayColour::Green, TrayColour::Amber, TrayColour::Red})
        icons_[static_cast<size_t>(colour)] = AppIcon(TintFor(colour));
    BuildMenu();
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

void TrayIcon::BuildMenu()
{
    using tray_menu::Action;
    for (const tray_menu::Item& item : tray_menu::kItems) {
        if (item.action == Action::Separator) {
            menu_->addSeparator();
            continue;
        }
        QAction* action =
            menu_->addAction(QString::fromUtf8(item.text.data(), static_cast<qsizetype>(item.text.size())));
        action->setData(static_cast<int>(item.action));
        action->setEnabled(ItemEnabled(item.action, programFolder_));
        if (item.action == Action::State)
            stateLine_ = action;
        connect(action, &QAction::triggered, this,
                [this, chosen = item.action] { Choose(chosen, logic_, *this, programFolder_); });
    }
    connect(menu_, &QMenu::aboutToShow, this, [this] {
        for (QAction* action : menu_->actions())
            if (!action->isSeparator())
                action->setEnabled(ItemEnabled(static_cast<Action>(action->data().toInt()), programFolder_));
    });
}

void TrayIcon::Show(const TrayState& state)
{
    state_ = state;
    const QIcon& icon = icons_[static_cast<size_t>(state.colour)];
    stateLine_->setText(QString::fromStdString(StateItemText(state.tooltip)));
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
    const WindowStanding standing {window_.isVisible(), window_.isMinimized(), window_.isActiveWindow()};
    if (AnswerToClick(standing) == ClickAnswer::HideWindow)
        window_.hide();
    else
        ShowWindow();
}

// The window is hidden once the minimising is over, since hiding within the
// state change leaves it minimised when shown.
bool TrayIcon::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &window_ && event->type() == QEvent::WindowStateChange &&
        HidesWhenMinimised(window_.isMinimized(), InTray()))
        QTimer::singleShot(0, &window_, [this] {
            if (window_.isMinimized())
                window_.hide();
        });
    return QObject::eventFilter(watched, event);
}

platform::Done TrayIcon::OpenInDesktop(const std::filesystem::path& path)
{
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path.string()))))
        return platform::Failure {"the desktop found no program to open it with"};
    return {};
}

void TrayIcon::EndProgram()
{
    QCoreApplication::quit();
}

}  // namespace vellomar
