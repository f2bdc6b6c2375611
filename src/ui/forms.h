// What every form of the program shares: its font and its icon.
#pragma once

#include <QFont>
#include <QIcon>
#include <QPushButton>
#include <QRect>
#include <QString>
#include <QWidget>
#include <optional>
#include <string>

#include "platform/window_system.h"

namespace tapwell::ui {

// The forms' font family, asked for first; Japanese gothic faces follow it for
// machines without it.
inline const QString kFormFontFamily = QStringLiteral("ＭＳ Ｐゴシック");

// The forms' font with a character height in pixels.
QFont FormFont(int pixelSize = 12);

// The program's icon: a 32 x 32 picture in 16 colours.
QIcon ProgramIcon();

// A push button of the standard 75 x 25 size, named as in the form's layout.
QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text, int x, int y);

// A form: a top-level window whose stored position and size are those of its
// outer frame. Until the frame is known the standard sizeable frame is assumed
// (4 pixels at each side and a 19-pixel caption bar); when the window is shown
// the inside is corrected to the real frame, as soon as the window manager tells
// it (no window manager: no frame).
class TForm : public QWidget {
  Q_OBJECT
 public:
  explicit TForm(QWidget* parent = nullptr);

  // Places the window with its frame at (left, top) and its frame's size.
  void setOuterGeometry(int left, int top, int width, int height);
  // Gives the window, frame included, this size, keeping its place.
  void setOuterSize(int width, int height);
  // The frame of a window without border is its inside.
  void setBorderless(bool borderless);
  // The inside never gets smaller than this, whatever outer size is asked for.
  void setMinimumInside(QSize size) { minimumInside_ = size; }

  static constexpr QMargins kStandardFrame{4, 23, 4, 4};

  // Where the real frames come from, for every form; without one, the frame that
  // the toolkit reports.
  static void setWindowSystem(platform::WindowSystem* system);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // The real frame, once known.
  std::optional<QMargins> realFrame();
  // The inside of an outer size with this frame.
  QSize insideOf(QSize outer, const QMargins& frame) const;
  void fitFrame();

  std::optional<QRect> outer_;
  // Whether the pending outer geometry places the window, or only sizes it.
  bool placeOuter_ = false;
  // Fits left before giving up on a frame that is never told.
  int fitTries_ = 0;
  bool borderless_ = false;
  QSize minimumInside_;
  static inline platform::WindowSystem* windowSystem_ = nullptr;
};

inline QString Q(const std::string& text) {
  return QString::fromStdString(text);
}
inline std::string S(const QString& text) {
  return text.toStdString();
}

}  // namespace tapwell::ui
