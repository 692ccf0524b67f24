#!/usr/bin/env bash
# A private, throwaway PostgreSQL server for the tests and benchmarks.
#
#   private_pg.sh start [--replace] DIR   makes a new cluster in DIR/data and starts it
#   private_pg.sh stop [--remove] DIR     stops the server started in DIR, by its pid
#   private_pg.sh restart DIR             stops it (fast shutdown) and starts it again
#                                         on the same cluster and port
#
# The server listens on 127.0.0.1 and on a unix socket in DIR, on a port that
# was free, trusts every connection it accepts, and logs to DIR/log. Once it
# accepts connections, DIR/uri holds the URI of its empty database "tavrel"
# (superuser role tavrel-test) and DIR/pid the postmaster's pid.
#
# PostgreSQL refuses to run as root: started by root, the server runs as the
# unprivileged system user tavrel-test (made when missing), which is given DIR;
# started by anyone else, it runs as the caller. When that user cannot reach
# DIR, or DIR is too long a path for a socket, the cluster and its socket go
# into a folder of their own under /tmp, named in DIR/run-dir.
#
# --replace first stops a server still running from DIR (a run that ended
# without stopping it). stop sends the postmaster SIGINT (fast shutdown), or
# with --remove SIGQUIT (immediate shutdown: the cluster is thrown away) and
# removes DIR afterwards; SIGKILL when it has not ended after 30 s.
# TAVREL_PG_FSYNC=off starts the server without fsync: for benchmarks only.
# TAVREL_PG_SSL_DIR=FOLDER starts it with TLS on its TCP port, with the
# certificate FOLDER/server.crt and its key FOLDER/server.key (copied next to
# the cluster, readable by the server's user alone).
#
# Sourced, the script defines private_pg_start DIR [replace] and
# private_pg_stop DIR [remove] and runs nothing.

private_pg_role=tavrel-test
private_pg_os_user=tavrel-test

private_pg_fail() {
  echo "private_pg: $*" >&2
  return 1
}

# The bin folder of the newest PostgreSQL installed.
private_pg_bin_dir() {
  local dir found=
  while IFS= read -r dir; do
    [ -x "$dir/postgres" ] && [ -x "$dir/initdb" ] && found=$dir
  done < <(printf '%s\n' /usr/lib/postgresql/*/bin | sort -V)
  [ -n "$found" ] || private_pg_fail "no PostgreSQL server is installed (no /usr/lib/postgresql/*/bin/postgres; install the package postgresql)" || return 1
  echo "$found"
}

private_pg_as_root() { [ "$(id -u)" -eq 0 ]; }

# What runs a command as the user the server runs as: nothing, or setpriv.
private_pg_as_user_prefix() {
  as_user=()
  if private_pg_as_root; then
    as_user=(setpriv --reuid="$private_pg_os_user" --regid="$private_pg_os_user" --clear-groups --)
  fi
}

private_pg_as_server_user() {
  local as_user
  private_pg_as_user_prefix
  "${as_user[@]}" "$@"
}

private_pg_ensure_os_user() {
  private_pg_as_root || return 0
  id -u "$private_pg_os_user" >/dev/null 2>&1 && return 0
  # A start running beside this one may have made it meanwhile.
  useradd --system --user-group --no-create-home --home-dir /nonexistent \
    --shell /usr/sbin/nologin "$private_pg_os_user" 2>/dev/null ||
    id -u "$private_pg_os_user" >/dev/null 2>&1 ||
    private_pg_fail "could not create the system user $private_pg_os_user (useradd failed)"
}

# True while the process runs (a zombie has ended: nobody may reap it).
private_pg_running() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
  stat=${stat##*) }
  [ "${stat%% *}" != Z ] && [ "${stat%% *}" != X ]
}

# True when the process runs and is the postmaster of the cluster in DATA.
private_pg_is_server_of() {
  local pid=$1 data=$2
  private_pg_running "$pid" || return 1
  tr '\0' '\n' <"/proc/$pid/cmdline" 2>/dev/null | grep -Fxq -- "$data"
}

# True when something on this machine uses the TCP port.
private_pg_port_in_use() {
  local files=() f
  for f in /proc/net/tcp /proc/net/tcp6; do [ -r "$f" ] && files+=("$f"); done
  [ "${#files[@]}" -gt 0 ] || return 1
  awk -v port=":$(printf '%04X' "$1")" \
    'FNR > 1 && substr($2, length($2) - 4) == port { used = 1 } END { exit !used }' "${files[@]}"
}

