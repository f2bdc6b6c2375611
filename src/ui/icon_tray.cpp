#include "ui/icon_tray.h"

#include <QApplication>
#include <QWidget>

#include "ui/guard.h"

namespace tapwell::ui {

namespace {

std::int32_t gIconTrayCount = 0;

void HideApplication() {
  if (qApp)
    qApp->setProperty("ShowMainForm", false);
  for (QWidget* w : QApplication::topLevelWidgets()) w->hide();
}

std::function<void()>& ApplicationHider() {
  static std::function<void()> hider = HideApplication;
  return hider;
}

bool IsContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

}  // namespace

std::string CutAtCharacter(const std::string& text, std::size_t max) {
  if (text.size() <= max)
    return text;
  std::size_t end = max;
  // Step back over the continuation bytes of the character that the cut splits.
  while (end > 0 && IsContinuation(static_cast<unsigned char>(text[end]))) --end;
  return text.substr(0, end);
}

std::int32_t TIconTray::IconTrayCount() {
  return gIconTrayCount;
}

void TIconTray::setApplicationHider(std::function<void()> hider) {
  ApplicationHider() = hider ? std::move(hider) : HideApplication;
}

TIconTray::TIconTray(QObject* AOwner, platform::NotificationArea& area, bool designing)
    : QObject(AOwner), area_(area), designing_(designing), FIcon(std::make_unique<platform::QtIconImage>()) {
  FIconId = ++gIconTrayCount;
  FShowHint = true;
  if (!designing_) {
    FMessageWindow = area_.CreateMessageWindow(
        [this](std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) -> std::intptr_t {
          if (!guard_)
            return TrayWndProc(message, wParam, lParam);
          std::intptr_t result = 0;
          guard_->run([&] { result = TrayWndProc(message, wParam, lParam); });
          return result;
        });
  }
}

TIconTray::~TIconTray() {
  try {
    UpdateIcon(false);
  } catch (...) {
    // A refused delete leaves the icon to the notification area; the clean-up
    // below completes all the same.
  }
  if (FMessageWindow != 0)
    area_.DestroyMessageWindow(FMessageWindow);
  FMessageWindow = 0;
}

void TIconTray::Loaded() {
  if (designing_)
    return;
  if (FHideMainForm)
    ApplicationHider()();
  UpdateIcon(true);
}

void TIconTray::setIcon(const QIcon& icon) {
  FIcon->assign(icon);
  UpdateIcon(true);
}

void TIconTray::setHint(const std::string& value) {
  if (value == FHint)
    return;
  FHint = CutAtCharacter(value, kMaxHintBytes);
  UpdateIcon(true);
}

void TIconTray::setShowHint(bool value) {
  if (value == FShowHint)
    return;
  FShowHint = value;
  UpdateIcon(true);
}

void TIconTray::watch(TPopupMenu* menu) {
  if (!menu)
    return;
  // Connected once per menu, however often it is assigned.
  connect(menu, &QObject::destroyed, this, &TIconTray::Notification, Qt::UniqueConnection);
}

void TIconTray::setRBtnPopupMenu(TPopupMenu* menu) {
  FRBtnPopupMenu = menu;
  watch(menu);
}

void TIconTray::setLBtnPopupMenu(TPopupMenu* menu) {
  FLBtnPopupMenu = menu;
  watch(menu);
}

void TIconTray::Notification(QObject* component) {
  if (FRBtnPopupMenu && static_cast<QObject*>(FRBtnPopupMenu) == component)
    FRBtnPopupMenu = nullptr;
  if (FLBtnPopupMenu && static_cast<QObject*>(FLBtnPopupMenu) == component)
    FLBtnPopupMenu = nullptr;
}

void TIconTray::fillNotifyData() {
  FNotifyData = {};
  FNotifyData.cbSize = 88;
  FNotifyData.hWnd = FMessageWindow;
  FNotifyData.uID = static_cast<std::uint32_t>(FIconId);
  FNotifyData.uFlags = platform::NIF_MESSAGE | platform::NIF_ICON | platform::NIF_TIP;
  FNotifyData.uCallbackMessage = platform::WM_USER;
  FNotifyData.hIcon = FIcon.get();
  FNotifyData.szTip = FShowHint ? CutAtCharacter(FHint, kMaxHintBytes) : std::string();
}

void TIconTray::UpdateIcon(bool show) {
  if (designing_ || loading_)
    return;
  if (show && FIcon->empty())
    show = false;
  bool ok = true;
  if (show) {
    fillNotifyData();
    ok = area_.Shell_NotifyIconA(
        FRegistered ? platform::NotifyIconMessage::Modify : platform::NotifyIconMessage::Add, FNotifyData);
  } else if (FRegistered) {
    ok = area_.Shell_NotifyIconA(platform::NotifyIconMessage::Delete, FNotifyData);
  }
  if (!ok)
    throw EIconTrayError("Registration Error");
  FRegistered = show;
}

std::intptr_t TIconTray::TrayWndProc(std::uint32_t message, std::uintptr_t, std::intptr_t lParam) {
  // Other messages have no meaning here; they are answered with 0.
  if (message != platform::WM_USER)
    return 0;
  const platform::ScreenPoint p = area_.GetCursorPos();
  const int X = p.x;
  const int Y = p.y;
  TShiftState Shift = 0;
  if (area_.keyDown(platform::VK_SHIFT))
    Shift |= ssShift;
  if (area_.keyDown(platform::VK_CONTROL))
    Shift |= ssCtrl;
  if (area_.keyDown(platform::VK_MENU))
    Shift |= ssAlt;
  if (area_.keyDown(platform::VK_LBUTTON))
    Shift |= ssLeft;
  if (area_.keyDown(platform::VK_RBUTTON))
    Shift |= ssRight;
  if (area_.keyDown(platform::VK_MBUTTON))
    Shift |= ssMiddle;

  auto down = [&](TMouseButton button, TShiftState shift) {
    if (OnMouseDown)
      OnMouseDown(this, button, shift, X, Y);
  };
  auto up = [&](TMouseButton button) {
    if (OnMouseUp)
      OnMouseUp(this, button, Shift, X, Y);
  };
  switch (lParam) {
    case platform::WM_MOUSEMOVE:
      if (OnMouseMove)
        OnMouseMove(this, Shift, X, Y);
      break;
    case platform::WM_LBUTTONDOWN:
      down(TMouseButton::mbLeft, Shift);
      break;
    case platform::WM_LBUTTONUP:
      if (OnClick)
        OnClick(this);
      up(TMouseButton::mbLeft);
      PopupAt(X, Y, FLBtnPopupMenu);
      break;
    case platform::WM_LBUTTONDBLCLK:
      if (OnDblClick)
        OnDblClick(this);
      down(TMouseButton::mbLeft, Shift | ssDouble);
      break;
    case platform::WM_RBUTTONDOWN:
      down(TMouseButton::mbRight, Shift);
      break;
    case platform::WM_RBUTTONUP:
      up(TMouseButton::mbRight);
      PopupAt(X, Y, FRBtnPopupMenu);
      break;
    case platform::WM_RBUTTONDBLCLK:
      down(TMouseButton::mbRight, Shift | ssDouble);
      break;
    case platform::WM_MBUTTONDOWN:
      down(TMouseButton::mbMiddle, Shift);
      break;
    case platform::WM_MBUTTONUP:
      up(TMouseButton::mbMiddle);
      break;
    case platform::WM_MBUTTONDBLCLK:
      down(TMouseButton::mbMiddle, Shift | ssDouble);
      break;
    default:
      break;
  }
  return 0;
}

void TIconTray::PopupAt(int X, int Y, TPopupMenu* menu) {
  if (designing_ || !menu || !menu->AutoPopup)
    return;
  if (auto* form = qobject_cast<QWidget*>(parent())) {
    // Cancel a mouse mode in progress in the owning form.
    QWidget* grabber = QWidget::mouseGrabber();
    if (grabber && grabber->window() == form->window())
      grabber->releaseMouse();
  }
  menu->Popup(X, Y);
}

}  // namespace tapwell::ui
