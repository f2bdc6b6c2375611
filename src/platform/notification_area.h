// The desktop's notification area: one icon per (message window, identifier),
// added, modified and deleted with success or refusal, and the mouse messages
// of the icons delivered to their message windows.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tapwell::platform {

// An image that the notification area shows. Backends know their own kind.
class IconImage {
 public:
  virtual ~IconImage() = default;
  virtual bool empty() const = 0;
};

enum class NotifyIconMessage : std::uint32_t { Add = 0, Modify = 1, Delete = 2 };

inline constexpr std::uint32_t NIF_MESSAGE = 1;
inline constexpr std::uint32_t NIF_ICON = 2;
inline constexpr std::uint32_t NIF_TIP = 4;

// The callback message of the icons, and the mouse messages it carries in lParam.
inline constexpr std::uint32_t WM_USER = 0x400;
inline constexpr std::intptr_t WM_MOUSEMOVE = 0x200;
inline constexpr std::intptr_t WM_LBUTTONDOWN = 0x201;
inline constexpr std::intptr_t WM_LBUTTONUP = 0x202;
inline constexpr std::intptr_t WM_LBUTTONDBLCLK = 0x203;
inline constexpr std::intptr_t WM_RBUTTONDOWN = 0x204;
inline constexpr std::intptr_t WM_RBUTTONUP = 0x205;
inline constexpr std::intptr_t WM_RBUTTONDBLCLK = 0x206;
inline constexpr std::intptr_t WM_MBUTTONDOWN = 0x207;
inline constexpr std::intptr_t WM_MBUTTONUP = 0x208;
inline constexpr std::intptr_t WM_MBUTTONDBLCLK = 0x209;

// Virtual-key codes of the modifier keys and mouse buttons asked with keyDown().
inline constexpr std::uint8_t VK_LBUTTON = 0x01;
inline constexpr std::uint8_t VK_RBUTTON = 0x02;
inline constexpr std::uint8_t VK_MBUTTON = 0x04;
inline constexpr std::uint8_t VK_SHIFT = 0x10;
inline constexpr std::uint8_t VK_CONTROL = 0x11;
inline constexpr std::uint8_t VK_MENU = 0x12;

// The record given with every call; the tip holds at most 63 bytes.
struct NotifyIconData {
  std::uint32_t cbSize = 0;
  std::uintptr_t hWnd = 0;
  std::uint32_t uID = 0;
  std::uint32_t uFlags = 0;
  std::uint32_t uCallbackMessage = 0;
  const IconImage* hIcon = nullptr;
  std::string szTip;

  bool operator==(const NotifyIconData&) const = default;
};

struct ScreenPoint {
  int x = 0;
  int y = 0;
};

class NotificationArea {
 public:
  // Receives the messages of a message window: message, wParam, lParam; returns
  // the message's result.
  using Receiver = std::function<std::intptr_t(std::uint32_t, std::uintptr_t, std::intptr_t)>;

  virtual ~NotificationArea() = default;

  // A hidden receiver of notifications; icons name it by its handle (never 0).
  virtual std::uintptr_t CreateMessageWindow(Receiver receiver) = 0;
  virtual void DestroyMessageWindow(std::uintptr_t window) = 0;

  // Adds, modifies or deletes the icon (hWnd, uID); false when refused. Icons
  // report their mouse messages to hWnd as uCallbackMessage with wParam uID.
  virtual bool Shell_NotifyIconA(NotifyIconMessage message, const NotifyIconData& data) = 0;

  // Whether a notification area is there at the moment.
  virtual bool available() const = 0;

  // The cursor position in screen coordinates.
  virtual ScreenPoint GetCursorPos() const = 0;

  // Whether the key or mouse button with the virtual-key code is down.
  virtual bool keyDown(std::uint8_t vk) const = 0;
};

}  // namespace tapwell::platform
