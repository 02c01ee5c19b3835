#!/usr/bin/env bash
# Runs every test: installs what is missing, then
#   unit    the build with warnings as errors and the whole test suite
#   asan    the whole test suite again, built with AddressSanitizer and UBSan
#   fuzz    the libFuzzer targets, about a minute each, on the committed seed corpus
#   package the Debian packages, checked with lintian, appstreamcli and desktop-file-validate;
#           under CI they are also installed and started
#   windows the Windows build, its tests under Wine, the Windows programs against the
#           simulator over a Wine COM port, its signed installer and zip
# MSRCONFIG_TEST_STAGES="unit asan" picks stages; FUZZ_SECONDS sets the fuzzing time.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
stages=${MSRCONFIG_TEST_STAGES:-unit asan fuzz package windows}
fuzz_seconds=${FUZZ_SECONDS:-60}
jobs=$(( $(nproc) * 5 )) # the tests mostly wait on a silent line

bash scripts/install-deps.sh

stage() { printf '\n=== %s ===\n' "$*"; }
has() { [[ " $stages " == *" $1 "* ]]; }

if has unit; then
  stage "build and test"
  bash scripts/configure-build.sh -DMSRCONFIG_WERROR=ON -DMSRCONFIG_TESTS=ON
  cmake --build build
  (cd build && ctest -j"$jobs" --output-on-failure --timeout 240)
fi

if has asan; then
  stage "test with AddressSanitizer and UndefinedBehaviorSanitizer"
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMSRCONFIG_SANITIZE=ON -DMSRCONFIG_WERROR=ON -DMSRCONFIG_TESTS=ON
  cmake --build build-asan
  (cd build-asan && ctest -j"$jobs" --output-on-failure --timeout 240)
fi

if has fuzz; then
  stage "fuzz for ${fuzz_seconds} s each"
  cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DMSRCONFIG_FUZZ=ON -DMSRCONFIG_WERROR=ON
  cmake --build build-fuzz
  for target in response config_file command_line; do
    # A finding the sanitizers would catch must not pass silently.
    symbols=$(nm "build-fuzz/fuzz_$target")
    grep -q '__asan_init' <<<"$symbols" && grep -q '__ubsan_handle' <<<"$symbols" \
      || { echo "fuzz_$target is built without address and undefined-behaviour sanitizers"; exit 1; }
  done
  pids=()
  for target in response config_file command_line; do
    work="build-fuzz/corpus-$target"
    mkdir -p "$work"
    "build-fuzz/fuzz_$target" -max_total_time="$fuzz_seconds" -print_final_stats=1 \
      -artifact_prefix="build-fuzz/crash-$target-" "$work" "fuzz/corpus/$target" \
      > "build-fuzz/fuzz_$target.log" 2>&1 &
    pids+=($!)
  done
  failed=0
  for i in 0 1 2; do
    target=$(echo response config_file command_line | cut -d' ' -f$((i + 1)))
    if wait "${pids[$i]}"; then
      echo "fuzz_$target: $(grep -E '^stat::number_of_executed_units' "build-fuzz/fuzz_$target.log" | awk '{print $2}') runs, no finding"
    else
      echo "fuzz_$target: FINDING"; tail -n 40 "build-fuzz/fuzz_$target.log"; failed=1
    fi
  done
  [ "$failed" -eq 0 ] || exit 1
fi

if has package; then
  stage "Debian packages, with Debian's own checks"
  [ -d build ] || { bash scripts/configure-build.sh -DMSRCONFIG_WERROR=ON && cmake --build build; }
  (cd build && rm -f msrconfig*.deb && cpack -G DEB >/dev/null)
  debs=("$root"/build/msrconfig_*.deb "$root"/build/msrconfig-simulator_*.deb)
  # Errors and warnings fail the stage; informational tags are shown.
  lintian --info --pedantic --fail-on error,warning "${debs[@]}"
  appstreamcli validate --no-net resources/msrconfig.metainfo.xml
  desktop-file-validate resources/msrconfig.desktop
  for deb in "${debs[@]}"; do dpkg-deb -f "$deb" Package Version Depends; done
  if [ "${CI:-}" = "true" ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get install -y "${debs[@]}"
    /usr/bin/msrconfig --version && /usr/bin/msr-sim --help >/dev/null
    test -f /usr/share/applications/msrconfig.desktop
    test -f /usr/share/metainfo/invalid.msrconfig.msrconfig.metainfo.xml
    test -f /usr/share/icons/hicolor/48x48/apps/msrconfig.png
    test -f /usr/share/man/man1/msrconfig.1.gz && test -f /usr/share/man/man1/msr-sim.1.gz
    test -f /usr/lib/x86_64-linux-gnu/msrconfig/msrconfig-window.so
    test -f /usr/share/doc/msrconfig/README.Debian
  fi
fi

if has windows; then
  stage "Windows build, tested under Wine"
  [ -x build/msr-sim ] || { bash scripts/configure-build.sh -DMSRCONFIG_WERROR=ON && cmake --build build; }
  cmake -S . -B build-windows -G Ninja --toolchain cmake/mingw-w64.cmake -DMSRCONFIG_WERROR=ON \
    -DMSRCONFIG_TESTS=ON -DMSRCONFIG_SIM="$root/build/msr-sim"
  cmake --build build-windows
  # The window suite needs a display; Wine's crash dialog and window manager must not wait.
  source scripts/wine-session.sh
  wine_session_start "$root/build-windows/wine"
  result=0
  (cd build-windows && ctest -j"$(nproc)" --output-on-failure --timeout 240) || result=$?
  # The packages, signed: with the certificate given, else with a throwaway one made here.
  if [ -z "${MSRCONFIG_SIGN_CERT:-}" ]; then
    export MSRCONFIG_SIGN_CERT=$root/build-windows/test-signing.pem
    export MSRCONFIG_SIGN_KEY=$root/build-windows/test-signing.key
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=msrconfig test signing" \
      -keyout "$MSRCONFIG_SIGN_KEY" -out "$MSRCONFIG_SIGN_CERT" 2>/dev/null
  fi
  (cd build-windows && rm -f msrconfig-*.exe msrconfig-*.zip && cpack -G NSIS >/dev/null &&
    cpack -G ZIP >/dev/null) || result=1
  MSRCONFIG_WINDOWS_BUILD=build-windows /usr/bin/python3 tests/e2e/e2e.py build \
    "$(sed -n 's/^project(msrconfig VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)" || result=1
  wine_session_end
  [ "$result" -eq 0 ]
  ls -l build-windows/msrconfig-*-win64.*
fi

echo
echo "all stages passed: $stages"
