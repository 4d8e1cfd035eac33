# Shared set-up for the project's scripts: packages, build, Wine prefix, X display.
# Source it from a script in scripts/; it defines functions only.

GD_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
GD_BUILD=${GD_BUILD:-$GD_ROOT/build}

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
    command -v wine >/dev/null || need+=(wine)
    dpkg -s wine32:i386 >/dev/null 2>&1 || need+=(wine32:i386)
    command -v Xvfb >/dev/null || need+=(xvfb)
    command -v xauth >/dev/null || need+=(xauth)
    for extra in "$@"; do
        case "$extra" in
            xdotool) command -v xdotool >/dev/null || need+=(xdotool) ;;
            imagemagick) command -v import >/dev/null || need+=(imagemagick) ;;
            x11-apps) command -v xwd >/dev/null || need+=(x11-apps) ;;
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

gd_build() {
    if [ ! -f "$GD_BUILD/CMakeCache.txt" ]; then
        cmake -S "$GD_ROOT" -B "$GD_BUILD" -DCMAKE_TOOLCHAIN_FILE="$GD_ROOT/cmake/mingw-i686.cmake" \
              -DCMAKE_BUILD_TYPE=Release >/dev/null
    fi
    cmake --build "$GD_BUILD" -j "$(nproc)" "$@"
}

# A private Wine prefix in the build folder, made once, with a persistent server.
gd_wine_up() {
    export WINEPREFIX="$GD_BUILD/wine" WINEDEBUG=-all WINEARCH=win32 WINEDLLOVERRIDES="mscoree,mshtml="
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
