# Services for a Windows-hosted test or demo run: one Xvfb display, one persistent wineserver on a
# private copy of a template Wine prefix, and PulseAudio with two null sinks ("mic" fed by tests,
# "speaker" recorded by tests). Source this file, then: st_services_start RUNDIR / st_services_stop.
# Everything started is recorded by PID in RUNDIR and stopped by PID.

ST_CACHE="${ST_CACHE:-$HOME/.cache/sidetools}"
export WINEARCH=win64 WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="mscoree,mshtml="
ST_WINE=/usr/lib/wine/wine64

# A private zh_CN.UTF-8 locale so Wine's ANSI code page can be 936 where a test asks for it.
st_ensure_locale() {
  if [ ! -d "$ST_CACHE/locale/zh_CN.UTF-8" ]; then
    mkdir -p "$ST_CACHE/locale"
    localedef -i zh_CN -f UTF-8 "$ST_CACHE/locale/zh_CN.UTF-8" 2>/dev/null || true
  fi
  export ST_LOCPATH="$ST_CACHE/locale"
}

st_start_xvfb() {
  local run=$1
  mkdir -p "$run/xvfb"
  exec 7>"$run/xvfb/displayfd"
  Xvfb -displayfd 7 -screen 0 1024x768x24 -nolisten tcp -fbdir "$run/xvfb" \
       >"$run/xvfb/log" 2>&1 &
  echo $! >"$run/xvfb.pid"
  exec 7>&-
  local i
  for i in $(seq 1 200); do
    [ -s "$run/xvfb/displayfd" ] && break
    sleep 0.05
  done
  if [ ! -s "$run/xvfb/displayfd" ] || ! kill -0 "$(cat "$run/xvfb.pid")" 2>/dev/null; then
    echo "services: Xvfb did not start (see $run/xvfb/log)" >&2
    return 1
  fi
  export DISPLAY=":$(head -n1 "$run/xvfb/displayfd")"
}

# Whether this machine runs the shipped 32-bit binaries: a kernel that executes 32-bit code and
# 32-bit Wine installed (scripts/setup installs it where the kernel can). Probed once per shell.
st_have_wine32() {
  if [ -z "${ST_HAVE_WINE32:-}" ]; then
    ST_HAVE_WINE32=no
    [ -x /usr/lib/wine/wine ] && [ -e /usr/lib/i386-linux-gnu/wine/i386-windows/kernel32.dll ] &&
      "$(dirname "${BASH_SOURCE[0]}")/probe32" && ST_HAVE_WINE32=yes
  fi
  [ "$ST_HAVE_WINE32" = yes ]
}

# One template prefix per machine and recipe, made once (~10 s) under a lock; each run copies it
# (~1 s). Made after 32-bit Wine is installed, so its syswow64 holds the 32-bit system DLLs. The
# folder name carries the recipe's version, and a new template is built aside and moved into place
# whole, so a run never copies a prefix that is half made or being replaced.
st_ensure_wine_template() {
  mkdir -p "$ST_CACHE"
  ST_WINE_TEMPLATE="$ST_CACHE/wineprefix-4"
  st_have_wine32 && ST_WINE_TEMPLATE="$ST_WINE_TEMPLATE-wow64"
  (
    # Another run making the template holds the lock for about 10 s.
    flock -w 300 9 || { echo "services: no Wine template lock after 300 s" >&2; exit 1; }
    if [ ! -d "$ST_WINE_TEMPLATE" ]; then
      local p="$ST_WINE_TEMPLATE.new"
      rm -rf "$p"
      timeout 300 env WINEPREFIX="$p" $ST_WINE wineboot -i >/dev/null 2>&1
      WINEPREFIX="$p" $ST_WINE reg add 'HKCU\Software\Wine\Fonts\Replacements' \
        /v SimSun /t REG_SZ /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
      WINEPREFIX="$p" $ST_WINE reg add 'HKCU\Software\Wine\Fonts\Replacements' \
        /v "宋体" /t REG_SZ /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
      # No window manager runs: unmanaged windows close at once instead of after a 2 s wait.
      WINEPREFIX="$p" $ST_WINE reg add 'HKCU\Software\Wine\X11 Driver' \
        /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
      # A program that crashes ends at once with its exception code instead of waiting in
      # Wine's crash dialog until a test's time limit.
      WINEPREFIX="$p" $ST_WINE reg add 'HKCU\Software\Wine\WineDbg' \
        /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
      timeout 120 env WINEPREFIX="$p" /usr/lib/wine/wineserver -w || {
        echo "services: the new Wine prefix's server did not stop within 120 s" >&2
        WINEPREFIX="$p" /usr/lib/wine/wineserver -k 2>/dev/null; exit 1; }
      [ -f "$p/system.reg" ] || { echo "services: wineboot made no prefix in $p" >&2; exit 1; }
      mv "$p" "$ST_WINE_TEMPLATE"
    fi
  ) 9>"$ST_CACHE/wineprefix.lock"
}

