#!/usr/bin/env bash
# Compiles the program's code as a Windows compiler sees it, with mingw-w64,
# since no Linux build compiles the code under Q_OS_WIN:
#  - src/windows/win32/*.cpp (the Win32 calls, <windows.h> only) is compiled and
#    linked into a DLL against user32;
#  - every other source under src/ is syntax-checked against this machine's Qt 6
#    headers (Qt's Windows libraries are not here, so nothing of it is linked);
#  - every header that names Q_OS_WIN, _WIN32 or <windows.h> is syntax-checked
#    after <windows.h>, whose macros it must survive;
#  - CMakePresets.json, with the Windows preset, parses.
# Warnings are errors. Exits non-zero on the first file that fails.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cxx=${VESK_MINGW_CXX:-x86_64-w64-mingw32-g++}
command -v "$cxx" >/dev/null || {
    echo "check-windows: $cxx not found (package g++-mingw-w64-x86-64-win32)" >&2
    exit 1
}

# Qt adds UNICODE and _UNICODE to every Windows target; the version comes from
# CMake in a real build.
flags=(-std=c++17 -Wall -Wextra -Werror -DUNICODE -D_UNICODE -I"$repo/src"
    -DCV_VESKAUCTION_VERSION='"0"')
read -r -a qt_flags <<<"$(pkg-config --cflags Qt6Widgets Qt6Sql Qt6Network Qt6Concurrent)"
qt_flags=("${qt_flags[@]/#-I/-isystem}")

work=$(mktemp -d /tmp/vesk-mingw.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$repo"

mapfile -t native < <(find src -path '*/win32/*.cpp' | sort)
mapfile -t sources < <(find src -name '*.cpp' ! -path '*/win32/*' | sort)
mapfile -t headers < <(grep -rlE 'Q_OS_WIN|_WIN32|windows\.h' src --include='*.h' |
    grep -v '/win32/' | sort)
mapfile -t windows_only < <(grep -rlE 'Q_OS_WIN|_WIN32|windows\.h' src | sort)

if [ "${#native[@]}" -gt 0 ]; then
    "$cxx" "${flags[@]}" -shared -o "$work/win32.dll" "${native[@]}" -luser32 || {
        echo "check-windows: ${native[*]} do not compile and link for Windows" >&2
        exit 1
    }
fi

for h in "${headers[@]}"; do
    printf '#include <windows.h>\n#include "%s"\n' "${h#src/}" >"$work/$(basename "$h").cpp"
    sources+=("$work/$(basename "$h").cpp")
done

check_one() {
    "$cxx" "$@" -fsyntax-only || {
        echo "check-windows: ${*: -1} does not compile for Windows" >&2
        return 1
    }
}
export -f check_one
export cxx
printf '%s\0' "${sources[@]}" |
    xargs -0 -n 1 -P "$(nproc)" bash -c 'check_one "$@"' _ "${flags[@]}" "${qt_flags[@]}" || {
    echo "check-windows: FAILED" >&2
    exit 1
}
cmake --list-presets=all >/dev/null || {
    echo "check-windows: CMakePresets.json does not parse" >&2
    exit 1
}
echo "check-windows: ${#sources[@]} sources and headers and ${#native[@]} Win32 file(s)" \
    "compile with $cxx; the Windows-only ones: ${windows_only[*]}"
