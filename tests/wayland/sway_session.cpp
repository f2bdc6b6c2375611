#include "sway_session.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>

namespace wl {

namespace {

constexpr const char* kSway = "/usr/bin/sway";

}  // namespace

bool SwayInstalled() {
  return ::access(kSway, X_OK) == 0;
}

std::unique_ptr<Sway> Sway::Start(std::string& why, const std::string& moreConfig,
                                  const std::vector<std::string>& moreEnv) {
  char pattern[] = "/tmp/tapwell-sway-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) {
    why = "mkdtemp failed";
    return nullptr;
  }
  auto sway = std::unique_ptr<Sway>(new Sway);
  sway->dir_ = pattern;
  const std::string run = sway->dir_ + "/run";
  const std::string config = sway->dir_ + "/config";
  ::chmod(pattern, 0711);
  ::mkdir(run.c_str(), 0700);
  uid_t uid = ::geteuid();
  gid_t gid = ::getegid();
  if (uid == 0) {
    const passwd* nobody = ::getpwnam("nobody");
    const group* nogroup = ::getgrnam("nogroup");
    if (nobody == nullptr) {
      why = "no user nobody to run sway as";
      return nullptr;
    }
    uid = nobody->pw_uid;
    gid = nogroup != nullptr ? nogroup->gr_gid : nobody->pw_gid;
    if (::chown(run.c_str(), uid, gid) != 0) {
      why = "cannot give the runtime folder to nobody";
      return nullptr;
    }
  }
  {
    // No borders: the one window covers the output, so the pointer is over it.
    // Sway cannot be told its socket's name: it writes it once it listens.
    std::ofstream out(config);
    out << "default_border none\n"
           "default_floating_border none\n"
           "exec sh -c 'echo \"$WAYLAND_DISPLAY\" > \"$XDG_RUNTIME_DIR/name.new\" && "
           "mv \"$XDG_RUNTIME_DIR/name.new\" \"$XDG_RUNTIME_DIR/name\"'\n"
        << moreConfig;
  }
  ::chmod(config.c_str(), 0644);
  std::vector<std::string> env = {"PATH=/usr/bin:/bin",        "HOME=" + run,
                                  "XDG_RUNTIME_DIR=" + run,    "WLR_BACKENDS=headless",
                                  "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman"};
  env.insert(env.end(), moreEnv.begin(), moreEnv.end());
  std::vector<std::string> args = {kSway, "-c", config};
  std::vector<char*> a;
  for (std::string& s : args) a.push_back(s.data());
  a.push_back(nullptr);
  std::vector<char*> e;
  for (std::string& s : env) e.push_back(s.data());
  e.push_back(nullptr);
  const std::string log = sway->dir_ + "/log";
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_RDONLY);
    const int logFd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(null, 0);
    ::dup2(logFd, 1);
    ::dup2(logFd, 2);
    if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)) {
      ::_exit(126);
    }
    ::execve(a[0], a.data(), e.data());
    ::_exit(127);
  }
  sway->pid_ = pid;
  const std::string nameFile = run + "/name";
  bool ended = false;
  const bool reported = xs::WaitUntil(
      [&] {
        std::ifstream in(nameFile);
        if (in && std::getline(in, sway->socket_) && !sway->socket_.empty()) return true;
        int status = 0;
        ended = ::waitpid(pid, &status, WNOHANG) == pid;
        return ended;
      },
      15000);
  if (reported && !ended) return sway;
  if (ended) {
    sway->pid_ = -1;
    std::ifstream logIn(log);
    why = "sway ended at once: " + std::string(std::istreambuf_iterator<char>(logIn), {});
    return nullptr;
  }
  why = "sway did not report its socket";
  return nullptr;
}

Sway::~Sway() {
  kill();
  std::error_code ec;
  if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
}

std::string Sway::ipcSocket() const {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir_ + "/run", ec)) {
    if (entry.path().filename().string().rfind("sway-ipc.", 0) == 0) return entry.path().string();
  }
  return {};
}

void Sway::kill() {
  // The keyboard goes while the compositor still takes its last requests.
  keyboard_.reset();
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
}

bool Sway::alive() {
  if (pid_ <= 0) return false;
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) != pid_) return true;
  pid_ = -1;
  return false;
}

