# PHP reads the php.ini keys that tellurix-conf writes.
#
# php -n -c FILE: -n keeps the system's php.ini and its scan folder of extension
# files away, and the file named by -c is still the one loaded (the test checks
# php_ini_loaded_file()). The command-line PHP forces max_execution_time and
# output_buffering whatever the file says, so those two are read back with
# PHP's own INI parser (parse_ini_file) and from the file's lines.
# shellcheck source=tests/parsers/lib.sh
source "$(dirname "$0")/lib.sh"

need_program php php-cli

mkdir -p "$tmp/stack/PHP5/ext"
stage PHP5/php.ini "$tmp/original.ini"
cp "$tmp/original.ini" "$tmp/php.ini"

settings=(
  "upload_max_filesize 20M"
  "post_max_size 20M"
  "short_open_tag Off"
  "max_execution_time 90"
  "output_buffering On"
  "display_errors Off"
)
expected_changes=()
for setting in "${settings[@]}"; do
  read -r key value <<<"$setting"
  conf_ok "" set "$tmp/php.ini" PHP "$key" "$value"
  expected_changes+=("$(grep -n -m1 "^$key = " "$tmp/original.ini" | cut -d: -f1): $key=$value")
done

# Only the six key lines changed (each now "key=value"), and CR LF stayed.
expect_crlf "$tmp/php.ini"
expect_eq "changed lines of php.ini" \
  "$(printf '%s\n' "${expected_changes[@]}" | sort -n)" \
  "$(changed_lines "$tmp/original.ini" "$tmp/php.ini")"
for setting in "${settings[@]}"; do
  read -r key value <<<"$setting"
  expect_eq "line of $key in php.ini" "$key=$value" "$(grep -E "^${key}[ =]" "$tmp/php.ini" | tr -d '\r')"
done

# The values PHP runs with after loading the file at startup. Startup messages
# go to standard error; the only one expected is about the Windows extension
# that the demo file loads (extension=php_mysql.dll), so anything else, a
# syntax error above all, fails the test.
read_at_startup() {  # INI
  php -n -c "$1" -r '
    echo php_ini_loaded_file(), "\n";
    foreach (["upload_max_filesize", "post_max_size", "short_open_tag", "display_errors"] as $name)
      echo $name, "=", var_export(ini_get($name), true), "\n";' 2>"$tmp/php.err"
}
startup_messages() {
  grep -v "Unable to load dynamic library 'php_mysql.dll'" "$tmp/php.err" | grep -v '^[[:space:]]*$'
}

out=$(read_at_startup "$tmp/original.ini")
expect_eq "PHP at startup with the original file" \
  "$tmp/original.ini"$'\n'"upload_max_filesize='2M'"$'\n'"post_max_size='8M'"$'\n'"short_open_tag='1'"$'\n'"display_errors='1'" \
  "$out"

out=$(read_at_startup "$tmp/php.ini")
# Off reads as "" (an older PHP gave "0").
out=$(sed "s/^\(short_open_tag\|display_errors\)='0'$/\1=''/" <<<"$out")
expect_eq "PHP at startup with the rewritten file" \
  "$tmp/php.ini"$'\n'"upload_max_filesize='20M'"$'\n'"post_max_size='20M'"$'\n'"short_open_tag=''"$'\n'"display_errors=''" \
  "$out"
expect_eq "PHP's startup messages other than the Windows extension" "" "$(startup_messages)"

# PHP's INI parser on the whole file: every section parses, and the [PHP]
# section holds the new values (On reads as "1", Off as "").
out=$(php -n -r '
  $ini = parse_ini_file($argv[1], true);
  if ($ini === false) { echo "parse_ini_file failed\n"; exit(1); }
  echo implode(",", array_keys($ini)), "\n";
  foreach (["max_execution_time", "output_buffering", "upload_max_filesize", "post_max_size", "short_open_tag", "display_errors"] as $name)
    echo $name, "=", var_export($ini["PHP"][$name] ?? null, true), "\n";' "$tmp/php.ini" 2>&1)
expect_eq "parse_ini_file of the rewritten file" \
  "PHP,Date,MySQL,Session"$'\n'"max_execution_time='90'"$'\n'"output_buffering='1'"$'\n'"upload_max_filesize='20M'"$'\n'"post_max_size='20M'"$'\n'"short_open_tag=''"$'\n'"display_errors=''" \
  "$out"

# A key the file does not have yet is added to its section and PHP reads it.
cp "$tmp/php.ini" "$tmp/before-add.ini"
conf_ok "" set "$tmp/php.ini" PHP max_file_uploads 5
expect_crlf "$tmp/php.ini"
# It goes right after the section's last key, extension=php_mysql.dll.
expect_eq "line added to php.ini" "max_file_uploads=5" \
  "$(grep -A1 -x $'extension=php_mysql.dll\r' "$tmp/php.ini" | tail -n 1 | tr -d '\r')"
expect_eq "lines of php.ini besides the added one" "" \
  "$(diff <(grep -v '^max_file_uploads=' "$tmp/php.ini") "$tmp/before-add.ini")"
out=$(php -n -c "$tmp/php.ini" -r 'echo ini_get("max_file_uploads");' 2>"$tmp/php.err")
expect_eq "PHP at startup reads the added max_file_uploads" 5 "$out"
expect_eq "PHP's startup messages after adding a key" "" "$(startup_messages)"

finish
