#!/usr/bin/env bash
# Builds and starts the console on a private MariaDB server (demo data and operator on first run),
# with simulated terminals for the demo data; or, with --dsn, on an existing data source alone.
# Without a display, inside a private VNC X server with a window manager that only this machine can
# reach, with a password.
#   scripts/run.sh [--no-demo] [--dsn NAME] [--geometry WxH]
#     --no-demo      no simulated terminals
#     --dsn NAME     the console on the ODBC data source NAME (the organisation's own server): no
#                    private server, no demo data, no simulated terminals; when NAME cannot be
#                    reached the run ends at once with the driver's reason (status 1)
#     --geometry WxH the size of the VNC screen (default 1600x1000)
#   ZOL_HOME     private folder (default .zol): database server, VNC password, X authority, the
#                simulated terminals' log files
#   ZOL_CONSOLE  program to run in place of the console built here (nothing is built then)
#   ZOL_DEMO     program to run in place of the simulated terminals built here; with ZOL_CONSOLE
#                and without ZOL_DEMO there are none
set -euo pipefail
# What the script and its helpers write in the private folder is the owner's only; the console
# writes the operator's files with the umask it was given.
user_umask=$(umask)
umask 077

usage="usage: scripts/run.sh [--no-demo] [--dsn NAME] [--geometry WxH]"
demo_wanted=1
dsn=
vnc_geometry=1600x1000
while [ $# -gt 0 ]; do
  case "$1" in
    --no-demo) demo_wanted=0 ;;
    --dsn|--geometry)
      if [ $# -lt 2 ] || [ -z "$2" ]; then echo "$usage" >&2; exit 2; fi
      if [ "$1" = --dsn ]; then dsn=$2; else vnc_geometry=$2; fi
      shift ;;
    -h|--help) sed -n '2,/^[^#]/s/^# \{0,1\}//p' "${BASH_SOURCE[0]}"; exit 0 ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
  shift
done
if ! [[ "$vnc_geometry" =~ ^[1-9][0-9]{2,4}x[1-9][0-9]{2,4}$ ]]; then
  echo "--geometry takes WIDTHxHEIGHT in pixels, e.g. 1920x1080" >&2
  exit 2
fi

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${ZOL_BUILD_DIR:-$root/build}
build_type=${ZOL_BUILD_TYPE:-Release}
home=${ZOL_HOME:-$root/.zol}
dbdir="$home/db"
vncdir="$home/vnc"
console=${ZOL_CONSOLE:-$build/src/zolconsole}
if [ -n "${ZOL_DEMO:-}" ]; then
  demo=$ZOL_DEMO
elif [ -z "${ZOL_CONSOLE:-}" ]; then
  demo=$build/demo/zoldemo
else
  demo=
fi
[ "$demo_wanted" = 1 ] && [ -z "$dsn" ] || demo=
demodir="$home/demo"
statedir="$home/run"
demo_login=admin
demo_password=zol123
demo_name='演示管理员'
# VNC passwords are 8 characters at most; the protocol ignores the rest.
vnc_password_length=8
# Seconds a helper or the console gets to end after TERM before it is killed.
stop_grace=10
# Seconds the X server gets to come up.
vnc_start_timeout=30
# Seconds the simulated terminals get to listen; the console runs without them after that.
demo_start_timeout=30
# Seconds the window manager gets to take the screen; the console runs without it after that.
wm_start_timeout=15
# Seconds a data source named with --dsn gets to answer; the console does not start without it.
dsn_probe_timeout=30
# The demo data's failure paths (db/demo.sql): a terminal cut off from the network, one whose
# agent does not run, a relay controller that never answers.
demo_cut_off=127.0.0.15
demo_agent_down=127.0.0.19
demo_silent_relay=127.0.0.122

step() { printf '== %s\n' "$*"; }

# --- Processes this script starts, and the one clean-up that stops them on every way out -------

was_running=0
db_step=0
console_pid=
helper_pids=()
settings_restore=0

# Process state from /proc ("Z" for a child that has ended but is not reaped yet).
proc_state() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 0
  stat=${stat##*) }
  printf '%s' "${stat%% *}"
}

