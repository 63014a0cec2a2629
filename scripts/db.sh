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
# folder that only its owner may enter. No other account is kept: every start brings the accounts
# to these while the server can be reached through that socket alone, and names each one it drops.
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
# The running server's pid and the state of its accounts when this script last brought them to the
# managed set: while both hold, no session of the server began with other rights.
mark="$dir/run/accounts"

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

# The mariadb tools as root, through the socket of the server that runs on my.cnf. Without a socket
# named there the client would take its default one, the machine's own server's: refused instead.
as_root() {
  local tool=$1 socket
  shift
  socket=$(client_value socket)
  if [ -z "$socket" ]; then
    echo "db.sh: $cnf names no socket of the server of $dir (is the file missing?); not reaching for" \
         "another server's. Stop this one (bash scripts/db.sh stop $dir) and start it again." >&2
    return 1
  fi
  "$tool" --no-defaults --protocol=socket --socket="$socket" -uroot "$@"
}

running() {
  [ -f "$dir/run/mysqld.pid" ] && kill -0 "$(cat "$dir/run/mysqld.pid")" 2>/dev/null
}

# Whether a process has ended: gone, or a child of this script that is not reaped yet.
ended() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 0
  stat=${stat##*) }
  [ "${stat%% *}" = Z ]
}

# Stops the server of the pid file and waits until it has gone (TERM, KILL after 20 s).
stop_server() {
  local pid
  rm -f "$mark"
  [ -f "$dir/run/mysqld.pid" ] || return 0
  pid=$(cat "$dir/run/mysqld.pid")
  [ -n "$pid" ] || return 0
  kill -TERM "$pid" 2>/dev/null || return 0
  for _ in $(seq 1 400); do ended "$pid" && break; sleep 0.05; done
  kill -KILL "$pid" 2>/dev/null || true
  for _ in $(seq 1 100); do ended "$pid" && break; sleep 0.05; done
  wait "$pid" 2>/dev/null || true
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

# The accounts this script keeps: root (through the socket only), the server's own mariadb.sys, and
# "zol" from 127.0.0.1 and through the socket. PUBLIC, the role of every account, is kept without
# rights (it cannot be dropped).
managed_accounts="('root', 'localhost'), ('mariadb.sys', 'localhost'), ('zol', '127.0.0.1'), ('zol', 'localhost')"

# Every account and role of the server but root and mariadb.sys, one a line: user and host in
# hexadecimal (any text survives the way back), its kind, and its name as SQL writes it (the batch
# output writes a line end or tab in it as \n or \t: one line each).
other_accounts() {
  as_root mariadb --batch --skip-column-names <<SQL
SELECT CONCAT_WS('|', HEX(User), HEX(Host),
                 IF(User = 'PUBLIC' AND Host = '', 'public', IF(IFNULL(JSON_VALUE(Priv, '\$.is_role'), 0), 'role', 'user')),
                 IF(Host = '', QUOTE(User), CONCAT(QUOTE(User), '@', QUOTE(Host))))
FROM mysql.global_priv
WHERE (User, Host) NOT IN (('root', 'localhost'), ('mariadb.sys', 'localhost'))
ORDER BY User, Host
SQL
}

# The accounts brought to the managed set, while nobody but this script can reach the server: every
# other account and role is dropped (each named on stderr, unless the data folder was installed just
# now and they are the installer's), PUBLIC loses its rights, and "zol" is made anew (no right, role,
# proxy or limit of before survives) with the password of my.cnf and the rights the data needs (no
# GRANT OPTION, nothing outside its databases).
secure_accounts() {
  local installed=$1 rows user host kind name host_name
  rows=$(other_accounts) || { echo "db.sh: could not list the accounts; see $dir/mysqld.err" >&2; exit 1; }
  {
    while IFS='|' read -r user host kind name; do
      [ -n "$kind" ] || continue
      case "$kind" in
        public) echo "REVOKE ALL PRIVILEGES, GRANT OPTION FROM PUBLIC;" ;;
        role) echo "EXECUTE IMMEDIATE CONCAT('DROP ROLE ', QUOTE(UNHEX('$user')));" ;;
        *) echo "EXECUTE IMMEDIATE CONCAT('DROP USER ', QUOTE(UNHEX('$user')), '@', QUOTE(UNHEX('$host')));" ;;
      esac
    done <<< "$rows"
    for host_name in 127.0.0.1 localhost; do
      cat <<SQL