std::string Sway::log() const {
  std::ifstream in(dir_ + "/log");
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Sway::env(std::vector<std::string> more) const {
  std::vector<std::string> changes = {"WAYLAND_DISPLAY=" + socket_,
                                      "XDG_RUNTIME_DIR=" + dir_ + "/run",
                                      "DISPLAY",
                                      "TAPWELL_BACKEND",
                                      "XKB_DEFAULT_LAYOUT",
                                      "XKB_DEFAULT_MODEL",
                                      "XKB_DEFAULT_VARIANT"};
  changes.insert(changes.end(), more.begin(), more.end());
  return xs::Environment(changes);
}

bool Sway::addKeyboard(const std::string& layout, std::string& why) {
  // The keyboard's connection and its default keymap come from the environment.
  ::setenv("WAYLAND_DISPLAY", socket_.c_str(), 1);
  ::setenv("XDG_RUNTIME_DIR", (dir_ + "/run").c_str(), 1);
  ::setenv("XKB_DEFAULT_LAYOUT", layout.c_str(), 1);
  auto opened = tapwell::platform::wayland::WaylandKeyboard::Open();
  ::unsetenv("XKB_DEFAULT_LAYOUT");
  keyboard_ = std::move(opened.keyboard);
  why = opened.error;
  return keyboard_ != nullptr;
}

std::unique_ptr<Receiver> Receiver::Start(const Sway& sway, std::string& why, bool bulk) {
  auto receiver = std::unique_ptr<Receiver>(new Receiver);
  std::vector<std::string> argv = {WL_RECEIVER};
  if (bulk) argv.push_back("--bulk");
  receiver->child_ = xs::Child::Start(argv, sway.env({"QT_QPA_PLATFORM=wayland"}));
  if (!receiver->child_) {
    why = "cannot start the receiver";
    return nullptr;
  }
  if (!receiver->waitFor("ready")) {
    why = "the receiver did not get the focus: " + receiver->child_->errText();
    return nullptr;
  }
  return receiver;
}

bool Receiver::waitFor(const std::string& line, int timeoutMs) {
  return child_->waitForLine([&](const std::string& l) { return l == line; }, timeoutMs);
}

bool Receiver::waitForEvents(const std::function<bool(const std::vector<std::string>&)>& pred,
                             int timeoutMs) {
  return child_->waitForLine([&](const std::string&) { return pred(events()); }, timeoutMs);
}

std::vector<std::string> Receiver::events() const {
  const auto& lines = child_->lines();
  auto ready = std::find(lines.begin(), lines.end(), "ready");
  if (ready == lines.end()) return {};
  return {ready + 1, lines.end()};
}

struct WatcherListeners {
  static void Global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                     std::uint32_t) {
    auto* self = static_cast<KeymapWatcher*>(data);
    if (std::string_view(interface) == wl_seat_interface.name && self->seat_ == nullptr) {
      self->seat_ = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
      wl_seat_add_listener(self->seat_, &kSeat, self);
    }
  }
  static void Capabilities(void* data, wl_seat*, std::uint32_t capabilities) {
    static_cast<KeymapWatcher*>(data)->capabilities_.push_back(capabilities);
  }
  static void SeatName(void*, wl_seat*, const char*) {}
  static void GlobalRemove(void*, wl_registry*, std::uint32_t) {}
  static void Keymap(void* data, wl_keyboard*, std::uint32_t, int fd, std::uint32_t size) {
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (map != MAP_FAILED) {
      static_cast<KeymapWatcher*>(data)->keymaps_.emplace_back(
          static_cast<const char*>(map), ::strnlen(static_cast<const char*>(map), size));
      ::munmap(map, size);
    }
    ::close(fd);
  }
  static void Enter(void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {}
  static void Leave(void*, wl_keyboard*, std::uint32_t, wl_surface*) {}
  static void Key(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}
  static void Modifiers(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                        std::uint32_t) {}
  static constexpr wl_registry_listener kRegistry{Global, GlobalRemove};
  static constexpr wl_seat_listener kSeat{Capabilities, SeatName};
  static constexpr wl_keyboard_listener kKeyboard{Keymap, Enter, Leave, Key, Modifiers, nullptr};
};

std::unique_ptr<KeymapWatcher> KeymapWatcher::Start(const Sway& sway, std::string& why) {
  auto watcher = std::unique_ptr<KeymapWatcher>(new KeymapWatcher);
  watcher->display_ = wl_display_connect(sway.socketPath().c_str());
  if (watcher->display_ == nullptr) {
    why = "cannot connect to " + sway.socketPath();
    return nullptr;
  }
  wl_registry* registry = wl_display_get_registry(watcher->display_);
  wl_registry_add_listener(registry, &WatcherListeners::kRegistry, watcher.get());
  wl_display_roundtrip(watcher->display_);
  wl_registry_destroy(registry);
  if (watcher->seat_ == nullptr) {
    why = "the compositor has no seat";
    return nullptr;
  }
  watcher->keyboard_ = wl_seat_get_keyboard(watcher->seat_);
  wl_keyboard_add_listener(watcher->keyboard_, &WatcherListeners::kKeyboard, watcher.get());
  if (wl_display_roundtrip(watcher->display_) < 0) {
    why = "the compositor closed the connection";
    return nullptr;
  }
  return watcher;
}

KeymapWatcher::~KeymapWatcher() {
  if (keyboard_ != nullptr) wl_keyboard_destroy(keyboard_);
  if (seat_ != nullptr) wl_seat_destroy(seat_);
  if (display_ != nullptr) wl_display_disconnect(display_);
}

const std::vector<std::uint32_t>& KeymapWatcher::capabilities() {
  keymaps();
  return capabilities_;
}

const std::vector<std::string>& KeymapWatcher::keymaps() {
  // One read takes a bufferful: read until nothing more has arrived.
  for (;;) {
    while (wl_display_prepare_read(display_) != 0) wl_display_dispatch_pending(display_);
    wl_display_flush(display_);
    pollfd p{wl_display_get_fd(display_), POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0) {
      wl_display_cancel_read(display_);
      break;
    }
    if (wl_display_read_events(display_) < 0) break;
    wl_display_dispatch_pending(display_);
  }
  wl_display_dispatch_pending(display_);
  return keymaps_;
}

}  // namespace wl
