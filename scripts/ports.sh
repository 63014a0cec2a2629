# Sourced by the scripts: whether a TCP port is taken, from the kernel's tables of sockets. Nothing
# connects to the port: a VNC server counts every connection that closes without logging in as a
# failed login and, after a few, refuses every client from that address.

# True when a socket listens on this port, on any address, IPv4 or IPv6.
listening() {
  local port table tables=()
  port=$(printf ':%04X' "$1")
  for table in /proc/net/tcp /proc/net/tcp6; do
    [ -r "$table" ] && tables+=("$table")
  done
  [ ${#tables[@]} -gt 0 ] || return 1
  # Column 2 is the local address (hex address:hex port), column 4 the state; 0A is LISTEN.
  awk -v port="$port" '$4 == "0A" && substr($2, length($2) - 4) == port { found = 1; exit }
                       END { exit !found }' "${tables[@]}"
}
