#!/usr/bin/env bash
# Builds TellurixAdmin.exe and runs it under Wine on the bundled demo stack: a
# ProgramDirectory C:\Tellurix with the stack's layout and sample files, and
# stand-in server programs registered as the services Apache2 and MySQL, so the
# buttons really start and stop them.
#
# With a display ($DISPLAY set) the panel runs there until you choose "Quit" in
# its menus. Without one it runs on a virtual display, and the script shows the
# main window, saves a screenshot to build/demo/main-window.png, then one of the
# panel explaining trouble to build/demo/main-window-trouble.png, and one of
# Apache moved off a taken port (the offer accepted) to build/demo/main-window-fixed.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh
source scripts/winebench.sh
winebench_select
headless=
[ -n "${DISPLAY:-}" ] || headless=1

arch=i686
[ "$TELLURIX_WIN_BUILD" = win64 ] && arch=x86_64
build=build/$TELLURIX_WIN_BUILD
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-$arch.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$root/scripts/wine-run" >/dev/null
cmake --build "$build" -j"$(nproc)" --target TellurixAdmin standin-httpd standin-mysqld-nt tlxdrive

demo=$root/build/demo
rm -rf "$demo/bench"
trap winebench_down EXIT
winebench_up "$demo/bench" "$build" Tellurix

# The ProgramDirectory: the sample stack with its own paths filled in.
program=$WINEPREFIX/drive_c/Tellurix
cp -r demo/stack/. "$program/"
for file in Apache2/conf/httpd.conf MySQL/my.ini; do sed -i 's|@STACK@|C:/Tellurix|g' "$program/$file"; done
sed -i 's|@STACK@|C:\\Tellurix|g' "$program/Tellurix.ini"
cp "$build/TellurixAdmin.exe" "$program/"
echo "ProgramDirectory: $program"

drive() { "$TELLURIX_WINE" "$build/tlxdrive.exe" "$@" >>"$demo/bench/wine.log" 2>&1; }

"$TELLURIX_WINE" 'C:\Tellurix\TellurixAdmin.exe' >>"$demo/bench/wine.log" 2>&1 &
panel=$!
drive wait

if [ -z "$headless" ]; then
  echo "TellurixAdmin runs in the notification area (Wine System Tray); choose Quit in its menu to end the demo."
  wait $panel || true
  exit 0
fi

# Headless: start Apache from the panel, show the window and photograph it.
drive click starta
sleep 3
drive click showme
sleep 2
shoot() {
  read -r x y w h < <("$TELLURIX_WINE" "$build/tlxdrive.exe" rect 2>/dev/null)
  import -window root -crop "${w}x${h}+${x}+${y}" +repage "$demo/$1"
  echo "Screenshot of the main window: $demo/$1"
}
shoot main-window.png

# Trouble, explained: MySQL will not start over a misspelt setting of my.ini (as
# its error log says), and a misspelt directive in httpd.conf (the restart refused).
printf '%s\r\n' "$(date +%y%m%d\ %H:%M:%S) [ERROR] mysqld-nt: unknown variable 'key_bufer=16M'" \
  "$(date +%y%m%d\ %H:%M:%S) [ERROR] Aborting" >"$program/MySQL/bin/fail-start"
drive click startm
sleep 3
rm "$program/MySQL/bin/fail-start"
sed -i 's/^Listen /Listn /' "$program/Apache2/conf/httpd.conf"
drive click restaraCom
drive answer ok
sleep 1
shoot main-window-trouble.png
drive click quit
wait $panel || true

# A fix one question away: another program holds Apache's port 80, and the
# panel offers to move Apache to a free port before `net` runs.
sed -i 's/^Listn /Listen /' "$program/Apache2/conf/httpd.conf"
"$TELLURIX_WINE" net stop Apache2 >>"$demo/bench/wine.log" 2>&1 || true
python3 -c 'import socket,time; s=socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("0.0.0.0", 80)); s.listen(1); time.sleep(60)' &
holder=$!
sleep 1
"$TELLURIX_WINE" 'C:\Tellurix\TellurixAdmin.exe' >>"$demo/bench/wine.log" 2>&1 &
panel=$!
drive wait
drive click showme
drive click starta
sleep 2
drive answer ok
sleep 3
shoot main-window-fixed.png
drive click quit
wait $panel || true
kill $holder 2>/dev/null || true
