// Notices through the desktop's own notification service
// (org.freedesktop.Notifications on the session bus), whether or not the
// desktop has a tray. Nothing here waits on the window's thread: a service
// that is missing, refuses or does not answer in time hands the notice to the
// fallback (the tray's balloon) instead.
#pragma once

#include <QObject>
#include <QString>

#include <functional>

#include "diagnostics.h"

namespace vellomar {

class DesktopNotifier : public QObject {
public:
    using Fallback = std::function<void(const QString& title, const QString& text)>;

    DesktopNotifier(QObject* parent, Fallback fallback);

    void Notify(const QString& title, const QString& text);

private:
    Fallback fallback_;
    platform::RecurringProblem problem_;
};

}  // namespace vellomar
