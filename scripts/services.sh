# Test services: a virtual X display, a PulseAudio daemon with a null sink, a Firebird server
# on 127.0.0.1. Sourced by scripts/test and scripts/run. Every service is stopped by the PID
# we started, from an EXIT trap, also when the tests fail or the run is interrupted.

SERVICE_DIR="${SERVICE_DIR:-$(mktemp -d /tmp/tavrela-services.XXXXXX)}"
SERVICE_PIDS=()
# The SYSDBA password of the test server; tests read it from the environment.
export TAVRELA_TEST_FB_PASSWORD="${TAVRELA_TEST_FB_PASSWORD:-tavrela-test}"

stop_services() {
    local pid i
    for ((i = ${#SERVICE_PIDS[@]} - 1; i >= 0; i--)); do
        pid="${SERVICE_PIDS[$i]}"
        kill -TERM "$pid" 2>/dev/null || continue
        for _ in $(seq 1 100); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$pid" 2>/dev/null || true
    done
    SERVICE_PIDS=()
    rm -rf "$SERVICE_DIR" 2>/dev/null || true
}

start_xvfb() {
    local fifo="$SERVICE_DIR/displayfd"
    mkfifo "$fifo"
    # -noreset: without it the server resets whenever its last client leaves, and a test
    # connecting during that reset fails with "could not connect to display".
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$fifo" >"$SERVICE_DIR/xvfb.log" 2>&1 &
    SERVICE_PIDS+=($!)
    local num
    if ! read -r -t 20 num <"$fifo"; then
        log "Xvfb did not start:"; cat "$SERVICE_DIR/xvfb.log" >&2; return 1
    fi
    export DISPLAY=":$num"
    log "virtual display $DISPLAY"
}

start_pulseaudio() {
    export XDG_RUNTIME_DIR="$SERVICE_DIR/runtime"
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
    export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
    pulseaudio --daemonize=no --exit-idle-time=-1 -n --log-target=stderr --disallow-exit \
        --load="module-null-sink sink_name=nullsink" --load="module-native-protocol-unix" \
        >"$SERVICE_DIR/pulse.log" 2>&1 &
    SERVICE_PIDS+=($!)
    for _ in $(seq 1 100); do
        if pactl info >/dev/null 2>&1; then
            pactl set-default-sink nullsink >/dev/null 2>&1 || true
            export TAVRELA_TEST_PULSE_SINK=nullsink
            log "PulseAudio null sink ready"
            return 0
        fi
        sleep 0.1
    done
    log "PulseAudio did not start (sound integration test will fail):"
    tail -5 "$SERVICE_DIR/pulse.log" >&2
}

start_firebird() {
    if ss -ltn 2>/dev/null | grep -q ':3050 '; then
        log "a Firebird server already listens on 3050; using it (password may differ)"
        export TAVRELA_TEST_FB_SERVER=127.0.0.1
        return 0
    fi
    local sec=/var/lib/firebird/3.0/system/security3.fdb
    # The password is set while the server is stopped, through the embedded engine.
    echo "CREATE OR ALTER USER SYSDBA PASSWORD '$TAVRELA_TEST_FB_PASSWORD';" |
        FIREBIRD_LOCK=/tmp/firebird setpriv --reuid=firebird --regid=firebird --init-groups \
            isql-fb -q -b -user SYSDBA "$sec" >"$SERVICE_DIR/fbsec.log" 2>&1 ||
        { log "could not set the SYSDBA password:"; cat "$SERVICE_DIR/fbsec.log" >&2; }
    FIREBIRD_LOCK=/tmp/firebird setpriv --reuid=firebird --regid=firebird --init-groups \
        /usr/sbin/firebird >"$SERVICE_DIR/firebird.log" 2>&1 &
    SERVICE_PIDS+=($!)
    for _ in $(seq 1 100); do
        if ss -ltn 2>/dev/null | grep -q ':3050 '; then
            export TAVRELA_TEST_FB_SERVER=127.0.0.1
            log "Firebird server on 127.0.0.1:3050"
            return 0
        fi
        sleep 0.1
    done
    log "Firebird server did not start:"; cat "$SERVICE_DIR/firebird.log" >&2
}
