#include "ui/icon_tray.h"

#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QWidget>

#include "ui/guard.h"

namespace tapwell::ui {

namespace {

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

platform::TrayImage TrayImageOf(const QIcon& icon) {
  platform::TrayImage image;
  if (icon.isNull())
    return image;
  const QImage pixels = icon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
  image.width = pixels.width();
  image.height = pixels.height();
  image.argb.reserve(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
  for (int y = 0; y < image.height; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(pixels.constScanLine(y));
    image.argb.insert(image.argb.end(), row, row + image.width);
  }
  return image;
}

void TIconTray::setApplicationHider(std::function<void()> hider) {
  ApplicationHider() = hider ? std::move(hider) : HideApplication;
}

TIconTray::TIconTray(QObject* AOwner, platform::TrayIcon& tray) : QObject(AOwner), tray_(tray) {
  tray_.setActivationHandler([this](platform::TrayActivation activation) {
    if (guard_) {
      guard_->run([&] { activated(activation); });
    } else {
      activated(activation);
    }
  });
  tray_.setAvailabilityHandler([this](bool available) { emit availabilityChanged(available); });
}

TIconTray::~TIconTray() {
  tray_.setActivationHandler({});
  tray_.setAvailabilityHandler({});
  try {
    UpdateIcon(false);
  } catch (...) {
    // A refused removal leaves the icon to the tray; nothing else is left to do.
  }
}

void TIconTray::Loaded() {
  if (FHideMainForm)
    ApplicationHider()();
  UpdateIcon(true);
}

void TIconTray::setIcon(const QIcon& icon) {
  FIcon = icon;
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

void TIconTray::UpdateIcon(bool show) {
  if (loading_)
    return;
  if (show && FIcon.isNull())
    show = false;
  bool ok = true;
  if (show) {
    const platform::TrayImage image = TrayImageOf(FIcon);
    const std::string tip = FShowHint ? FHint : std::string();
    ok = FRegistered ? tray_.update(image, tip) : tray_.show(image, tip);
  } else if (FRegistered) {
    ok = tray_.hide();
  }
  if (!ok)
    throw EIconTrayError("Registration Error");
  FRegistered = show;
}

void TIconTray::activated(platform::TrayActivation activation) {
  const QPoint at = QCursor::pos();
  switch (activation) {
    case platform::TrayActivation::Click:
      if (OnClick)
        OnClick(this);
      PopupAt(at.x(), at.y(), FLBtnPopupMenu);
      break;
    case platform::TrayActivation::DoubleClick:
      if (OnDblClick)
        OnDblClick(this);
      break;
    case platform::TrayActivation::Context:
      PopupAt(at.x(), at.y(), FRBtnPopupMenu);
      break;
    case platform::TrayActivation::Middle:
      break;
  }
}

void TIconTray::PopupAt(int X, int Y, TPopupMenu* menu) {
  if (!menu || !menu->AutoPopup)
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
