#include "platform/posix/xdg_autostart.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "core/atomic_file.h"
#include "core/errors.h"

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

// The program an Exec value starts: its first argument, with the desktop entry's
// string escapes and the Exec quoting undone; empty when there is none.
std::string ExecProgram(const std::string& value) {
  // The string escapes of a value first ("\\" is one backslash).
  std::string exec;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) {
      const char c = value[++i];
      exec += c == 's' ? ' ' : c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    } else {
      exec += value[i];
    }
  }
  std::size_t i = exec.find_first_not_of(" \t");
  if (i == std::string::npos) return {};
  std::string program;
  if (exec[i] == '"') {
    for (++i; i < exec.size() && exec[i] != '"'; ++i) {
      if (exec[i] == '\\' && i + 1 < exec.size()) ++i;
      program += exec[i];
    }
  } else {
    for (; i < exec.size() && exec[i] != ' ' && exec[i] != '\t'; ++i) program += exec[i];
  }
  // "%%" stands for one "%".
  std::string out;
  for (std::size_t k = 0; k < program.size(); ++k) {
    out += program[k];
    if (program[k] == '%' && k + 1 < program.size() && program[k + 1] == '%') ++k;
  }
  return out;
}

// The file a program name runs: a name without "/" is looked up in PATH.
fs::path ProgramFileOf(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  const char* path = std::getenv("PATH");
  std::string folders = path ? path : "";
  std::size_t from = 0;
  while (from <= folders.size()) {
    const std::size_t to = std::min(folders.find(':', from), folders.size());
    const fs::path candidate = fs::path(to == from ? "." : folders.substr(from, to - from)) / name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    from = to + 1;
  }
  return name;
}

// Whether two program paths name the same file (through links, too).
bool SameProgram(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  if (fs::equivalent(a, b, ec)) return true;
  return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec);
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
  std::string program;
  bool inEntry = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line.front() == '[') {
      inEntry = line == "[Desktop Entry]";
      continue;
    }
    if (!inEntry) continue;
    if (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false") return false;
    if (line.rfind("Exec=", 0) == 0) program = ExecProgram(line.substr(5));
  }
  // An entry of another copy of the program (another folder, an old build) does
  // not start this one.
  return !program.empty() && SameProgram(ProgramFileOf(program), program_);
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
