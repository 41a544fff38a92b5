#!/usr/bin/env bash
# test-release.sh RELEASE [COMMAND]: runs the whole `make test` (or COMMAND,
# say "make deb") inside a clean minimal root of another Debian release
# (trixie, testing, ...), as a new user there would: the project's own
# install step first, then the suite.
#
# The pristine root (debootstrap --variant=minbase) and every package
# downloaded for it stay in $TOVLAN_CACHE (/var/cache/tovlan) so later runs
# only copy and install; FRESH=1 builds the root again. Each run works in a
# copy of that root that is thrown away afterwards, together with the mounts
# it needed, on every way out (failure, Ctrl-C, TERM).
set -euo pipefail
release=${1:?usage: test-release.sh RELEASE [COMMAND] (e.g. trixie, testing)}
command=${2:-make test}
case $release in *[!a-z0-9-]*) echo "test-release: bad release name '$release'" >&2; exit 2 ;; esac
[ "$(id -u)" -eq 0 ] || exec sudo --preserve-env=CI,FRESH,TOVLAN_CACHE "$0" "$@"
src=$(cd "$(dirname "$0")/.." && pwd)
cache=${TOVLAN_CACHE:-/var/cache/tovlan}
pristine=$cache/roots/$release debs=$cache/debs/$release lists=$cache/lists/$release
mkdir -p "$cache/roots" "$cache/runs" "$debs/partial" "$lists/partial"

# The machine's own Debian mirror: the archive that serves this machine's own
# release, from the one-line and the deb822 source files alike.
apt_sources() {  # prints "URI SUITE" for every enabled deb source
    local f
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$f" ] || continue
        sed -E 's/#.*//; s/\[[^]]*\]//' "$f" | awk '$1 == "deb" { print $2, $3 }'
    done
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        awk 'function flush() { if (types ~ /(^| )deb( |$)/ && enabled != "no")
                 for (i = 1; i <= nu; i++) for (j = 1; j <= ns; j++) print u[i], s[j]
                 types = ""; enabled = ""; nu = ns = 0 }
             /^#/ { next }
             /^[ \t]*$/ { flush(); next }
             { key = tolower($1); sub(/:$/, "", key); $1 = "" }
             key == "types" { types = $0 " " }
             key == "enabled" { enabled = tolower($2) }
             key == "uris" { nu = split($0, u, " ") }
             key == "suites" { ns = split($0, s, " ") }
             END { flush() }' "$f"
    done
}
own=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
mirror=$(apt_sources | awk -v own="$own" '$2 == own { print $1; exit }')
[ -n "$mirror" ] || mirror=$(apt_sources | awk '$2 !~ /-(security|updates|backports)$/ { print $1; exit }')
security=$(apt_sources | awk -v want="$own-security" '$2 == want { print $1; exit }')
[ -n "$mirror" ] || { echo "test-release: no Debian mirror in this machine's apt sources" >&2; exit 1; }
mirror=${mirror%/} security=${security%/}

