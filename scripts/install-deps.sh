#!/usr/bin/env bash
# Installs the Debian 12 packages the tool needs, those that are missing only.
#   install-deps.sh build   what building and testing need (the packages' test: dpkg-dev for
#                           dpkg-shlibdeps, help2man for the manual pages, man-db, lintian,
#                           appstream for the software centre entry, desktop-file-utils for
#                           the desktop entry)
#   install-deps.sh run     that, plus what showing the window needs (X server for headless use)
set -euo pipefail

build_packages=(
    cmake make g++ pkg-config clang libclang-rt-14-dev
    qt6-base-dev qt6-serialport-dev qt6-qpa-plugins
    # the trend window: Qt Charts (whose CMake package needs Qt6OpenGL's, packaged apart) and SVG
    qt6-charts-dev libqt6opengl6-dev qt6-svg-dev
    libmodbus-dev libgtest-dev
    qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
    # Qt's own Chinese texts (qtbase_zh_CN.qm: the file dialogs of the trend window)
    qt6-translations-l10n
    fonts-wqy-zenhei
    xvfb xauth at-spi2-core python3-pyatspi
    dpkg-dev help2man man-db lintian appstream desktop-file-utils
    # the end-to-end tests of RTU over TCP, of feeding an MQTT broker and of a bus served by
    # another Modbus implementation
    socat mosquitto mosquitto-clients python3-pymodbus
)
run_packages=(xvfb xauth)

wanted=("${build_packages[@]}")
if [[ "${1:-build}" == run ]]; then
    wanted+=("${run_packages[@]}")
fi

missing=()
for package in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
if ((${#missing[@]} == 0)); then
    exit 0
fi

sudo=()
if [[ $(id -u) -ne 0 ]]; then
    sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
