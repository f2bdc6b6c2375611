// TIconTray: one icon in the notification area for as long as the component
// exists, kept in step with its properties; the mouse messages of the icon become
// component events and pop-up menus.
#pragma once

#include <QIcon>
#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/errors.h"
#include "platform/notification_area.h"
#include "platform/qt/qt_notification_area.h"
#include "ui/popup_menu.h"

namespace tapwell::ui {

class Guard;

enum class TMouseButton : std::uint8_t { mbLeft = 0, mbRight = 1, mbMiddle = 2 };

// The shift state as one byte.
using TShiftState = std::uint8_t;
inline constexpr TShiftState ssShift = 0x01;
inline constexpr TShiftState ssAlt = 0x02;
inline constexpr TShiftState ssCtrl = 0x04;
inline constexpr TShiftState ssLeft = 0x08;
inline constexpr TShiftState ssRight = 0x10;
inline constexpr TShiftState ssMiddle = 0x20;
inline constexpr TShiftState ssDouble = 0x40;

// The longest tip in bytes.
inline constexpr std::size_t kMaxHintBytes = 63;

// The first bytes of text, at most max of them, without splitting a UTF-8
// character.
std::string CutAtCharacter(const std::string& text, std::size_t max);

class TIconTray : public QObject {
  Q_OBJECT
 public:
  using TNotifyEvent = std::function<void(TIconTray* Sender)>;
  using TMouseEvent =
      std::function<void(TIconTray* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
  using TMouseMoveEvent = std::function<void(TIconTray* Sender, TShiftState Shift, int X, int Y)>;

  // Designing: the component only stores its properties; it creates no message
  // window, never calls the notification area, hides nothing and opens no menu.
  TIconTray(QObject* AOwner, platform::NotificationArea& area, bool designing = false);
  // Deletes a registered icon; a refusal does not escape and the clean-up
  // completes.
  ~TIconTray() override;

  // The after-load hook: hides the application when HideMainForm is set, then
  // shows the icon.
  void Loaded();

  // Reads the property values of the owner's layout with the updates held back,
  // then runs the after-load hook.
  template <class F>
  void ReadState(F&& setProperties) {
    loading_ = true;
    std::forward<F>(setProperties)(*this);
    loading_ = false;
    Loaded();
  }

  const QIcon& Icon() const { return FIcon->icon(); }
  void setIcon(const QIcon& icon);
  bool HideMainForm() const { return FHideMainForm; }
  void setHideMainForm(bool value) { FHideMainForm = value; }
  const std::string& Hint() const { return FHint; }
  void setHint(const std::string& value);
  TPopupMenu* RBtnPopupMenu() const { return FRBtnPopupMenu; }
  void setRBtnPopupMenu(TPopupMenu* menu);
  TPopupMenu* LBtnPopupMenu() const { return FLBtnPopupMenu; }
  void setLBtnPopupMenu(TPopupMenu* menu);
  bool ShowHint() const { return FShowHint; }
  void setShowHint(bool value);

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;

  std::int32_t IconId() const { return FIconId; }
  bool Registered() const { return FRegistered; }
  std::uintptr_t MessageWindow() const { return FMessageWindow; }
  const platform::NotifyIconData& NotifyData() const { return FNotifyData; }
  bool designing() const { return designing_; }

  // The number of components constructed in this process.
  static std::int32_t IconTrayCount();

  // Adds, modifies or deletes the icon; raises EIconTrayError "Registration
  // Error" when the notification area refuses.
  void UpdateIcon(bool show);

  // Every message of the message window.
  std::intptr_t TrayWndProc(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);

  // Opens a menu at a screen position, if it pops up automatically.
  void PopupAt(int X, int Y, TPopupMenu* menu);

  // Runs the notifications through a guard, so that a failing event handler is
  // reported and does not escape to the event loop.
  void setGuard(Guard* guard) { guard_ = guard; }

  // Hides the application when HideMainForm is set at load time. By default every
  // top-level window is hidden and the application's property "ShowMainForm" is
  // set false.
  static void setApplicationHider(std::function<void()> hider);

 private:
  // The removal notification: a referenced component goes away.
  void Notification(QObject* component);
  void watch(TPopupMenu* menu);
  void fillNotifyData();

  platform::NotificationArea& area_;
  const bool designing_;
  std::unique_ptr<platform::QtIconImage> FIcon;
  bool FHideMainForm = false;
  std::string FHint;
  TPopupMenu* FRBtnPopupMenu = nullptr;
  TPopupMenu* FLBtnPopupMenu = nullptr;
  bool FShowHint = true;
  std::int32_t FIconId = 0;
  std::uintptr_t FMessageWindow = 0;
  bool FRegistered = false;
  platform::NotifyIconData FNotifyData;
  Guard* guard_ = nullptr;
  bool loading_ = false;
};

}  // namespace tapwell::ui