st_start_pulse() {
  local run=$1 d=$1/pa
  mkdir -p "$d"; chmod 700 "$d"
  cat >"$d/test.pa" <<PA
load-module module-native-protocol-unix auth-anonymous=1 socket=$d/pulse-native
load-module module-null-sink sink_name=speaker sink_properties=device.description=Speaker
load-module module-null-sink sink_name=mic sink_properties=device.description=MicFeed
set-default-sink speaker
set-default-source mic.monitor
PA
  XDG_RUNTIME_DIR=$d HOME=$d pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
    --system=false -F "$d/test.pa" >"$d/log" 2>&1 &
  echo $! >"$run/pulse.pid"
  export PULSE_SERVER="unix:$d/pulse-native"
  local i
  for i in $(seq 1 200); do
    pactl info >/dev/null 2>&1 && return 0
    sleep 0.05
  done
  echo "services: PulseAudio did not start (see $d/log)" >&2
  return 1
}

st_services_start() {
  local run=$1
  mkdir -p "$run"
  export ST_RUN="$run"
  st_ensure_locale
  st_start_xvfb "$run" || return 1
  st_ensure_wine_template || return 1
  cp -a "$ST_WINE_TEMPLATE" "$run/prefix" || return 1
  export WINEPREFIX="$run/prefix"
  /usr/lib/wine/wineserver -p || { echo "services: wineserver did not start" >&2; return 1; }
  st_start_pulse "$run" || return 1
  # Warm the prefix once so the first test does not pay the start-up.
  timeout 120 $ST_WINE cmd /c exit >/dev/null 2>&1
  [ $? != 124 ] || { echo "services: Wine did not run cmd /c exit within 120 s" >&2; return 1; }
  cat >"$run/env.sh" <<ENV
export ST_RUN="$run" DISPLAY="$DISPLAY" WINEPREFIX="$WINEPREFIX" PULSE_SERVER="$PULSE_SERVER"
export WINEARCH=win64 WINEDEBUG="$WINEDEBUG" WINEDLLOVERRIDES="$WINEDLLOVERRIDES" ST_LOCPATH="$ST_LOCPATH"
ENV
}

st_kill_pidfile() {
  local f=$1
  [ -f "$f" ] || return 0
  local pid; pid=$(cat "$f")
  if kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null
    for _ in $(seq 1 40); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
    kill -9 "$pid" 2>/dev/null || true
  fi
  rm -f "$f"
}

st_services_stop() {
  local run=${1:-$ST_RUN}
  [ -n "$run" ] || return 0
  if [ -d "$run/prefix" ]; then
    WINEPREFIX="$run/prefix" /usr/lib/wine/wineserver -k 2>/dev/null
    timeout 30 env WINEPREFIX="$run/prefix" /usr/lib/wine/wineserver -w 2>/dev/null ||
      echo "services: wineserver of $run/prefix still running 30 s after -k" >&2
  fi
  st_kill_pidfile "$run/pulse.pid"
  st_kill_pidfile "$run/xvfb.pid"
}
