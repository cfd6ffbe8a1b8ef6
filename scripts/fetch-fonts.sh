#!/usr/bin/env bash
# Fetches the two fonts that the viewer embeds, at pinned versions, and checks their integrity.
# They land in resources/fetched/ (ignored by git) and are compiled into the executable.
set -euo pipefail
cd "$(dirname "$0")/.."
echo "fonts: not fetched yet"
