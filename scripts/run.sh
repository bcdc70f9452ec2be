#!/usr/bin/env bash
# Builds the installer and starts it on a demo game and mod download, in the
# project's own Wine prefix. With a display you click through the installation
# yourself; without one it runs unattended (/VERYSILENT) and exits 0 only when
# the installation completed without errors.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target ZEM7Installer fixture_builder

own_display=${DISPLAY:-}
source scripts/wine-env.sh
trap wine_env_stop EXIT
wine_env_start

demo_unix="$WINEPREFIX/drive_c/ZEM7 Demo"
game='C:\ZEM7 Demo\FlatOut'
download='C:\ZEM7 Demo\Mod Download'
rm -rf "$demo_unix"
echo "Making the demo game and mod download (${DEMO_SIZE:-64M} of game data)..."
wine build/tools/fixture_builder.exe --game "$game" --dist "$download" --size "${DEMO_SIZE:-64M}" \
  --installer "$(winepath -w build/src/ZEM7Installer.exe 2>/dev/null)" </dev/null >/dev/null
# Where the game's own (32-bit) installer records the game folder.
wine reg add 'HKLM\SOFTWARE\BugBear\FlatOut' /v Path /t REG_SZ /d "$game" /f /reg:32 </dev/null >/dev/null 2>&1

if [ -n "$own_display" ]; then
  echo "Starting the installer from $download"
  cd "$demo_unix/Mod Download"
  wine ZEM7Installer.exe </dev/null
  exit 0
fi

echo "No display: installing unattended (/VERYSILENT) into $game - ZEM7..."
status=0
# The mod's tools print as they work; keep that, and the installer's own
# progress lines, in a file.
mkdir -p build/demo
(cd "$demo_unix/Mod Download" && wine ZEM7Installer.exe /VERYSILENT </dev/null) >build/demo/output.txt 2>&1 || status=$?
log="$demo_unix/Mod Download/ZEM7InstallLog.txt"
echo "Installer output:    build/demo/output.txt"
echo "Installation log:    $log"
echo "Installed game copy: $WINEPREFIX/drive_c/ZEM7 Demo/FlatOut - ZEM7"
if [ "$status" -ne 0 ]; then
  echo "The installation did not complete without errors (exit code $status)." >&2
  exit 1
fi
echo "The installation completed."
