#!/usr/bin/env bash
# Starts or stops the private services the database tests run against:
#   scripts/test-services.sh start DIR   a MariaDB server with its data, socket and
#                                        logs under DIR, a test user with a random
#                                        password, and the ODBC data source
#                                        ODBCCORVANDEL on an SQLite file in DIR;
#                                        writes DIR/env.sh for the tests
#                                        and a second MariaDB server that speaks TLS,
#                                        with an authority and certificates made by
#                                        openssl under DIR/tls
#   scripts/test-services.sh stop DIR    stops both servers
# Nothing outside DIR is touched: the ODBC files are named by ODBCSYSINI/ODBCINI.
set -euo pipefail

die() {
    echo "test-services: $*" >&2
    exit 1
}

[ $# -eq 2 ] || die "usage: $0 start|stop DIR"
action=$1
mkdir -p "$2" || die "cannot create $2"
dir=$(cd "$2" && pwd)
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Server programs live in sbin on Debian, which is not always on PATH.
find_program() {
    local name candidate
    for name in "$@"; do
        for candidate in "$(command -v "$name" 2>/dev/null || true)" "/usr/sbin/$name" \
            "/usr/bin/$name" "/usr/local/sbin/$name" "/usr/local/bin/$name"; do
            if [ -n "$candidate" ] && [ -x "$candidate" ]; then
                echo "$candidate"
                return 0
            fi
        done
    done
    return 1
}

find_sqlite_odbc_driver() {
    local f
    if command -v dpkg >/dev/null 2>&1; then
        f=$(dpkg -L libsqliteodbc 2>/dev/null | grep -E '/libsqlite3odbc[^/]*\.so$' | head -n 1 || true)
        if [ -n "$f" ] && [ -f "$f" ]; then
            echo "$f"
            return 0
        fi
    fi
    for f in /usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so /usr/lib/*/odbc/libsqlite3odbc.so \
        /usr/lib/odbc/libsqlite3odbc.so /usr/lib64/libsqlite3odbc.so /usr/local/lib/libsqlite3odbc.so; do
        if [ -f "$f" ]; then
            echo "$f"
            return 0
        fi
    done
    f=$(find /usr/lib /usr/lib64 /usr/local/lib -name 'libsqlite3odbc*.so' 2>/dev/null | head -n 1 || true)
    [ -n "$f" ] && echo "$f"
}

port_in_use() {
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

# Prints a TCP port of 127.0.0.1 that nothing listens on.
free_port() {
    local try
    for _ in $(seq 1 50); do
        try=$((20000 + (RANDOM * 32768 + RANDOM) % 40000))
        if ! port_in_use "$try"; then
            echo "$try"
            return 0
        fi
    done
    return 1
}

# ---- The TLS server: its own data, port, socket and certificates under DIR ----

# An authority with a server certificate for the name "localhost" (no address:
# a link to 127.0.0.1 meets a certificate for another name), and a second,
# unrelated authority.
make_tls_certificates() {
    local t="$dir/tls"
    rm -rf "$t"
    mkdir -p "$t"
    (
        cd "$t"
        openssl req -x509 -newkey rsa:2048 -nodes -days 3 -subj "/CN=vesk test authority" \
            -keyout ca-key.pem -out ca.pem
        openssl req -x509 -newkey rsa:2048 -nodes -days 3 -subj "/CN=vesk other authority" \
            -keyout other-ca-key.pem -out other-ca.pem
        openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" -keyout server-key.pem \
            -out server.csr
        printf 'subjectAltName=DNS:localhost\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' \
            >server.ext
        openssl x509 -req -in server.csr -CA ca.pem -CAkey ca-key.pem -CAcreateserial -days 3 \
            -extfile server.ext -out server.pem
        openssl req -newkey rsa:2048 -nodes -subj "/CN=vesk test store" -keyout client-key.pem \
            -out client.csr
        openssl x509 -req -in client.csr -CA ca.pem -CAkey ca-key.pem -CAcreateserial -days 3 \
            -out client.pem
    ) >"$dir/tls-certificates.log" 2>&1 ||
        die "openssl could not make the test certificates; see $dir/tls-certificates.log"
}

# Writes DIR/NAME-ctl.sh, which starts, stops (and for the failure tests kills,
# freezes or thaws) one private server; the server's files are DIR/BASE.*.
write_ctl() {
    local name=$1 mariadbd=$2 admin=$3 socket=$4 port=$5 datadir=$6 base=$7
    shift 7
    local options
    options=$(printf '%q ' "$@")
    cat >"$dir/$name-ctl.sh" <<EOF
#!/usr/bin/env bash
# start|stop|status|kill|freeze|thaw a private MariaDB server of $dir
set -euo pipefail
pidfile='$dir/$base.pid'
running() { [ -f "\$pidfile" ] && kill -0 "\$(cat "\$pidfile")" 2>/dev/null; }
case "\${1:-}" in
start)
    if running; then exit 0; fi
    setsid '$mariadbd' --no-defaults --user=root --datadir='$datadir' --socket='$socket' \\
        --port=$port --bind-address=127.0.0.1 --pid-file="\$pidfile" \\
        --log-error='$dir/$base.err' --skip-name-resolve --character-set-server=utf8mb4 \\
        $options \\
        </dev/null >>'$dir/$base.out' 2>&1 &
    for _ in \$(seq 1 120); do
        if '$admin' --no-defaults --socket='$socket' -uroot ping >/dev/null 2>&1; then exit 0; fi
        sleep 0.5
    done
    echo "$name-ctl: the server did not answer within 60 s; see $dir/$base.err" >&2
    tail -n 20 '$dir/$base.err' >&2 || true
    exit 1
    ;;
stop)
    if ! running; then exit 0; fi
    pid=\$(cat "\$pidfile")
    '$admin' --no-defaults --socket='$socket' -uroot shutdown >/dev/null 2>&1 || kill "\$pid" 2>/dev/null || true
    for _ in \$(seq 1 120); do
        if ! kill -0 "\$pid" 2>/dev/null; then exit 0; fi
        sleep 0.5
    done
    kill -9 "\$pid" 2>/dev/null || true
    ;;
status)
    running
    ;;
kill)
    # A crash: the server vanishes without closing its connections.
    if running; then kill -9 "\$(cat "\$pidfile")"; fi
    for _ in \$(seq 1 100); do
        if ! running; then rm -f "\$pidfile"; exit 0; fi
        sleep 0.1
    done
    exit 1
    ;;
freeze)
    running && kill -STOP "\$(cat "\$pidfile")"
    ;;
thaw)
    running && kill -CONT "\$(cat "\$pidfile")"
    ;;
*)
    echo "usage: \$0 start|stop|status|kill|freeze|thaw" >&2
    exit 2
    ;;
esac
EOF
    chmod +x "$dir/$name-ctl.sh"
}

start_tls_server() {
    local installdb=$1 mariadbd=$2 admin=$3 client=$4 user=$5 password=$6
    command -v openssl >/dev/null 2>&1 || die "openssl not found (package openssl)"
    make_tls_certificates
    local socket="$dir/tls.sock" port=""
    rm -rf "$dir/tls-data"
    mkdir -p "$dir/tls-data"
    "$installdb" --no-defaults --user=root --datadir="$dir/tls-data" --skip-test-db \
        --auth-root-authentication-method=socket >"$dir/tls-install-db.log" 2>&1 ||
        die "mariadb-install-db failed for the TLS server; see $dir/tls-install-db.log"
    port=$(free_port) || true
    [ -n "$port" ] || die "no free TCP port found for the TLS server"
    write_ctl tls "$mariadbd" "$admin" "$socket" "$port" "$dir/tls-data" tls-mysqld \
        --innodb-buffer-pool-size=32M --ssl-ca="$dir/tls/ca.pem" \
        --ssl-cert="$dir/tls/server.pem" --ssl-key="$dir/tls/server-key.pem"
    "$dir/tls-ctl.sh" start || die "the MariaDB server with TLS did not start"
    "$client" --no-defaults --socket="$socket" -uroot <<EOF || die "could not create the test user on the TLS server"
CREATE USER '$user'@'127.0.0.1' IDENTIFIED BY '$password';
GRANT ALL PRIVILEGES ON *.* TO '$user'@'127.0.0.1' WITH GRANT OPTION;
CREATE USER '${user}_x509'@'127.0.0.1' IDENTIFIED BY '$password' REQUIRE X509;
GRANT SELECT ON mysql.* TO '${user}_x509'@'127.0.0.1';
FLUSH PRIVILEGES;
EOF
    {
        printf 'export VESK_TEST_TLS_HOST=%q\n' localhost
        printf 'export VESK_TEST_TLS_PORT=%q\n' "$port"
        printf 'export VESK_TEST_TLS_USER=%q\n' "$user"
        printf 'export VESK_TEST_TLS_PASSWORD=%q\n' "$password"
        printf 'export VESK_TEST_TLS_CA=%q\n' "$dir/tls/ca.pem"
        printf 'export VESK_TEST_TLS_OTHER_CA=%q\n' "$dir/tls/other-ca.pem"
        # An account that needs a client certificate: this one, by the authority.
        printf 'export VESK_TEST_TLS_X509_USER=%q\n' "${user}_x509"
        printf 'export VESK_TEST_TLS_CLIENT_CERT=%q\n' "$dir/tls/client.pem"
        printf 'export VESK_TEST_TLS_CLIENT_KEY=%q\n' "$dir/tls/client-key.pem"
    } >>"$dir/env.sh"
    echo "test-services: MariaDB with TLS on 127.0.0.1:$port (certificate for localhost)"
}

stop_services() {
    if [ -x "$dir/tls-ctl.sh" ]; then
        "$dir/tls-ctl.sh" stop
    fi
    if [ -x "$dir/mysql-ctl.sh" ]; then
        "$dir/mysql-ctl.sh" stop
    else
        echo "test-services: no server was started in $dir" >&2
    fi
}

start_services() {
    local installdb mariadbd admin client isql
    installdb=$(find_program mariadb-install-db mysql_install_db) ||
        die "mariadb-install-db not found (package mariadb-server)"
    mariadbd=$(find_program mariadbd mysqld) || die "mariadbd not found (package mariadb-server)"
    admin=$(find_program mariadb-admin mysqladmin) || die "mariadb-admin not found (package mariadb-client)"
    client=$(find_program mariadb mysql) || die "mariadb client not found (package mariadb-client)"
    isql=$(find_program isql) || die "isql not found (package unixodbc)"
    local driver
    driver=$(find_sqlite_odbc_driver) || true
    [ -n "$driver" ] || die "the SQLite ODBC driver libsqlite3odbc.so was not found (package libsqliteodbc)"

    if [ -f "$dir/mysqld.pid" ] && kill -0 "$(cat "$dir/mysqld.pid")" 2>/dev/null; then
        die "a server is already running for $dir; stop it first"
    fi
    local socket="$dir/mysqld.sock"
    [ ${#socket} -lt 100 ] || die "$dir is too long a path for a unix socket; use a shorter DIR"

    rm -rf "$dir/data"
    mkdir -p "$dir/data" "$dir/odbc"
    "$installdb" --no-defaults --user=root --datadir="$dir/data" --skip-test-db \
        --auth-root-authentication-method=socket >"$dir/install-db.log" 2>&1 ||
        die "mariadb-install-db failed; see $dir/install-db.log"

    local port=""
    port=$(free_port) || true
    [ -n "$port" ] || die "no free TCP port found"

    # The control script starts and stops this same server; tests call it too.
    write_ctl mysql "$mariadbd" "$admin" "$socket" "$port" "$dir/data" mysqld \
        --max-connections=500 --innodb-buffer-pool-size=64M
    # A start that fails half-way leaves no server behind.
    trap 'status=$?; if [ $status -ne 0 ]; then "$dir/mysql-ctl.sh" stop >/dev/null 2>&1 || true; [ ! -x "$dir/tls-ctl.sh" ] || "$dir/tls-ctl.sh" stop >/dev/null 2>&1 || true; fi' EXIT
    "$dir/mysql-ctl.sh" start || die "the MariaDB server did not start"

    local user=vesk_test password
    password=$(head -c 64 /dev/urandom | base64 | tr -dc 'A-Za-z0-9' | head -c 24)
    [ ${#password} -ge 16 ] || die "could not make a password"
    "$client" --no-defaults --socket="$socket" -uroot <<EOF || die "could not create the test user"
CREATE USER '$user'@'127.0.0.1' IDENTIFIED BY '$password';
CREATE USER '$user'@'localhost' IDENTIFIED BY '$password';
GRANT ALL PRIVILEGES ON *.* TO '$user'@'127.0.0.1' WITH GRANT OPTION;
GRANT ALL PRIVILEGES ON *.* TO '$user'@'localhost' WITH GRANT OPTION;
FLUSH PRIVILEGES;
EOF
    "$client" --no-defaults --host=127.0.0.1 --port="$port" -u"$user" -p"$password" \
        -e 'SELECT 1' >/dev/null || die "the test user cannot log in over TCP"

    # ODBC: driver and data source in files of our own, never /etc.
    local odbcdb="$dir/suite-odbc.sqlite"
    cat >"$dir/odbc/odbcinst.ini" <<EOF
[VESK SQLite3]
Description=SQLite3 ODBC driver
Driver=$driver
Setup=$driver
Threading=2
EOF
    : >"$dir/odbc/odbc.ini"
    cat >"$dir/odbc/user-odbc.ini" <<EOF
[ODBCCORVANDEL]
Description=suite database for the tests
Driver=VESK SQLite3
Database=$odbcdb
Timeout=5000
EOF
    rm -f "$odbcdb"
    export ODBCSYSINI="$dir/odbc" ODBCINI="$dir/odbc/user-odbc.ini"
    # isql runs one statement per line.
    sed -e 's/--.*$//' "$repo/sql/sqlite/suite.sql" | tr '\n' ' ' | sed -e 's/;/;\n/g' |
        grep -v '^[[:space:]]*$' | "$isql" ODBCCORVANDEL -b >"$dir/odbc-setup.log" 2>&1 ||
        die "the ODBC data source ODBCCORVANDEL does not work; see $dir/odbc-setup.log"
    echo "SELECT COUNT(*) FROM employees;" | "$isql" ODBCCORVANDEL -b >>"$dir/odbc-setup.log" 2>&1 ||
        die "the ODBC data source ODBCCORVANDEL does not work; see $dir/odbc-setup.log"
    [ -f "$odbcdb" ] || die "the ODBC data source did not create $odbcdb"

    {
        echo "# Written by scripts/test-services.sh start"
        printf 'export VESK_TEST_MYSQL_HOST=%q\n' 127.0.0.1
        printf 'export VESK_TEST_MYSQL_PORT=%q\n' "$port"
        printf 'export VESK_TEST_MYSQL_SOCKET=%q\n' "$socket"
        printf 'export VESK_TEST_MYSQL_USER=%q\n' "$user"
        printf 'export VESK_TEST_MYSQL_PASSWORD=%q\n' "$password"
        printf 'export VESK_TEST_MYSQL_CTL=%q\n' "$dir/mysql-ctl.sh"
        printf 'export ODBCSYSINI=%q\n' "$dir/odbc"
        printf 'export ODBCINI=%q\n' "$dir/odbc/user-odbc.ini"
        printf 'export VESK_TEST_ODBC_DATABASE=%q\n' "$odbcdb"
        printf 'export VESK_TEST_ODBC_DRIVER=%q\n' "$driver"
    } >"$dir/env.sh"
    chmod 600 "$dir/env.sh"
    echo "test-services: MariaDB on 127.0.0.1:$port, ODBC data source ODBCCORVANDEL on $odbcdb"
    rm -f "$dir/tls-ctl.sh"
    start_tls_server "$installdb" "$mariadbd" "$admin" "$client" "$user" "$password"
    echo "test-services: source $dir/env.sh before running the tests"
}

case "$action" in
start) start_services ;;
stop) stop_services ;;
*) die "usage: $0 start|stop DIR" ;;
esac
