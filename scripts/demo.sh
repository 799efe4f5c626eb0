#!/usr/bin/env bash
# make demo: Velmora beside simhost's live scene, under Wine.
#
# Builds the 64-bit Windows programs (build/win64), then starts simhost with its live
# default scene and Velmora beside it, from copies in the demo folder (out/demo, or
# VELMORA_DEMO_OUT), where Velmora keeps its settings file.
#  - With a DISPLAY: Velmora runs until you close it; simhost is stopped after it.
#  - Without one: both run on Xvfb inside a Wine virtual desktop (so Wine draws the
#    title bar and the menu); the script takes a screenshot of the airborne view and
#    one of the ground view (switched with the probe's menu commands), closes Velmora
#    with File > Exit, prints where the pictures are and exits 0.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=$root/build/win64
out=${VELMORA_DEMO_OUT:-$root/out/demo}
desktop=Velmora
desktop_size=1280x900

log() { echo "demo: $*"; }
fail() { echo "demo: $*" >&2; exit 1; }

# --- Build -------------------------------------------------------------------------
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" >/dev/null
fi
cmake --build "$build" -j2 --target velmora simhost probe velmora_probe >/dev/null \
  || fail "build failed (cmake --build $build)"

mkdir -p "$out"
for f in velmora.exe simhost.exe probe.exe velmora_probe.dll; do
  cp "$build/$f" "$out/$f"
done

# --- Wine ----------------------------------------------------------------------------
export WINEPREFIX=${WINEPREFIX:-$root/build/wine}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
wine=$(command -v wine64 || command -v wine)
[ -x /usr/lib/wine/wine64 ] && wine=/usr/lib/wine/wine64

xvfb_pid=
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

headless=0
if [ -z "${DISPLAY:-}" ]; then
  headless=1
  . "$here/xvfb.sh"
  start_xvfb || fail "cannot start Xvfb"
  xvfb_pid=$XVFB_PID
fi

mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  if [ ! -f "$WINEPREFIX/.velmora-ready" ]; then
    log "making the Wine prefix $WINEPREFIX (once)"
    "$wine" wineboot -i >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.velmora-ready"
  fi
) 9>"$WINEPREFIX.lock"

# Wine draws the caption buttons with Marlett; a prefix that does not list Wine's own
# fonts shows letters in their place, so put it among the prefix's fonts.
fonts=$WINEPREFIX/drive_c/windows/Fonts
if [ ! -f "$fonts/marlett.ttf" ] && [ -f /usr/share/wine/fonts/marlett.ttf ]; then
  mkdir -p "$fonts" && cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
fi

winpath() { "$wine" winepath -w "$1" 2>/dev/null | tr -d '\r'; }

# --- With a display: run until the user closes Velmora --------------------------------
if [ "$headless" = 0 ]; then
  log "starting simhost and Velmora; close Velmora to end the demo"
  (cd "$out" && "$wine" simhost.exe >/dev/null 2>&1 &)
  sleep 2
  set +e
  (cd "$out" && "$wine" velmora.exe)
  status=$?
  set -e
  log "Velmora ended with exit code $status"
  exit "$status"
fi

# --- Without a display: screenshots in a virtual desktop ------------------------------
# A fresh settings file each time, the program's defaults but for the placements:
# wide enough for all seventeen columns, below simhost's status window.
printf '[Window]\r\nAirborne=[20,240,1240,650]\r\nGround=[20,240,1240,650]\r\n' \
  > "$out/velmora.ini"
probe() { "$wine" "$out/probe.exe" --desktop "$desktop" "$@" 2>/dev/null | tr -d '\r'; }
in_desktop() { "$wine" explorer "/desktop=$desktop,$desktop_size" "$(winpath "$1")"; }
shoot() {
  import -window root -display "$DISPLAY" -crop "$desktop_size+0+0" +repage "$1"
}
# Waits until the table can be read and the title shows the view's name and a refresh.
wait_view() {
  local name=$1 i title
  for i in $(seq 1 60); do
    title=$(probe title || true)
    if [[ "$title" == *"- $name"* && "$title" == *"("*")"* ]] && probe table >/dev/null; then
      log "title: $title"
      return 0
    fi
    sleep 0.5
  done
  fail "Velmora did not show the $name view (title: ${title:-none})"
}

(cd "$out" && in_desktop "$out/simhost.exe" >/dev/null 2>&1 &)
sleep 2
(cd "$out" && in_desktop "$out/velmora.exe" >/dev/null 2>&1 &)

wait_view Airborne
sleep 1
shoot "$out/airborne.png"

probe command 106 >/dev/null          # File > Ground Traffic Only
wait_view Ground
sleep 1
shoot "$out/ground.png"

probe command 107 >/dev/null          # back to the airborne traffic
wait_view Airborne
probe command 101 >/dev/null          # File > Exit: Velmora writes its settings
for i in $(seq 1 40); do
  grep -q '^Mode=' "$out/velmora.ini" 2>/dev/null && break
  sleep 0.25
done

log "screenshots:"
echo "  $out/airborne.png"
echo "  $out/ground.png"
log "settings Velmora wrote: $out/velmora.ini"
exit 0