CREATE USER 'zol'@'$host_name' IDENTIFIED BY '$password';
GRANT ALL PRIVILEGES ON \`zol\`.* TO 'zol'@'$host_name';
GRANT ALL PRIVILEGES ON \`zol\\_t%\`.* TO 'zol'@'$host_name';
SQL
    done
  } | as_root mariadb || { echo "db.sh: could not set up the accounts; see $dir/mysqld.err" >&2; exit 1; }
  while [ "$installed" = 0 ] && IFS='|' read -r user host kind name; do
    case "$kind:$name" in
      "user:'zol'@'127.0.0.1'" | "user:'zol'@'localhost'" | public:* | :*) ;;
      role:*) echo "db.sh: dropped the role $name: this server keeps only the roles and accounts it makes" >&2 ;;
      *) echo "db.sh: dropped the account $name: this server keeps only the accounts it makes" >&2 ;;
    esac
  done <<< "$rows"
  # Whatever was there, what is left is the managed set.
  rows=$(as_root mariadb --batch --skip-column-names -e \
    "SELECT CONCAT(QUOTE(User), '@', QUOTE(Host)) FROM mysql.global_priv
     WHERE (User, Host) NOT IN ($managed_accounts, ('PUBLIC', ''))
     UNION ALL SELECT 'missing zol' FROM DUAL
     WHERE (SELECT COUNT(*) FROM mysql.global_priv WHERE User = 'zol') <> 2") || exit 1
  if [ -n "$rows" ]; then
    echo "db.sh: the accounts of $dir are not the managed ones after the conversion: $rows" >&2
    exit 1
  fi
}

# The accounts as they are now: the grant tables summed, and whether both "zol" accounts have the
# password of my.cnf (sent on stdin: a command line is visible to every local user).
accounts_state() {
  as_root mariadb --batch --skip-column-names <<SQL
CHECKSUM TABLE mysql.global_priv, mysql.db, mysql.tables_priv, mysql.columns_priv, mysql.procs_priv,
  mysql.proxies_priv, mysql.roles_mapping EXTENDED;
SELECT COUNT(*) FROM mysql.global_priv
WHERE User = 'zol' AND JSON_VALUE(Priv, '\$.authentication_string') = PASSWORD('$password');
SQL
}

# Notes the running server as one whose accounts this script brought to the managed set before
# anyone else could reach it.
mark_converted() {
  local state
  state=$(accounts_state) || exit 1
  printf '%s\n%s\n' "$(cat "$dir/run/mysqld.pid")" "$state" > "$mark"
}

# Whether the running server is the one noted, with its accounts as they were then. A server that
# an older version of this script started, or whose accounts changed since, is not.
still_converted() {
  local state
  [ -f "$mark" ] && [ "$(head -n1 "$mark")" = "$(cat "$dir/run/mysqld.pid")" ] || return 1
  state=$(accounts_state) || exit 1
  [ "$(tail -n +2 "$mark")" = "$state" ]
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

# Starts mariadbd on my.cnf with these options after it; returns 0 when it answers, 1 when it died
# or never did.
launch() {
  local pid
  : > "$dir/mysqld.err"
  # Its own session: an interrupt of the terminal that started it does not reach the server.
  setsid /usr/sbin/mariadbd --defaults-file="$cnf" "$@" </dev/null >>"$dir/mysqld.out" 2>&1 &
  pid=$!
  for _ in $(seq 1 600); do
    as_root mariadb-admin ping >/dev/null 2>&1 && return 0
    ended "$pid" && { wait "$pid" 2>/dev/null || true; return 1; }
    sleep 0.05
  done
  kill -TERM "$pid" 2>/dev/null || true
  return 1
}

did_not_start() {
  echo "MariaDB did not start; see $dir/mysqld.err:" >&2
  tail -n 20 "$dir/mysqld.err" >&2 || true
  exit 1
}

# The folder of a socket outside the data folder: the owner's only, or the start ends.
prepare_sockdir() {
  [ "$sockdir" != "$dir/run" ] || return 0
  mkdir -p "$sockdir"
  # Made by someone else (or a link to their folder), it would hand them the socket.
  if [ -L "$sockdir" ] || [ ! -d "$sockdir" ] || [ "$(stat -c %u "$sockdir")" != "$(id -u)" ]; then
    echo "db.sh: $sockdir is not a folder of this user's; remove it" >&2
    exit 1
  fi
  chmod 700 "$sockdir"
}

case "$cmd" in
start)
  choose_password
  kept_port=
  if running; then
    if still_converted; then
      # Started by this script, its accounts as it left them: it runs on, with the same socket
      # and port, and the files brought up to date.
      port=$(client_value port)
      sock=$(client_value socket)
      [ -n "$port" ] || { echo "db.sh: $cnf names no port of the server of $dir" >&2; exit 1; }
      write_cnf "$port"
      tighten
      write_odbc "$port"
      echo "$port"
      exit 0
    fi
    # Started by an older version of this script, or its accounts changed since: a session that
    # began with other rights would keep them, and its socket may be open to all. It stops, and
    # is converted as at any start.
    echo "db.sh: the server of $dir was not started with its accounts as this script keeps them;" \
         "restarting it to bring them back (its sessions end)" >&2
    kept_port=$(client_value port)
    stop_server
  fi
  # A port given here is kept; the one kept in my.cnf moves when another program holds it, and the
  # ODBC files follow below. Only the port changes: the data folder stays as it is.
  port=${3:-}
  movable=0
  if [ -z "$port" ]; then
    movable=1
    port=$kept_port
    if [ -z "$port" ] && [ -f "$cnf" ]; then port=$(sed -n 's/^port=//p' "$cnf" | head -n1); fi
    if [ -n "$port" ] && listening "$port"; then
      echo "db.sh: port $port is held by another program; moving the server to a free port" >&2
      port=
    fi
    if [ -z "$port" ]; then port=$(free_port); fi
  fi
  # A temporary folder of its own: servers installed side by side would meet in a shared one.
  mkdir -p "$dir/run" "$dir/data" "$dir/tmp"
  prepare_sockdir
  write_cnf "$port"
  tighten
  installed=0
  if [ ! -d "$dir/data/mysql" ]; then
    installed=1
    mariadb-install-db --defaults-file="$cnf" --auth-root-authentication-method=normal \
      --skip-test-db >"$dir/install.log" 2>&1 || {
      echo "mariadb-install-db failed; see $dir/install.log" >&2; exit 1; }
  fi
  # The accounts are brought to the managed set while nobody else can reach the server (no TCP,
  # the socket in a folder of the owner's), whatever an older script or anyone who could log in
  # left in the data folder; then it starts as usual.
  launch --skip-networking || did_not_start
  chmod 600 "$sock"
  secure_accounts "$installed"
  stop_server
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
  [ "$started" = 1 ] || did_not_start
  # The server makes its socket open to all; its folder keeps it the owner's anyway.
  chmod 600 "$sock"
  mark_converted
  write_odbc "$port"
  echo "$port"
  ;;
stop)
  stop_server
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
