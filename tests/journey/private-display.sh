#!/bin/sh
# Runs a command with its own /var/tmp, where the program under test keeps its machine-wide
# single-instance lock, and its own X server: a journey never meets another instance of the
# program on this machine, nor another test's windows. The command learns from
# LARKSPIRE_TEST_OWN_MOUNTS that what it mounts is seen by nothing else.
namespaces="-m"
[ "$(id -u)" = 0 ] || namespaces="-r -m"
exec unshare $namespaces sh -c 'mount -t tmpfs tmpfs /var/tmp && LARKSPIRE_TEST_OWN_MOUNTS=1 exec xvfb-run -a -s "-screen 0 1600x1200x24" "$@"' journey "$@"
