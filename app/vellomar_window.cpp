#include "vellomar_window.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>
#include <exception>
#include <thread>
#include <utility>

#include "app_icon.h"
#include "err_list.h"
#include "host_config.h"

namespace vellomar {

namespace {

const QString kStartupFailureText = QStringLiteral("Težave z branjem .INI datoteke");
const QString kApplicationTitle = QStringLiteral("Vellomar");
const QString kHelpText = QStringLiteral("Za pomoč pošlji mail na podpora@vellomar.example");
const QString kHelpCaption = QStringLiteral("Pomoč");

// The layout was drawn in twips; the screen has 15 twips to a pixel.
void PlaceInTwips(QWidget* control, int left, int top, int width, int height)
{
    constexpr int kTwipsPerPixel = 15;
    control->setGeometry(left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
                         height / kTwipsPerPixel);
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);  // host names from the file are shown, never interpreted
    return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    return button;
}

// Shows the list's progress while the outage report is rebuilt.
class ListProgress : public ReportProgress {
public:
    explicit ListProgress(QListWidget* list) : list_(list) {}
    void Clear() override { list_->clear(); }
    void AddItem(const std::string& logName) override { list_->addItem(QString::fromStdString(logName)); }

private:
    QListWidget* list_;
};

}  // namespace

Vellomar::Vellomar(WindowSeams seams, QWidget* parent)
    : QWidget(parent),
      seams_(std::move(seams)),
      probeLog_(seams_.programFolder, *this,
                SocketCalls {SocketsInitialize,
                             [this](std::string address, int32_t timeoutMs, EchoReply& reply) {
                                 return SendPingKeepingWindowAlive(std::move(address), timeoutMs, reply);
                             },
                             SocketsCleanup},
                seams_.clock)
{
    setObjectName("Vellomar");
    setWindowTitle("Vellomar & logging");
    setWindowIcon(AppIcon());
    setFixedSize(8640 / 15, 4515 / 15);
    CreateControls();
}

Vellomar::~Vellomar() = default;

void Vellomar::CreateControls()
{
    cmdStart = MakeButton(this, "cmdStart", "Start");
    lblIPAddress = MakeLabel(this, "lblIPAddress", "IP");
    List1 = new QListWidget(this);
    List1->setObjectName("List1");
    cmdStop = MakeButton(this, "cmdStop", "Stop");
    lblOutFile = MakeLabel(this, "lblOutFile", "lblOutFile");
    lblHostName = MakeLabel(this, "lblHostName", "Host");
    cmdHelp = MakeButton(this, "cmdHelp", "Help");

    PlaceInTwips(cmdStart, 6600, 120, 615, 375);
    PlaceInTwips(lblIPAddress, 120, 480, 4455, 315);
    PlaceInTwips(List1, 120, 1440, 8415, 2985);
    PlaceInTwips(cmdStop, 7320, 120, 615, 375);
    PlaceInTwips(lblOutFile, 120, 960, 8535, 255);
    PlaceInTwips(lblHostName, 120, 120, 4455, 375);
    PlaceInTwips(cmdHelp, 8040, 120, 495, 375);

    // Labels take no focus; the rest follow their design order.
    setTabOrder(cmdStart, List1);
    setTabOrder(List1, cmdStop);
    setTabOrder(cmdStop, cmdHelp);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setTimerType(Qt::PreciseTimer);  // the coarse default drifts by up to 5% a tick
    Timer1->setInterval(0);

    connect(cmdStart, &QPushButton::clicked, this, &Vellomar::cmdStart_Click);
    connect(cmdStop, &QPushButton::clicked, this, &Vellomar::cmdStop_Click);
    connect(cmdHelp, &QPushButton::clicked, this, &Vellomar::cmdHelp_Click);
    connect(Timer1, &QTimer::timeout, this, &Vellomar::Timer1_Timer);
}

void Vellomar::Form_Load()
{
    bool started = false;
    try {
        if (ReadHostConfiguration()) {
            PingOnce();
            Timer1->start(kTickPeriodMs);
            started = true;
        }
    } catch (...) {
        started = false;
    }
    if (!started)
        seams_.messageBox(kStartupFailureText, kApplicationTitle);
}

