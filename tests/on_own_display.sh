#!/usr/bin/env bash
# Runs a test program as on a user's desktop, on an X display of its own:
# Xvfb on the first free display number, openbox managing it, and a session
# bus. Each is stopped by its process id when the program ends or fails, or
# when this script is stopped; CTest's timeout kills the whole tree.
#   on_own_display.sh FOLDER PROGRAM [ARGS...]
# Its own folder (the cookie, the pipes and the bus's socket) is made in
# FOLDER, locked while the script runs, as the test programs' are:
# tests/remove_free_folders.sh removes it once the script has ended,
# however it ended.
# QUOR_X_DISPLAY_FROM=N: the first display number tried (default 0), to
# keep clear of displays started by hand.
# Listing a test program's tests needs no display.
set -uo pipefail
root=$1
shift
case " $* " in *" --gtest_list_tests "*) exec "$@" ;; esac

# Locked before it takes its name, so that no remover finds it unlocked.
mkdir -p "$root" && making=$(mktemp -d "$root/.making.XXXXXX") || exit 1
exec {lock}>"$making/lock"
flock "$lock"
work="$root/own-display.${making##*.}"
mv -T "$making" "$work" || exit 1
xvfb="" wm="" bus="" program=""
stop() {
  for pid in $program $wm $bus $xvfb; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap stop EXIT
trap 'exit 143' TERM INT HUP

fail() {
  echo "on_own_display.sh: $1" >&2
  cat "$2" >&2
  exit 1
}

# A cookie for any display number (the family and number left open), so
# that it is written before the number is known; only this run's programs
# read the file.
write_cookie() {
  local cookie
  cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
  export XAUTHORITY="$work/auth"
  { printf '\xff\xff\x00\x00\x00\x00\x00\x12MIT-MAGIC-COOKIE-1\x00\x10'
    printf "$(sed 's/../\\x&/g' <<<"$cookie")"; } >"$XAUTHORITY"
}

# Xvfb writes its display number once it takes connections; a number in
# use makes it end at once, and the next is tried.
start_display() {
  local n first=${QUOR_X_DISPLAY_FROM:-0} number=""
  mkfifo "$work/display"
  for ((n = first; n < first + 100; n++)); do
    Xvfb ":$n" -displayfd 3 -auth "$XAUTHORITY" -nolisten tcp -screen 0 1280x1024x24 \
        3>"$work/display" >"$work/xvfb.log" 2>&1 &
    xvfb=$!
    read -r -t 30 number <"$work/display"
    [ -n "$number" ] && break
    kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; xvfb=""
  done
  [ -n "$number" ] || fail "Xvfb started on no display" "$work/xvfb.log"
  export DISPLAY=":$number"
}

# openbox runs its start-up command once it manages the screen (the pipe
# is opened both ways here, so that waiting for it cannot block).
start_window_manager() {
  local fd managed=""
  mkfifo "$work/managed"
  exec {fd}<>"$work/managed"
  openbox --sm-disable --startup "sh -c 'echo managed >\"$work/managed\"'" >"$work/wm.log" 2>&1 &
  wm=$!
  read -r -t 30 -u "$fd" managed
  exec {fd}<&-
  [ "$managed" = managed ] || fail "openbox did not start on $DISPLAY" "$work/wm.log"
}

# Without one, D-Bus's own attempt to start a bus for the display fails
# and leaves what it read unfreed.
start_session_bus() {
  local address=""
  mkfifo "$work/bus-address"
  dbus-daemon --session --nofork --nopidfile --address="unix:path=$work/bus" --print-address=3 \
      3>"$work/bus-address" >"$work/bus.log" 2>&1 &
  bus=$!
  read -r -t 30 address <"$work/bus-address"
  [ -n "$address" ] || fail "the session bus did not start" "$work/bus.log"
  export DBUS_SESSION_BUS_ADDRESS="$address"
}

write_cookie
start_display
start_window_manager
start_session_bus
"$@" &
program=$!
wait "$program"
status=$?
program=""
exit $status
