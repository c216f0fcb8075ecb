#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Lists the project's C++, CMake and shell files that lack the licence line
# "SPDX-License-Identifier: GPL-3.0-or-later" in their first five lines; exit status 1 when
# there is any. tools/add_spdx.sh adds the line to exactly these files.
# Usage: tools/spdx_check.sh [SOURCE_DIR]
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"

# Tracked files where this is a git checkout (so build folders never count), else a walk
# that leaves build folders and .git out.
list_files() {
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z --cached --others --exclude-standard
  else
    find . \( -type d \( -name 'build*' -o -name .git \) \) -prune -o -type f -print0 | sed -z 's|^\./||'
  fi
}

is_checked() {
  local f=$1
  case "$f" in
    *.cpp | *.h | *.hpp | *.h.in | *.cmake | */CMakeLists.txt | CMakeLists.txt | *.sh) return 0 ;;
  esac
  # Scripts without a suffix: by their first line.
  [ -f "$f" ] && head -c 64 "$f" | head -n 1 | grep -qE '^#!.*\b(ba|da)?sh\b'
}

missing=0
while IFS= read -r -d '' f; do
  [ -f "$f" ] || continue
  is_checked "$f" || continue
  if ! head -n 5 "$f" | grep -q 'SPDX-License-Identifier: GPL-3.0-or-later'; then
    echo "$f"
    missing=$((missing + 1))
  fi
done < <(list_files)
[ "$missing" -eq 0 ]
