#include "desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QStringList>
#include <QVariantMap>

#include <utility>

namespace vellomar {

namespace {

// A service that has not answered by then is taken as hung; the notice is
// shown the other way, late but not lost.
constexpr int kAnswerWithinMs = 5000;

QDBusMessage NotifyCall(const QString& title, const QString& text)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        "org.freedesktop.Notifications", "/org/freedesktop/Notifications", "org.freedesktop.Notifications", "Notify");
    QVariantMap hints;
    hints.insert("desktop-entry", QString("vellomar"));
    call << QString("Vellomar") << 0u << QString("vellomar") << title << text << QStringList() << hints << -1;
    return call;
}

}  // namespace

DesktopNotifier::DesktopNotifier(QObject* parent, Fallback fallback) : QObject(parent), fallback_(std::move(fallback))
{}

void DesktopNotifier::Notify(const QString& title, const QString& text)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        fallback_(title, text);
        return;
    }
    auto* answer = new QDBusPendingCallWatcher(bus.asyncCall(NotifyCall(title, text), kAnswerWithinMs), this);
    connect(answer, &QDBusPendingCallWatcher::finished, this, [this, answer, title, text] {
        answer->deleteLater();
        if (!answer->isError()) {
            problem_.Clear();
            return;
        }
        problem_.Report("the desktop's notification service did not take a notice (" +
                        answer->error().message().toStdString() + "); it goes to the tray instead");
        fallback_(title, text);
    });
}

}  // namespace vellomar
