#!/usr/bin/env bash
# Installs what Tarn needs to build, test and run, and only what is missing.
# Checks commands and pkg-config modules rather than package names, since
# Node.js may come from another repository than Debian's.
set -euo pipefail

say() { printf 'tarn-setup: %s\n' "$*" >&2; }

# command-or-pkgconfig-module  debian-package
requirements=(
  "cmd:clang++        clang"
  "cmd:cmake          cmake"
  "cmd:ninja          ninja-build"
  "cmd:pkg-config     pkg-config"
  "pc:gtkmm-4.0       libgtkmm-4.0-dev"
  "pc:libadwaita-1    libadwaita-1-dev"
  "pc:gtksourceview-5 libgtksourceview-5-dev"
  "pc:webkitgtk-6.0   libwebkitgtk-6.0-dev"
  "pc:nlohmann_json   nlohmann-json3-dev"
  "pc:icu-i18n        libicu-dev"
  "pc:gtest           libgtest-dev"
  "cmd:git            git"
  "cmd:zsh            zsh"
  "cmd:bwrap          bubblewrap"
  "cmd:node           nodejs"
  "cmd:npm            npm"
  "cmd:xvfb-run       xvfb"
  "cmd:xauth          xauth"
  "cmd:dbus-run-session dbus-daemon"
  "cmd:xdotool        xdotool"
  "cmd:import         imagemagick"
  "cmd:glib-compile-resources libglib2.0-dev-bin"
  "cmd:xgettext       gettext"
  "cmd:dpkg-shlibdeps dpkg-dev"
  "cmd:appstreamcli   appstream"
  "cmd:desktop-file-validate desktop-file-utils"
)

missing=()
for entry in "${requirements[@]}"; do
  read -r what pkg <<<"$entry"
  kind=${what%%:*}; name=${what#*:}
  case $kind in
    cmd) command -v "$name" >/dev/null 2>&1 && continue ;;
    pc)  command -v pkg-config >/dev/null 2>&1 && pkg-config --exists "$name" && continue ;;
  esac
  missing+=("$pkg")
done

# Node.js 20 or newer: an older one counts as missing.
if command -v node >/dev/null 2>&1; then
  major=$(node -p 'process.versions.node.split(".")[0]' 2>/dev/null || echo 0)
  if [ "${major:-0}" -lt 20 ]; then
    say "Node.js $(node --version) is older than 20; Tarn's example project needs 20 or newer."
  fi
fi

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

say "installing missing packages: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  say "not root and no sudo: install these packages yourself: ${missing[*]}"
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
say "done"
