# A throwaway PostgreSQL cluster for the Windows tests, sourced by
# tests/windows/server-stations and scripts/test-windows-zip: Debian's
# postgresql-15 server on 127.0.0.1 over TCP, TLS on with a certificate from a
# CA made here (and a second CA that the server never heard of, for a wrong
# root), scram-sha-256 passwords for TCP, and no plain-text TCP at all. It
# lives in a folder under /tmp; as root the server runs as "nobody", since
# PostgreSQL refuses root. The tests connect to it from Windows programs under
# Wine, which reach 127.0.0.1 as any Linux program does.
#
#   tls_cluster_start          makes and starts it; sets the variables below
#   tls_cluster_sql ROLE SQL   runs SQL in database velmorin over the Unix socket
#   tls_cluster_stop           stops it and removes its folder; the caller's
#                              EXIT trap calls it, so nothing is left behind
#
# After tls_cluster_start:
#   PG_DIR        the folder (data/, ca/, server.log)
#   PG_PORT       the TCP port on 127.0.0.1
#   PG_ROOT_CRT   the CA's certificate, the stations' root.crt
#   PG_WRONG_CRT  the other CA's certificate
#   PG_OWNER_PW   the password of role velmorin_owner, owner of database velmorin
#   PG_STATION_PW the password of role station (no rights until granted)

PG_BIN=${PG_BIN:-/usr/lib/postgresql/15/bin}

# Runs a command as the cluster's owner.
tls_cluster_as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    (cd "$PG_DIR" && setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups -- "$@")
  else
    "$@"
  fi
}

# A CA (key and self-signed certificate) in $1/$2.{key,crt}, named $3.
tls_cluster_ca() {
  openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 -subj "/CN=$3" \
    -keyout "$1/$2.key" -out "$1/$2.crt" 2>/dev/null
}

tls_cluster_start() {
  for program in initdb pg_ctl psql; do
    [ -x "$PG_BIN/$program" ] || { echo "no $PG_BIN/$program (scripts/setup installs postgresql-15)" >&2; return 1; }
  done
  PG_DIR=$(mktemp -d /tmp/velmorin-pg-tls.XXXXXX)
  local ca=$PG_DIR/ca
  mkdir "$ca"
  tls_cluster_ca "$ca" root "Velmorin test CA"
  tls_cluster_ca "$ca" wrong "Another CA"
  PG_ROOT_CRT=$ca/root.crt
  PG_WRONG_CRT=$ca/wrong.crt
  # The server's certificate names 127.0.0.1, as verify-full checks.
  openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj "/CN=127.0.0.1" \
    -keyout "$ca/server.key" -out "$ca/server.csr" 2>/dev/null
  printf 'subjectAltName=IP:127.0.0.1\n' >"$ca/server.ext"
  openssl x509 -req -in "$ca/server.csr" -CA "$ca/root.crt" -CAkey "$ca/root.key" \
    -CAcreateserial -days 2 -extfile "$ca/server.ext" -out "$ca/server.crt" 2>/dev/null
  chmod 600 "$ca/server.key"
  [ "$(id -u)" -eq 0 ] && chown -R nobody: "$PG_DIR"

  PG_OWNER_PW=owner-$(openssl rand -hex 8)
  PG_STATION_PW=station-$(openssl rand -hex 8)
  tls_cluster_as_owner "$PG_BIN/initdb" -D "$PG_DIR/data" -U postgres -A trust -E UTF8 \
    --locale=C --no-sync >"$PG_DIR/initdb.log" 2>&1 ||
    { cat "$PG_DIR/initdb.log" >&2; return 1; }
  # Local connections (the test's own SQL) are trusted; TCP takes TLS and a
  # password, or nothing.
  printf '%s\n' 'local all all trust' 'hostssl all all 127.0.0.1/32 scram-sha-256' \
    >"$PG_DIR/data/pg_hba.conf"
  cat >>"$PG_DIR/data/postgresql.conf" <<CONF
listen_addresses = '127.0.0.1'
unix_socket_directories = '$PG_DIR'
ssl = on
ssl_cert_file = '$ca/server.crt'
ssl_key_file = '$ca/server.key'
fsync = off
shared_buffers = 16MB
CONF
  local try
  for try in 1 2 3 4 5; do  # another port when this one is taken
    PG_PORT=$((20000 + RANDOM % 40000))
    tls_cluster_as_owner "$PG_BIN/pg_ctl" start -w -t 60 -D "$PG_DIR/data" -o "-p $PG_PORT" \
      -l "$PG_DIR/server.log" >/dev/null && break
    [ "$try" = 5 ] && { cat "$PG_DIR/server.log" >&2; return 1; }
  done
  tls_cluster_sql postgres "CREATE ROLE velmorin_owner LOGIN PASSWORD '$PG_OWNER_PW'" postgres &&
    tls_cluster_sql postgres "CREATE ROLE station LOGIN PASSWORD '$PG_STATION_PW'" postgres &&
    tls_cluster_sql postgres "CREATE DATABASE velmorin OWNER velmorin_owner" postgres
}

# tls_cluster_sql ROLE SQL [DATABASE]: the rows unaligned, tab-separated.
tls_cluster_sql() {
  "$PG_BIN/psql" -X -q -v ON_ERROR_STOP=1 -At -F $'\t' -h "$PG_DIR" -p "$PG_PORT" -U "$1" \
    -d "${3:-velmorin}" -c "$2"
}

tls_cluster_stop() {
  [ -n "${PG_DIR:-}" ] || return 0
  tls_cluster_as_owner "$PG_BIN/pg_ctl" stop -s -m immediate -D "$PG_DIR/data" >/dev/null 2>&1 || true
  rm -rf "$PG_DIR"
  PG_DIR=""
}
