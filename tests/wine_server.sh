#!/bin/sh
# Starts or stops the wine server that the tests of a Windows build share; WINEPREFIX names the wine prefix.
# start: a server that stays when its programs end, then the prefix made ready (about 20 s the first time), so
# that wine's own background programs start here, with no test's output to hold open.
# stop: ends the server and every program of the prefix.
# Usage: wine_server.sh start WINE64 WINESERVER | wine_server.sh stop WINESERVER
set -u
case $1 in
  start)
    # The server needs the prefix's folder. One left running for this prefix refuses a second one; the running
    # one serves as well.
    mkdir -p "$WINEPREFIX"
    "$3" -p </dev/null >/dev/null 2>&1
    exec "$2" wineboot --init </dev/null >/dev/null 2>&1
    ;;
  stop)
    "$2" -k
    # No server was running: nothing to stop.
    [ $? -le 1 ]
    ;;
esac
