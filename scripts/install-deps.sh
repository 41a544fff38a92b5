#!/usr/bin/env bash
# install-deps.sh [LIST]: installs the Debian packages listed in LIST (packages.txt) that are
# not installed yet.
# Works as root and, for a normal user, through sudo.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
mapfile -t wanted < <(grep -vE '^\s*(#|$)' "${1:-$here/packages.txt}")
missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing missing packages: ${missing[*]}"
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
# Another apt run (unattended upgrades on a desktop) may hold the package
# lock for a while: wait for it rather than fail.
wait_lock=(-o DPkg::Lock::Timeout=600)
"${sudo[@]}" apt-get "${wait_lock[@]}" update -qq
"${sudo[@]}" apt-get "${wait_lock[@]}" install -y -qq "${missing[@]}"
