#!/usr/bin/env bash
# Installs what the builds and the tests need on a Debian 12 machine (run as root).
# Safe to run again: it only installs what is missing.
set -euo pipefail

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
for p in cmake make g++ libgtest-dev googletest python3 \
         g++-mingw-w64-i686 g++-mingw-w64-x86-64 \
         wine wine64 wine32:i386 xvfb xauth x11-apps imagemagick qemu-user-static; do
  have "$p" || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  echo "setup: installing ${need[*]}"
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

# 32-bit Wine needs the kernel to run i386 Linux binaries. Some virtual machines boot with
# 32-bit emulation switched off; qemu's user-mode emulator then stands in for it.
if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  mountpoint -q /proc/sys/fs/binfmt_misc || mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  if [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
      > /proc/sys/fs/binfmt_misc/register
  fi
  /lib/ld-linux.so.2 --version >/dev/null 2>&1 || { echo "setup: cannot run 32-bit programs" >&2; exit 1; }
  echo "setup: 32-bit programs run through qemu-i386 (the kernel's own 32-bit support is off)"
fi
