#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Korvelt need,
# when any of them is missing; with the argument `fuzz`, also what `make fuzz`
# needs, and with `dev` what `make tidy` needs. Safe to run again: it does
# nothing when all are there.
set -euo pipefail
packages=(
  build-essential cmake ccache pkg-config
  zlib1g-dev libdeflate-dev libjpeg-dev libtiff-dev libgtest-dev googletest libattr1-dev
  qt6-base-dev qt6-base-dev-tools qt6-image-formats-plugins qt6-gtk-platformtheme libgl-dev
  # Qt's own dialogs and buttons in French
  qt6-translations-l10n
  xvfb xauth x11-apps fonts-liberation2 imagemagick
  shared-mime-info python3 gzip
  # the test that follows the flushes of a run
  strace
  # the printed listing (pdfinfo, pdftotext) and the installed desktop files
  poppler-utils desktop-file-utils xdg-utils libfile-mimeinfo-perl
  # what `make install` refreshes and the install test checks: icon cache,
  # AppStream metadata, manual pages, gio; a private session bus for the
  # desktop notifications
  gtk-update-icon-cache appstream man-db libglib2.0-bin dbus-daemon
)
# `install-deps.sh fuzz`: also the compiler and runtime of the libFuzzer build.
if [ "${1:-}" = fuzz ]; then
  packages+=(clang libclang-rt-14-dev)
fi
# `install-deps.sh format`: the layout check CI runs before the tests.
if [ "${1:-}" = format ]; then
  packages+=(clang-format)
fi
# `install-deps.sh dev`: the developer's checks that `make test` does not run.
if [ "${1:-}" = dev ]; then
  packages+=(clang-tidy)
fi
# One query for all of them: `make run` asks this every time.
installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null |
            awk '$NF == "installed" && $(NF-1) == "ok" { sub(/:.*/, "", $1); print $1 }')
missing=()
for p in "${packages[@]}"; do
  grep -qx -- "$p" <<<"$installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
