#!/usr/bin/env bash
# The test suite under the sanitizers.
#
#   scripts/sanitize.sh [asan|tsan|all]     (default: all)
#
# asan  The whole tree built with AddressSanitizer and UndefinedBehaviorSanitizer
#       in build-asan, then the whole test suite. Any report fails the test
#       that caused it. QUARN_ASAN_TESTS, a ctest -R pattern, narrows the
#       suite (and the build stays whole).
# tsan  ThreadSanitizer in build-tsan, for the tests where threads meet: the
#       library's lock around every exported call, the library against the
#       emulator's server thread, and the program's start-up device query on
#       its worker thread.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source scripts/deps.sh
quarn_ensure_packages "${QUARN_BUILD_PACKAGES[@]}"
what="${1:-all}"
jobs="${QUARN_JOBS:-2}"

# Reports of the libraries outside this project that are not ours to fix.
supp="$root/build-asan/suppressions"
mkdir -p "$supp"
cat > "$supp/lsan.supp" <<'SUPP'
# Qt, fontconfig and the graphics stack keep caches until the process ends.
leak:libQt6
leak:libfontconfig
leak:libglib-2.0
leak:libdbus-1
SUPP
cat > "$supp/tsan.supp" <<'SUPP'
# Qt is not built with ThreadSanitizer: its own locking (QMutex, the event
# queue between threads) is invisible, so hand-overs through it look racy.
called_from_lib:libQt6Core.so.6
called_from_lib:libQt6Gui.so.6
called_from_lib:libQt6Widgets.so.6
race:QMetaCallEvent
race:QMetaObject::activate
# A functor queued to another thread's object (QMetaObject::invokeMethod) is
# handed over through the same invisible event queue.
race:QtPrivate::QFunctorSlotObject
SUPP

# GCC's flow analysis sees through the sanitizers' instrumentation badly and
# warns of "maybe uninitialized" values inside the standard library (std::regex,
# std::function); with -Werror those false alarms would stop the build.
QUIET_FALSE_ALARMS="-Wno-maybe-uninitialized"

run_asan() {
    local flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
    flags+=" $QUIET_FALSE_ALARMS"
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
        -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
        -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined"
    cmake --build build-asan -j "$jobs"
    # The tests labelled "install" build programs of their own against the
    # installed library or packages, without the sanitizer flags; such a
    # program cannot load an instrumented library, and packages of an
    # instrumented build need the sanitizer runtimes a clean system lacks.
    # The test labelled "xvfb" runs its program under xvfb-run on the X
    # server's libraries, which are not built for the sanitizers. Those
    # tests have no place here.
    local filter=(-LE '^(install|xvfb)$')
    if [ -n "${QUARN_ASAN_TESTS:-}" ]; then
        filter+=(-R "$QUARN_ASAN_TESTS")
    fi
    ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1" \
    UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0" \
    QT_QPA_PLATFORM=offscreen \
        ctest --test-dir build-asan --output-on-failure -j "$jobs" "${filter[@]}"
}

# The tests where more than one thread runs our code.
TSAN_TARGETS=(protocol_tests devsim_tests library_tests fault_tests
    ProgramShellMainWindowTest ProgramTargetFileListTest ProgramShellResponsiveTest
    ProgramShellDesktopTest)
TSAN_TESTS='CallsFromTwoThreadsNeverOverlap|^DevsimPtyServer\.|^LibraryEmulator|^LineHangUp\.'
TSAN_TESTS+='|^ProgramShellMainWindowTest\.MainWindow.*\.(StartWithThreeDeviceFilesFillsTheDeviceList|WaitWindowAndDisabledMainWindowWhileTheQueryRuns|NoActivationRefreshBeforeAQuerySucceeded)'
TSAN_TESTS+='|^ProgramShellMainWindowTest\.MainWindowWithoutDevice\.'
TSAN_TESTS+='|^ProgramTargetFileListTest\.DeviceList\.ReadByTheLinkShownOnTheInterfaceThread'
TSAN_TESTS+='|^ProgramShellResponsiveTest\.'
TSAN_TESTS+='|^ProgramShellDesktopTest\.'

run_tsan() {
    local flags="-fsanitize=thread -fno-omit-frame-pointer $QUIET_FALSE_ALARMS"
    cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
        -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" \
        -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=thread"
    cmake --build build-tsan -j "$jobs" --target "${TSAN_TARGETS[@]}"
    # QT_NO_GLIB: a QThread's event loop then wakes up through Qt's own
    # dispatcher (covered by the Qt lines above) instead of GLib's eventfd,
    # whose hand-over between threads GLib's uninstrumented code hides.
    TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$supp/tsan.supp" \
    QT_QPA_PLATFORM=offscreen QT_NO_GLIB=1 \
        ctest --test-dir build-tsan --output-on-failure -j "$jobs" -R "$TSAN_TESTS"
}

case "$what" in
    asan) run_asan ;;
    tsan) run_tsan ;;
    all) run_asan; run_tsan ;;
    *) echo "usage: scripts/sanitize.sh [asan|tsan|all]" >&2; exit 2 ;;
esac
