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

# The build type the scripts build, test and package; Release unless the
# caller names another (VLX_BUILD_TYPE=Debug scripts/test). A plain cmake
# configure keeps the project's own default.
VLX_BUILD_TYPE=${VLX_BUILD_TYPE:-Release}
# Package installation and the build write here; the terminal shows one line
# per stage, and the end of this file when a stage fails.
VLX_SETUP_LOG=$VLX_BUILD/setup.log

log() { printf '== %s\n' "$*" >&2; }

# ---- Stages: one line each on the terminal, the details in the set-up log.
# On a terminal the line is rewritten as the stage goes on; elsewhere (CI
# logs) it is printed again only at each quarter of the way, so that a log
# stays short and still shows that the stage is moving.
VLX_STAGE="" VLX_STAGE_START=0 VLX_STAGE_QUARTER=0
[ -t 2 ] && [ "${TERM:-dumb}" != dumb ] && VLX_ON_TERMINAL=1 || VLX_ON_TERMINAL=0
# A rewritten line must not wrap, or the next rewrite leaves its head behind.
VLX_COLUMNS=$( (stty size <&2 2>/dev/null || true) | cut -d' ' -f2)
[ "${VLX_COLUMNS:-0}" -gt 20 ] 2>/dev/null || VLX_COLUMNS=80
# The last part of a pipeline runs in this shell, so followers keep counts.
shopt -s lastpipe

elapsed() {
    local s=$((SECONDS - VLX_STAGE_START))
    if [ "$s" -ge 60 ]; then printf '%d min %d s' $((s / 60)) $((s % 60)); else printf '%d s' "$s"; fi
}

stage_begin() {  # stage_begin <name> <first progress text>
    VLX_STAGE=$1 VLX_STAGE_START=$SECONDS VLX_STAGE_QUARTER=0
    printf '\n==== %s (%s)\n' "$1" "$(date '+%F %T')" >>"$VLX_SETUP_LOG"
    if [ "$VLX_ON_TERMINAL" = 1 ]; then stage_progress 0 0 "$2"; else log "$1: $2"; fi
}

stage_progress() {  # stage_progress <done> <total> <text>
    if [ "$VLX_ON_TERMINAL" = 1 ]; then
        local line="== $VLX_STAGE: $3"
        printf '\r\033[K%s' "${line:0:VLX_COLUMNS-1}" >&2
    elif [ "$2" -gt 0 ] && [ $(($1 * 4 / $2)) -gt "$VLX_STAGE_QUARTER" ] && [ "$1" -lt "$2" ]; then
        VLX_STAGE_QUARTER=$(($1 * 4 / $2))
        log "$VLX_STAGE: $3"
    fi
}

stage_end() {  # stage_end <summary>
    if [ "$VLX_ON_TERMINAL" = 1 ]; then printf '\r\033[K== %s: %s\n' "$VLX_STAGE" "$1" >&2; else log "$VLX_STAGE: $1"; fi
}

# Ends the script after a failed stage with the end of the set-up log.
stage_failed() {  # stage_failed <exit status>
    local shown=${VLX_SETUP_LOG#"$PWD"/}
    stage_end "FAILED after $(elapsed) (exit status $1); the last lines of $shown:"
    tail -n 30 "$VLX_SETUP_LOG" | sed 's/^/    /' >&2
    log "the whole log: $shown"
    exit "$1"
}

# run_logged <follower> <command...>: the command's output goes to the set-up
# log, every line also to the follower, which turns it into progress.
run_logged() {
    local follower=$1 statuses
    shift
    set +e
    "$@" </dev/null 2>&1 | tee -a "$VLX_SETUP_LOG" | "$follower"
    statuses=("${PIPESTATUS[@]}")
    set -e
    [ "${statuses[0]}" -eq 0 ] || stage_failed "${statuses[0]}"
}

# apt-get's own words (the C locale keeps them English): how many packages,
# then a line per download, unpacking and setting up.
VLX_APT_TOTAL=0
follow_apt() {
    local line fetched=0 unpacked=0 set_up=0
    while IFS= read -r line; do
        case $line in
            *" newly installed, "*)
                [[ $line =~ ^([0-9]+)\ upgraded,\ ([0-9]+)\ newly ]] &&
                    VLX_APT_TOTAL=$((BASH_REMATCH[1] + BASH_REMATCH[2])) ;;
            Get:* | Hit:*) fetched=$((fetched + 1)) ;;
            "Unpacking "*) unpacked=$((unpacked + 1)) ;;
            "Setting up "*) set_up=$((set_up + 1)) ;;
            *) continue ;;
        esac
        local total=$((VLX_APT_TOTAL > 0 ? VLX_APT_TOTAL : 1))
        if [ "$set_up" -gt 0 ]; then
            stage_progress $((2 * total + set_up)) $((3 * total)) "setting up $set_up of $VLX_APT_TOTAL"
        elif [ "$unpacked" -gt 0 ]; then
            stage_progress $((total + unpacked)) $((3 * total)) "unpacking $unpacked of $VLX_APT_TOTAL"
        elif [ "$VLX_APT_TOTAL" -gt 0 ]; then
            stage_progress "$fetched" $((3 * total)) "downloading $fetched of $VLX_APT_TOTAL"
        else
            stage_progress 0 0 "updating the package lists: source $fetched"
        fi
    done
}

