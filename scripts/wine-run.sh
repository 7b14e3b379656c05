#!/usr/bin/env bash
# Runs a Windows program under Wine with the project's prefix; ctest uses it as the emulator.
. "$(dirname "$0")/env.sh"
exec wine "$@"
