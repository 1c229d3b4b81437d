#!/usr/bin/env bash
# The demo executable exports the graphics class's three accessors in its dynamic symbol table.
# Usage: linux_exports.sh <gradient-demo>
set -euo pipefail
symbols=$(nm -D --defined-only "$1" | c++filt)
for f in 'TavGFX::GetBpp()' 'TavGFX::GetScreenX()' 'TavGFX::GetScreenY()'; do
  grep -qF "$f" <<<"$symbols" || { echo "FAIL: $f is not exported by $1" >&2; exit 1; }
  echo "ok: $f exported"
done
