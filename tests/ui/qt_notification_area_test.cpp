// The Qt notification area where no tray is available, and its mouse messages.
#include <gtest/gtest.h>

#include <QPixmap>

#include "platform/qt/qt_notification_area.h"

namespace tapwell::platform {
namespace {

TEST(QtNotificationArea, ActivationsBecomeTheMouseMessagesOfAClick) {
  using R = QSystemTrayIcon;
  EXPECT_EQ(QtNotificationArea::MouseMessages(R::Trigger), (std::vector<std::intptr_t>{0x201, 0x202}));
  EXPECT_EQ(QtNotificationArea::MouseMessages(R::DoubleClick), (std::vector<std::intptr_t>{0x203}));
  EXPECT_EQ(QtNotificationArea::MouseMessages(R::Context), (std::vector<std::intptr_t>{0x204, 0x205}));
  EXPECT_EQ(QtNotificationArea::MouseMessages(R::MiddleClick), (std::vector<std::intptr_t>{0x207, 0x208}));
  EXPECT_TRUE(QtNotificationArea::MouseMessages(R::Unknown).empty());
}

TEST(QtNotificationArea, RefusesWithoutATrayAndForUnknownIcons) {
  QtNotificationArea area;
  ASSERT_FALSE(area.available());  // the offscreen platform has no tray
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::blue);
  QtIconImage image{QIcon(pixmap)};
  NotifyIconData data;
  data.cbSize = 88;
  data.hWnd = area.CreateMessageWindow([](std::uint32_t, std::uintptr_t, std::intptr_t) { return 0; });
  data.uID = 1;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = WM_USER;
  data.hIcon = &image;
  EXPECT_NE(data.hWnd, 0u);
  EXPECT_FALSE(area.Shell_NotifyIconA(NotifyIconMessage::Add, data));
  EXPECT_FALSE(area.Shell_NotifyIconA(NotifyIconMessage::Modify, data));
  EXPECT_FALSE(area.Shell_NotifyIconA(NotifyIconMessage::Delete, data));
  area.DestroyMessageWindow(data.hWnd);
}

}  // namespace
}  // namespace tapwell::platform
