#!/usr/bin/env bash
# A throwaway PostgreSQL for the content service's tests, started once per
# ctest run as a fixture: a cluster in a private folder under /tmp,
# reachable only on a unix socket in that folder, trusted, without fsync.
#   throwaway_postgres.sh start INFO   writes the socket folder to INFO, or
#                                      "missing: WHY" when it cannot start
#   throwaway_postgres.sh stop INFO    stops it and removes the folder
# PostgreSQL refuses to run as root: as root the cluster belongs to nobody.
set -euo pipefail
what=${1:?start or stop} info=${2:?the info file}

bin=${TARVO_POSTGRES_BIN:-}
if [[ -z $bin ]]; then
  for candidate in /usr/lib/postgresql/*/bin; do [[ -x $candidate/initdb ]] && bin=$candidate; done
fi

as_owner=()
if [[ $(id -u) -eq 0 ]]; then
  as_owner=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
fi

stop() {
  [[ -f $info.folder ]] || return 0
  local folder
  folder=$(cat "$info.folder")
  if [[ -d $folder/data ]]; then
    (cd "$folder" && "${as_owner[@]}" "$bin/pg_ctl" -D "$folder/data" -m immediate -w stop >/dev/null 2>&1) || true
  fi
  rm -rf -- "$folder"
  rm -f -- "$info.folder"
}

case $what in
start)
  stop  # what an interrupted run left
  rm -f -- "$info"
  if [[ -z $bin || ! -x $bin/pg_ctl ]]; then
    echo "missing: PostgreSQL's initdb and pg_ctl (Debian package postgresql)" >"$info"
    exit 0
  fi
  folder=$(mktemp -d /tmp/tarvo-pg.XXXXXX)
  echo "$folder" >"$info.folder"
  [[ ${#as_owner[@]} -eq 0 ]] || chown nobody: "$folder"
  cd "$folder"
  if ! "${as_owner[@]}" "$bin/initdb" -D "$folder/data" -U tarvo -A trust -E UTF8 --locale=C \
      --no-sync >"$folder/initdb.log" 2>&1; then
    echo "missing: initdb failed: $(tail -n 3 "$folder/initdb.log" | tr '\n' ' ')" >"$info"
    exit 0
  fi
  if ! "${as_owner[@]}" "$bin/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w -t 60 \
      -o "-k $folder -c listen_addresses= -c fsync=off -c synchronous_commit=off" start >/dev/null; then
    echo "missing: the server did not start: $(tail -n 3 "$folder/server.log" | tr '\n' ' ')" >"$info"
    exit 0
  fi
  echo "$folder" >"$info"
  ;;
stop)
  stop
  rm -f -- "$info"
  ;;
*)
  echo "usage: $0 start|stop INFO" >&2
  exit 2
  ;;
esac
