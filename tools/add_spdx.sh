#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Adds the licence line to every file tools/spdx_check.sh lists: "// ..." on top of C++,
# "# ..." on top of CMake files and below the "#!" line of scripts. Run it once from a
# clean tree, look at `git diff --stat`, commit.
# Usage: tools/add_spdx.sh [SOURCE_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=${1:-$(cd "$here/.." && pwd)}
cd "$root"
line='SPDX-License-Identifier: GPL-3.0-or-later'
mapfile -t files < <("$here/spdx_check.sh" "$root" || true)
for f in "${files[@]}"; do
  [ -n "$f" ] || continue
  tmp=$(mktemp "$f.spdx.XXXXXX")
  case "$f" in
    *.cpp | *.h | *.hpp | *.h.in) { echo "// $line"; cat "$f"; } >"$tmp" ;;
    *)
      if head -n 1 "$f" | grep -q '^#!'; then
        { head -n 1 "$f"; echo "# $line"; tail -n +2 "$f"; } >"$tmp"
      else
        { echo "# $line"; cat "$f"; } >"$tmp"
      fi
      ;;
  esac
  chmod --reference="$f" "$tmp"
  mv "$tmp" "$f"
  echo "added: $f"
done
