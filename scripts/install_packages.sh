#!/usr/bin/env bash
# Installs the Debian packages named (as root), skipping those already there.
# Packages for i386 (name:i386) add that architecture first. Waits for a
# package manager that another installer holds rather than failing.
#   install_packages.sh PACKAGE...
set -euo pipefail

if printf '%s\n' "$@" | grep -q ':i386$' &&
  ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  need_update=1
fi

# "dpkg -s" refuses a name installed for two architectures (libgl1-mesa-dri
# with libgl1-mesa-dri:i386), which made every run update the package lists
# and fail without the network.
installed() {
  dpkg-query -W -f='${db:Status-Status}\n' "$1" 2>/dev/null | grep -qx installed
}
missing=()
for package in "$@"; do
  installed "$package" || missing+=("$package")
done

if [ "${#missing[@]}" -gt 0 ] || [ -n "${need_update:-}" ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt=(apt-get -o DPkg::Lock::Timeout=900)
  # A mirror caught mid-sync fails one index (seen: bookworm-security's i386
  # list, "File has unexpected size"). Try again, then go on with the lists
  # there are: the install below still fails if a package cannot be had.
  for attempt in 1 2 3; do
    "${apt[@]}" update -qq && break
    if [ "$attempt" = 3 ]; then
      echo "install_packages.sh: package lists not all updated; installing from those there are" >&2
    else
      sleep 10
    fi
  done
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "installing: ${missing[*]}"
    "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
fi
