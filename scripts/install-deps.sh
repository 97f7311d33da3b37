#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test TellurixAdmin
# (run as root). Does nothing when everything is there already.
set -euo pipefail

packages=(
  cmake make g++ python3 googletest libgtest-dev
  mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine wine64 wine32:i386 xvfb xauth x11-apps imagemagick
  locales fonts-wqy-microhei libcap2-bin   # capsh: a Wine session that may not bind low ports
  apache2-bin php-cli mariadb-client-core   # real parsers read what the program writes
  mariadb-server                            # the data rescue runs against a real server (never the system's)
  clang libclang-rt-14-dev libbenchmark-dev # fuzzing and benchmarks
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  # 32-bit Wine comes from the i386 architecture.
  dpkg --add-architecture i386
  apt-get update -qq
  # The packages must not start a system server (mariadb-server would): while they
  # install, a policy-rc.d refuses every service start, and goes again afterwards
  # unless it was there before.
  policy=/usr/sbin/policy-rc.d
  own_policy=
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' >"$policy" && chmod 755 "$policy" && own_policy=1
    trap 'rm -f "$policy"' EXIT
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine takes its ANSI code page (936) and time format from the zh_CN locale.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >/dev/null
fi
