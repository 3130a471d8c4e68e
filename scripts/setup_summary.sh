#!/usr/bin/env bash
# Installs what the native CapabilitySummary needs and nothing more, for a
# collection server: compiler, CMake, Ninja, the JSON and command-line
# libraries (header-only). No Wine, MinGW, Chromium or test libraries.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
"$here/install_packages.sh" cmake ninja-build g++ nlohmann-json3-dev libcli11-dev
