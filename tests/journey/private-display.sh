#!/bin/sh
# Runs a command with its own /var/tmp, where the program under test keeps its machine-wide
# single-instance lock, and its own X server: a journey never meets another instance of the
# program on this machine, nor another test's windows. The command learns from
# LARKSPIRE_TEST_OWN_MOUNTS that what it mounts is seen by nothing else.
#
# The display number is the first from 99 up whose server comes up: one chosen by looking at
# lock files beforehand can be taken by a test starting beside this one, or still be held by
# the listening socket of a server that is just ending, and the test's windows would land on
# another test's display. The server is waited for before this script ends, for the same
# reason. Display 0 stays free: the framework falls back to it when no display is set.
#
# The server never resets: by default it does each time its last client goes (the program
# under test quitting, a tool ending), and while it resets it refuses connections, so a
# test's next look or click would reach nothing.
if [ "$1" != "--inside" ]; then
    namespaces="-m"
    [ "$(id -u)" = 0 ] || namespaces="-r -m"
    exec unshare $namespaces "$0" --inside "$@"
fi
shift

mount -t tmpfs tmpfs /var/tmp || exit 1
export LARKSPIRE_TEST_OWN_MOUNTS=1

dir=$(mktemp -d) || exit 1
mkfifo "$dir/display" || exit 1
trap 'kill $xvfb 2>/dev/null; wait $xvfb; rm -rf "$dir"; exit 143' INT TERM
number=99
while :; do
    # The server writes its number to the pipe once it takes connections, and ends at once
    # when another holds the number.
    Xvfb ":$number" -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp -noreset 3>"$dir/display" 2>"$dir/log" &
    xvfb=$!
    read -r ready <"$dir/display"
    [ -n "$ready" ] && break
    wait $xvfb
    number=$((number + 1))
    if [ $number -ge 200 ]; then
        echo "no X server could be started:" >&2
        cat "$dir/log" >&2
        rm -rf "$dir"
        exit 1
    fi
done

DISPLAY=":$number" "$@"
status=$?
kill $xvfb 2>/dev/null
wait $xvfb
rm -rf "$dir"
exit $status
