# MySQL's option-file reader (my_print_defaults, as the server and the clients
# read their groups) reads the my.ini keys that tellurix-conf writes.
# shellcheck source=tests/parsers/lib.sh
source "$(dirname "$0")/lib.sh"

need_program my_print_defaults mariadb-client-core

stage MySQL/my.ini "$tmp/original.ini"
cp "$tmp/original.ini" "$tmp/my.ini"

# The options of the given groups, one per line, as the programs see them.
options() {  # FILE GROUP...
  local file=$1
  shift
  my_print_defaults --defaults-file="$file" "$@" 2>&1
}

expect_eq "[client] of the original file" "--port=3306" "$(options "$tmp/original.ini" client)"

conf_ok "" set "$tmp/my.ini" client port 3307
conf_ok "" set "$tmp/my.ini" mysqld port 3307

# Only the two port lines changed, and CR LF stayed.
expect_crlf "$tmp/my.ini"
ports=$(grep -n -x $'port=3306\r' "$tmp/original.ini" | cut -d: -f1)
expect_eq "changed lines of my.ini" "$(sed 's/$/: port=3307/' <<<"$ports")" \
  "$(changed_lines "$tmp/original.ini" "$tmp/my.ini")"

expect_eq "[client] of the rewritten file" "--port=3307" "$(options "$tmp/my.ini" client)"
mysqld=$(options "$tmp/my.ini" mysqld)
expect_eq "--port of [mysqld]" "--port=3307" "$(grep -- '^--port=' <<<"$mysqld")"
expect_eq "the other [mysqld] options" \
  "$(options "$tmp/original.ini" mysqld | grep -v -- '^--port=')" \
  "$(grep -v -- '^--port=' <<<"$mysqld")"
expect_eq "[mysqld] still has its first and last options" \
  "--port=3307 --innodb_thread_concurrency=8" "$(head -n 1 <<<"$mysqld") $(tail -n 1 <<<"$mysqld")"
expect_eq "[mysql] is unchanged" "--default-character-set=utf8" "$(options "$tmp/my.ini" mysql)"
expect_eq "--port of client and mysqld read together" \
  "--port=3307"$'\n'"--port=3307" "$(options "$tmp/my.ini" client mysqld | grep -- '^--port=')"

# A key the section does not have yet goes after its last key (here the last
# line of the file) and the server's group has it.
conf_ok "" set "$tmp/my.ini" mysqld bind-address 127.0.0.1
expect_crlf "$tmp/my.ini"
expect_eq "last line of my.ini" "bind-address=127.0.0.1" "$(tail -n 1 "$tmp/my.ini" | tr -d '\r')"
expect_eq "the added option, last in [mysqld]" "--bind-address=127.0.0.1" "$(options "$tmp/my.ini" mysqld | tail -n 1)"
expect_eq "[client] after the addition" "--port=3307" "$(options "$tmp/my.ini" client)"

finish
