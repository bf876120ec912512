#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Quorvex need.
# Only what is missing is installed.
set -euo pipefail
PACKAGES=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev libgmock-dev
  ffmpeg libmediainfo-dev libmediainfo0v5
  # The stored file list.
  libsqlite3-dev
  libopencore-amrnb-dev libvo-amrwbenc-dev
  # Qt's own dialog texts in the program's languages (the tests check German).
  qt6-translations-l10n
  # The notification test runs a private session bus.
  dbus-daemon
  # The install tests validate the desktop entry and metainfo and build a package.
  desktop-file-utils appstream dpkg-dev
  # Fuzz targets: clang and its libFuzzer runtime (clang only recommends the runtime).
  clang libclang-rt-14-dev
  # The cluster recipe tests: GNU parallel over SSH (rsync for its transfers), a one-node Slurm cluster,
  # and jq to read the per-file report.
  openssh-server parallel rsync slurm-wlm munge jq
)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -q
  # The packages' own scripts would start system services (sshd, munged,
  # slurmctld, slurmd): a temporary policy-rc.d forbids that during the
  # install; one already in place (a container's) is left as it is.
  policy=/usr/sbin/policy-rc.d
  own_policy=""
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\n# Temporary: no service starts while Quorvex installs its test packages.\nexit 101\n' |
      $SUDO tee "$policy" >/dev/null
    $SUDO chmod 755 "$policy"
    own_policy=1
    trap '$SUDO rm -f "$policy"' EXIT
  fi
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
  if [ -n "$own_policy" ]; then
    $SUDO rm -f "$policy"
    trap - EXIT
  fi
fi