# A port no socket on this machine uses, with no server socket in SOCKET_DIR.
private_pg_free_port() {
  local socket_dir=$1 port tries
  for tries in $(seq 200); do
    port=$((20000 + RANDOM % 12000))
    private_pg_port_in_use "$port" && continue
    [ -e "$socket_dir/.s.PGSQL.$port" ] && continue
    echo "$port"
    return 0
  done
  private_pg_fail "found no free TCP port between 20000 and 32000"
}

# Percent-encodes all but unreserved characters and '/'.
private_pg_uri_encode() {
  local LC_ALL=C s=$1 out= c i
  for ((i = 0; i < ${#s}; i++)); do
    c=${s:i:1}
    case $c in
      [A-Za-z0-9._~/-]) out+=$c ;;
      *) printf -v c '%%%02X' "'$c"; out+=$c ;;
    esac
  done
  echo "$out"
}

# The folder holding the cluster and the socket of the server of DIR.
private_pg_run_dir() {
  if [ -f "$1/run-dir" ]; then cat "$1/run-dir"; else echo "$1"; fi
}

private_pg_log_tail() {
  echo "--- last lines of $1:" >&2
  tail -n 15 "$1" >&2
}

# Gives DIR to the server user and says whether that user can then write in
# it and reach its socket there; opens DIR's parent for passing when needed.
private_pg_give_dir() {
  local dir=$1
  private_pg_as_root || return 0
  chown "$private_pg_os_user:" "$dir" && chmod 0755 "$dir" || return 1
  private_pg_as_server_user test -w "$dir" -a -x "$dir" && return 0
  chmod o+x "$(dirname "$dir")" 2>/dev/null
  private_pg_as_server_user test -w "$dir" -a -x "$dir"
}

# Starts the postmaster on a free port and waits until it accepts
# connections; sets port and pid. Another port is tried when the one picked
# was taken meanwhile.
private_pg_launch() {
  local bin=$1 data=$2 run_dir=$3 log=$4 attempt launched deadline as_user
  private_pg_as_user_prefix
  local settings=(-c listen_addresses=127.0.0.1 -c unix_socket_permissions=0700)
  [ "${TAVREL_PG_FSYNC:-on}" = off ] && settings+=(-c fsync=off)
  [ -f "$run_dir/tls/server.key" ] &&
    settings+=(-c ssl=on -c "ssl_cert_file=$run_dir/tls/server.crt" -c "ssl_key_file=$run_dir/tls/server.key")
  for attempt in 1 2 3 4 5; do
    # A restart keeps the port its clients know.
    if [ -n "${private_pg_fixed_port:-}" ]; then port=$private_pg_fixed_port; else
      port=$(private_pg_free_port "$run_dir") || return 1
    fi
    # Its own session: a Ctrl-C meant for the caller does not reach it, and
    # the server's output goes to the log, never to the caller's pipes.
    (cd "$run_dir" && exec setsid "${as_user[@]}" "$bin/postgres" -D "$data" -k "$run_dir" -p "$port" "${settings[@]}") \
      </dev/null >>"$log" 2>&1 &
    launched=$!
    deadline=$((SECONDS + 60))
    while ! "$bin/pg_isready" -q -h "$run_dir" -p "$port" -U "$private_pg_role" -d postgres -t 1; do
      if ! private_pg_running "$launched"; then
        wait "$launched" 2>/dev/null
        launched=
        break
      fi
      if [ "$SECONDS" -ge "$deadline" ]; then
        kill -KILL "$launched" 2>/dev/null
        private_pg_log_tail "$log"
        private_pg_fail "the server did not accept connections within 60 s (killed pid $launched)"
        return 1
      fi
      sleep 0.05
    done
    if [ -n "$launched" ]; then
      pid=$(head -n 1 "$data/postmaster.pid" 2>/dev/null)
      [ -n "$pid" ] || pid=$launched
      return 0
    fi
    # Taken meanwhile: try another port. Anything else is a real fault.
    tail -n 5 "$log" | grep -Eq 'could not (bind|create lock file)|already in use' || break
  done
  private_pg_log_tail "$log"
  private_pg_fail "the server did not start"
}

# Copies the certificate and key of FROM into TO for the server's user; the
# server refuses a key that others may read.
private_pg_tls_files() {
  local from=$1 to=$2
  [ -f "$from/server.crt" ] && [ -f "$from/server.key" ] ||
    private_pg_fail "no server.crt and server.key in $from" || return 1
  mkdir -p "$to" && cp "$from/server.crt" "$from/server.key" "$to/" || return 1
  chmod 0700 "$to" && chmod 0600 "$to/server.key" || return 1
  if private_pg_as_root; then chown -R "$private_pg_os_user:" "$to" || return 1; fi
}

private_pg_start() {
  local dir=${1:-} replace=${2:-} bin locale run_dir data log port pid old_pid
  [ -n "$dir" ] || private_pg_fail "start: no folder given" || return 1
  case "${TAVREL_PG_FSYNC:-on}" in
    on | off) ;;
    *) private_pg_fail "TAVREL_PG_FSYNC must be on or off, not '$TAVREL_PG_FSYNC'" || return 1 ;;
  esac
  bin=$(private_pg_bin_dir) || return 1
  mkdir -p "$dir" || private_pg_fail "cannot make the folder $dir" || return 1
  dir=$(cd "$dir" && pwd -P) || return 1

  run_dir=$(private_pg_run_dir "$dir")
  old_pid=$(cat "$dir/pid" 2>/dev/null)
  [ -n "$old_pid" ] || old_pid=$(head -n 1 "$run_dir/data/postmaster.pid" 2>/dev/null)
  if [ -n "$old_pid" ] && private_pg_is_server_of "$old_pid" "$run_dir/data"; then
    [ -n "$replace" ] ||
      private_pg_fail "a server started in $dir still runs (pid $old_pid); stop it first" || return 1
    private_pg_stop "$dir" || return 1
  fi
  if [ -e "$run_dir/data" ] && [ ! -f "$run_dir/data/PG_VERSION" ]; then
    private_pg_fail "$run_dir/data exists and is no server's cluster; leaving it alone"
    return 1
  fi
  rm -rf "$run_dir/data" "$run_dir/tls" && rm -f "$dir/uri" "$dir/pid" "$dir/run-dir" || return 1
  [ "$run_dir" = "$dir" ] || rm -rf "$run_dir"

  private_pg_ensure_os_user || return 1
  log=$dir/log
  : >"$log" || private_pg_fail "cannot write $log" || return 1
  run_dir=$dir
  # The socket's path must fit a socket address (107 bytes).
  if ! private_pg_give_dir "$dir" || [ "${#dir}" -gt 90 ]; then
    run_dir=$(mktemp -d /tmp/tavrel-pg.XXXXXX) || return 1
    echo "$run_dir" >"$dir/run-dir"
    if private_pg_as_root; then chown "$private_pg_os_user:" "$run_dir" && chmod 0755 "$run_dir" || return 1; fi
  fi
  data=$run_dir/data

  locale=C
  locale -a 2>/dev/null | grep -Eqix 'c\.utf-?8' && locale=C.UTF-8
  # --no-sync: a cluster that a crash would lose goes with the run anyway;
  # syncing its few hundred files takes seconds on a busy disk. The server
  # itself syncs (unless TAVREL_PG_FSYNC=off), so commits cost what they do.
  if ! (cd "$run_dir" && private_pg_as_server_user "$bin/initdb" -D "$data" -U "$private_pg_role" \
          -A trust -E UTF8 --locale="$locale" --no-sync --no-instructions) >>"$log" 2>&1; then
    private_pg_log_tail "$log"
    private_pg_fail "initdb failed in $data"
    return 1
  fi

  if [ -n "${TAVREL_PG_SSL_DIR:-}" ]; then
    private_pg_tls_files "$TAVREL_PG_SSL_DIR" "$run_dir/tls" || return 1
  fi
  private_pg_launch "$bin" "$data" "$run_dir" "$log" || return 1
  echo "$pid" >"$dir/pid"
  if ! "$bin/psql" -X -q -v ON_ERROR_STOP=1 -h "$run_dir" -p "$port" -U "$private_pg_role" -d postgres \
         -c 'CREATE DATABASE tavrel' >>"$log" 2>&1; then
    private_pg_log_tail "$log"
    private_pg_stop "$dir"
    private_pg_fail "could not create the database tavrel"
    return 1
  fi
  echo "postgresql:///tavrel?host=$(private_pg_uri_encode "$run_dir")&port=$port&user=$private_pg_role" >"$dir/uri.new" &&
    mv "$dir/uri.new" "$dir/uri" || return 1
  echo "private_pg: server pid $pid on port $port (fsync ${TAVREL_PG_FSYNC:-on}), URI in $dir/uri"
}

