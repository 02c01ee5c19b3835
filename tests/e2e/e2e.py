# The real programs against the real simulator, the cases side by side. The cases that need root
# (other users, device nodes, a mount namespace) are skipped for anyone else, and say so.
# Usage: e2e.py BUILD_DIR VERSION [CASE...]
import concurrent.futures, os, sys, tempfile

import linux_cases, windows_cases, package_cases  # noqa: F401 (registered in this order)
from support import ROOT_ONLY, WINDOWS, cases

only = set(sys.argv[3:])


def main():
    if not WINDOWS and "DBUS_SESSION_BUS_ADDRESS" not in os.environ:  # the window's bus, display
        # The accessibility bus's socket goes there, else to ~/.cache, where another run takes it.
        os.environ["XDG_RUNTIME_DIR"] = tempfile.mkdtemp(prefix="msrconfig-e2e-session-")
        os.execvp("sh", ["sh", "-c", 'dbus-run-session -- xvfb-run -a -s "-screen 0 1024x768x24" '
                         '"$@"; status=$?; rm -rf "$XDG_RUNTIME_DIR"; exit $status', "sh",
                         "/usr/bin/python3", *sys.argv])
    chosen = {name: check for name, check in cases.items()
              if name.startswith("Windows") == bool(WINDOWS) and (not only or name in only)}
    skipped = sorted(name for name in chosen if name in ROOT_ONLY and os.geteuid() != 0)
    for name in skipped:
        print(f"skip {name}: needs root (other users, device nodes or a mount namespace)")
        del chosen[name]
    failed = 0

    def run(name):
        failures = []
        try:
            chosen[name](failures)
        except Exception as error:  # a broken setup fails its case, not the others
            failures.append(f"{type(error).__name__}: {error}")
        return name, failures

    with concurrent.futures.ThreadPoolExecutor(max_workers=1 if WINDOWS else 12) as pool:
        for name, failures in pool.map(run, chosen):
            failed += bool(failures)
            print(("FAIL " if failures else "ok   ") + name + "".join("\n  " + f for f in failures),
                  flush=True)
    print(f"{len(chosen) - failed} passed, {failed} failed"
          + (f", {len(skipped)} skipped" if skipped else ""))
    return 1 if failed else 0


sys.exit(main())
