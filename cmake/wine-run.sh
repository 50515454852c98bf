#!/bin/bash
# Runs a Windows program under 64-bit Wine, quietly. WINEPREFIX, DISPLAY and PULSE_SERVER come
# from the caller (scripts/with-services sets them up for a test run).
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec /usr/lib/wine/wine64 "$@"
