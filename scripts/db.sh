#!/usr/bin/env bash
# A private MariaDB server in a folder of its own (never a system service), with the ODBC files
# that name the data source "zol" for it.
#   scripts/db.sh start DIR [PORT]  start (install the data folder on first use); prints the port.
#                                   Without PORT the port kept in DIR/my.cnf is used, or a new one
#                                   when another program holds it; the ODBC files follow the port.
#   scripts/db.sh stop DIR          stop and wait for the server to go
#   scripts/db.sh env DIR           print the exports that point ODBC and the tests at DIR
# The account "zol" may connect from 127.0.0.1 and use the database "zol" and the test fixture's
# databases ("zol_t..."), nothing else. Its password is made at random with the data folder and kept
# only in DIR/my.cnf ([client]: `mariadb --defaults-file=DIR/my.cnf -h127.0.0.1` logs in) and
# DIR/odbc.ini. The administrator root has no password and no way in but the server's socket, in a
# folder that only its owner may enter.
set -euo pipefail
# The folder holds the database password (my.cnf, odbc.ini): its owner's only.
umask 077
# The server does not keep the umask it is started with: these give its files and folders.
export UMASK=0600 UMASK_DIR=0700
# shellcheck source=ports.sh
source "$(dirname "${BASH_SOURCE[0]}")/ports.sh"

cmd=${1:?usage: db.sh start|stop|env DIR [PORT]}
dir=$(mkdir -p "${2:?missing DIR}" && cd "$2" && pwd)
cnf="$dir/my.cnf"
# A Unix socket path may hold about 107 bytes; a deep folder gets its socket in a folder of its
# own in /tmp instead. Whoever reaches the socket logs in as root: its folder is the owner's only.
sockdir="$dir/run"
if [ "$(printf '%s/mysqld.sock' "$sockdir" | LC_ALL=C wc -c)" -gt 100 ]; then
  sockdir="/tmp/zol-mysqld-$(printf '%s' "$dir" | md5sum | cut -c1-12)"
fi
sock="$sockdir/mysqld.sock"

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

# A value of my.cnf's [client] section ("" when there is none).
client_value() {
  [ -f "$cnf" ] || return 0
  awk -v key="$1" '/^\[/ { client = $0 == "[client]"; next }
                   client && index($0, key "=") == 1 { print substr($0, length(key) + 2); exit }' "$cnf"
}

# The mariadb tools as root, through the socket of the server that runs on my.cnf.
as_root() {
  local tool=$1
  shift
  "$tool" --no-defaults --protocol=socket --socket="$(client_value socket)" -uroot "$@"
}

running() {
  [ -f "$dir/run/mysqld.pid" ] && kill -0 "$(cat "$dir/run/mysqld.pid")" 2>/dev/null
}

# The server runs as whoever starts it: mariadbd refuses root unless told so, and the installer
# would hand the data folder to a user named there.
write_cnf() {
  local port=$1
  cat > "$cnf" <<CNF
[client]
socket=$sock
port=$port
user=zol
password=$password
[mysqld]
user=$(id -un)
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
PASSWORD=$password
CHARSET=utf8mb4
INI
}

# The account "zol" with the password of my.cnf and the rights the data needs (no GRANT OPTION,
# nothing outside its databases); root and anonymous accounts that could log in over TCP go.
# Run at every start, so a folder made when the account had a fixed password and every right is
# brought to this too.
secure_accounts() {
  local host drops
  drops=$(as_root mariadb --batch --skip-column-names -e \
    "SELECT CONCAT('DROP USER ', QUOTE(user), '@', QUOTE(host), ';') FROM mysql.user
     WHERE (user = 'root' AND host <> 'localhost') OR user = ''")
  {
    printf '%s\n' "$drops"
    for host in 127.0.0.1 localhost; do
      cat <<SQL
CREATE USER IF NOT EXISTS 'zol'@'$host';
ALTER USER 'zol'@'$host' IDENTIFIED BY '$password';
REVOKE ALL PRIVILEGES, GRANT OPTION FROM 'zol'@'$host';
GRANT ALL PRIVILEGES ON \`zol\`.* TO 'zol'@'$host';
GRANT ALL PRIVILEGES ON \`zol\\_t%\`.* TO 'zol'@'$host';
SQL
    done
  } | as_root mariadb || { echo "db.sh: could not set up the account zol; see $dir/mysqld.err" >&2; exit 1; }
}

# The password kept in my.cnf, or a new one for a new folder (or one that kept none).
choose_password() {
  password=$(client_value password)
  if [ -z "$password" ]; then
    password=$(head -c 32 /dev/urandom | sha256sum | cut -c1-32)
  fi
}

# The owner's only, also what an older version of this script or the server left readable.
tighten() {
  chmod -R go-rwx "$dir"
}

# Starts mariadbd on the port of my.cnf; returns 0 when it answers, 1 when it died or never did.
launch() {
  local pid
  : > "$dir/mysqld.err"
  # Its own session: an interrupt of the terminal that started it does not reach the server.
  setsid /usr/sbin/mariadbd --defaults-file="$cnf" </dev/null >>"$dir/mysqld.out" 2>&1 &
  pid=$!
  for _ in $(seq 1 600); do
    as_root mariadb-admin ping >/dev/null 2>&1 && return 0
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.05
  done
  kill -TERM "$pid" 2>/dev/null || true
  return 1
}

case "$cmd" in
start)
  choose_password
  if running; then
    # Started earlier, perhaps by an older version of this script: the same server, socket and
    # port, with the account and files brought up to date.
    port=$(client_value port)
    sock=$(client_value socket)
    write_cnf "$port"
    tighten
    secure_accounts
    write_odbc "$port"
    echo "$port"
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
  if [ "$sockdir" != "$dir/run" ]; then
    mkdir -p "$sockdir"
    # Made by someone else (or a link to their folder), it would hand them the socket.
    if [ -L "$sockdir" ] || [ ! -d "$sockdir" ] || [ "$(stat -c %u "$sockdir")" != "$(id -u)" ]; then
      echo "db.sh: $sockdir is not a folder of this user's; remove it" >&2
      exit 1
    fi
    chmod 700 "$sockdir"
  fi
  write_cnf "$port"
  tighten
  if [ ! -d "$dir/data/mysql" ]; then
    mariadb-install-db --defaults-file="$cnf" --auth-root-authentication-method=normal \
      --skip-test-db >"$dir/install.log" 2>&1 || {
      echo "mariadb-install-db failed; see $dir/install.log" >&2; exit 1; }
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
  # The server makes its socket open to all; its folder keeps it the owner's anyway.
  chmod 600 "$sock"
  secure_accounts
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
  if [ "$sockdir" != "$dir/run" ]; then rmdir "$sockdir" 2>/dev/null || true; fi
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