# Waits up to SECONDS for the process to end.
private_pg_wait_end() {
  local pid=$1 deadline=$((SECONDS + $2))
  while private_pg_running "$pid"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.05
  done
}

private_pg_stop() {
  local dir=${1:-} remove=${2:-} run_dir data pid
  [ -n "$dir" ] || private_pg_fail "stop: no folder given" || return 1
  if [ ! -d "$dir" ]; then
    echo "private_pg: $dir does not exist; no server to stop"
    return 0
  fi
  dir=$(cd "$dir" && pwd -P) || return 1
  run_dir=$(private_pg_run_dir "$dir")
  data=$run_dir/data
  pid=$(cat "$dir/pid" 2>/dev/null)
  # A start that failed after the server came up has written no pid file.
  [ -n "$pid" ] || pid=$(head -n 1 "$data/postmaster.pid" 2>/dev/null)
  if [ -n "$pid" ] && private_pg_is_server_of "$pid" "$data"; then
    # SIGINT: fast shutdown (sessions are ended, a checkpoint is written).
    # A cluster about to be removed needs no checkpoint: SIGQUIT, immediate
    # shutdown, saves its seconds of writing and syncing.
    if [ -n "$remove" ]; then kill -QUIT "$pid"; else kill -INT "$pid"; fi
    if ! private_pg_wait_end "$pid" 30; then
      echo "private_pg: server pid $pid did not end within 30 s; killing it" >&2
      kill -KILL "$pid" 2>/dev/null
      private_pg_wait_end "$pid" 10 || private_pg_fail "server pid $pid did not end even when killed" || return 1
    fi
    echo "private_pg: stopped server pid $pid"
  elif [ -n "$pid" ] && private_pg_running "$pid"; then
    echo "private_pg: pid $pid is not the server of $dir; leaving it alone" >&2
  else
    echo "private_pg: no server of $dir runs"
  fi
  rm -f "$dir/pid" "$dir/uri"
  [ -n "$remove" ] || return 0
  rm -rf "$data" "$run_dir/tls" "$dir/log" "$dir/uri.new" || return 1
  if [ "$run_dir" != "$dir" ]; then
    rm -rf "$run_dir" && rm -f "$dir/run-dir" || return 1
  fi
  rmdir "$dir" 2>/dev/null || echo "private_pg: kept $dir: it holds files of others" >&2
}

