#include "tray_host_watch.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>

#include <cstdlib>
#include <string>

#if QT_CONFIG(xcb)
#include <xcb/xcb.h>
#endif

namespace vellomar {

namespace {

const char kWatcherService[] = "org.kde.StatusNotifierWatcher";
constexpr int kLookEveryMs = 2000;
// A panel that speaks both protocols registers both within moments; the
// newer one is given that long to show before the XEmbed tray is taken.
constexpr int kXEmbedSightingsBeforeUse = 2;

}  // namespace

TrayHostWatch::TrayHostWatch(QObject* parent) : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        auto* arrivals = new QDBusServiceWatcher(kWatcherService, bus, QDBusServiceWatcher::WatchForRegistration, this);
        connect(arrivals, &QDBusServiceWatcher::serviceRegistered, this, &TrayHostWatch::Look);
    }
    connect(&poll_, &QTimer::timeout, this, &TrayHostWatch::Look);
    poll_.start(kLookEveryMs);
    QTimer::singleShot(0, this, &TrayHostWatch::Look);
}

void TrayHostWatch::Look()
{
    if (present_)
        return;
    AskStatusNotifierWatcher();
    xembedSightings_ = XEmbedTrayOwned() ? xembedSightings_ + 1 : 0;
    if (xembedSightings_ >= kXEmbedSightingsBeforeUse)
        Found();
}

// Asked as Qt will ask when the icon is made, but without waiting: a watcher
// that hangs costs an unanswered question, never the window.
void TrayHostWatch::AskStatusNotifierWatcher()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (asking_ || !bus.isConnected())
        return;
    QDBusMessage ask = QDBusMessage::createMethodCall(kWatcherService, "/StatusNotifierWatcher",
                                                      "org.freedesktop.DBus.Properties", "Get");
    ask << QString(kWatcherService) << QString("IsStatusNotifierHostRegistered");
    asking_ = true;
    auto* answer = new QDBusPendingCallWatcher(bus.asyncCall(ask, kLookEveryMs), this);
    connect(answer, &QDBusPendingCallWatcher::finished, this, [this, answer] {
        answer->deleteLater();
        asking_ = false;
        QDBusPendingReply<QDBusVariant> reply = *answer;
        if (!reply.isError() && reply.value().variant().toBool())
            Found();
    });
}

bool TrayHostWatch::XEmbedTrayOwned()
{
#if QT_CONFIG(xcb)
    // Other platforms (offscreen among them) may offer the interface without a connection.
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 && QGuiApplication::platformName() == "xcb" ? x11->connection() : nullptr;
    if (!connection)
        return false;
    // The tray of the display's first screen, the one a display named without ".N" opens on.
    const std::string name = "_NET_SYSTEM_TRAY_S0";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, name.size(), name.c_str()), nullptr);
    if (!atom)
        return false;
    const xcb_atom_t selection = atom->atom;
    std::free(atom);
    if (selection == XCB_ATOM_NONE)
        return false;
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr);
    const bool owned = owner && owner->owner != XCB_WINDOW_NONE;
    std::free(owner);
    return owned;
#else
    return false;
#endif
}

void TrayHostWatch::Found()
{
    if (present_)
        return;
    present_ = true;
    poll_.stop();
    emit Appeared();
}

}  // namespace vellomar
