#!/usr/bin/env bash
# A private MariaDB server in a folder of its own (never a system service), with the ODBC files
# that name the data source "zol" for it.
#   scripts/db.sh start DIR [PORT]  start (install the data folder on first use); prints the port.
#                                   Without PORT the port kept in DIR/my.cnf is used, or a new one
#                                   when another program holds it; the ODBC files follow the port.
#   scripts/db.sh stop DIR          stop and wait for the server to go
#   scripts/db.sh env DIR           print the exports that point ODBC and the tests at DIR
# The account "zol" (password "zol") may connect from 127.0.0.1 and create databases.
set -euo pipefail
# The folder holds the database password (my.cnf, odbc.ini): its owner's only.
umask 077
# shellcheck source=ports.sh
source "$(dirname "${BASH_SOURCE[0]}")/ports.sh"

cmd=${1:?usage: db.sh start|stop|env DIR [PORT]}
dir=$(mkdir -p "${2:?missing DIR}" && cd "$2" && pwd)
cnf="$dir/my.cnf"
# A Unix socket path may hold about 107 bytes; a deep folder gets its socket in /tmp instead.
sock="$dir/run/mysqld.sock"
if [ ${#sock} -gt 100 ]; then
  sock="/tmp/zol-mysqld-$(printf '%s' "$dir" | md5sum | cut -c1-12).sock"
fi

# The system's ephemeral range, from which outgoing connections take their local ports: a port
# kept from it could be taken by any program's connection at any time.
ephemeral_range() {
  local range=/proc/sys/net/ipv4/ip_local_port_range
  if [ -r "$range" ]; then read -r eph_lo eph_hi < "$range"; else eph_lo=32768; eph_hi=60999; fi
}

# A port nobody listens on yet, outside the ephemeral range when the range leaves room. Another
# process may take it before the server binds it, so start() tries again when the server cannot bind.
free_port() {
  local eph_lo eph_hi lo hi hi_lo hi_count count p
  ephemeral_range
  # Below the range from 20000 (or from 1024 when the range starts lower), and above it.
  lo=20000
  [ "$eph_lo" -gt "$lo" ] || lo=1024
  count=$((eph_lo > lo ? eph_lo - lo : 0))
  hi_lo=$((eph_hi + 1))
  hi_count=$((hi_lo <= 65535 ? 65536 - hi_lo : 0))
  if [ $((count + hi_count)) -eq 0 ]; then
    # The whole port space is ephemeral: any free port will do.
    lo=1024
    count=$((65536 - lo))
  fi
  for _ in $(seq 1 200); do
    p=$(( (RANDOM * 32768 + RANDOM) % (count + hi_count) ))
    if [ "$p" -lt "$count" ]; then p=$((lo + p)); else p=$((hi_lo + p - count)); fi
    if ! listening "$p"; then
      echo "$p"
      return 0
    fi
  done
  echo "db.sh: no free port found" >&2
  return 1
}

running() {
  [ -f "$dir/run/mysqld.pid" ] && kill -0 "$(cat "$dir/run/mysqld.pid")" 2>/dev/null
}

write_cnf() {
  local port=$1
  cat > "$cnf" <<CNF
[client]
socket=$sock
port=$port
[mysqld]
user=root
datadir=$dir/data
socket=$sock
pid-file=$dir/run/mysqld.pid
tmpdir=$dir/tmp
port=$port
bind-address=127.0.0.1
character-set-server=utf8mb4
collation-server=utf8mb4_general_ci
skip-name-resolve
loose-optimizer_join_limit_pref_ratio=100
log-error=$dir/mysqld.err
CNF
}

write_odbc() {
  local port=$1
  cat > "$dir/odbcinst.ini" <<INI
[MariaDB Unicode]
Driver=/usr/lib/x86_64-linux-gnu/odbc/libmaodbc.so
INI
  cat > "$dir/odbc.ini" <<INI
[zol]
Driver=MariaDB Unicode
SERVER=127.0.0.1
PORT=$port
DATABASE=zol
USER=zol
PASSWORD=zol
CHARSET=utf8mb4
INI
}

# Starts mariadbd on the port of my.cnf; returns 0 when it answers, 1 when it died or never did.
launch() {
  local pid
  : > "$dir/mysqld.err"
  # Its own session: an interrupt of the terminal that started it does not reach the server.
  setsid /usr/sbin/mariadbd --defaults-file="$cnf" </dev/null >>"$dir/mysqld.out" 2>&1 &
  pid=$!
  for _ in $(seq 1 600); do
    mariadb-admin --defaults-file="$cnf" -uroot ping >/dev/null 2>&1 && return 0
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.05
  done
  kill -TERM "$pid" 2>/dev/null || true
  return 1
}

case "$cmd" in
start)
  if running; then
    sed -n 's/^port=//p' "$cnf" | head -n1
    exit 0
  fi
  # A port given here is kept; the one kept in my.cnf moves when another program holds it, and the
  # ODBC files follow below. Only the port changes: the data folder stays as it is.
  port=${3:-}
  movable=0
  if [ -z "$port" ]; then
    movable=1
    if [ -f "$cnf" ]; then port=$(sed -n 's/^port=//p' "$cnf" | head -n1); fi
    if [ -n "$port" ] && listening "$port"; then
      echo "db.sh: port $port is held by another program; moving the server to a free port" >&2
      port=
    fi
    if [ -z "$port" ]; then port=$(free_port); fi
  fi
  # A temporary folder of its own: servers installed side by side would meet in a shared one.
  mkdir -p "$dir/run" "$dir/data" "$dir/tmp"
  # A folder made before the umask above was set is made the owner's only too.
  chmod 700 "$dir"
  for f in "$cnf" "$dir/odbc.ini" "$dir/odbcinst.ini"; do
    if [ -e "$f" ]; then chmod 600 "$f"; fi
  done
  write_cnf "$port"
  fresh=0
  if [ ! -d "$dir/data/mysql" ]; then
    mariadb-install-db --defaults-file="$cnf" --auth-root-authentication-method=normal \
      --skip-test-db >"$dir/install.log" 2>&1 || {
      echo "mariadb-install-db failed; see $dir/install.log" >&2; exit 1; }
    fresh=1
  fi
  started=0
  for attempt in 1 2 3 4 5; do
    if launch; then started=1; break; fi
    if [ "$movable" = 1 ] && grep -q "Address already in use\|Can't start server: Bind" "$dir/mysqld.err"; then
      port=$(free_port)
      write_cnf "$port"
      continue
    fi
    break
  done
  if [ "$started" != 1 ]; then
    echo "MariaDB did not start; see $dir/mysqld.err:" >&2
    tail -n 20 "$dir/mysqld.err" >&2 || true
    exit 1
  fi
  if [ "$fresh" = 1 ]; then
    mariadb --defaults-file="$cnf" -uroot <<'SQL'
CREATE USER IF NOT EXISTS 'zol'@'127.0.0.1' IDENTIFIED BY 'zol';
CREATE USER IF NOT EXISTS 'zol'@'localhost' IDENTIFIED BY 'zol';
GRANT ALL PRIVILEGES ON *.* TO 'zol'@'127.0.0.1' WITH GRANT OPTION;
GRANT ALL PRIVILEGES ON *.* TO 'zol'@'localhost' WITH GRANT OPTION;
FLUSH PRIVILEGES;
SQL
  fi
  write_odbc "$port"
  echo "$port"
  ;;
stop)
  if [ -f "$dir/run/mysqld.pid" ]; then
    pid=$(cat "$dir/run/mysqld.pid")
    kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 1 400); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
    kill -KILL "$pid" 2>/dev/null || true
  fi
  ;;
env)
  [ -f "$cnf" ] || { echo "db.sh: no server in $dir (run: db.sh start $dir)" >&2; exit 1; }
  port=$(sed -n 's/^port=//p' "$cnf" | head -n1)
  echo "export ODBCSYSINI='$dir'"
  echo "export ZOL_TEST_MYSQL_CNF='$cnf'"
  echo "export ZOL_TEST_MYSQL_PORT='$port'"
  ;;
*) echo "usage: db.sh start|stop|env DIR [PORT]" >&2; exit 2 ;;
esac
