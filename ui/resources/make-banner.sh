#!/bin/sh
# Makes the About box's banner, about-banner.gif beside this script, with the program's own GIF
# encoder. Run from the repository with a built scenarix-tool:
#   ui/resources/make-banner.sh [path/to/scenarix-tool]
# (default build/bin/scenarix-tool). The banner is compiled into the program as a resource.
set -eu
tool=${1:-build/bin/scenarix-tool}
here=$(dirname "$0")
"$tool" gif-banner "$here/about-banner.gif"
"$tool" gif "$here/about-banner.gif"
