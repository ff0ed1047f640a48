#!/usr/bin/env bash
# Installs what Lumesta needs to build and test on a Debian machine, when it is missing.
set -euo pipefail

packages=(build-essential cmake pkg-config libtiff-dev libdeflate-dev libgeotiff-dev libfftw3-dev libgtest-dev libgmock-dev
          qt6-base-dev qt6-charts-dev libproj-dev libgdal-dev gdal-bin python3-gdal python3-numpy locales xvfb xdg-utils
          man-db dpkg-dev file slurm-wlm munge
          clang libclang-rt-14-dev ccache libgdal-dev gdal-bin python3-gdal)
# QGIS for the tests of the Processing provider, without its recommendations (about 140 MB).
qgis_packages=(qgis python3-qgis)
missing=()
missing_qgis=()
for p in "${packages[@]}" "${qgis_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" && continue
  if [[ " ${qgis_packages[*]} " == *" $p "* ]]; then missing_qgis+=("$p"); else missing+=("$p"); fi
done
if [ $((${#missing[@]} + ${#missing_qgis[@]})) -gt 0 ]; then
  echo "Installing: ${missing[*]} ${missing_qgis[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  [ ${#missing[@]} -eq 0 ] || DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
  [ ${#missing_qgis[@]} -eq 0 ] ||
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing_qgis[@]}"
fi

# The engine tests run under a comma locale to prove numbers do not depend on it.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  if [ -f /etc/locale.gen ]; then
    $SUDO sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
    $SUDO locale-gen >/dev/null || true
  fi
fi
