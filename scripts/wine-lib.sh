# Shared by the Wine scripts: a private prefix under build/, a display, and
# clean-up of exactly the processes we started. Source it; do not run it.

PW_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
PW_WINE_DIR=${PW_WINE_DIR:-$PW_ROOT/build/wine}
PW_WINE64=/usr/lib/wine/wine64
export WINEPREFIX=${WINEPREFIX:-$PW_WINE_DIR/prefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=win64
# No Mono or Gecko installers: they would ask questions and take minutes.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

pw_started_pids=()

# A pause that starts no process: `sleep` forks and execs, which at twenty
# times a second in each of four suites costs a good part of a core. A read
# that times out on a pipe nobody writes to waits as long, for nothing.
exec {PW_PAUSE_FD}<> <(:)
pw_pause() { # seconds
  read -r -t "$1" -u "$PW_PAUSE_FD" _ 2>/dev/null || true
}

# What runs outside the script's process group (the Wine server, PostgreSQL)
# is noted in a list that scripts/end-leftovers ends: at the end of the
# script that began the list, or, should that script be killed outright (as
# CTest does at a suite's time limit), when a watcher in a session of its
# own sees it gone. Scripts this one starts add to the same list.
pw_leave_behind() { # kind value: prefix DIR | postgres DIR | folder DIR
  if [ -z "${PW_LEFTOVERS:-}" ] || [ ! -f "$PW_LEFTOVERS" ]; then
    PW_LEFTOVERS=$(mktemp "${TMPDIR:-/tmp}/pw-leftovers.XXXXXX")
    export PW_LEFTOVERS
    PW_LEFTOVERS_OWNER=$$
    setsid "$PW_ROOT/scripts/end-leftovers" watch $$ "$PW_LEFTOVERS" </dev/null >/dev/null 2>&1 &
  fi
  grep -qxF "$1 $2" "$PW_LEFTOVERS" 2>/dev/null || printf '%s %s\n' "$1" "$2" >>"$PW_LEFTOVERS"
}

pw_cleanup() {
  local pid
  for pid in "${pw_started_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${pw_started_pids[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  pw_started_pids=()
  if [ "${PW_LEFTOVERS_OWNER:-}" = "$$" ]; then
    "$PW_ROOT/scripts/end-leftovers" now "$PW_LEFTOVERS"
  fi
}

# Every suite's prefix is a copy of one booted prefix: a boot takes a quarter
# of a minute, a copy a second. The first suite to need it boots it; the
# others wait on the lock.
PW_TEMPLATE_PREFIX=$PW_ROOT/build/wine-template/prefix

pw_boot_template() {
  mkdir -p "$(dirname "$PW_TEMPLATE_PREFIX")"
  (
    flock 9
    if [ ! -f "$PW_TEMPLATE_PREFIX/.pw-ready" ]; then
      rm -rf "$PW_TEMPLATE_PREFIX"
      WINEPREFIX=$PW_TEMPLATE_PREFIX WINEDLLOVERRIDES=mscoree,mshtml= "$PW_WINE64" wineboot -i >/dev/null 2>&1 || true
      WINEPREFIX=$PW_TEMPLATE_PREFIX "$PW_ROOT/scripts/wine-server-wait"
      touch "$PW_TEMPLATE_PREFIX/.pw-ready"
    fi
  ) 9>"$(dirname "$PW_TEMPLATE_PREFIX")/lock"
}

# Creates the prefix once; later calls find it ready. Its Wine server ends
# with the script.
pw_ensure_prefix() {
  mkdir -p "$PW_WINE_DIR"
  pw_leave_behind prefix "$WINEPREFIX"
  if [ ! -f "$WINEPREFIX/.pw-ready" ]; then
    pw_boot_template
    (
      flock 9
      if [ ! -f "$WINEPREFIX/.pw-ready" ]; then
        rm -rf "$WINEPREFIX" "$WINEPREFIX.copying"
        cp -a --reflink=auto "$PW_TEMPLATE_PREFIX" "$WINEPREFIX.copying"
        mv "$WINEPREFIX.copying" "$WINEPREFIX"
      fi
    ) 9>"$WINEPREFIX.lock"
  fi
}

# A running wineserver keeps the time zone it started with: ends it when it
# may have started with another zone than TZ. The zone of the last start is
# noted in the prefix, so that runs in one zone share one server.
pw_wineserver_for_zone() {
  local noted=$WINEPREFIX/.pw-zone
  if [ "$(cat "$noted" 2>/dev/null)" != "zone=${TZ:-}" ]; then
    wineserver -k >/dev/null 2>&1 || true
    "$PW_ROOT/scripts/wine-server-wait"
    printf 'zone=%s\n' "${TZ:-}" >"$noted"
  fi
}

# Starts Xvfb unless a display is set; records its pid. Xvfb picks a free
# display itself and names it, so suites started side by side each get one
# of their own and never take each other's keyboard focus.
pw_ensure_display() {
  if [ -n "${DISPLAY:-}" ]; then return 0; fi
  local named
  named=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$named" >/dev/null 2>&1 &
  local pid=$!
  local i
  for i in $(seq 1 100); do
    [ -s "$named" ] && break
    kill -0 "$pid" 2>/dev/null || break
    pw_pause 0.1
  done
  local n
  n=$(tr -dc 0-9 <"$named")
  rm -f "$named"
  if [ -n "$n" ] && kill -0 "$pid" 2>/dev/null; then
    export DISPLAY=":$n"
    PW_XVFB_PID=$pid
    pw_started_pids+=("$pid")
    return 0
  fi
  kill "$pid" 2>/dev/null || true
  echo "wine: Xvfb did not start" >&2
  return 1
}

# Runs a program under wine64 with a time limit. Returns its exit code, or
# 124 when the limit ended it.
pw_run_limited() {
  local limit=$1; shift
  "$PW_WINE64" "$@" &
  local pid=$!
  local waited=0
  while kill -0 "$pid" 2>/dev/null; do
    if [ "$waited" -ge $((limit * 10)) ]; then
      echo "wine: time limit of ${limit}s reached, ending $*" >&2
      kill "$pid" 2>/dev/null || true
      wait "$pid" 2>/dev/null || true
      return 124
    fi
    pw_pause 0.1
    waited=$((waited + 1))
  done
  local rc=0
  wait "$pid" || rc=$?
  return "$rc"
}
