# Apache reads the directives that tellurix-conf rewrites in httpd.conf. The demo httpd.conf is a Windows
# configuration (Windows modules and paths), so Apache on Linux reads the rewritten directive lines themselves,
# taken from the file as they are (CR LF included) and included from a small Linux configuration. The new
# DocumentRoot names a folder in Chinese: Apache finds it only if the line is written in UTF-8, the encoding
# Apache takes file names in (on Windows too, where it hands them to the wide functions as UTF-16).
source "$(dirname "$0")/lib.sh"
apache=/usr/sbin/apache2 modules=/usr/lib/apache2/modules
need "$apache" apache2-bin
for module in mpm_event authz_core dir info; do need "$modules/mod_$module.so" apache2-bin; done
mkdir -p "$tmp/run"
stage Apache2/conf/httpd.conf "$tmp/original.conf"
cp "$tmp/original.conf" "$tmp/httpd.conf"
expect_eq "directive writes" $'1 line replaced\nexit 0\n1 line replaced\nexit 0' "$(run_conf directive \
  "$tmp/httpd.conf" Listen 8080; run_conf directive "$tmp/httpd.conf" DocumentRoot "\"$tmp/我的网站\"")"
line() { echo "$(grep -nFx -- "$1"$'\r' "$tmp/original.conf" | cut -d: -f1): $2"; }
expect_eq "changed lines of httpd.conf" \
  "$(line "Listen 80" "Listen 8080"; line "DocumentRoot \"$tmp/stack/www\"" "DocumentRoot \"$tmp/我的网站\"")" \
  "$(changed_lines "$tmp/original.conf" "$tmp/httpd.conf")"

# Apache's view of the directive lines of a configuration (DirectoryIndex stands indented in its <IfModule>):
# the syntax check's verdict, the main DocumentRoot, and the directives as mod_info's dump splits them.
check_with_apache() {  # CONF LISTEN DOCROOT
  local label=${1##*/} server="$1.server"
  grep -E $'^(Listen|ServerAdmin|ServerName|DocumentRoot)[ \t]|^[ \t]*DirectoryIndex[ \t]' "$1" >"$1.lines"
  mkdir -p "$3"
  { printf '%s\n' "ServerRoot \"$tmp\"" "DefaultRuntimeDir \"$tmp/run\"" "PidFile \"$tmp/run/pid\"" \
      "ErrorLog \"$tmp/log\"" "Mutex file:$tmp/run default"
    for module in mpm_event authz_core dir info; do echo "LoadModule ${module}_module $modules/mod_$module.so"; done
    echo "Include \"$1.lines\""; } >"$server"
  expect_eq "$label: apache2 -t accepts it, with no warning" "Syntax OK" "$("$apache" -t -f "$server" 2>&1)"
  expect_eq "$label: Apache's main DocumentRoot" "Main DocumentRoot: \"$3\"" \
    "$("$apache" -t -D DUMP_RUN_CFG -f "$server" 2>/dev/null | grep '^Main DocumentRoot:')"
  expect_eq "$label: the directives Apache parsed" "$(printf '%s\n' "Listen $2" "ServerAdmin admin@localhost" \
    "ServerName localhost:80" "DocumentRoot \"$3\"" "DirectoryIndex index.php index.html")" \
    "$("$apache" -t -D DUMP_CONFIG -f "$server" 2>/dev/null | awk -v file="# In file: $1.lines" '
       $0 == file { inside = 1; next } /^# In file:/ { inside = 0 } inside && !/^#/')"
}
check_with_apache "$tmp/original.conf" 80 "$tmp/stack/www"
check_with_apache "$tmp/httpd.conf" 8080 "$tmp/我的网站"
finish
