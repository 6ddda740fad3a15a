#!/bin/sh
# The plugin library must export its entry point and nothing else.
symbols=$(nm -D --defined-only "$1" | awk '{print $NF}' | sort | tr '\n' ' ')
echo "exported: $symbols"
[ "$symbols" = "load_kiv_player_level_up " ]
