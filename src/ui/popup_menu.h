// A pop-up menu with the automatic pop-up switch and the alignment of its
// position.
#pragma once

#include <QMenu>

namespace tapwell::ui {

enum class TPopupAlignment { paLeft, paRight, paCenter };

class TPopupMenu : public QMenu {
  Q_OBJECT
 public:
  using QMenu::QMenu;

  // Off: the tray icon never opens this menu.
  bool AutoPopup = true;
  TPopupAlignment Alignment = TPopupAlignment::paLeft;

  // Opens the menu at a screen position: its top-left corner there (paLeft), its
  // top-right corner (paRight) or the middle of its top edge (paCenter).
  void Popup(int X, int Y);

 signals:
  void poppedUp(int X, int Y);
};

}  // namespace tapwell::ui
