#!/usr/bin/env bash
# Builds Keyloupe (Release) into build/, makes the demo files when they are absent, points the login
# fields at them, and starts Keyloupe.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DKEYLOUPE_BUILD_TESTS=OFF >/dev/null
cmake --build build -j "$(nproc)" --target keyloupe keyloupe-jet

demo="$PWD/build/demo"
if [ ! -f "$demo/system.mdw" ] || [ ! -f "$demo/shop.mdb" ] || [ ! -f "$demo/legacy97.mdb" ]; then
  rm -rf "$demo"
  build/keyloupe-jet demo "$demo"
  echo "run.sh: demo files made in $demo (log in as admin with an empty password)"
fi
if [ ! -f build/keyloupe.ini ]; then
  umask 077
  printf 'cb_DB_Str=%s\r\ncb_MDW_Str=%s\r\ncb_Username_Str=admin\r\n' \
    "$demo/shop.mdb" "$demo/system.mdw" > build/keyloupe.ini
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "run.sh: Keyloupe is built, but it is a desktop program and there is no display here."
  echo "        Start it on a desktop with:    build/keyloupe"
  echo "        or under a virtual display:    xvfb-run -a build/keyloupe"
  exit 0
fi
exec build/keyloupe
