# Shared set-up for the project's scripts: packages, build, Wine prefix, X display.
# Source it from a script in scripts/; it defines functions only.

GD_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# One build tree per bitness: build/ for i686, build64/ for x86-64.
GD_BUILD32=${GD_BUILD32:-$GD_ROOT/build}
GD_BUILD64=${GD_BUILD64:-$GD_ROOT/build64}
GD_BUILD=${GD_BUILD:-$GD_BUILD32}
GD_BITS_USED=32

gd_die() { echo "$(basename "$0"): $*" >&2; exit 1; }

# Installs what is missing when run as root; otherwise prints the one command to run.
gd_ensure_packages() {
    local need=()
    command -v cmake >/dev/null || need+=(cmake)
    command -v make >/dev/null || need+=(make)
    [ -d /usr/src/googletest/googletest ] || need+=(googletest)
    command -v i686-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-i686-posix)
    [ -d /usr/i686-w64-mingw32/include ] || need+=(mingw-w64-i686-dev)
    command -v i686-w64-mingw32-windres >/dev/null || need+=(binutils-mingw-w64-i686)
    command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64-posix)
    [ -d /usr/x86_64-w64-mingw32/include ] || need+=(mingw-w64-x86-64-dev)
    command -v x86_64-w64-mingw32-windres >/dev/null || need+=(binutils-mingw-w64-x86-64)
    command -v wine >/dev/null || need+=(wine)
    [ -x /usr/lib/wine/wine64 ] || need+=(wine64)
    # Installed everywhere; used only where the kernel runs 32-bit programs.
    dpkg -s wine32:i386 >/dev/null 2>&1 || need+=(wine32:i386)
    # Marlett: without it the title bars show the letters of their buttons.
    [ -f /usr/share/wine/fonts/marlett.ttf ] || need+=(fonts-wine)
    command -v Xvfb >/dev/null || need+=(xvfb)
    command -v xauth >/dev/null || need+=(xauth)
    for extra in "$@"; do
        case "$extra" in
            xdotool) command -v xdotool >/dev/null || need+=(xdotool) ;;
            imagemagick) command -v import >/dev/null || need+=(imagemagick) ;;
            x11-apps) command -v xwd >/dev/null || need+=(x11-apps) ;;
            nsis) command -v makensis >/dev/null || need+=(nsis) ;;
            *) dpkg -s "$extra" >/dev/null 2>&1 || need+=("$extra") ;;
        esac
    done
    [ ${#need[@]} -eq 0 ] && return 0
    local cmd="dpkg --add-architecture i386 && apt-get update && apt-get install -y --no-install-recommends ${need[*]}"
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages: ${need[*]}" >&2
        echo "Run as root first:  $cmd" >&2
        exit 1
    fi
    echo "Installing: ${need[*]}" >&2
    dpkg --add-architecture i386
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
}

# Whether this kernel runs 32-bit programs, found by starting the 32-bit Wine
# loader (some x86-64 kernels answer "Exec format error"). The reason for a
# "no" is left in GD_NO32_REASON.
gd_can_run_32() {
    if [ -z "${GD_CAN_RUN_32:-}" ]; then
        local out
        if out=$(/usr/lib/wine/wine --version 2>&1 </dev/null); then
            GD_CAN_RUN_32=yes
        else
            GD_CAN_RUN_32=no
            GD_NO32_REASON="this kernel cannot run 32-bit programs (/usr/lib/wine/wine: ${out##*: })"
            [ -e /usr/lib/wine/wine ] || GD_NO32_REASON="32-bit Wine is not installed"
        fi
    fi
    [ "$GD_CAN_RUN_32" = yes ]
}

# The bitness for one program run (the demo, the benchmark): GD_BITS=32 or 64
# forces it; otherwise 32-bit where the kernel runs it, 64-bit elsewhere.
gd_default_bits() {
    case "${GD_BITS:-}" in
        32|64) echo "$GD_BITS" ;;
        "") if gd_can_run_32; then echo 32; else echo 64; fi ;;
        *) gd_die "GD_BITS must be 32 or 64, not '$GD_BITS'" ;;
    esac
}

