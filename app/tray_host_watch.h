// Tells when the desktop offers a tray: a StatusNotifierWatcher on the
// session bus (KDE, XFCE, GNOME with its AppIndicator extension, any Wayland
// session), or an XEmbed tray on the X display. Qt settles once per process,
// when its first tray icon is made, which kind of icon it makes; so the icon
// is made only once a tray is known to be there, however late it comes up.
#pragma once

#include <QObject>
#include <QTimer>

namespace vellomar {

class TrayHostWatch : public QObject {
    Q_OBJECT

public:
    explicit TrayHostWatch(QObject* parent);

    bool Present() const { return present_; }

signals:
    void Appeared();

private:
    void Look();
    void AskStatusNotifierWatcher();
    static bool XEmbedTrayOwned();
    void Found();

    QTimer poll_;
    bool asking_ = false;  // a question to the bus is out
    int xembedSightings_ = 0;
    bool present_ = false;
};

}  // namespace vellomar
