# The Wine test bench, sourced by the test, demo and benchmark scripts.
#
#   winebench_select         picks 32-bit Wine where the kernel runs 32-bit programs,
#                            else 64-bit Wine (and the 64-bit build of the same sources)
#   winebench_prefix DIR     makes the private prefix in DIR (Wine's user folders
#                            as real folders); may run ahead, in the background
#   winebench_up DIR EXEDIR [STACK]
#                            the prefix in DIR (made if missing), Xvfb display if
#                            none is given or TELLURIX_XVFB is set, persistent
#                            wineserver, stand-in servers
#                            from EXEDIR installed in C:\STACK (default "stack")
#                            as the services Apache2 and MySQL
#   winebench_down           ends exactly what winebench_up started
#
# Wine's output goes to DIR/wine.log: the first command of a server starts helper
# processes that inherit its output, and a pipe would then never close.

winebench_select() {
  # Some kernels are built or booted without 32-bit emulation; 32-bit Wine cannot
  # start there at all.
  if [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
    export WINEARCH=win32 TELLURIX_WINE=/usr/lib/wine/wine TELLURIX_WIN_BUILD=win32
  else
    export WINEARCH=win64 TELLURIX_WINE=/usr/lib/wine/wine64 TELLURIX_WIN_BUILD=win64
  fi
  export TELLURIX_WINESERVER=/usr/lib/wine/wineserver
  export WINEDEBUG=-all LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8
}

winebench_prefix() {
  local dir
  mkdir -p "$1"
  dir=$(cd "$1" && pwd)
  export WINEPREFIX=$dir/prefix
  [ -f "$dir/prefix.made" ] && return 0
  # No display yet: nothing of the prefix needs one.
  DISPLAY= "$TELLURIX_WINE" wineboot -i >>"$dir/wine.log" 2>&1
  "$TELLURIX_WINESERVER" -w
  # Wine links Desktop, Documents and the like to $HOME; nothing of a test may
  # land there, so they become real folders inside the prefix.
  local link
  for link in "$WINEPREFIX"/drive_c/users/*/*; do
    if [ -L "$link" ]; then rm "$link" && mkdir "$link"; fi
  done
  : >"$dir/prefix.made"
}

winebench_up() {
  local dir=$1 exedir=$2 stackname=${3:-stack}
  winebench_prefix "$dir"
  dir=$(cd "$dir" && pwd)
  if [ -z "${DISPLAY:-}" ] || [ -n "${TELLURIX_XVFB:-}" ]; then
    local fd_file=$dir/display
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fd_file" >>"$dir/wine.log" 2>&1 &
    TELLURIX_XVFB_PID=$!
    local i
    for i in $(seq 50); do [ -s "$fd_file" ] && break; sleep 0.1; done
    export DISPLAY=:$(cat "$fd_file")
    export TELLURIX_XVFB_PID
  fi

  # Services are system processes: they live only while the server does, so it
  # is kept running until winebench_down.
  "$TELLURIX_WINESERVER" -p >>"$dir/wine.log" 2>&1
  # Without a window manager Wine waits two seconds for each managed window it
  # hides; unmanaged windows go at once.
  "$TELLURIX_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$dir/wine.log" 2>&1

  local stack=$WINEPREFIX/drive_c/$stackname
  mkdir -p "$stack/Apache2/bin" "$stack/MySQL/bin"
  cp "$exedir/httpd.exe" "$stack/Apache2/bin/httpd.exe"
  cp "$exedir/mysqld-nt.exe" "$stack/MySQL/bin/mysqld-nt.exe"
  "$TELLURIX_WINE" sc create Apache2 binPath= "C:\\$stackname\\Apache2\\bin\\httpd.exe" >>"$dir/wine.log" 2>&1
  "$TELLURIX_WINE" sc create MySQL binPath= "C:\\$stackname\\MySQL\\bin\\mysqld-nt.exe" >>"$dir/wine.log" 2>&1
  # A reused bench has the services already; that is no failure.
  return 0
}

winebench_down() {
  if [ -n "${WINEPREFIX:-}" ]; then "$TELLURIX_WINESERVER" -k 2>/dev/null || true; fi
  if [ -n "${TELLURIX_XVFB_PID:-}" ]; then
    kill "$TELLURIX_XVFB_PID" 2>/dev/null || true
    wait "$TELLURIX_XVFB_PID" 2>/dev/null || true
    unset TELLURIX_XVFB_PID
  fi
}
