#!/usr/bin/env bash
# Fails when a source folder includes what its layer must not.
#   core                 the standard library only
#   engine, store        core/, their own folder, platform/*.h interfaces; no Qt
#                        and no windowing system headers
#   platform/*.h         the standard library and core/
#   platform/<backend>/  core/, platform/*.h, the keymap library platform/xkb/
#                        and its own folder; never store, ui, app or engine;
#                        x11 no Qt header, qt and portal no Xlib header
#   platform/xkb/        the keymap library shared by the keyboards: core/,
#                        platform/*.h and its own folder; no Qt, no Xlib
#   ui                   no backend header (platform/<backend>/...), nothing of app
#   app                  anything
# ui's library links no backend library either.
#
# Usage: check_includes.sh <source root>   (the folder holding src/)
#        check_includes.sh --self-test     (plants each kind of fault in a
#                                           scratch tree and expects it caught)
set -u

# Includes that break the rule today and are being moved by other work, as
# "<file> <included name>". One that no longer occurs is ignored.
KNOWN_EXCEPTIONS='
'
# None today.

is_std() { [[ "$1" =~ ^[a-z0-9_]+$ ]]; }

check_tree() {
  local root=$1 failures=0
  local file line kind name folder own
  while IFS= read -r file; do
    local rel=${file#"$root"/}
    folder=${rel#src/}
    folder=${folder%/*}
    while IFS= read -r line; do
      if [[ "$line" =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\"([^\"]+)\" ]]; then
        kind=quote
      elif [[ "$line" =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\<([^\>]+)\> ]]; then
        kind=angle
      else
        continue
      fi
      name=${BASH_REMATCH[1]}
      local bad=""
      case "$folder" in
        core)
          if [[ $kind == quote && $name != core/* ]]; then
            bad="core includes only the standard library, the system's C headers and core/"
          elif [[ $kind == angle && ($name == Q* || $name == X11/* || $name == wayland* || $name == xkbcommon/*) ]]; then
            bad="core includes no toolkit or windowing system header"
          fi
          ;;
        engine | store)
          if [[ $kind == angle && ($name == Q* || $name == X11/* || $name == wayland*) ]]; then
            bad="$folder includes no Qt or windowing system header"
          elif [[ $kind == quote && $name != core/* && $name != "$folder"/* ]] &&
            ! [[ $name =~ ^platform/[^/]+\.h$ ]]; then
            bad="$folder includes core/, $folder/ and platform interfaces only"
          fi
          ;;
        platform)
          if [[ $kind == angle ]] && ! is_std "$name"; then
            bad="platform interfaces include the standard library only"
          elif [[ $kind == quote && $name != core/* ]] && ! [[ $name =~ ^platform/[^/]+\.h$ ]]; then
            bad="platform interfaces include core/ and other interfaces only"
          fi
          ;;
        platform/*)
          own=${folder#platform/}
          # The recording fakes type with the engine's built-in US layout and keep
          # the engine's trace lines, so they may use the engine's headers.
          if [[ $own == fake && $kind == quote && $name == engine/* ]]; then
            :
          elif [[ $kind == quote && $name != core/* && $name != platform/"$own"/* ]] &&
            ! [[ $name =~ ^platform/[^/]+\.h$ ]] && ! [[ $own != xkb && $name == platform/xkb/* ]]; then
            bad="a backend includes core/, platform interfaces, the keymap library and its own folder only"
          elif [[ $own == xkb && $kind == angle && ($name == Q* || $name == X11/*) ]]; then
            bad="the keymap library includes no Qt and no Xlib header"
          elif [[ $own == x11 && $kind == angle && $name == Q* ]]; then
            bad="the X11 backend includes no Qt header"
          elif [[ ($own == qt || $own == portal) && $kind == angle && $name == X11/* ]]; then
            bad="the $own backend includes no Xlib header"
          fi
          ;;
        ui)
          if [[ $kind == quote ]] && { [[ $name =~ ^platform/[^/]+/ ]] || [[ $name == app/* ]]; }; then
            bad="ui includes no backend and nothing of app"
          fi
          ;;
      esac
      if [[ -n $bad ]]; then
        if grep -qxF "$rel $name" <<<"$KNOWN_EXCEPTIONS"; then
          continue
        fi
        echo "$rel: includes $name: $bad"
        failures=$((failures + 1))
      fi
    done <"$file"
  done < <(find "$root/src" -type f \( -name '*.h' -o -name '*.cpp' \) | sort)

  local ui_cmake="$root/src/ui/CMakeLists.txt"
  if [[ -f $ui_cmake ]] && grep -Eq 'tapwell_platform_(qt|x11|posix|fake|wayland|portal|win32)\b' "$ui_cmake"; then
    echo "src/ui/CMakeLists.txt: ui links a backend library"
    failures=$((failures + 1))
  fi
  return $((failures > 0))
}

self_test() {
  local scratch ok=0
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' RETURN
  # Each case: a file and a line that breaks the rule.
  local cases=(
    'src/core/a.h|#include <QString>'
    'src/core/a.h|#include "engine/errors.h"'
    'src/engine/a.cpp|#include "store/textfile.h"'
    'src/engine/a.cpp|#include "platform/x11/x11_keyboard.h"'
    'src/store/a.cpp|#include <QFile>'
    'src/platform/a.h|#include "engine/stepper.h"'
    'src/platform/qt/a.cpp|#include "ui/guard.h"'
    'src/platform/posix/a.cpp|#include "platform/qt/qt_ini_store.h"'
    'src/platform/x11/a.cpp|#include <QTimer>'
    'src/platform/wayland/a.cpp|#include "platform/x11/x11_keyboard.h"'
    'src/platform/portal/a.cpp|#include "platform/x11/x11_keyboard.h"'
    'src/platform/portal/a.cpp|#include <X11/Xlib.h>'
    'src/platform/xkb/a.cpp|#include <X11/keysym.h>'
    'src/platform/xkb/a.cpp|#include "platform/x11/x11_keyboard.h"'
    'src/ui/a.cpp|#include "platform/qt/qt_tray_icon.h"'
    'src/ui/CMakeLists.txt|tapwell_library(tapwell_ui LINK tapwell_platform_qt)'
  )
  # And a tree that keeps every rule passes.
  mkdir -p "$scratch/clean/src/core" "$scratch/clean/src/ui" "$scratch/clean/src/platform/qt"
  printf '#include <string>\n#include "core/errors.h"\n' >"$scratch/clean/src/core/a.h"
  printf '#include <QWidget>\n#include "platform/tray_icon.h"\n' >"$scratch/clean/src/ui/a.cpp"
  printf '#include <QTimer>\n#include "platform/qt/a.h"\n#include "core/x.h"\n' \
    >"$scratch/clean/src/platform/qt/a.cpp"
  if ! check_tree "$scratch/clean" >/dev/null; then
    echo "self-test: a clean tree was refused"
    ok=1
  fi
  local i=0 entry path text
  for entry in "${cases[@]}"; do
    i=$((i + 1))
    path=${entry%%|*}
    text=${entry#*|}
    mkdir -p "$scratch/$i/$(dirname "$path")"
    printf '%s\n' "$text" >"$scratch/$i/$path"
    if check_tree "$scratch/$i" >/dev/null; then
      echo "self-test: not caught: $path: $text"
      ok=1
    fi
  done
  return $ok
}

if [[ ${1:-} == --self-test ]]; then
  self_test
  exit $?
fi
root=${1:?usage: check_includes.sh <source root> | --self-test}
check_tree "$root"
