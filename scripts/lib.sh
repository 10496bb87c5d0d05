# Shared set-up for scripts/demo and scripts/test: packages, build, the Wine
# prefix inside the build tree, a virtual display and a persistent wineserver.
# Sourced, not run.
set -euo pipefail

VLX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
VLX_BUILD=${VLX_BUILD_DIR:-$VLX_ROOT/build}
VLX_PREFIX=$VLX_BUILD/wineprefix
VLX_PACKAGES=(cmake ninja-build mingw-w64 g++-mingw-w64-x86-64 wine64 xvfb xauth x11-apps
              googletest python3 python3-pil ffmpeg)
# The host kit: clang, lld-link and llvm-dlltool build and prove the MSVC import library.
VLX_PACKAGES+=(clang lld llvm)

log() { printf '== %s\n' "$*" >&2; }

ensure_packages() {
    local missing=() p
    for p in "${VLX_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}

build_all() {
    log "building in $VLX_BUILD"
    cmake -S "$VLX_ROOT" -B "$VLX_BUILD" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$VLX_ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null
    cmake --build "$VLX_BUILD"
}

wine_run() { "$VLX_ROOT/scripts/wine-run" "$VLX_PREFIX" "$@"; }

VLX_XVFB_PID=""
start_display() {
    local display_file
    display_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
    VLX_XVFB_PID=$!
    local i
    for i in $(seq 100); do
        [ -s "$display_file" ] && break
        sleep 0.1
    done
    export DISPLAY=":$(head -n1 "$display_file")"
    rm -f "$display_file"
    log "Xvfb on $DISPLAY"
}

stop_all() {
    WINEPREFIX="$VLX_PREFIX" /usr/lib/wine/wineserver -k 2>/dev/null || true
    if [ -n "$VLX_XVFB_PID" ]; then
        kill "$VLX_XVFB_PID" 2>/dev/null || true
        wait "$VLX_XVFB_PID" 2>/dev/null || true
    fi
}

# Makes the prefix once and registers the test camera with every edge-case
# device in it, and the test codec.
prepare_prefix() {
    export WINEPREFIX="$VLX_PREFIX" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    if [ ! -f "$VLX_PREFIX/system.reg" ]; then
        log "creating the Wine prefix $VLX_PREFIX"
        # wineboot answers non-zero for the missing 32-bit half; the prefix is fine.
        wine_run wineboot -i >/dev/null 2>&1 || true
        # The registry reaches the disk when the wineserver ends.
        WINEPREFIX="$VLX_PREFIX" /usr/lib/wine/wineserver -w
        [ -f "$VLX_PREFIX/system.reg" ] || { log "wineboot failed"; exit 1; }
    fi
    # A persistent wineserver makes every later start fast. Wine's own
    # services start with the first program of a server session and inherit
    # its output; starting them here, silenced, keeps them from holding the
    # output pipes of the tests open.
    WINEPREFIX="$VLX_PREFIX" /usr/lib/wine/wineserver -p >/dev/null 2>&1 || true  # may already run
    wine_run wineboot >/dev/null 2>&1 || true
    if [ -f "$VLX_BUILD/bin/vidlox-testcam64.dll" ]; then
        wine_run regsvr32 /s /n /i:all "$VLX_BUILD/bin/vidlox-testcam64.dll" >/dev/null 2>&1
    fi
    register_test_platform
    # Wine has no decoder for what webcams send; the test codec is the one
    # intelligent connect finds behind the AVI Decompressor.
    if [ -f "$VLX_BUILD/bin/vidlox-testcodec64.dll" ]; then
        wine_run regsvr32 /s "$VLX_BUILD/bin/vidlox-testcodec64.dll" >/dev/null 2>&1
    fi
}

# The test platform's components (testplatform/, README "The test
# platform"): pieces Wine 8 lacks, put into the test prefix only. Done after
# every wineboot, which rewrites Wine's own class entries.
register_test_platform() {
    local components="$VLX_BUILD/bin/testplatform"
    local system32="$VLX_PREFIX/drive_c/windows/system32"
    [ -d "$components" ] || return 0
    wine_run regsvr32 /s "$components/vidlox-tp-capture64.dll" >/dev/null 2>&1
    wine_run regsvr32 /s "$components/vidlox-tp-mjpeg64.dll" >/dev/null 2>&1
    # Our mfreadwrite.dll, loaded instead of Wine's (DllOverrides "native"),
    # forwards everything but the sink writer to Wine's own under another name.
    cp /usr/lib/x86_64-linux-gnu/wine/x86_64-windows/mfreadwrite.dll "$system32/mfreadwrite_wine.dll"
    cp "$components/mfreadwrite.dll" "$system32/mfreadwrite.dll"
    wine_run reg add 'HKCU\Software\Wine\DllOverrides' /v mfreadwrite /d native /f >/dev/null 2>&1
}

setup_everything() {
    ensure_packages
    build_all
    trap stop_all EXIT
    start_display
    prepare_prefix
}