# Ends a process: TERM, then KILL after the grace period; a child of this script is reaped.
stop_process() {
  local pid=$1 ticks=0 state
  kill -TERM "$pid" 2>/dev/null || return 0
  while :; do
    state=$(proc_state "$pid")
    if [ -z "$state" ] || [ "$state" = Z ]; then break; fi
    if [ "$ticks" -ge $((stop_grace * 20)) ]; then kill -KILL "$pid" 2>/dev/null || true; break; fi
    sleep 0.05
    ticks=$((ticks + 1))
  done
  wait "$pid" 2>/dev/null || true
}

# Starts a helper in a session of its own (an interrupt of the terminal goes to this script, which
# stops it in order) and records it for the clean-up; its pid is in $! afterwards.
start_helper() {
  setsid "$@" &
  helper_pids+=("$!")
}

cleanup() {
  # Once begun the clean-up runs to its end: a second signal (a double Ctrl-C, a closed terminal
  # that sends HUP after HUP) is ignored, a failing step does not end it, and a terminal that has
  # gone (a write to it fails) does not either.
  trap '' HUP INT TERM PIPE
  set +e
  if [ -n "$console_pid" ]; then stop_process "$console_pid"; fi
  local i
  for ((i = ${#helper_pids[@]} - 1; i >= 0; i--)); do stop_process "${helper_pids[i]}"; done
  # The database server goes with the console unless it was running before this script started.
  if [ "$db_step" = 1 ] && [ "$was_running" = 0 ]; then
    bash "$root/scripts/db.sh" stop "$dbdir" >/dev/null 2>&1
    # A server still starting has no pid file to stop it by: the next run finds it by the mark.
    if [ -z "$(db_processes)" ]; then rm -f "$statedir/db-started"; fi
  fi
  if [ "$settings_restore" = 1 ]; then restore_data_source; fi
  if [ "$(cat "$statedir/run.pid" 2>/dev/null)" = "$$" ]; then rm -f "$statedir/run.pid"; fi
}
trap cleanup EXIT
trap 'trap "" HUP INT TERM; exit 129' HUP
trap 'trap "" HUP INT TERM; exit 130' INT
trap 'trap "" HUP INT TERM; exit 143' TERM

# --- What an earlier run killed outright (kill -9) left running ---------------------------------

# The processes (not this script) that have this argument, exactly as written, on their command line.
with_argument() {
  local pid
  grep -lzxF -f <(printf '%s\n' "$1") /proc/[0-9]*/cmdline 2>/dev/null |
    while IFS=/ read -r _ _ pid _; do
      if [ "$pid" != "$$" ] && [ "$pid" != "$BASHPID" ]; then echo "$pid"; fi
    done
}

# The server of the private data folder, also one still starting (without its pid file).
db_processes() {
  [ -d "$dbdir" ] || return 0
  with_argument "--defaults-file=$(cd "$dbdir" && pwd)/my.cnf"
}

# A run of this checkout that is still going owns everything here; a run that ended without its
# clean-up left its servers behind, and they are stopped now.
take_over_from_earlier_run() {
  local earlier pid what kind needle
  mkdir -p "$statedir"
  chmod 700 "$home" "$statedir"
  earlier=$(cat "$statedir/run.pid" 2>/dev/null || true)
  if [ -n "$earlier" ] && [ "$earlier" != "$$" ] &&
     cat "/proc/$earlier/cmdline" 2>/dev/null | tr '\0' ' ' | grep -q 'run\.sh'; then
    echo "another run of this checkout is running (pid $earlier, $home); end it first: kill $earlier" >&2
    exit 1
  fi
  echo "$$" > "$statedir/run.pid"
  for kind in "simulated terminals:$demodir/logs" "VNC X server:$vncdir/passwd"; do
    what=${kind%%:*}
    needle=${kind#*:}
    for pid in $(with_argument "$needle"); do
      echo "stopping the $what (pid $pid) that an earlier run left running"
      stop_process "$pid"
    done
  done
  # A server that a run started is that run's (also one still starting, without its pid file);
  # one started by hand (scripts/db.sh) stays.
  if [ -f "$statedir/db-started" ]; then
    for pid in $(db_processes); do
      echo "stopping the database server (pid $pid) that an earlier run left running"
      stop_process "$pid"
    done
  fi
  rm -f "$statedir/db-started"
  # Everything in it the owner's only, also what an older version of this script or a helper left
  # readable (logs of the simulated terminals, of the X server, its display number). Done once what
  # an earlier run left is stopped; a file that goes while the tree is walked is tried no more.
  if ! chmod -R go-rwx "$home" 2>/dev/null; then chmod -R go-rwx "$home" || true; fi
}

# --- The private VNC X server for a machine without a display ---------------------------------

# shellcheck source=ports.sh
source "$root/scripts/ports.sh"

# A VNC port nobody listens on, from 5900 upwards (below the ephemeral range); nothing connects to
# the ports it passes over (another VNC server would count that as a failed login).
free_vnc_port() {
  local p
  for p in $(seq "${1:-5900}" 5999); do
    if ! listening "$p"; then echo "$p"; return 0; fi
  done
  echo "no free VNC port in 5900-5999" >&2
  return 1
}

random_text() {
  local text=
  while [ ${#text} -lt "$1" ]; do
    text+=$(LC_ALL=C tr -dc 'A-Za-z0-9' < <(head -c 256 /dev/urandom))
  done
  printf '%s' "${text:0:$1}"
}

# The password is made once and kept; the files are the owner's only, whatever they were before.
prepare_vnc_password() {
  mkdir -p "$vncdir"
  chmod 700 "$vncdir"
  if [ ! -s "$vncdir/password" ]; then
    (umask 077 && random_text "$vnc_password_length" > "$vncdir/password")
  fi
  chmod 600 "$vncdir/password"
  vnc_password=$(head -n1 "$vncdir/password")
  # The server reads the password in the obfuscated form of vncpasswd.
  (umask 077 && printf '%s\n' "$vnc_password" | vncpasswd -f > "$vncdir/passwd")
  chmod 600 "$vncdir/passwd"
}

# Starts Xtigervnc on 127.0.0.1 only, with VNC password authentication and an X authority cookie
# of its own; sets vnc_display, vnc_port and XAUTHORITY. The server picks a free display number.
start_vnc() {
  local xauth="$vncdir/Xauthority" cookie attempt pid ticks state log="$vncdir/Xvnc.log" port=5900
  prepare_vnc_password
  cookie=$(mcookie)
  (umask 077 && : > "$xauth")
  # The server takes every cookie of its file whatever display it names; clients look up theirs
  # by display number, added below once the number is known.
  xauth -q -f "$xauth" add :0 MIT-MAGIC-COOKIE-1 "$cookie"
  for attempt in 1 2 3 4 5; do
    port=$(free_vnc_port "$port")
    : > "$vncdir/display"
    : > "$log"
    start_helper Xtigervnc -displayfd 3 -rfbport "$port" -interface 127.0.0.1 \
      -SecurityTypes VncAuth -PasswordFile "$vncdir/passwd" -auth "$xauth" -nolisten tcp \
      -geometry "$vnc_geometry" -depth 24 -desktop zolconsole \
      3>"$vncdir/display" </dev/null >>"$log" 2>&1
    pid=$!
    # The display number is written once the server accepts clients.
    ticks=0
    while [ ! -s "$vncdir/display" ] && [ "$ticks" -lt $((vnc_start_timeout * 20)) ]; do
      state=$(proc_state "$pid")
      if [ -z "$state" ] || [ "$state" = Z ]; then break; fi
      sleep 0.05
      ticks=$((ticks + 1))
    done
    if [ -s "$vncdir/display" ]; then
      vnc_display=":$(head -n1 "$vncdir/display")"
      vnc_port=$port
      xauth -q -f "$xauth" add "$vnc_display" MIT-MAGIC-COOKIE-1 "$cookie"
      export XAUTHORITY="$xauth"
      return 0
    fi
    stop_process "$pid"
    # Another program may have taken the port since it was found free: try the next one.
    if grep -q 'Address already in use' "$log" && [ "$port" -lt 5999 ]; then
      port=$((port + 1))
      continue
    fi
    break
  done
  echo "the VNC X server did not start; see $log:" >&2
  tail -n 20 "$log" >&2 || true
  exit 1
}

# A small window manager in the private X server: the dialogs get title bars to tell them apart,
# move and close them, and the console's main window is maximised as on a desktop.
start_window_manager() {
  local log="$vncdir/openbox.log" ticks=0 pid state
  start_helper openbox --sm-disable </dev/null >"$log" 2>&1
  pid=$!
  # It has taken the screen once the root window names it.
  until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
    state=$(proc_state "$pid")
    if [ -z "$state" ] || [ "$state" = Z ] || [ "$ticks" -ge $((wm_start_timeout * 20)) ]; then
      echo "the window manager did not start (see $log); the windows have no frames" >&2
      return 0
    fi
    sleep 0.05
    ticks=$((ticks + 1))
  done
}

# --- Build and database ------------------------------------------------------------------------

step "packages"
bash "$root/scripts/install-deps.sh"

if [ -z "${ZOL_CONSOLE:-}" ]; then
  step "build ($build_type, $build)"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="$build_type" >/dev/null
  targets=(zolconsole)
  [ -z "$demo" ] || targets+=(zoldemo)
  cmake --build "$build" -j"$(nproc 2>/dev/null || echo 2)" --target "${targets[@]}"
fi

take_over_from_earlier_run

# As the account of the data, whose password db.sh keeps in my.cnf, on the port db.sh gave: never
# a default of the client's (another server of the machine).
sql() {
  mariadb --defaults-file="$dbdir/my.cnf" --protocol=tcp -h127.0.0.1 -P"${port:?}" \
    --default-character-set=utf8mb4 --batch --skip-column-names "$@"
}

db_running() {
  [ -f "$dbdir/run/mysqld.pid" ] && kill -0 "$(cat "$dbdir/run/mysqld.pid")" 2>/dev/null
}

# The private server with the demo database and operator; sets port.
prepare_demo_database() {
  step "database ($dbdir)"
  if db_running; then
    was_running=1
    echo "the database server of $dbdir was already running; it stays running after the console" \
         "(to stop it: bash scripts/db.sh stop $dbdir)"
  else
    # Marked before it starts: a run killed while it starts leaves the mark for the next run.
    : > "$statedir/db-started"
  fi
  db_step=1
  port=$(bash "$root/scripts/db.sh" start "$dbdir")
  # ODBCSYSINI points unixODBC at the data source "zol" that db.sh wrote for this server.
  eval "$(bash "$root/scripts/db.sh" env "$dbdir")"
  fill_demo_database
}

fill_demo_database() {
  local digest stored
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
}

# --- An existing data source (--dsn) -----------------------------------------------------------

settings="$(dirname "$console")/conf.ini"
settings_key=DataSource

# The value of a key of the [system] section of the console's settings file ("" when there is none).
setting() {
  [ -f "$settings" ] || return 0
  awk -v key="$1" '
    { sub(/\r$/, "") }
    /^[ \t]*\[/ { section = tolower($0); gsub(/[][ \t]/, "", section); next }
    section == "system" && index($0, "=") {
      name = substr($0, 1, index($0, "=") - 1); gsub(/^[ \t]+|[ \t]+$/, "", name)
      if (tolower(name) == tolower(key)) { print substr($0, index($0, "=") + 1); exit }
    }' "$settings"
}

# Sets a key of the [system] section, or removes it when the value is empty; other lines stay.
set_setting() {
  local key=$1 value=$2 tmp
  # A new file gets the modes the console would give it.
  [ -f "$settings" ] || (umask "$user_umask" && : > "$settings")
  tmp=$(mktemp "$settings.XXXXXX")
  awk -v key="$key" -v value="$value" '
    function put() { if (!done && value != "") print key "=" value eol; done = 1 }
    { line = $0; if (sub(/\r$/, "", line)) eol = "\r" }
    line ~ /^[ \t]*\[/ {
      if (insystem) put()
      section = tolower(line); gsub(/[][ \t]/, "", section); insystem = section == "system"
      print; next
    }
    insystem && index(line, "=") {
      name = substr(line, 1, index(line, "=") - 1); gsub(/^[ \t]+|[ \t]+$/, "", name)
      if (tolower(name) == tolower(key)) { put(); next }
    }
    { print }
    END { if (insystem) put(); else if (!done && value != "") { print "[system]" eol; put() } }' "$settings" > "$tmp"
  # Written over in place: the file keeps its owner and mode.
  cat "$tmp" > "$settings"
  rm -f "$tmp"
}

# Connects to the data source once and ends the run with the driver's reason when that fails:
# nobody may be there to close the console's "连接数据库服务失败!" box.
probe_data_source() {
  local probe status=0 reason
  probe=$(timeout -k 5 "$dsn_probe_timeout" isql -v -b "$dsn" </dev/null 2>&1) || status=$?
  [ "$status" -ne 0 ] || return 0
  if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
    reason="no answer within $dsn_probe_timeout s"
  else
    # isql -v shows the driver's records as "[STATE][unixODBC][component]text": the state and
    # the text say why (data source not found, server refused, login refused).
    reason=$(printf '%s\n' "$probe" | sed -n 's/^\(\[[0-9A-Z]\{5\}\]\)\(\[[^]]*\]\)*/\1 /p' | head -n 2) || true
    [ -n "$reason" ] || reason=$(printf '%s\n' "$probe" | grep -v '^\[ISQL\]' | tail -n 2) || true
  fi
  echo "the data source \"$dsn\" cannot be reached: ${reason:-isql ended with status $status}" >&2
  echo "the console was not started (data sources are read from ${ODBCSYSINI:-/etc}/odbc.ini and ~/.odbc.ini)" >&2
  exit 1
}

# The console reads its data source from its settings file: the one named is set there for this
# run, and what was there before comes back afterwards (unless the operator chose another meanwhile
# in 数据源).
use_data_source() {
  step "data source \"$dsn\""
  probe_data_source
  settings_before=$(setting "$settings_key")
  settings_existed=0
  [ -f "$settings" ] && settings_existed=1
  if [ "$settings_before" != "$dsn" ]; then
    set_setting "$settings_key" "$dsn"
    settings_restore=1
  fi
  echo "the console uses the data source \"$dsn\" (set in $settings for this run)"
}

restore_data_source() {
  [ "$(setting "$settings_key")" = "$dsn" ] || return 0
  set_setting "$settings_key" "$settings_before"
  # A file this run made, with nothing else in it, goes again.
  if [ "$settings_existed" = 0 ] && ! grep -qv '^\[system\]\r\?$' "$settings"; then
    rm -f "$settings"
  fi
}

if [ -n "$dsn" ]; then
  use_data_source
else
  prepare_demo_database
fi

if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  export XDG_RUNTIME_DIR="$home/xdg"
  mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
fi

# --- Simulated terminals -------------------------------------------------------------------------

# Agents and relay controllers on the loopback addresses of the demo terminals, with the agent port
# and key of the console's settings; they stop with the console, or by themselves when the database
# server goes. The console runs without them when they do not come up.
start_demo() {
  local pid ticks=0 state log="$demodir/zoldemo.log"
  mkdir -p "$demodir"
  chmod 700 "$demodir"
  : > "$log"
  start_helper "$demo" --settings "$(dirname "$console")/conf.ini" --logs "$demodir/logs" \
    --cut-off "$demo_cut_off" --agent-down "$demo_agent_down" --silent-relay "$demo_silent_relay" \
    </dev/null >>"$log" 2>&1
  pid=$!
  # zoldemo says "ready" when every terminal listens, "N of M demo terminals cannot listen" when
  # some do not, after a line for each of them.
  while ! grep -q 'ready\|demo terminals cannot listen' "$log" && [ "$ticks" -lt $((demo_start_timeout * 20)) ]; do
    state=$(proc_state "$pid")
    if [ -z "$state" ] || [ "$state" = Z ]; then break; fi
    sleep 0.05
    ticks=$((ticks + 1))
  done
  if grep -q 'ready' "$log"; then
    echo "simulated terminals for the demo data (agents and relay controllers on 127.0.0.x; $log)"
  elif grep -q 'demo terminals cannot listen' "$log"; then
    echo "some simulated terminals cannot listen: another program holds their addresses. See $log:" >&2
    grep 'cannot listen' "$log" | tail -n 20 >&2 || true
  else
    echo "the simulated terminals did not start; the console runs without them. See $log:" >&2
    tail -n 20 "$log" >&2 || true
  fi
}

if [ -n "$demo" ]; then
  step "demo terminals"
  start_demo
fi

# --- Console -----------------------------------------------------------------------------------

step "console"
if [ -z "${QT_QPA_PLATFORM:-}" ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  start_vnc
  export DISPLAY="$vnc_display" QT_QPA_PLATFORM=xcb
  start_window_manager
  echo "no display: the console runs in a private X server ($DISPLAY), VNC on 127.0.0.1:$vnc_port only"
  echo "VNC password: $vnc_password (kept in $vncdir/password)"
  echo "connect on this machine: vncviewer 127.0.0.1:$vnc_port"
  echo "from another machine: ssh -N -L 5901:127.0.0.1:$vnc_port <user>@<this machine>, then vncviewer 127.0.0.1:5901 there"
fi
# In the background, so that a signal to this script is handled at once and the clean-up ends
# the console before the servers it uses.
status=0
(umask "$user_umask" && exec "$console") &
console_pid=$!
wait "$console_pid" || status=$?
console_pid=
exit "$status"
