// The Qt tray icon where no tray host is available, and its activations.
#include <gtest/gtest.h>

#include "platform/qt/qt_tray_icon.h"

namespace tapwell::platform {
namespace {

TEST(QtTrayIcon, ActivationsBecomeTheirKinds) {
  using R = QSystemTrayIcon;
  EXPECT_EQ(QtTrayIcon::ActivationOf(R::Trigger), TrayActivation::Click);
  EXPECT_EQ(QtTrayIcon::ActivationOf(R::DoubleClick), TrayActivation::DoubleClick);
  EXPECT_EQ(QtTrayIcon::ActivationOf(R::Context), TrayActivation::Context);
  EXPECT_EQ(QtTrayIcon::ActivationOf(R::MiddleClick), TrayActivation::Middle);
  EXPECT_EQ(QtTrayIcon::ActivationOf(R::Unknown), std::nullopt);
}

TEST(QtTrayIcon, RefusesWithoutATrayHost) {
  QtTrayIcon tray;
  ASSERT_FALSE(tray.available());  // the offscreen platform has no tray
  const TrayImage image{2, 1, {0xFF0000FFu, 0xFF00FF00u}};
  EXPECT_FALSE(tray.show(image, "tip"));
  EXPECT_FALSE(tray.update(image, "tip"));
  EXPECT_FALSE(tray.hide());
}

}  // namespace
}  // namespace tapwell::platform
