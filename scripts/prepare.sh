# Sourced by every script that builds or runs something: installs what is missing, sets the
# environment, makes the Wine prefix and loads the display helpers, at the project root.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/setup.sh
. scripts/env.sh
. scripts/display.sh
bash scripts/wine-prefix.sh
