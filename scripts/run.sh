#!/usr/bin/env bash
# Builds the installer and starts it on a demo game and mod download, in the
# project's own Wine prefix. With a display you click through the installation
# yourself; without one it runs unattended on a virtual display through the
# GUI driver, and exits 0 only when the installation completed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target ZEM7Installer fixture_builder gui_driver

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

results=build/demo
rm -rf "$results" && mkdir -p "$results"
results_win=$(winepath -w "$results" 2>/dev/null)
cat > "$results/script.txt" <<SCRIPT
screenshot $results_win\\before-install.png
click cmdInstall
box YES ZEM7 Installer|Are you sure you want to install ZEM7?*
box NO ZEM7 Installation|The FlatOut ZEM7 Mod is now successfully installed.*
hold ZEM7 Installation|Would you like to play the FlatOut ZEM7 mod now?
screenshot $results_win\\after-install.png
answer NO
exit 120
SCRIPT
echo "No display: installing unattended on a virtual display..."
status=0
# The mod's tools print as they work; keep that out of the way.
wine build/tools/gui_driver.exe "$download\\ZEM7Installer.exe" "$results_win\\script.txt" \
  "$results_win\\boxes.txt" </dev/null >"$results/tool-output.txt" || status=$?
log="$demo_unix/Mod Download/ZEM7InstallLog.txt"
echo "Message boxes met:   $results/boxes.txt"
echo "Installation log:    $log"
echo "Installed game copy: $WINEPREFIX/drive_c/ZEM7 Demo/FlatOut - ZEM7"
echo "Screenshots:         $results/before-install.png, $results/after-install.png"
if [ "$status" -ne 0 ] || ! tail -n 1 "$log" 2>/dev/null | grep -q 'Finished installing the ZEM7 mod.'; then
  echo "The installation did not complete." >&2
  exit 1
fi
echo "The installation completed."
