#!/usr/bin/env bash
# Installs what the build and the tests need on a fresh Debian machine (run as root).
set -euo pipefail
source "$(dirname "$0")/guest.sh"
need=()
command -v i686-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-i686)
command -v i686-w64-mingw32-widl >/dev/null || need+=(mingw-w64-tools)
command -v cmake >/dev/null || need+=(cmake)
command -v ninja >/dev/null || need+=(ninja-build)
[ -d /usr/src/googletest ] || need+=(googletest)
if use_guest; then
  # Wine runs in a guest made from Debian's packages; the host only builds and boots it.
  command -v qemu-system-x86_64 >/dev/null || need+=(qemu-system-x86)
  command -v debootstrap >/dev/null || need+=(debootstrap)
  command -v mkfs.ext4 >/dev/null || need+=(e2fsprogs)
else
  command -v Xvfb >/dev/null || need+=(xvfb xauth)
  # wine32 alone brings no wine, wineboot or wineserver on PATH: the wine package does.
  { dpkg -s wine32:i386 && command -v wine && command -v wineserver; } >/dev/null 2>&1 ||
    need+=(wine wine32:i386)
  locale -a 2>/dev/null | grep -qi '^en_US.utf8$' || need+=(locales)
fi
if [ ${#need[@]} -gt 0 ]; then
  echo "setup: installing ${need[*]}"
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt_get_waiting setup update -q
  DEBIAN_FRONTEND=noninteractive apt_get_waiting setup install -y -q --no-install-recommends \
    "${need[@]}"
fi
if ! use_guest && ! locale -a 2>/dev/null | grep -qi '^en_US.utf8$'; then
  sed -i 's/^# *en_US.UTF-8/en_US.UTF-8/' /etc/locale.gen && locale-gen >/dev/null
fi
