#!/usr/bin/env bash
# Installs what is missing, builds the app and starts it. Arguments go to the app
# (for instance --tablet, or --screenshot out.png which also works without a display).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" release tilebloom
app="$root/build/release/src/app/tilebloom"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    case " $* " in
        *" --screenshot "*) export QT_QPA_PLATFORM=offscreen ;;
        *) echo "No display found: starting on a virtual X server (xvfb-run)." >&2
           exec xvfb-run -a -s "-screen 0 1280x1024x24" "$app" "$@" ;;
    esac
fi
exec "$app" "$@"
