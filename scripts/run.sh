#!/usr/bin/env bash
# Installs what is missing, builds, and starts Quietpane.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
# The web engine's sandbox refuses to start as root.
if [[ $(id -u) -eq 0 ]]; then
  echo "Running as root: starting Quietpane with the web engine's sandbox disabled (QTWEBENGINE_DISABLE_SANDBOX=1)."
  export QTWEBENGINE_DISABLE_SANDBOX=1
fi
exec build/src/Quietpane "$@"
