# Sourced by the scripts and tests that need an X server of their own.
#
# start_private_xvfb LOG: starts Xvfb on a display number that the server
# picks itself (-displayfd), so that runs side by side never end up sharing
# one; sets display (the number) and xvfb_pid. Fails when no server starts.
# -noreset: by default the server resets itself whenever its last client
# leaves, and a client connecting during that reset is dropped; the checks
# connect and leave often (xwininfo), so a program started just then failed.
start_private_xvfb() {
  local log=$1 fifo
  fifo=$(mktemp -u) && mkfifo "$fifo" || return 1
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$fifo" >"$log" 2>&1 &
  xvfb_pid=$!
  display=$(timeout 30 head -n 1 "$fifo")
  rm -f "$fifo"
  [ -n "$display" ] && kill -0 "$xvfb_pid" 2>/dev/null
}
