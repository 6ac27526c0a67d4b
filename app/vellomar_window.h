// The monitor's window: host, address and log path labels, the list of recent
// records, Start/Stop/Help, and the ten-second schedule.
#pragma once

#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

#include "probe_log.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace vellomar {

// Everything the window takes from outside, replaceable for tests.
struct WindowSeams {
    std::filesystem::path programFolder;
    // Shows a modal message with an OK button only.
    std::function<void(const QString& text, const QString& caption)> messageBox;
    ProbeLog::Clock clock = LocalNow;
    // Runs off the window's thread while the window keeps painting.
    std::function<int32_t(std::string, int32_t, EchoReply&)> sendPing = SendPing;
};

inline constexpr int kTickPeriodMs = 10000;
inline constexpr int kTicksBeforeReport = 60;

class Vellomar : public QWidget, private ProbeWindow {
    Q_OBJECT

public:
    explicit Vellomar(WindowSeams seams, QWidget* parent = nullptr);
    ~Vellomar() override;

    void Form_Load();
    int16_t TickCount() const { return tickCount_; }

public slots:
    void cmdStart_Click();
    void cmdStop_Click();
    void cmdHelp_Click();
    void Timer1_Timer();

private:
    void CreateControls();
    void PingOnce();
    void PingOnceOrSkip();
    void MakeErrList();
    bool ReadHostConfiguration();
    int32_t SendPingKeepingWindowAlive(std::string address, int32_t timeoutMs, EchoReply& reply);
    bool DeferWhileProbing(void (Vellomar::*handler)());
    void RunDeferredHandlers();

    // ProbeWindow
    void RunPendingEvents() override;
    std::string ProbeAddress() const override;
    void ShowOutFile(const std::string& path) override;
    int ListCount() const override;
    void ListClear() override;
    void ListAddItem(const std::string& line) override;

    WindowSeams seams_;
    ProbeLog probeLog_;

    QPushButton* cmdStart = nullptr;
    QLabel* lblIPAddress = nullptr;
    QListWidget* List1 = nullptr;
    QPushButton* cmdStop = nullptr;
    QLabel* lblOutFile = nullptr;
    QLabel* lblHostName = nullptr;
    QPushButton* cmdHelp = nullptr;
    QTimer* Timer1 = nullptr;

    int16_t tickCount_ = 0;
    bool waitingForReply_ = false;
    int cycleDepth_ = 0;
    std::vector<void (Vellomar::*)()> deferred_;
};

}  // namespace vellomar