bool Vellomar::ReadHostConfiguration()
{
    HostConfig config = ReadHostConfig(seams_.programFolder / "Vellomar.ini");
    if (config.outcome == HostConfig::Outcome::Failed)
        return false;
    if (config.outcome == HostConfig::Outcome::HostLine) {
        lblHostName->setText(QString::fromStdString(config.hostName));
        lblIPAddress->setText(QString::fromStdString(config.address));
    }
    return true;
}

void Vellomar::cmdStart_Click()
{
    if (DeferWhileProbing(&Vellomar::cmdStart_Click))
        return;
    PingOnceOrSkip();
    Timer1->start(kTickPeriodMs);
}

void Vellomar::cmdStop_Click()
{
    if (DeferWhileProbing(&Vellomar::cmdStop_Click))
        return;
    Timer1->stop();
    Timer1->setInterval(0);
}

void Vellomar::cmdHelp_Click()
{
    if (DeferWhileProbing(&Vellomar::cmdHelp_Click))
        return;
    seams_.messageBox(kHelpText, kHelpCaption);
}

void Vellomar::Timer1_Timer()
{
    if (DeferWhileProbing(&Vellomar::Timer1_Timer))
        return;
    PingOnceOrSkip();
    ++tickCount_;
    if (tickCount_ > kTicksBeforeReport) {
        MakeErrList();
        tickCount_ = 0;
    }
}

void Vellomar::PingOnce()
{
    struct CycleDepth {
        int& depth;
        explicit CycleDepth(int& d) : depth(d) { ++depth; }
        ~CycleDepth() { --depth; }
    };
    {
        CycleDepth inCycle(cycleDepth_);
        probeLog_.PingOnce();
    }
    if (cycleDepth_ == 0)
        RunDeferredHandlers();
}

// A cycle that cannot run at all (no thread could be started for the wait) is
// skipped; the schedule goes on and the next tick tries again.
void Vellomar::PingOnceOrSkip()
{
    try {
        PingOnce();
    } catch (...) {
    }
}

void Vellomar::MakeErrList()
{
    ListProgress progress(List1);
    vellomar::MakeErrList(seams_.programFolder, progress);
}

// The reply is awaited on a helper thread so that the window keeps painting.
// User input stays queued until the wait is over, and a handler that is called
// meanwhile (a due tick, a queued click) runs after the cycle instead of inside it.
int32_t Vellomar::SendPingKeepingWindowAlive(std::string address, int32_t timeoutMs, EchoReply& reply)
{
    int32_t status = kNoRequestSent;
    std::exception_ptr failure;
    QEventLoop wait;
    waitingForReply_ = true;
    std::thread worker([&] {
        try {
            status = seams_.sendPing(std::move(address), timeoutMs, reply);
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&wait, &QEventLoop::quit, Qt::QueuedConnection);
    });
    wait.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    waitingForReply_ = false;
    if (failure)
        std::rethrow_exception(failure);
    return status;
}

bool Vellomar::DeferWhileProbing(void (Vellomar::*handler)())
{
    if (!waitingForReply_)
        return false;
    bool tickAlreadyDue = handler == &Vellomar::Timer1_Timer &&
                          std::find(deferred_.begin(), deferred_.end(), handler) != deferred_.end();
    if (!tickAlreadyDue)
        deferred_.push_back(handler);
    return true;
}

void Vellomar::RunDeferredHandlers()
{
    for (auto handler : std::exchange(deferred_, {}))
        QMetaObject::invokeMethod(this, handler, Qt::QueuedConnection);
}

void Vellomar::RunPendingEvents()
{
    QCoreApplication::processEvents();
}

std::string Vellomar::ProbeAddress() const
{
    return lblIPAddress->text().toStdString();
}

void Vellomar::ShowOutFile(const std::string& path)
{
    lblOutFile->setText(QString::fromStdString(path));
}

int Vellomar::ListCount() const
{
    return List1->count();
}

void Vellomar::ListClear()
{
    List1->clear();
}

void Vellomar::ListAddItem(const std::string& line)
{
    List1->addItem(QString::fromStdString(line));
    List1->scrollToBottom();
}

}  // namespace vellomar
