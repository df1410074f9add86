#!/usr/bin/env bash
# Installs every system package quorvo needs to build, run and test.
# Safe to run again: it only calls apt-get when something is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  libsqlite3-dev sqlite3
  libcurl4-openssl-dev curl libssl-dev openssl ca-certificates
  qt6-base-dev libgl-dev qt6-charts-dev
  # Qt's own texts (standard buttons, file dialogs) in the learner's language.
  qt6-translations-l10n
  # Qt TextToSpeech's CMake package needs Qt6QmlIntegration, which Debian
  # ships in qt6-declarative-dev without qt6-speech-dev depending on it.
  qt6-speech-dev qt6-speech-flite-plugin qt6-declarative-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libsimpleini-dev
  # The Anki deck (.apkg) is a zip file.
  libzip-dev
  python3
  xvfb xauth x11-apps imagemagick xdotool
  fonts-noto-cjk
  clang libclang-rt-14-dev
  # The lint step (scripts/lint/run.sh).
  clang-format clang-tidy
  # The Debian package (scripts/package.sh) and its checks.
  dpkg-dev fakeroot lintian desktop-file-utils appstream librsvg2-bin
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