# Ninja's status "[N/M] " (set below, whatever the caller's NINJA_STATUS).
VLX_BUILD_STEPS=0
follow_ninja() {
    local line
    while IFS= read -r line; do
        if [[ $line =~ ^\[([0-9]+)/([0-9]+)\]\  ]]; then
            VLX_BUILD_STEPS=${BASH_REMATCH[2]}
            stage_progress "${BASH_REMATCH[1]}" "$VLX_BUILD_STEPS" "step ${BASH_REMATCH[1]} of $VLX_BUILD_STEPS"
        fi
    done
}

# logged <command...>: like run_logged for commands with nothing to follow.
# The output goes straight to the file: a Wine service the command starts may
# keep it open, which a pipe would wait for.
logged() {
    "$@" </dev/null >>"$VLX_SETUP_LOG" 2>&1 || stage_failed $?
}

ensure_packages() {
    local missing=() p
    # Each run's set-up log starts empty; this is the first step of every script.
    mkdir -p "$VLX_BUILD"
    : >"$VLX_SETUP_LOG"
    for p in "${VLX_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if [ ${#missing[@]} -eq 0 ]; then
        log "packages: all ${#VLX_PACKAGES[@]} present"
        return 0
    fi
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    # sudo resets the environment: the settings go through env.
    local apt=("${sudo[@]}" env LC_ALL=C DEBIAN_FRONTEND=noninteractive apt-get)
    stage_begin "packages" "updating the package lists"
    run_logged follow_apt "${apt[@]}" update
    stage_progress 0 0 "installing ${#missing[@]} missing and what they need"
    run_logged follow_apt "${apt[@]}" install -y --no-install-recommends "${missing[@]}"
    stage_end "installed $VLX_APT_TOTAL for the ${#missing[@]} missing in $(elapsed)"
}

# The npm packages of the Node.js binding (bindings/node): koffi, and the
# Windows build of Node that its tests run under Wine, both pinned by its
# package-lock.json (bindings/node/.npmrc says why npm may install a package
# of another platform). npm itself comes from Debian when it is missing.
# npm ci runs again only when the lockfile changed since it last ran; what
# npm's cache holds is not fetched again.
ensure_node_packages() {
    local dir="$VLX_ROOT/bindings/node"
    local stamp="$dir/node_modules/.installed-lock.sha256" lock
    if ! command -v npm >/dev/null 2>&1; then
        local sudo=()
        [ "$(id -u)" -ne 0 ] && sudo=(sudo)
        local apt=("${sudo[@]}" env LC_ALL=C DEBIAN_FRONTEND=noninteractive apt-get)
        stage_begin "npm" "updating the package lists"
        run_logged follow_apt "${apt[@]}" update
        stage_progress 0 0 "installing nodejs and npm"
        run_logged follow_apt "${apt[@]}" install -y --no-install-recommends nodejs npm
        stage_end "installed $VLX_APT_TOTAL packages for nodejs and npm in $(elapsed)"
    fi
    lock=$(sha256sum "$dir/package-lock.json" | cut -d' ' -f1)
    if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$lock" ]; then
        log "npm packages: bindings/node/node_modules up to date"
        return 0
    fi
    stage_begin "npm packages" "npm ci in bindings/node"
    logged env -C "$dir" npm ci --prefer-offline --no-audit --no-fund
    echo "$lock" >"$stamp"
    stage_end "$(find "$dir/node_modules" -mindepth 1 -maxdepth 1 -not -name '.*' | wc -l) packages in $(elapsed)"
}

# What build_all builds: everything, unless the script names the targets it
# needs (scripts/demo: vlx_demo_parts, the top CMakeLists.txt lists them).
VLX_BUILD_TARGETS=${VLX_BUILD_TARGETS:-all}

