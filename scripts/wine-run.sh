#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix.
# WINEPREFIX defaults to <build>/wineprefix; the test and demo scripts set it.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$here/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# The menu builder stays off whatever else the caller overrides: it would copy
# the shortcuts the installer makes into the Linux menus and desktop.
overrides=${WINEDLLOVERRIDES:-mscoree,mshtml=}
case $overrides in
  *winemenubuilder*) ;;
  *) overrides="$overrides;winemenubuilder.exe=d" ;;
esac
export WINEDLLOVERRIDES=$overrides
exec wine "$@"
