# Sourced by the scripts that run Windows programs: a Wine prefix of the
# project's own, a display, and one persistent wineserver. wine_env_stop ends
# what wine_env_start began; callers run it from an EXIT trap.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}
export WINEPREFIX=$build/wineprefix
export WINEDEBUG=-all
# No Mono or Gecko prompts; and no menu builder, which would copy the
# shortcuts the installer makes into the Linux menus and desktop, outside the
# prefix.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
started_xvfb=""

wine_env_start() {
  if [ -z "${DISPLAY:-}" ]; then
    local display
    for display in $(seq 90 120); do
      [ -e /tmp/.X11-unix/X$display ] || [ -e /tmp/.X$display-lock ] || break
    done
    Xvfb :$display -screen 0 1920x1200x24 -nolisten tcp >/dev/null 2>&1 &
    started_xvfb=$!
    export DISPLAY=:$display
    for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$display ] && break; sleep 0.1; done
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i </dev/null >/dev/null 2>&1
    # A crashing test program must end with a report, not wait at a dialog.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1 # no 2 s hold after a box
    wineserver -w
  fi
  # A persistent server, started with its output detached: services that Wine
  # starts later inherit it, and must not hold ctest's pipe open.
  # One already running for the prefix (another of these scripts) serves as well.
  wineserver -p </dev/null >/dev/null 2>&1 || true
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  # The desktop process as well. Wine starts it for the first program that
  # makes a window, with that program's stderr, and keeps it while any window
  # is open: a test beside a long one would then hold ctest's pipe until the
  # long one ends. Started here it has no output and stays for the session
  # (a second one for the same prefix ends at once). rundll32 makes a window,
  # which returns only once the desktop is up: no test starts one of its own.
  (wine explorer /desktop </dev/null >/dev/null 2>&1 &)
  wine rundll32 user32.dll,GetDesktopWindow </dev/null >/dev/null 2>&1 || true
}

wine_env_stop() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$started_xvfb" ]; then kill "$started_xvfb" 2>/dev/null || true; fi
}
