#!/usr/bin/env bash
# Runs every test: installs what is missing, then
#   unit    the build with warnings as errors and the whole test suite
#   asan    the whole test suite again, built with AddressSanitizer and UBSan
#   fuzz    the libFuzzer targets, about a minute each, on the committed seed corpus
#   package the Debian packages, built from debian/ by dpkg-buildpackage, checked with lintian,
#           appstreamcli and desktop-file-validate, the command line run without the window's
#           package; under CI they are also installed and started
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
  stage "Debian packages, built and checked with Debian's own tools"
  # The source as it stands, committed or not, without what git ignores; its upstream
  # tarball is reproducible, made without debian/.
  version=$(dpkg-parsechangelog -SVersion) && upstream=${version%-*}
  out=$root/build-debian && src=$out/msrconfig-$upstream
  rm -rf "$out" && mkdir -p "$src"
  git ls-files -z -co --exclude-standard | while IFS= read -rd '' f; do
    [ ! -e "$f" ] || printf '%s\0' "$f"; done | tar --null -T - -cf - | tar -xf - -C "$src"
  tar -C "$out" --exclude="msrconfig-$upstream/debian" --sort=name --owner=0 --group=0 \
    --numeric-owner --mode=u+rwX,go=rX --mtime="@$(dpkg-parsechangelog -STimestamp)" \
    -cf - "msrconfig-$upstream" | xz -T1 >"$out/msrconfig_$upstream.orig.tar.xz"
  (cd "$src" && dpkg-buildpackage -us -uc \
    -j"${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" >"$out/build.log" 2>&1) ||
    { tail -n 40 "$out/build.log"; exit 1; }
  # Errors and warnings fail the stage; informational tags are shown.
  lintian --info --pedantic --fail-on error,warning "$out"/msrconfig_"$version"_*.changes
  appstreamcli validate --no-net resources/msrconfig.metainfo.xml
  desktop-file-validate resources/msrconfig.desktop
  for deb in "$out"/*.deb; do dpkg-deb -f "$deb" Package Version Depends; done
  debs=("$out"/msrconfig{,-window,-simulator}_"$version"_*.deb)
  # The command line goes without the window's package: no toolkit, no display, and a start
  # for the window names the package.
  ! dpkg-deb -f "${debs[0]}" Depends | grep -E '(^|[ ,|])(libqt6|qt6|libx|libgl)' ||
    { echo "msrconfig depends on a toolkit or display library"; exit 1; }
  bare=$out/headless && dpkg-deb -x "${debs[0]}" "$bare"
  ! ldd "$bare/usr/bin/msrconfig" | grep libQt6 || { echo "msrconfig links Qt"; exit 1; }
  printf 'ZYN MSR Configuration File\n5d%%;+?\n' >"$bare/good.cfg"
  "$bare/usr/bin/msrconfig" --version && "$bare/usr/bin/msrconfig" --check "$bare/good.cfg"
  status=0 && note=$(env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:99 \
    "$bare/usr/bin/msrconfig" 2>&1) || status=$?
  [ "$status" -eq 1 ] && grep -q 'apt install msrconfig-window' <<<"$note" ||
    { echo "without its window (status $status): $note"; exit 1; }
  collections=usr/share/ansible/collections
  ANSIBLE_COLLECTIONS_PATH=$bare/$collections ansible-doc msrconfig.fleet.reader >/dev/null
  if [ "${CI:-}" = "true" ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y "${debs[@]}"
    /usr/bin/msrconfig --version && /usr/bin/msr-sim --help >/dev/null
    while read -r package file; do
      [ -e "$file" ] && [ "$(dpkg -S "$file" | cut -d: -f1)" = "$package" ] ||
        { echo "$file is not installed from $package"; exit 1; }
    done <<EOF
msrconfig /usr/share/man/man1/msrconfig.1.gz
msrconfig /usr/share/doc/msrconfig/README.Debian
msrconfig /usr/share/doc/msrconfig/scripts.md.gz
msrconfig /usr/share/doc/msrconfig/examples/fleet/provision.yml
msrconfig /$collections/ansible_collections/msrconfig/fleet/galaxy.yml
msrconfig-window /usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/msrconfig/msrconfig-window.so
msrconfig-window /usr/share/applications/msrconfig.desktop
msrconfig-window /usr/share/metainfo/invalid.msrconfig.msrconfig.metainfo.xml
msrconfig-window /usr/share/icons/hicolor/48x48/apps/msrconfig.png
msrconfig-simulator /usr/share/man/man1/msr-sim.1.gz
EOF
    ansible-doc msrconfig.fleet.reader >/dev/null
  fi
fi

if has windows; then
  stage "Windows build, tested under Wine"
  [ -x build/msr-sim ] || { bash scripts/configure-build.sh -DMSRCONFIG_WERROR=ON && cmake --build build; }
  # The packages, signed: with the certificate given, else with a throwaway one made here for
  # the tests (never for distribution: see docs/windows.md). The build signs.
  if [ -z "${MSRCONFIG_SIGN_CERT:-}" ]; then
    export MSRCONFIG_SIGN_CERT=$root/build-windows/test-signing.pem
    export MSRCONFIG_SIGN_KEY=$root/build-windows/test-signing.key
    mkdir -p build-windows
    [ -s "$MSRCONFIG_SIGN_CERT" ] || openssl req -x509 -newkey rsa:2048 -nodes -days 3650 \
      -subj "/CN=msrconfig test signing, not for distribution" \
      -keyout "$MSRCONFIG_SIGN_KEY" -out "$MSRCONFIG_SIGN_CERT" 2>/dev/null
  fi
  cmake -S . -B build-windows -G Ninja --toolchain cmake/mingw-w64.cmake -DMSRCONFIG_WERROR=ON \
    -DMSRCONFIG_TESTS=ON -DMSRCONFIG_SIM="$root/build/msr-sim"
  cmake --build build-windows
  # Reproducible: linked again, each program is the same bytes (its time stamp is the source's).
  for program in msrconfig.exe msrconfig.com; do
    mv "build-windows/$program" "build-windows/$program.first"
  done
  cmake --build build-windows
  for program in msrconfig.exe msrconfig.com; do
    cmp "build-windows/$program.first" "build-windows/$program" || exit 1
  done
  # The window suite needs a display; Wine's crash dialog and window manager must not wait.
  source scripts/wine-session.sh
  wine_session_start "$root/build-windows/wine"
  result=0
  (cd build-windows && ctest -j"$(nproc)" --output-on-failure --timeout 240) || result=$?
  (cd build-windows && rm -f msrconfig-*.exe msrconfig-*.zip msrconfig-*.msi &&
    cpack -G NSIS >/dev/null && cpack -G ZIP >/dev/null && cmake --build . --target msi >/dev/null) ||
    result=1
  MSRCONFIG_WINDOWS_BUILD=build-windows /usr/bin/python3 tests/e2e/e2e.py build \
    "$(sed -n 's/^project(msrconfig VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)" || result=1
  wine_session_end
  [ "$result" -eq 0 ]
  ls -l build-windows/msrconfig-*-win64.*
fi

echo
echo "all stages passed: $stages"
