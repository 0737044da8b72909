#!/usr/bin/env bash
# Sets up a fresh Debian machine (run as root), builds Larkspire, and either
# starts it or runs every test.
#
#   ./build.sh run    install what is missing, build (Release), start the program
#   ./build.sh test   install what is missing, build, run every test; then a clang
#                     build with sanitizers runs the unit tests and the fuzz targets, and
#                     a thread-sanitizer build runs the device tests
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
cd "$here"
mode="${1:-}"
case "$mode" in
    run|test) ;;
    *) echo "usage: $0 run|test" >&2; exit 2 ;;
esac

packages=(
    build-essential clang cmake pkg-config git
    juce-modules-source
    libasound2-dev libfreetype-dev libfontconfig1-dev libpng-dev libjpeg-dev zlib1g-dev
    libx11-dev libxext-dev libxrandr-dev libxinerama-dev libxcursor-dev
    fonts-dejavu-core xvfb xauth
)
if [ "$mode" = test ]; then
    packages+=(googletest libgtest-dev xdotool imagemagick tesseract-ocr libclang-rt-dev locales)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
# ccache makes repeated builds fast; use it when the archive has it.
if ! command -v ccache >/dev/null 2>&1; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends ccache >/dev/null 2>&1 || true
fi
export CCACHE_BASEDIR="$here"

jobs="$(nproc)"
build="$here/build"
# Every build tree uses clang: the JUCE modules are then compiled with the same flags
# in all of them and the sanitizer trees take them from ccache.
compilers=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++)
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release "${compilers[@]}" -DLARKSPIRE_BUILD_TESTS="$([ "$mode" = test ] && echo ON || echo OFF)" -DLARKSPIRE_BUILD_BENCH="$([ "$mode" = test ] && echo ON || echo OFF)" >/dev/null
cmake --build "$build" -j "$jobs"

if [ "$mode" = run ]; then
    app="$build/bin/Larkspire"
    if [ -z "${DISPLAY:-}" ]; then
        echo "No display: starting Larkspire under Xvfb."
        exec xvfb-run -a -s "-screen 0 1600x1200x24" "$app" "${@:2}"
    fi
    exec "$app" "${@:2}"
fi

(cd "$build" && ctest -j "$jobs" --output-on-failure --timeout 900)

# A second build with clang, the address and undefined-behaviour sanitizers and the
# fuzz targets. The unit tests run again in it, and the window tests that start the
# program, quit it and work both of its pages with real input (the others only in the
# main build): a report ends the program with an error code, which fails its test. Then
# every fuzz target runs over a seed corpus that the program writes itself, and on for a
# few seconds more. Any finding fails the run.
sanitize="$here/build-sanitize"
cmake -S "$here" -B "$sanitize" -DCMAKE_BUILD_TYPE=Release \
    "${compilers[@]}" \
    -DLARKSPIRE_SANITIZE=ON -DLARKSPIRE_FUZZ=ON -DLARKSPIRE_BUILD_BENCH=OFF >/dev/null
cmake --build "$sanitize" -j "$jobs"
(cd "$sanitize" && ctest -j "$jobs" --output-on-failure --timeout 900 -E '^window\.')
(cd "$sanitize" && ASAN_OPTIONS="halt_on_error=1" UBSAN_OPTIONS="halt_on_error=1 print_stacktrace=1" \
    ctest --output-on-failure --timeout 900 \
    -R '^window\.(AppLifecycle\.|MainWindowProgram\.QuitsCleanly|DevicePageWindow\.|DataPageWindow\.)')

# A third build with the thread sanitizer runs the tests of the threaded device layer
# (device threads, the virtual and socket MIDI ports and the simulated units), of the
# firmware update, and of the pages and tiles that show units while their device threads
# run (the data page reads a unit with the page open). Only the test runner is built
# there; any report fails the run.
tsan="$here/build-tsan"
cmake -S "$here" -B "$tsan" -DCMAKE_BUILD_TYPE=Release \
    "${compilers[@]}" \
    -DLARKSPIRE_TSAN=ON -DLARKSPIRE_BUILD_BENCH=OFF >/dev/null
cmake --build "$tsan" -j "$jobs" --target larkspire_tests
(cd "$tsan" && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    ctest -j "$jobs" --output-on-failure --timeout 900 -R '^(Device|SimulatedUnit|MidiPort|MidiByteStream|Socket|FirmwareUpdate|DataPage|MidiDeviceStatusButton)')

corpus="$sanitize/fuzz/corpus"
rm -rf "$corpus"
"$sanitize/fuzz/make_fuzz_seeds" "$corpus"
for fuzzer in "$sanitize"/fuzz/fuzz_*; do
    [ -x "$fuzzer" ] || continue
    name="$(basename "$fuzzer")"
    name="${name#fuzz_}"
    mkdir -p "$corpus/$name"
    log="$sanitize/fuzz/$name.log"
    if ! "$fuzzer" -max_total_time="${LARKSPIRE_FUZZ_SECONDS:-10}" -timeout=10 -rss_limit_mb=2048 \
            -print_final_stats=1 -artifact_prefix="$sanitize/fuzz/$name-" "$corpus/$name" >"$log" 2>&1; then
        tail -n 80 "$log"
        echo "fuzz target $name failed (log: $log)" >&2
        exit 1
    fi
    echo "fuzz $name: $(grep -o 'number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*') inputs, no finding"
done
