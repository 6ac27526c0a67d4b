#include "vellomar_window.h"

#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>

#include <string_view>
#include <utility>

#include "app_icon.h"

namespace vellomar {

namespace {

QString FromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// How long a start with --minimized waits for a tray before it minimises the window.
constexpr int kTrayGraceMs = 5000;

// The layout was drawn in twips; the screen has 15 twips to a pixel.
int Pixels(int twips)
{
    return twips / form::kTwipsPerPixel;
}

QWidget* MakeControl(QWidget* parent, const form::Control& control)
{
    QWidget* widget = nullptr;
    switch (control.kind) {
    case form::Kind::PushButton:
        widget = new QPushButton(FromUtf8(control.caption), parent);
        break;
    case form::Kind::Label: {
        auto* label = new QLabel(FromUtf8(control.caption), parent);
        label->setTextFormat(Qt::PlainText);  // host names from the file are shown, never interpreted
        widget = label;
        break;
    }
    case form::Kind::ListBox:
        widget = new QListWidget(parent);
        break;
    }
    widget->setObjectName(FromUtf8(control.name));
    widget->setGeometry(Pixels(control.left), Pixels(control.top), Pixels(control.width), Pixels(control.height));
    return widget;
}

}  // namespace

Vellomar::Vellomar(WindowSeams seams, QWidget* parent) : QWidget(parent)
{
    setObjectName("Vellomar");
    setWindowTitle(FromUtf8(form::kTitle));
    setWindowIcon(AppIcon());
    setFixedSize(Pixels(form::kClientWidth), Pixels(form::kClientHeight));
    CreateControls();
    const std::filesystem::path programFolder = seams.programFolder;
    logic_ = std::make_unique<WindowLogic>(static_cast<WindowFace&>(*this), std::move(seams));
    for (form::Id button : {form::Id::cmdStart, form::Id::cmdStop, form::Id::cmdHelp})
        ConnectButton(button);
    connect(Timer1, &QTimer::timeout, this, [logic = logic_.get()] { logic->Timer1_Timer(); });
    // Made even when the desktop has no tray yet: the icon appears once one does.
    tray_ = new TrayIcon(*this, *logic_, programFolder);
}

// Minimized waits a moment for the desktop's tray, which a session started at
// login may bring up after the monitor; without one the window is minimised,
// and goes to the tray once one appears.
void Vellomar::ShowAtStart(StartShow how)
{
    if (how == StartShow::Window) {
        show();
        return;
    }
    if (how == StartShow::TrayOnly)
        return;
    QTimer::singleShot(kTrayGraceMs, this, [this] {
        if (!tray_->InTray() && !isVisible())
            showMinimized();
    });
}

// The logic goes first, while the controls that its last reply may touch still exist.
Vellomar::~Vellomar()
{
    logic_.reset();
}

void Vellomar::ShowAndRaise()
{
    Post([this] {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        show();
        raise();
        activateWindow();
    });
}

// Labels take no focus; the rest follow the form's tab order, the order of creation.
void Vellomar::CreateControls()
{
    QWidget* previous = nullptr;
    for (const form::Control& control : form::kControls) {
        QWidget* widget = MakeControl(this, control);
        controls_[form::IndexOf(control.id)] = widget;
        if (control.kind == form::Kind::Label)
            continue;
        if (previous)
            setTabOrder(previous, widget);
        previous = widget;
    }
    List1 = static_cast<QListWidget*>(controls_[form::IndexOf(form::Id::List1)]);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setTimerType(Qt::PreciseTimer);  // the coarse default drifts by up to 5% a tick
    Timer1->setInterval(0);
}

void Vellomar::ConnectButton(form::Id id)
{
    auto* button = static_cast<QPushButton*>(controls_[form::IndexOf(id)]);
    WindowLogic* logic = logic_.get();
    connect(button, &QPushButton::clicked, this, [logic, id] {
        if (id == form::Id::cmdStart)
            logic->cmdStart_Click();
        else if (id == form::Id::cmdStop)
            logic->cmdStop_Click();
        else
            logic->cmdHelp_Click();
    });
}

QLabel* Vellomar::LabelFor(Label label) const
{
    return static_cast<QLabel*>(controls_[form::IndexOf(form::LabelId(label))]);
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
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::Ok,
                    this);
    box.exec();
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