build_all() {
    mkdir -p "$VLX_BUILD"
    stage_begin "build ($VLX_BUILD_TYPE)" "configuring $VLX_BUILD"
    logged cmake -S "$VLX_ROOT" -B "$VLX_BUILD" -G Ninja \
        -DCMAKE_BUILD_TYPE="$VLX_BUILD_TYPE" -DCMAKE_TOOLCHAIN_FILE="$VLX_ROOT/cmake/mingw-w64-x86_64.cmake"
    stage_progress 0 0 "building"
    VLX_BUILD_STEPS=0
    # shellcheck disable=SC2086 # a list of target names
    run_logged follow_ninja env NINJA_STATUS='[%f/%t] ' cmake --build "$VLX_BUILD" --target $VLX_BUILD_TARGETS
    if [ "$VLX_BUILD_STEPS" -eq 0 ]; then
        stage_end "up to date"
    else
        stage_end "$VLX_BUILD_STEPS steps in $(elapsed)"
    fi
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
    log "display: Xvfb on $DISPLAY"
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
    local made="reused"
    if [ ! -f "$VLX_PREFIX/system.reg" ]; then
        stage_begin "Wine prefix" "creating ${VLX_PREFIX#"$PWD"/}"
        # wineboot answers non-zero for the missing 32-bit half; the prefix is
        # fine. Its services end with the server, which -w waits for, so
        # nothing keeps the log open afterwards.
        wine_run wineboot -i </dev/null >>"$VLX_SETUP_LOG" 2>&1 || true
        # The registry reaches the disk when the wineserver ends.
        WINEPREFIX="$VLX_PREFIX" /usr/lib/wine/wineserver -w
        [ -f "$VLX_PREFIX/system.reg" ] || stage_failed 1
        made="created"
    else
        stage_begin "Wine prefix" "starting the wineserver"
    fi
    # A persistent wineserver makes every later start fast. Wine's own
    # services start with the first program of a server session and inherit
    # its output; starting them here, silenced, keeps them from holding the
    # output pipes of the tests open.
    WINEPREFIX="$VLX_PREFIX" /usr/lib/wine/wineserver -p >/dev/null 2>&1 || true  # may already run
    wine_run wineboot >/dev/null 2>&1 || true
    stage_progress 0 0 "registering the test components"
    if [ -f "$VLX_BUILD/bin/vidlox-testcam64.dll" ]; then
        logged wine_run regsvr32 /s /n /i:all "$VLX_BUILD/bin/vidlox-testcam64.dll"
    fi
    # The shared camera's four channels (vidlox-share64.dll), as a host installs them.
    if [ -f "$VLX_BUILD/bin/vidlox-share64.dll" ]; then
        logged wine_run regsvr32 /s "$VLX_BUILD/bin/vidlox-share64.dll"
    fi
    register_test_platform
    # Wine has no decoder for what webcams send; the test codec is the one
    # intelligent connect finds behind the AVI Decompressor.
    if [ -f "$VLX_BUILD/bin/vidlox-testcodec64.dll" ]; then
        logged wine_run regsvr32 /s "$VLX_BUILD/bin/vidlox-testcodec64.dll"
    fi
    stage_end "${VLX_PREFIX#"$PWD"/} $made in $(elapsed), test components registered"
}

# The test platform's components (testplatform/, README "The test
# platform"): pieces Wine 8 lacks, put into the test prefix only. Done after
# every wineboot, which rewrites Wine's own class entries.
register_test_platform() {
    local components="$VLX_BUILD/bin/testplatform"
    local system32="$VLX_PREFIX/drive_c/windows/system32"
    [ -d "$components" ] || return 0
    logged wine_run regsvr32 /s "$components/vidlox-tp-capture64.dll"
    logged wine_run regsvr32 /s "$components/vidlox-tp-mjpeg64.dll"
    # Our mfreadwrite.dll, loaded instead of Wine's (DllOverrides "native"),
    # forwards everything but the sink writer to Wine's own under another name.
    cp /usr/lib/x86_64-linux-gnu/wine/x86_64-windows/mfreadwrite.dll "$system32/mfreadwrite_wine.dll"
    cp "$components/mfreadwrite.dll" "$system32/mfreadwrite.dll"
    logged wine_run reg add 'HKCU\Software\Wine\DllOverrides' /v mfreadwrite /d native /f
}

setup_everything() {
    ensure_packages
    ensure_node_packages
    build_all
    trap stop_all EXIT
    start_display
    prepare_prefix
}
