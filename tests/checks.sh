# What the test scripts share: named checks that count, and Windows paths for Wine.
passed=0 failed=0
check() { # NAME EXPECTED ACTUAL
  if [ "$2" == "$3" ]; then passed=$((passed + 1)); echo "ok   $1"
  else failed=$((failed + 1)); printf 'FAIL %s\n  expected: %q\n  actual:   %q\n' "$1" "$2" "$3"; fi
}
dos() { local path; path=$(realpath -m "$1"); echo "Z:${path//\//\\}"; } # as Wine names a Unix path
summary() { echo "$passed passed, $failed failed"; [ "$failed" -eq 0 ]; }
