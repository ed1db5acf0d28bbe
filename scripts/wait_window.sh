# Sourced by the window tests before they start a program: bounded waits for X windows (a hang
# is worse than a failure).

# Window names are Russian: under the caller's C locale the programs could not set them in the
# window's legacy name property and no search would find them.
export LC_ALL=C.UTF-8

# wait_window NAME [SECONDS]: prints the id of the first visible window named NAME, or fails
# with a message after SECONDS (20).
wait_window() {
    local deadline=$((SECONDS + ${2:-20})) win
    while [ $SECONDS -lt $deadline ]; do
        win=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
        if [ -n "$win" ]; then echo "$win"; return 0; fi
        sleep 0.2
    done
    echo "window test: no window named '$1' within ${2:-20} s" >&2
    return 1
}

# wait_until SECONDS MESSAGE COMMAND...: runs COMMAND until it succeeds, or fails with MESSAGE.
wait_until() {
    local limit=$1 deadline=$((SECONDS + $1)) message=$2
    shift 2
    while [ $SECONDS -lt $deadline ]; do
        if "$@"; then return 0; fi
        sleep 0.2
    done
    echo "window test: $message (waited $limit s)" >&2
    return 1
}
