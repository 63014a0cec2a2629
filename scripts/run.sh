#!/usr/bin/env bash
# Builds and starts the console on a private MariaDB server in .zol/db (demo data and operator on first run).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${ZOL_BUILD_DIR:-$root/build}
build_type=${ZOL_BUILD_TYPE:-Release}
dbdir="$root/.zol/db"
demo_login=admin
demo_password=zol123
demo_name='演示管理员'

step() { printf '== %s\n' "$*"; }

step "packages"
bash "$root/scripts/install-deps.sh"

step "build ($build_type, $build)"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="$build_type" >/dev/null
cmake --build "$build" -j"$(nproc 2>/dev/null || echo 2)" --target zolconsole

step "database ($dbdir)"
was_running=0
if [ -f "$dbdir/run/mysqld.pid" ] && kill -0 "$(cat "$dbdir/run/mysqld.pid")" 2>/dev/null; then
  was_running=1
fi
port=$(bash "$root/scripts/db.sh" start "$dbdir")
# The server goes with the console unless it was running before this script started it.
stop_db() {
  if [ "$was_running" = 0 ]; then
    bash "$root/scripts/db.sh" stop "$dbdir" >/dev/null 2>&1 || true
  fi
}
trap stop_db EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
# ODBCSYSINI points unixODBC at the data source "zol" that db.sh wrote for this server.
eval "$(bash "$root/scripts/db.sh" env "$dbdir")"

sql() {
  mariadb --defaults-file="$dbdir/my.cnf" -uzol -pzol -h127.0.0.1 --default-character-set=utf8mb4 \
    --batch --skip-column-names "$@"
}

if [ -z "$(sql -e "SHOW DATABASES LIKE 'zol'")" ]; then
  echo "first run: creating the database zol with demo data"
  if ! { sql -e "CREATE DATABASE zol CHARACTER SET utf8mb4" &&
         sql zol < "$root/db/schema.sql" &&
         sql zol < "$root/db/demo.sql"; }; then
    sql -e "DROP DATABASE IF EXISTS zol" || true
    echo "could not create the database zol" >&2
    exit 1
  fi
fi

digest=$(printf '%s' "$demo_password" | md5sum | cut -d' ' -f1)
stored=$(sql zol -e "SELECT password FROM zol_user WHERE landname = '$demo_login' LIMIT 1")
if [ -z "$stored" ]; then
  sql zol -e "INSERT INTO zol_user (name, landname, password, type, remark)
              VALUES ('$demo_name', '$demo_login', '$digest', '1', '演示账号')"
  stored=$digest
fi
echo "MariaDB on 127.0.0.1:$port, database zol, data source \"zol\" (ODBCSYSINI=$ODBCSYSINI)"
if [ "$stored" = "$digest" ]; then
  echo "demo operator: login name '$demo_login', password '$demo_password'"
else
  echo "demo operator: login name '$demo_login' (its password was changed in the console)"
fi

# A port nobody listens on, from 5900 upwards.
vnc_port() {
  local p
  for p in $(seq 5900 5999); do
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then echo "$p"; return 0; fi
  done
  return 1
}

step "console"
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  export XDG_RUNTIME_DIR="$root/.zol/xdg"
  mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
fi
if [ -z "${QT_QPA_PLATFORM:-}" ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  vport=$(vnc_port)
  export QT_QPA_PLATFORM="vnc:size=1280x1024:port=$vport"
  echo "no display: the console is on VNC port $vport (no password, all interfaces)"
  echo "connect with: vncviewer 127.0.0.1:$vport"
fi
status=0
"$build/src/zolconsole" || status=$?
exit "$status"
