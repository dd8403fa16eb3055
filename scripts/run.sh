#!/usr/bin/env bash
# Builds the emulator and starts it. With --web, builds the web edition and serves it on localhost.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

if [ "${1:-}" = "--web" ]; then
  bash scripts/build-web.sh
  port=${ORV_WEB_PORT:-8080}
  echo "Orvane in the browser: http://localhost:$port/ (the one-file page: build/web/orvane.html; Ctrl+C stops)"
  exec python3 -m http.server "$port" --bind 127.0.0.1 --directory build/web
fi

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j"$(nproc 2>/dev/null || echo 2)"

exec build/release/orv
