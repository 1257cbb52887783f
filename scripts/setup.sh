# Shared by scripts/demo and scripts/test: install what is missing, then build.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${TESVI_BUILD_DIR:-$ROOT/build}"

PACKAGES=(g++ cmake ninja-build pkg-config libbotan-2-dev libtbb-dev libeigen3-dev
          python3 python3-dev python3-pytest python3-setuptools python3-pip python3-venv
          libgtest-dev libbenchmark-dev libssl-dev valgrind)

install_missing() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if ((${#missing[@]})); then
        echo "Installing: ${missing[*]}"
        local sudo=""
        [ "$(id -u)" -eq 0 ] || sudo="sudo"
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
    fi
}

build() {
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
          -DPython3_EXECUTABLE=/usr/bin/python3 "$@" >/dev/null
    cmake --build "$BUILD" -j "$(nproc)"
}
