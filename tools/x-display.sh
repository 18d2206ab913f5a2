# Sourced by the run scripts: makes DISPLAY name an X server that answers.
# A DISPLAY that is set but dead (a stale socket, a variable inherited from
# elsewhere) counts as none: Wine could then create no window at all.

x_display_answers() { xdpyinfo -display "$1" >/dev/null 2>&1; }

# x_server_lives NUMBER: the process named in display NUMBER's lock file runs.
x_server_lives() {
  local pid
  pid="$(tr -dc 0-9 2>/dev/null <"/tmp/.X$1-lock")"
  [ -n "$pid" ] && [ -d "/proc/$pid" ]
}

# ensure_x_display LOCKFILE: keeps a working DISPLAY, else starts (once, under
# the lock) the project's own Xvfb and waits until it answers. When this call
# started the server, X_DISPLAY_STARTED holds its process id.
ensure_x_display() {
  if [ -z "$WINE_RUN_OWN_DISPLAY" ] && [ -n "$DISPLAY" ] && x_display_answers "$DISPLAY"; then
    return 0
  fi
  local num="${WINE_RUN_DISPLAY:-77}"
  export DISPLAY=":$num"
  local started
  started="$(
    (
      flock 9
      x_display_answers "$DISPLAY" && exit 0
      # A server whose process lives is busy, not gone (many programs starting
      # at once on a slow machine): it is waited for, never replaced. Without
      # one, whatever socket or lock is left is stale.
      if ! x_server_lives "$num"; then
        rm -f "/tmp/.X$num-lock" "/tmp/.X11-unix/X$num"
        setsid nohup Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp \
          </dev/null >/dev/null 2>&1 9>&- &
        echo $!
      fi
      for _ in $(seq 1200); do x_display_answers "$DISPLAY" && exit 0; sleep 0.1; done
      echo "x-display: the X server on $DISPLAY did not start" >&2
      exit 1
    ) 9>"$1"
  )"
  [ -z "$started" ] || X_DISPLAY_STARTED="$started"
}

# stop_started_x_display: ends the X server that ensure_x_display started, by
# its process id; a display that was already there is left alone.
stop_started_x_display() {
  [ -n "$X_DISPLAY_STARTED" ] || return 0
  kill "$X_DISPLAY_STARTED" 2>/dev/null || true
  X_DISPLAY_STARTED=
}
