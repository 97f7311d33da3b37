# PHP reads the php.ini keys that tellurix-conf writes. php -n -c FILE keeps the system's php.ini and its scan
# folder away and still loads FILE (php_ini_loaded_file() says so). The command-line PHP forces
# max_execution_time and output_buffering whatever the file says, so PHP's own INI parser (parse_ini_file) reads
# those two back.
source "$(dirname "$0")/lib.sh"
need php php-cli
stage PHP5/php.ini "$tmp/original.ini"
cp "$tmp/original.ini" "$tmp/php.ini"
keys=(upload_max_filesize post_max_size short_open_tag display_errors max_execution_time output_buffering)
values=(20M 20M Off Off 90 On)
changes=()
for i in "${!keys[@]}"; do
  expect_eq "set ${keys[i]}" "exit 0" "$(run_conf set "$tmp/php.ini" PHP "${keys[i]}" "${values[i]}")"
  changes+=("$(grep -n -m1 "^${keys[i]} = " "$tmp/original.ini" | cut -d: -f1): ${keys[i]}=${values[i]}")
done
cp "$tmp/php.ini" "$tmp/before-add.ini"
expect_eq "add max_file_uploads" "exit 0" "$(run_conf set "$tmp/php.ini" PHP max_file_uploads 5)"
# Each key line replaced in place; the new key right after the section's last key, extension=php_mysql.dll.
expect_eq "changed lines of php.ini" "$(printf '%s\n' "${changes[@]}" | sort -n)" \
  "$(changed_lines "$tmp/original.ini" "$tmp/before-add.ini")"
expect_eq "line after extension=php_mysql.dll" "max_file_uploads=5"$'\r' \
  "$(grep -A1 -x $'extension=php_mysql.dll\r' "$tmp/php.ini" | tail -n 1)"
expect_eq "lines besides the added one" "" \
  "$(diff <(grep -v '^max_file_uploads=' "$tmp/php.ini") "$tmp/before-add.ini")"

# What PHP runs with after loading the file. The only startup message allowed is about the Windows extension
# the demo file loads; a syntax error, above all, fails the test. Off reads as "" (an older PHP gave "0").
startup() {  # INI
  php -n -c "$1" -r 'echo php_ini_loaded_file(), "\n";
    foreach (["upload_max_filesize", "post_max_size", "short_open_tag", "display_errors", "max_file_uploads"] as $n)
      echo $n, "=", ini_get($n), "\n";' 2>&1 | grep -v "Unable to load dynamic library 'php_mysql.dll'" |
    grep -v '^[[:space:]]*$' | sed 's/^\(short_open_tag\|display_errors\)=0$/\1=/'
}
expect_eq "PHP with the original file" "$(printf '%s\n' "$tmp/original.ini" upload_max_filesize=2M post_max_size=8M \
  short_open_tag=1 display_errors=1 max_file_uploads=20)" "$(startup "$tmp/original.ini")"
expect_eq "PHP with the rewritten file" "$(printf '%s\n' "$tmp/php.ini" upload_max_filesize=20M post_max_size=20M \
  short_open_tag= display_errors= max_file_uploads=5)" "$(startup "$tmp/php.ini")"
expect_eq "parse_ini_file of the rewritten file" $'PHP,Date,MySQL,Session\n90\n1' "$(php -n -r '
  $ini = parse_ini_file($argv[1], true) or exit("parse_ini_file failed\n");
  echo implode(",", array_keys($ini)), "\n", $ini["PHP"]["max_execution_time"], "\n",
    $ini["PHP"]["output_buffering"];' "$tmp/php.ini" 2>&1)"
finish
