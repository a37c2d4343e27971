# A fresh Debian root to install the package into, as a user's machine has it: debootstrap's
# minbase of bookworm with man-db, from the machine's own mirror, built once and kept as a tarball,
# $base, in ~/.cache/quorvex-package beside the packages apt downloads. Each test unpacks a copy of
# its own, $root, in memory, with proc, dev and tmp mounted for apt and dpkg. Sourced; needs root.
cache=${XDG_CACHE_HOME:-$HOME/.cache}/quorvex-package
base=$cache/bookworm-minbase-man-db.tar
archives=$cache/archives
root=
mkdir -p "$archives"

make_debian_base() { # says why and fails when it cannot be built
  local mirror scratch
  [ ! -f "$base" ] || return 0
  command -v debootstrap >/dev/null || { echo "FAIL: debootstrap is not installed (script/bootstrap installs it)"; return 1; }
  mirror=$(awk '/^URIs:/{print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null)
  [ -n "$mirror" ] || mirror=$(awk '/^deb /{print $2; exit}' /etc/apt/sources.list 2>/dev/null)
  [ -n "$mirror" ] || mirror=http://deb.debian.org/debian
  echo "building a minimal Debian root (once, kept in $cache)"
  scratch=$(mktemp -d "$cache/base.XXXXXX")
  if ! timeout 1200 debootstrap --variant=minbase --include=man-db bookworm "$scratch" "$mirror" >"$cache/debootstrap.log" 2>&1; then
    rm -rf "$scratch"
    echo "FAIL: debootstrap failed, see $cache/debootstrap.log"
    return 1
  fi
  tar -C "$scratch" -cf "$base.part" . && mv "$base.part" "$base"
  rm -rf "$scratch"
}

make_root() { # tarball: unpacks it as $root, mounted for apt; says why and fails when it cannot
  root=$(mktemp -d "$cache/root.XXXXXX")
  # In memory: nothing of it goes to the disk, and it is gone at once.
  mount -t tmpfs tmpfs "$root" || { echo "FAIL: cannot mount a tmpfs for the root"; return 1; }
  tar -C "$root" -xf "$1" || { echo "FAIL: cannot unpack $1"; return 1; }
  chmod 755 "$root" # as a system's / is, open to its users, not as the scratch directory it was made in
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  mount -t proc proc "$root/proc" && mount --rbind /dev "$root/dev" && mount -t tmpfs tmpfs "$root/tmp" ||
    { echo "FAIL: cannot mount proc, dev and tmp in the root"; return 1; }
  cp "$archives"/*.deb "$root/var/cache/apt/archives/" 2>/dev/null
  return 0
}

inside() { # seconds, command...: runs in the root with a clean environment
  local seconds=$1
  shift
  timeout -k 10 "$seconds" chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"
}

# What apt downloaded into the root is kept for the next root, where there is anything.
keep_downloads() {
  cp -n "$root/var/cache/apt/archives/"*.deb "$archives/" 2>/dev/null
  return 0
}

unmount_root() {
  local point
  for point in tmp dev proc; do
    if mountpoint -q "$root/$point"; then umount -R "$root/$point" 2>/dev/null || umount -R -l "$root/$point"; fi
  done
}

# The root is deleted only once nothing is mounted on or below it any more, so the host's /dev can
# never be reached through it.
mounted_in_root() { awk -v root="$root/" 'index($2 "/", root) == 1 { found = 1 } END { exit !found }' /proc/self/mounts; }
remove_root() {
  [ -n "$root" ] || return 0
  unmount_root
  if mountpoint -q "$root"; then umount "$root" 2>/dev/null || umount -l "$root"; fi
  if mounted_in_root; then
    echo "left $root in place: something is still mounted on or below it"
  else
    rm -rf "$root"
    root=
  fi
}
