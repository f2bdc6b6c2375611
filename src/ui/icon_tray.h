// TIconTray: one icon in the tray for as long as the component exists, kept in
// step with its properties; a click on it opens its menu.
#pragma once

#include <QIcon>
#include <QObject>
#include <functional>
#include <string>

#include "core/errors.h"
#include "platform/tray_icon.h"
#include "ui/popup_menu.h"

namespace tapwell::ui {

class Guard;

// The longest tip in bytes.
inline constexpr std::size_t kMaxHintBytes = 63;

// The first bytes of text, at most max of them, without splitting a UTF-8
// character.
std::string CutAtCharacter(const std::string& text, std::size_t max);

// The picture of an icon as the tray takes it: 32 x 32 pixels; empty for a null
// icon.
platform::TrayImage TrayImageOf(const QIcon& icon);

class TIconTray : public QObject {
  Q_OBJECT
 public:
  using TNotifyEvent = std::function<void(TIconTray* Sender)>;

  TIconTray(QObject* AOwner, platform::TrayIcon& tray);
  // Takes a registered icon out of the tray; a refusal does not escape.
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

  const QIcon& Icon() const { return FIcon; }
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

  // A click, before the left-button menu opens; a double click.
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;

  // The tray holds the icon (also while its host is away).
  bool Registered() const { return FRegistered; }
  // The user can see the icon: it is registered and a tray host shows it.
  bool Shown() const { return FRegistered && tray_.available(); }

  // Shows, changes or takes out the icon; raises EIconTrayError "Registration
  // Error" when the tray refuses.
  void UpdateIcon(bool show);

  // Opens a menu at a screen position, if it pops up automatically.
  void PopupAt(int X, int Y, TPopupMenu* menu);

  // Runs the activations through a guard, so that a failing event handler is
  // reported and does not escape to the event loop.
  void setGuard(Guard* guard) { guard_ = guard; }

  // Hides the application when HideMainForm is set at load time. By default every
  // top-level window is hidden and the application's property "ShowMainForm" is
  // set false.
  static void setApplicationHider(std::function<void()> hider);

 signals:
  // A tray host appeared (true) or went away (false).
  void availabilityChanged(bool available);

 private:
  void activated(platform::TrayActivation activation);
  // The removal notification: a referenced menu goes away.
  void Notification(QObject* component);
  void watch(TPopupMenu* menu);

  platform::TrayIcon& tray_;
  QIcon FIcon;
  bool FHideMainForm = false;
  std::string FHint;
  TPopupMenu* FRBtnPopupMenu = nullptr;
  TPopupMenu* FLBtnPopupMenu = nullptr;
  bool FShowHint = true;
  bool FRegistered = false;
  Guard* guard_ = nullptr;
  bool loading_ = false;
};

}  // namespace tapwell::ui
