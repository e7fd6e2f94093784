#!/usr/bin/env bash
# Installs what Gridvane needs to build, test and run on Debian 12; skips what is present.
# LibreOffice: the SDK (UNO headers made at build time, the UNO runtime) and a Calc that runs, for the
# live spreadsheet on Linux and its tests; about 88 MB to download and 35 s to install.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-translations-l10n libzip-dev libpugixml-dev libexpat1-dev libicu-dev nlohmann-json3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libreoffice-dev libreoffice-calc
  python3 python3-ezdxf python3-openpyxl
  fonts-noto-cjk
)
if [ "${GRIDVANE_FUZZ_SMOKE:-0}" = "1" ] || [ "${GRIDVANE_FUZZ:-0}" = "1" ]; then
  packages+=(clang libclang-rt-14-dev)
fi
if [ "${GRIDVANE_WINDOWS:-0}" = "1" ]; then
  # The stand-ins' windows and the window itself run under Wine on a virtual display, photographed there.
  packages+=(g++-mingw-w64-x86-64-posix wine64 wine locales googletest xvfb xdotool imagemagick)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" != "0" ]; then sudo_cmd=(sudo); fi
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
