// Tstartup: the splash window. Creating it fills the product strings; after two
// seconds, or on a click on its own surface, it hands over to the main window.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QSize>
#include <QTimer>
#include <functional>
#include <memory>

#include "ui/forms.h"

namespace tapwell::app {

// The timer that ends the splash: armed once for an interval, it calls back when
// the interval has passed. A QTimer in the program; tests fire it themselves.
class SplashTimer {
 public:
  virtual ~SplashTimer() = default;
  virtual void start(int ms, std::function<void()> elapsed) = 0;
  virtual void stop() = 0;
  virtual bool isActive() const = 0;
  // The interval of the last start.
  virtual int interval() const = 0;
};

// A SplashTimer on the event loop.
class QtSplashTimer : public SplashTimer {
 public:
  QtSplashTimer();
  void start(int ms, std::function<void()> elapsed) override;
  void stop() override { timer_.stop(); }
  bool isActive() const override { return timer_.isActive(); }
  int interval() const override { return timer_.interval(); }

 private:
  QTimer timer_;
  std::function<void()> elapsed_;
};

// The release flag, copied from the splash's ReleaseCheck while it is created.
extern bool ReleaseMode;

// What the handover does to the other windows.
struct Handover {
  std::function<void()> versionSnapshot;
  std::function<void()> showLog;
  std::function<void()> setMainBorderSingle;
  std::function<void()> showMain;
};

// Half of a pixel count, the remainder dropped.
constexpr int Half(int n) {
  return n / 2;
}

// The splash's place on a screen of width x height pixels.
constexpr QPoint SplashPosition(int screenWidth, int screenHeight, int width, int height) {
  return {Half(screenWidth) - Half(width), Half(screenHeight) - Half(height)};
}

// The left of a label centred in a window of the given outer width.
constexpr int CentredLeft(int windowWidth, int labelWidth) {
  return Half(windowWidth) - Half(labelWidth);
}

// A label that takes the clicks that land on it, so that they do not reach the
// window below.
class ClickTakingLabel : public QLabel {
  Q_OBJECT
 public:
  using QLabel::QLabel;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
};

class Tstartup : public ui::TForm {
  Q_OBJECT
 public:
  static constexpr int kWidth = 367;
  static constexpr int kHeight = 106;

  static constexpr int kHandoverMs = 2000;

  // The screen size is that of the primary screen unless given; the handover
  // timer is a QtSplashTimer unless given.
  explicit Tstartup(QSize screen = QSize(), SplashTimer* timer = nullptr);

  void setHandover(Handover handover) { handover_ = std::move(handover); }

  void FormCreate();
  void Timer1Timer();
  void FormClick();

  bool handedOver() const { return handedOver_; }

  ClickTakingLabel* TitleLabel = nullptr;
  ClickTakingLabel* VersionLabel = nullptr;
  ClickTakingLabel* CopyRightLabel = nullptr;
  ClickTakingLabel* SinceLabel = nullptr;
  // Names the key that ends a running script, in the bottom right corner.
  ClickTakingLabel* StopKeyLabel = nullptr;
  QCheckBox* ReleaseCheck = nullptr;
  SplashTimer* Timer1 = nullptr;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QSize screen_;
  std::unique_ptr<SplashTimer> ownTimer_;
  Handover handover_;
  bool handedOver_ = false;
  bool pressed_ = false;
};

}  // namespace tapwell::app
