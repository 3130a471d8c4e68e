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

missing=()
for package in "$@"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done

if [ "${#missing[@]}" -gt 0 ] || [ -n "${need_update:-}" ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt=(apt-get -o DPkg::Lock::Timeout=900)
  "${apt[@]}" update -qq
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "installing: ${missing[*]}"
    "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
fi
