# Installs the Debian packages a command needs, only those missing.
# Sourced by run.sh, test.sh and fuzz.sh.

vesk_build_packages=(cmake make g++ pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev
    libqt6sql6-sqlite libqt6sql6-mysql libqt6sql6-odbc fonts-dejavu-core)
vesk_test_packages=(mariadb-server mariadb-client unixodbc odbcinst libsqliteodbc tzdata openssl)
vesk_run_packages=(xvfb xauth imagemagick xdotool)
# The Debian package: dpkg-shlibdeps finds its library dependencies.
vesk_package_packages=(dpkg-dev file desktop-file-utils)
# The second compiler and the Windows compiler of scripts/test.sh.
vesk_compiler_packages=(clang-14 g++-mingw-w64-x86-64-win32)
# Clang 14's libFuzzer runtime, for scripts/fuzz.sh.
vesk_fuzz_packages=(clang-14 libclang-rt-14-dev)

vesk_install_packages() {
    local missing=()
    local p
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$p")
        fi
    done
    if [ "${#missing[@]}" -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -q
        apt-get install -y -q --no-install-recommends "${missing[@]}"
    fi
}
