#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix.
# WINEPREFIX defaults to <build>/wineprefix; the test and demo scripts set it.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$here/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
exec wine "$@"
