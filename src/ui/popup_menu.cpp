#include "ui/popup_menu.h"

namespace tapwell::ui {

void TPopupMenu::Popup(int X, int Y) {
  QPoint at(X, Y);
  const int width = sizeHint().width();
  if (Alignment == TPopupAlignment::paRight) {
    at.rx() -= width;
  } else if (Alignment == TPopupAlignment::paCenter) {
    at.rx() -= width / 2;
  }
  emit poppedUp(at.x(), at.y());
  popup(at);
}

}  // namespace tapwell::ui
