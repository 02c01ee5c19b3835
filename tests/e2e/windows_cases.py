# The Windows programs under Wine against the simulator on the prefix's COM3.
import json, os, pathlib, shutil, subprocess

from support import (ENTERING, HEADER, OTHER_FILE, RELEASE, ROOT, WINDOWS, WineSetup, case, dos,
                     expect)


@case
def WindowsBatchRuns(failures):
    # The console twin waits, so its log lines come before the status. Paths as scripts give them.
    with WineSetup() as setup:
        status, out, err = setup.wine(dos(f"{setup.dir}/config.txt") + ",COM3,19200")
        expect(failures, "msrconfig.exe", (0, ENTERING, True), (status, out + err, setup.runs(1)))
        for name in ("my settings.txt", "\u4e2d\u6587.txt"):
            shutil.copy(f"{setup.dir}/config.txt", f"{setup.dir}/{name}")
        for count, batch in enumerate((dos(f"{setup.dir}/config.txt") + ",COM3,19200",
                                       f'"{dos(setup.dir)}\\my settings.txt",COM3',
                                       f'"{dos(setup.dir)}\\my settings.txt,COM3,19200"'), 2):
            # In a script of its own: Wine would escape the quotation marks of an argument.
            setup.write("twin.cmd", f"@echo off\r\ncd /d {dos(WINDOWS)}\r\nmsrconfig {batch}\r\n"
                        "echo status %ERRORLEVEL%\r\n")
            expect(failures, batch, (ENTERING + "status 0\n", True),
                   (setup.wine("/c", dos(f"{setup.dir}/twin.cmd"), program="cmd",
                               streams="merged")[1], setup.runs(count)))
        expect(failures, "a non-ASCII path", (0, True),
               (setup.wine(dos(f"{setup.dir}/\u4e2d\u6587.txt"), program="msrconfig.com")[0],
                setup.runs(5)))


@case
def WindowsMissingPort(failures):
    # No COM4: ten attempts, then the box, which waits for a person.
    with WineSetup() as setup:
        person = subprocess.Popen("xdotool windowfocus --sync $(xdotool search --sync "
                                  "--onlyvisible --name '^Error!$' | head -n 1) key Return",
                                  shell=True)
        expect(failures, "run", (
            3, "", "Error opening com port : 4\nError restoring functional mode.\n" * 10
            + "No MSR claimed on COM4 (no-device): COM4: File not found.\n"),
            setup.wine(dos(f"{setup.dir}/config.txt") + ",COM4,19200"))
        person.wait()


@case
def WindowsHiddenStation(failures):
    # In a window station nobody sees, no box waits and the reader is still released.
    with WineSetup() as setup:
        setup.write("default.txt", HEADER + "1c%;+?\n")  # custom configuration off
        expect(failures, "statuses", [2, 3, 0],
               [setup.wine("60", f"{WINDOWS}/msrconfig.exe", dos(f"{setup.dir}/{file}") + ","
                           + port, program="hidden_station.exe")[0]
                for file, port in (("missing.txt", "COM3"), ("config.txt", "COM4"),
                                   ("default.txt", "COM3"))])
        expect(failures, "released", [RELEASE], setup.records("com3")[-1:])


@case
def WindowsFleetScripts(failures):
    # The fleet guide's detection and remediation scripts under Wine's cmd, with a file
    # that differs.
    with WineSetup() as setup:
        setup.write("other.txt", HEADER + OTHER_FILE + "\n")

        def fleet(script):
            return setup.wine("/c", dos(f"{ROOT}/docs/fleet/windows/{script}"), program="cmd", env={
                "MSR_FILE": dos(f"{setup.dir}/other.txt"), "MSR_PORT": "COM3",
                "MSRCONFIG": dos(f"{WINDOWS}/msrconfig.com")})[:2]
        about = ENTERING + f"COM3 {dos(setup.dir)}\\other.txt: "
        log = pathlib.Path(os.environ["WINEPREFIX"], "drive_c/ProgramData/msrconfig/runs.jsonl")
        logged = log.read_text().splitlines() if log.exists() else []
        expect(failures, "detect, remediate, detect, remediate",
               [(0, ""), (0, about + "changed\n"), (0, "COM3 holds the prepared configuration\n"),
                (0, about + "unchanged\n")],
               [fleet(script)
                for script in ("detect.cmd", "remediate.cmd", "detect.cmd", "remediate.cmd")])
        expect(failures, "a line a run in the run log",
               [("verify", 5), ("ensure", 0), ("verify", 0), ("ensure", 0)],
               [(r["action"], r["status"])
                for r in map(json.loads, log.read_text().splitlines()[len(logged):])])
        expect(failures, "written once", 1,
               sum(record.startswith(":06") for record in setup.records("com3")))
