# MySQL's option-file reader (my_print_defaults, as the server and the clients read their groups) reads the
# my.ini keys that tellurix-conf writes.
source "$(dirname "$0")/lib.sh"
need my_print_defaults mariadb-client-core
stage MySQL/my.ini "$tmp/original.ini"
cp "$tmp/original.ini" "$tmp/my.ini"
options() { my_print_defaults --defaults-file="$tmp/$1" "${@:2}" 2>&1; }

expect_eq "port writes" $'exit 0\nexit 0\nexit 0' "$(run_conf set "$tmp/my.ini" client port 3307; run_conf set \
  "$tmp/my.ini" mysqld port 3307; run_conf set "$tmp/my.ini" mysqld bind-address 127.0.0.1)"
# Only the two port lines changed, and the new key went after the last key of [mysqld], the file's last line.
last=$(wc -l <"$tmp/original.ini")
expect_eq "changed lines of my.ini" "$(grep -n -x $'port=3306\r' "$tmp/original.ini" | sed 's/:.*/: port=3307/'
  echo "$((last + 1)): bind-address=127.0.0.1"; echo "line count $last -> $((last + 1))")" \
  "$(changed_lines "$tmp/original.ini" "$tmp/my.ini")"
expect_eq "[client] before and after" $'--port=3306\n--port=3307' \
  "$(options original.ini client; options my.ini client)"
expect_eq "[mysqld] keeps its other options in order" \
  "$(options original.ini mysqld | sed 's/^--port=3306$/--port=3307/'; echo --bind-address=127.0.0.1)" \
  "$(options my.ini mysqld)"
expect_eq "[mysql] is unchanged" "--default-character-set=utf8" "$(options my.ini mysql)"
finish