# Stops the server of DIR by its pid with a fast shutdown (sessions are
# ended, committed work is written out) and starts it again on its cluster
# and port; DIR/pid then holds the new postmaster's pid.
private_pg_restart() {
  local dir=${1:-} run_dir data log bin pid port
  [ -n "$dir" ] || private_pg_fail "restart: no folder given" || return 1
  dir=$(cd "$dir" && pwd -P) || return 1
  run_dir=$(private_pg_run_dir "$dir")
  data=$run_dir/data
  log=$dir/log
  pid=$(cat "$dir/pid" 2>/dev/null)
  private_pg_is_server_of "$pid" "$data" || private_pg_fail "no server of $dir runs" || return 1
  port=$(sed -n 's/.*[?&]port=\([0-9]*\).*/\1/p' "$dir/uri")
  [ -n "$port" ] || private_pg_fail "no port in $dir/uri" || return 1
  bin=$(private_pg_bin_dir) || return 1
  kill -INT "$pid"
  private_pg_wait_end "$pid" 30 || private_pg_fail "server pid $pid did not stop within 30 s" || return 1
  private_pg_fixed_port=$port private_pg_launch "$bin" "$data" "$run_dir" "$log" || return 1
  echo "$pid" >"$dir/pid"
  echo "private_pg: restarted the server of $dir as pid $pid on port $port"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -uo pipefail
  PATH=$PATH:/usr/sbin:/sbin
  usage="usage: private_pg.sh start [--replace] DIR | stop [--remove] DIR | restart DIR"
  command=${1:-}
  shift || true
  flag=
  case "$command:${1:-}" in
    start:--replace | stop:--remove) flag=yes; shift ;;
  esac
  [ $# -eq 1 ] || { echo "$usage" >&2; exit 2; }
  case $command in
    start) private_pg_start "$1" "$flag" ;;
    stop) private_pg_stop "$1" "$flag" ;;
    restart) private_pg_restart "$1" ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
fi