run="" child=""
processes_in() {  # ROOT: the processes whose root directory is ROOT
    local p
    for p in /proc/[0-9]*; do
        [ "$(readlink "$p/root" 2>/dev/null)" = "$1" ] && echo "${p#/proc/}"
    done
    return 0
}
mounts_under() {  # DIR: mount points at or below DIR, deepest first
    awk -v d="$1" '$5 == d || index($5, d "/") == 1 { print $5 }' /proc/self/mountinfo | sort -r
}
# Ends what still runs in ROOT, takes its mounts down and only then deletes it:
# never delete through a mount that is still there (it would reach /dev).
discard() {  # ROOT
    local root=$1 pids m
    [ -n "$root" ] && [ -d "$root" ] || return 0
    pids=$(processes_in "$root")
    if [ -n "$pids" ]; then
        kill -TERM $pids 2>/dev/null || true
        for _ in $(seq 50); do [ -z "$(processes_in "$root")" ] && break; sleep 0.1; done
        pids=$(processes_in "$root")
        [ -z "$pids" ] || kill -KILL $pids 2>/dev/null || true
        sleep 0.2
    fi
    for m in $(mounts_under "$root"); do umount "$m" 2>/dev/null || umount -l "$m"; done
    if [ -n "$(mounts_under "$root")" ]; then
        echo "test-release: $root is still mounted; left in place" >&2
        return 1
    fi
    rm -rf --one-file-system "$root"
}
cleanup() {
    local status=$?
    trap - EXIT INT TERM HUP
    [ -z "$child" ] || kill -TERM "$child" 2>/dev/null || true
    discard "$run" || status=1
    exit $status
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

# Runs a command in the background and waits, so that an interruption is
# handled at once rather than when the command ends.
waited() { "$@" & child=$!; wait "$child"; local s=$?; child=""; return $s; }

sources_list() {
    echo "deb $mirror $release main"
    case $release in testing | unstable | sid) return ;; esac
    echo "deb $mirror $release-updates main"
    [ -z "$security" ] || echo "deb $security $release-security main"
}

if [ "${FRESH:-}" = 1 ] && [ -d "$pristine" ]; then discard "$pristine"; fi
if [ ! -f "$pristine/.tovlan-root" ]; then
    echo "test-release: building a minimal $release root from $mirror (once; kept in $pristine)"
    run=$pristine.new
    discard "$run"
    include=() ; case $mirror in https:*) include=(--include=ca-certificates) ;; esac
    waited debootstrap --variant=minbase "${include[@]}" --cache-dir="$debs" "$release" "$run" "$mirror" </dev/null
    sources_list >"$run/etc/apt/sources.list"
    # Packages installed in a root start no services.
    printf '#!/bin/sh\nexit 101\n' >"$run/usr/sbin/policy-rc.d"
    chmod 755 "$run/usr/sbin/policy-rc.d"
    rm -f "$run"/var/cache/apt/archives/*.deb
    touch "$run/.tovlan-root"
    mv "$run" "$pristine"
    run=""
fi

run=$(mktemp -d "$cache/runs/$release.XXXXXX")
chmod 755 "$run"
echo "test-release: copying the $release root to $run"
cp -a "$pristine/." "$run/"
cp -L /etc/resolv.conf "$run/etc/resolv.conf"
# Testing's and the security archive's Release files expire after a week; a
# mirror that serves a dated snapshot would otherwise refuse them.
echo 'Acquire::Check-Valid-Until "false";' >"$run/etc/apt/apt.conf.d/99tovlan-snapshot"
mkdir -p "$run/root/tovlan"
git -C "$src" ls-files -z | (cd "$src" && tar --null --ignore-failed-read -T - -cf - 2>/dev/null) |
    tar -xf - -C "$run/root/tovlan"

mount -t proc proc "$run/proc"
mount --bind /sys "$run/sys"
mount --bind /dev "$run/dev"
mount --bind /dev/pts "$run/dev/pts"
mount -t tmpfs -o mode=1777,nosuid,nodev shm "$run/dev/shm"
mount --bind "$debs" "$run/var/cache/apt/archives"
mount --bind "$lists" "$run/var/lib/apt/lists"

inside() {  # COMMAND: runs it in the copy, as root in a plain login environment
    chroot "$run" /usr/bin/env -i HOME=/root USER=root LOGNAME=root LANG=C.UTF-8 \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        TERM="${TERM:-dumb}" CI="${CI:-}" /bin/bash -c "cd /root/tovlan && $1" </dev/null
}
# Runs of the same release share the package caches, one install at a time.
exec 9>"$cache/$release.lock"
waited flock 9
waited inside scripts/install-deps.sh
flock -u 9
exec 9>&-
qt=$(inside "dpkg-query -W -f='\${Version}' 'libqt6core6*' 2>/dev/null | head -n1" || true)
echo "test-release: $release with Qt $qt: $command (set up in $SECONDS s)"
waited inside "$command"
echo "test-release: $command passed on $release (Qt $qt) in $SECONDS s"
