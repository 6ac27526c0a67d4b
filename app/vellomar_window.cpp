#include "vellomar_window.h"

#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>

#include <utility>

#include "app_icon.h"

namespace vellomar {

namespace {

// The layout was drawn in twips; the screen has 15 twips to a pixel.
void PlaceInTwips(QWidget* control, int left, int top, int width, int height)
{
    constexpr int kTwipsPerPixel = 15;
    control->setGeometry(left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel, height / kTwipsPerPixel);
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

}  // namespace

Vellomar::Vellomar(WindowSeams seams, MessageBoxShower messageBox, QWidget* parent)
    : QWidget(parent), messageBox_(std::move(messageBox))
{
    setObjectName("Vellomar");
    setWindowTitle("Vellomar & logging");
    setWindowIcon(AppIcon());
    setFixedSize(8640 / 15, 4515 / 15);
    CreateControls();
    const std::filesystem::path programFolder = seams.programFolder;
    logic_ = std::make_unique<WindowLogic>(static_cast<WindowFace&>(*this), std::move(seams));
    ConnectControls();
    // Made even when the desktop has no tray yet: the icon appears once one does.
    tray_ = new TrayIcon(*this, *logic_, programFolder);
}

void Vellomar::ShowAtStart(bool minimized)
{
    if (!minimized)
        show();
    else if (!TrayIcon::Available())
        showMinimized();
}

// The logic goes first, while the controls that its last reply may touch still exist.
Vellomar::~Vellomar()
{
    logic_.reset();
}

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
}

void Vellomar::ConnectControls()
{
    WindowLogic* logic = logic_.get();
    connect(cmdStart, &QPushButton::clicked, this, [logic] { logic->cmdStart_Click(); });
    connect(cmdStop, &QPushButton::clicked, this, [logic] { logic->cmdStop_Click(); });
    connect(cmdHelp, &QPushButton::clicked, this, [logic] { logic->cmdHelp_Click(); });
    connect(Timer1, &QTimer::timeout, this, [logic] { logic->Timer1_Timer(); });
}

QLabel* Vellomar::LabelFor(Label label) const
{
    switch (label) {
    case Label::HostName:
        return lblHostName;
    case Label::IPAddress:
        return lblIPAddress;
    case Label::OutFile:
        return lblOutFile;
    }
    return nullptr;
}

std::string Vellomar::Caption(Label label) const
{
    return LabelFor(label)->text().toStdString();
}

void Vellomar::SetCaption(Label label, const std::string& caption)
{
    LabelFor(label)->setText(QString::fromStdString(caption));
}

int Vellomar::ListCount() const
{
    return List1->count();
}

void Vellomar::ListClear()
{
    List1->clear();
}

void Vellomar::ListAddItem(const std::string& item)
{
    List1->addItem(QString::fromStdString(item));
    List1->scrollToBottom();
}

void Vellomar::SetTimerInterval(int milliseconds)
{
    Timer1->setInterval(milliseconds);
    if (milliseconds == 0)
        Timer1->stop();
}

void Vellomar::SetTimerEnabled(bool enabled)
{
    if (enabled && Timer1->interval() > 0)
        Timer1->start();  // restarts a running timer: the next tick is a whole period away
    else if (!enabled)
        Timer1->stop();
}

void Vellomar::ShowMessageBox(const std::string& text, const std::string& caption)
{
    if (messageBox_) {
        messageBox_(text, caption);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::Ok,
                    this);
    box.exec();
}

void Vellomar::RunPendingEvents()
{
    QCoreApplication::processEvents();
}

void Vellomar::ShowTrayState(const TrayState& state)
{
    tray_->Show(state);
}

void Vellomar::Notify(const std::string& title, const std::string& text)
{
    tray_->Notify(title, text);
}

void Vellomar::Post(std::function<void()> closure)
{
    QMetaObject::invokeMethod(this, std::move(closure), Qt::QueuedConnection);
}

}  // namespace vellomar