# Points GD_BUILD, the toolchain and Wine at one bitness. The 64-bit runs go
# through the 64-bit loader and server (scripts/lib/wine64), since Debian's
# wine starts the 32-bit loader whenever it is installed.
gd_use_bits() {
    GD_BITS_USED=$1
    if [ "$1" = 64 ]; then
        GD_BUILD=$GD_BUILD64
        GD_TOOLCHAIN=$GD_ROOT/cmake/mingw-x86_64.cmake
        GD_WINEARCH=win64
        case ":$PATH:" in *":$GD_ROOT/scripts/lib/wine64:"*) ;; *) PATH="$GD_ROOT/scripts/lib/wine64:$PATH" ;; esac
    else
        GD_BUILD=$GD_BUILD32
        GD_TOOLCHAIN=$GD_ROOT/cmake/mingw-i686.cmake
        GD_WINEARCH=win32
        PATH=$(printf '%s' "$PATH" | tr ':' '\n' | grep -vx "$GD_ROOT/scripts/lib/wine64" | paste -sd:)
    fi
    export PATH
}

gd_build() {
    [ -n "${GD_TOOLCHAIN:-}" ] || gd_use_bits "$GD_BITS_USED"
    if [ ! -f "$GD_BUILD/CMakeCache.txt" ]; then
        cmake -S "$GD_ROOT" -B "$GD_BUILD" -DCMAKE_TOOLCHAIN_FILE="$GD_TOOLCHAIN" \
              -DCMAKE_BUILD_TYPE=Release >/dev/null
    fi
    cmake --build "$GD_BUILD" -j "$(nproc)" "$@"
}

# A private Wine prefix in the build folder, made once, with a persistent server.
gd_wine_up() {
    [ -n "${GD_WINEARCH:-}" ] || gd_use_bits "$GD_BITS_USED"
    export WINEPREFIX="$GD_BUILD/wine" WINEDEBUG=-all WINEARCH=$GD_WINEARCH WINEDLLOVERRIDES="mscoree,mshtml="
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "Creating the Wine prefix (once per build folder)..." >&2
        wineboot -i >/dev/null 2>&1 </dev/null || true
        wineserver -w
    fi
    # Without a window manager on Xvfb, Wine waits about 2 s on every window
    # it closes; unmanaged windows close at once. Wait for the services that
    # this start leaves running (they have no display) before the persistent
    # server, or the tests' windows would be created through them and fail.
    if ! grep -q '"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null || true
        # The viewer asks for Courier New; without it Wine falls back to a
        # proportional serif face. Any monospaced face of the host will do.
        if ! fc-list 2>/dev/null | grep -qi 'Courier New'; then
            local mono
            mono=$(fc-list :spacing=mono family 2>/dev/null | grep -i -m1 -E 'liberation mono|dejavu sans mono' | cut -d, -f1)
            [ -n "$mono" ] && wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Courier New' /d "$mono" /f >/dev/null 2>&1 </dev/null || true
        fi
        wineserver -w
    fi
    # Title bars draw their buttons as Marlett glyphs; this Wine does not find
    # the face in its own data folder, so without a copy in the prefix they
    # show as the letters "0 1 r".
    local fonts="$WINEPREFIX/drive_c/windows/Fonts"
    if [ -f /usr/share/wine/fonts/marlett.ttf ] && [ -d "$fonts" ] && [ ! -f "$fonts/marlett.ttf" ]; then
        cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
    fi
    wineserver -p >/dev/null 2>&1 </dev/null || true
}

gd_wine_down() { [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true; }

# An Xvfb display of our own unless told to use an existing one.
gd_xvfb_up() {
    if [ -n "${GD_USE_DISPLAY:-}" ] && [ -n "${DISPLAY:-}" ]; then return 0; fi
    local n
    for n in $(seq 90 140); do
        [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        GD_XVFB_PID=$!
        sleep 0.5
        if kill -0 "$GD_XVFB_PID" 2>/dev/null; then export DISPLAY=":$n"; return 0; fi
    done
    gd_die "could not start Xvfb"
}

gd_xvfb_down() { [ -n "${GD_XVFB_PID:-}" ] && kill "$GD_XVFB_PID" 2>/dev/null || true; }

# A tiny file system for the full-disk Save test, when run as root; the test
# skips itself without one. GD_FULL_DISK names its folder.
gd_full_disk_up() {
    [ "$(id -u)" -eq 0 ] || return 0
    local dir="$GD_BUILD/full-disk"
    mkdir -p "$dir"
    mountpoint -q "$dir" || mount -t tmpfs -o size=256k gdfull "$dir" 2>/dev/null || return 0
    export GD_FULL_DISK="$dir"
}

gd_full_disk_down() {
    [ -n "${GD_FULL_DISK:-}" ] && umount "$GD_FULL_DISK" 2>/dev/null || true
}
