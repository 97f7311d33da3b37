# Apache reads the directives that tellurix-conf rewrites in httpd.conf.
#
# The demo httpd.conf is a Windows configuration (Windows modules and paths), so
# Apache on Linux reads the rewritten directive lines themselves: they are taken
# from the rewritten file as they are (CR LF included) and included from a
# small Linux configuration, which Apache's configuration check must accept.
# shellcheck source=tests/parsers/lib.sh
source "$(dirname "$0")/lib.sh"

apache=/usr/sbin/apache2
modules=/usr/lib/apache2/modules
need_program "$apache" apache2-bin
for module in mod_mpm_event mod_authz_core mod_dir mod_info; do
  [ -f "$modules/$module.so" ] || { echo "SKIP: $modules/$module.so is missing (Debian package apache2-bin)"; exit 77; }
done

mkdir -p "$tmp/stack/www" "$tmp/www" "$tmp/run" "$tmp/logs"
stage Apache2/conf/httpd.conf "$tmp/original.conf"
cp "$tmp/original.conf" "$tmp/httpd.conf"

conf_ok "1 line replaced" directive "$tmp/httpd.conf" Listen 8080
conf_ok "1 line replaced" directive "$tmp/httpd.conf" DocumentRoot "\"$tmp/www\""

# Only the two directive lines changed, and the file kept its CR LF.
expect_crlf "$tmp/httpd.conf"
listen=$(line_of "$tmp/original.conf" "Listen 80")
docroot=$(line_of "$tmp/original.conf" "DocumentRoot \"$tmp/stack/www\"")
expect_eq "changed lines of httpd.conf" \
  "$listen: Listen 8080"$'\n'"$docroot: DocumentRoot \"$tmp/www\"" \
  "$(changed_lines "$tmp/original.conf" "$tmp/httpd.conf")"

# The directive lines of a configuration (the DirectoryIndex line stands indented
# in its <IfModule> block), bytes unchanged.
extract() {  # CONF OUT
  grep -E $'^(Listen|ServerAdmin|ServerName|DocumentRoot)[ \t]|^[ \t]*DirectoryIndex[ \t]' "$1" >"$2"
}

# A Linux server configuration around the extracted lines.
server_conf() {  # DIRECTIVES OUT
  cat >"$2" <<EOF
ServerRoot "$tmp"
DefaultRuntimeDir "$tmp/run"
PidFile "$tmp/run/httpd.pid"
ErrorLog "$tmp/logs/error.log"
Mutex file:$tmp/run default
LoadModule mpm_event_module $modules/mod_mpm_event.so
LoadModule authz_core_module $modules/mod_authz_core.so
LoadModule dir_module $modules/mod_dir.so
LoadModule info_module $modules/mod_info.so
Include "$1"
EOF
}

# Apache's view of a configuration: the syntax check's verdict, the run-time
# settings (main DocumentRoot) and the parsed directives of the included file.
check_with_apache() {  # LABEL DIRECTIVES LISTEN DOCROOT
  local label=$1 directives=$2 listen=$3 docroot=$4 server="$tmp/server-$1.conf" out
  server_conf "$directives" "$server"

  out=$("$apache" -t -f "$server" 2>&1)
  expect_eq "$label: apache2 -t accepts the configuration, with no warning" "Syntax OK" "$out"

  out=$("$apache" -t -D DUMP_RUN_CFG -f "$server" 2>/dev/null)
  expect_eq "$label: Apache's main DocumentRoot" "Main DocumentRoot: \"$docroot\"" \
    "$(grep '^Main DocumentRoot:' <<<"$out")"

  # mod_info's dump of the parsed configuration (on standard output): the
  # included file's directives as Apache split them into name and arguments.
  out=$("$apache" -t -D DUMP_CONFIG -f "$server" 2>/dev/null)
  local parsed
  parsed=$(awk -v file="# In file: $directives" '$0 == file { inside = 1; next } /^# In file:/ { inside = 0 }
                                                   inside && !/^#/' <<<"$out")
  expect_eq "$label: the directives Apache parsed" \
    "Listen $listen"$'\n'"ServerAdmin admin@localhost"$'\n'"ServerName localhost:80"$'\n'"DocumentRoot \"$docroot\""$'\n'"DirectoryIndex index.php index.html" \
    "$parsed"
}

# The original file first: the same checks see the old port and DocumentRoot.
extract "$tmp/original.conf" "$tmp/original-directives.conf"
check_with_apache original "$tmp/original-directives.conf" 80 "$tmp/stack/www"

extract "$tmp/httpd.conf" "$tmp/directives.conf"
expect_eq "directive lines taken from the rewritten file" 5 "$(wc -l <"$tmp/directives.conf")"
check_with_apache rewritten "$tmp/directives.conf" 8080 "$tmp/www"

finish
