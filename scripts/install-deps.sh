#!/usr/bin/env bash
# Installs the Debian packages the console needs to build, test and run; quick no-op when all are there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-qpa-plugins qt6-translations-l10n
  unixodbc unixodbc-dev odbc-mariadb
  mariadb-server mariadb-client
  libxlsxwriter-dev libjpeg62-turbo-dev libmd-dev
  libgtest-dev libbenchmark-dev
  fonts-wqy-zenhei xvfb xauth tigervnc-viewer
  tigervnc-standalone-server tigervnc-tools libxcb1-dev openbox x11-utils
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}" >&2
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: need root or sudo to install packages" >&2; exit 1; }
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}" </dev/null
