#include "platform/posix/xdg_autostart.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "core/atomic_file.h"
#include "core/errors.h"
#include "core/atomic_file.h"

namespace tapwell::platform {

namespace fs = std::filesystem;

namespace {

// Quotes an Exec argument as the desktop entry format asks: in double quotes, with
// backslash before the characters that are special inside them.
std::string QuoteExecArgument(const std::string& arg) {
  bool plain = !arg.empty();
  for (const char c : arg) {
    if (std::strchr(" \t\n\"'\\><~|&;$*?#()`%=", c)) plain = false;
  }
  if (plain) return arg;
  std::string quoted = "\"";
  for (const char c : arg) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    if (c == '%') {
      quoted += "%%";
      continue;
    }
    quoted += c;
  }
  quoted += '"';
  // Inside a desktop entry's string value a backslash is itself escaped.
  std::string escaped;
  for (const char c : quoted) {
    if (c == '\\') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

}  // namespace

XdgAutostart::XdgAutostart(std::string autostartFolder, std::string program)
    : folder_(std::move(autostartFolder)), program_(std::move(program)) {}

std::string XdgAutostart::UserFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg && fs::path(xdg).is_absolute()) return (fs::path(xdg) / "autostart").string();
  const char* home = std::getenv("HOME");
  return (fs::path(home && *home ? home : "/tmp") / ".config" / "autostart").string();
}

std::string XdgAutostart::entryPath() const {
  return (fs::path(folder_) / "org.qorvex.Tapwell.desktop").string();
}

std::string XdgAutostart::entryText() const {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Tapwell\n"
         "Comment=Runs the day's key script reservations\n"
         "Exec=" +
         QuoteExecArgument(program_) +
         " --tray\n"
         "Icon=org.qorvex.Tapwell\n"
         "Terminal=false\n"
         "X-GNOME-Autostart-enabled=true\n";
}

bool XdgAutostart::enabled() const {
  std::ifstream in(entryPath());
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    if (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false") return false;
  }
  return true;
}

void XdgAutostart::setEnabled(bool on) {
  std::error_code ec;
  if (on) {
    fs::create_directories(folder_, ec);
    if (ec) throw EInOutError("フォルダを作成できません: " + folder_ + " (" + ec.message() + ")");
    WriteFileAtomic(entryPath(), entryText());
  } else {
    if (!fs::remove(entryPath(), ec) && ec) {
      throw EInOutError("ファイルを削除できません: " + entryPath() + " (" + ec.message() + ")");
    }
  }
}

}  // namespace tapwell::platform
