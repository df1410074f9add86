#!/usr/bin/env bash
# The tree's written rules, checked: every C++ file formatted by
# .clang-format, no include crossing into a folder its library does not
# link, and clang-tidy (.clang-tidy's checks) clean on the C++ files changed
# since LINT_BASE (default: the commit before HEAD).
#
#   bash scripts/lint/run.sh [BUILD_DIR]    (a configured build folder; default build)
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD=${1:-build}
BASE=${LINT_BASE:-HEAD~1}
status=0

echo "== format"
mapfile -t sources < <(git ls-files '*.cpp' '*.h')
if ! clang-format --dry-run --Werror "${sources[@]}" 2>/tmp/quorvo-format.$$; then
  grep -E '^[^ ].*: (error|warning):' /tmp/quorvo-format.$$ | cut -d: -f1 | sort -u | sed 's/^/  not formatted: /'
  echo "run: clang-format -i <files>" >&2
  status=1
fi
rm -f /tmp/quorvo-format.$$

echo "== includes"
python3 scripts/lint/check_includes.py "$BUILD" || status=1

echo "== clang-tidy on the files changed since $BASE"
changed=()
if git rev-parse -q --verify "$BASE^{commit}" >/dev/null; then
  while IFS= read -r file; do
    case "$file" in
      *.cpp) candidate=$file ;;
      *.h) candidate=${file%.h}.cpp ;;
      *) continue ;;
    esac
    # Only files the build compiles (the compile database knows them).
    if [ -f "$candidate" ] && grep -q "\"file\": \"$PWD/$candidate\"" "$BUILD/compile_commands.json"; then
      changed+=("$candidate")
    fi
  done < <(git diff --name-only --diff-filter=d "$BASE" HEAD -- '*.cpp' '*.h' | sort -u)
else
  echo "  ($BASE is not a commit here: nothing to compare with)"
fi
if [ ${#changed[@]} -gt 0 ]; then
  mapfile -t changed < <(printf '%s\n' "${changed[@]}" | sort -u)
  echo "  ${#changed[@]} file(s)"
  if ! printf '%s\n' "${changed[@]}" | xargs -P 2 -n 4 clang-tidy -p "$BUILD" --quiet 2>/dev/null; then
    status=1
  fi
fi
exit $status
