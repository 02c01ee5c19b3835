# The real programs against the real simulator, the cases side by side. The cases that need root
# (other users, device nodes, a mount namespace) are skipped for anyone else, and say so.
# Usage: e2e.py BUILD_DIR VERSION [CASE...]
import concurrent.futures
import csv
import datetime
import difflib
import fcntl
import glob
import hashlib
import json
import os
import pathlib
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import zipfile

build, version, only = os.path.abspath(sys.argv[1]), sys.argv[2], set(sys.argv[3:])
MSRCONFIG, SIM = f"{build}/msrconfig", f"{build}/msr-sim"
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
HEADER = "ZYN MSR Configuration File\n"
ABOUT = "COM3 config.txt: "
NOT_CLAIMED = ("Error!: The MSR has not been claimed by the application.  Please be sure the COM "
               "port is not claimed by other applications.\n")
STOPS = ("HUP", "INT", "QUIT", "TERM", "USR1", "USR2", "ALRM", "PROF", "VTALRM", "XCPU", "XFSZ")
for name in STOPS:  # the programs start as a shell starts them, whatever the runner ignores
    signal.signal(getattr(signal, "SIG" + name), signal.SIG_DFL)


def until(condition, seconds):
    end = time.time() + seconds
    while not condition() and time.time() < end:
        time.sleep(0.01)
    return condition()


class Setup:
    # A folder with config.txt and, unless sim is None, a simulated reader on COM3.

    def __init__(self, sim=(), file="5d%;+?"):
        self.dir = tempfile.mkdtemp(prefix="msrconfig-e2e-")
        os.chmod(self.dir, 0o755)  # for the other users some cases run as
        self.ports, self.sims = f"{self.dir}/ports", []
        os.mkdir(self.ports)
        self.write("config.txt", HEADER + file + "\n")
        if sim is not None:
            self.add_reader("COM3", *sim)

    def add_reader(self, port, *options, folder=None, log=None):
        self.sims.append(subprocess.Popen([SIM, "--port-dir", folder or self.ports, "--port", port, "--transcript",
                                           f"{self.dir}/{log or port}.log", *options]))
        assert self.wait_for("msr-sim: ", 10, log or port), "msr-sim did not start"

    def write(self, name, text):
        pathlib.Path(self.dir, name).write_text(text, encoding="latin-1")

    def transcript(self, port="COM3"):
        log = pathlib.Path(self.dir, f"{port}.log")
        return log.read_text(encoding="latin-1") if log.exists() else ""

    def wait_for(self, text, seconds=30, port="COM3"):
        return until(lambda: text in self.transcript(port), seconds)

    def records(self, port="COM3"):
        return [line[3:] for line in self.transcript(port).splitlines() if line.startswith("<- ")]

    def run(self, *args, program=MSRCONFIG, streams=None, user=None, groups=(), env=(), signal_at=None, timeout=120):
        # (status, output, errors, seconds) without a display. streams: "merged" (>log 2>&1), "closed",
        # "broken" (nobody reads the pipe) or "full" (>/dev/full). signal_at (signal, text): 300 ms after the text; timed from there.
        argv = [program, *args]
        if streams == "closed":
            argv = ["sh", "-c", 'exec "$@" >&- 2>&-', "sh", *argv]
        environment = {k: v for k, v in {**os.environ, "DISPLAY": "", "WAYLAND_DISPLAY": "", "QT_QPA_PLATFORM": "",
                       "XDG_RUNTIME_DIR": "", "MSRCONFIG_PORT_DIR": self.ports, **dict(env)}.items() if v}  # "": unset
        out, err = subprocess.PIPE, subprocess.STDOUT if streams == "merged" else subprocess.PIPE
        if streams == "broken":
            reading, out = os.pipe()
            os.close(reading)
            err = out
        if streams == "full":
            out = os.open("/dev/full", os.O_WRONLY)
        start = time.time()
        child = subprocess.Popen(argv, cwd=self.dir, env=environment, stdin=subprocess.DEVNULL,
                                 stdout=out, stderr=err, user=user, group=user,
                                 extra_groups=list(groups) if user else None, process_group=0)
        if streams in ("broken", "full"):
            os.close(out)
        if signal_at:
            assert self.wait_for(signal_at[1])
            time.sleep(0.3)  # into the acknowledgement wait
            start = time.time()
            child.send_signal(signal_at[0])
        try:
            output, errors = child.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:  # with whatever it started, which may hold the streams
            os.killpg(child.pid, signal.SIGKILL)
            output, errors = child.communicate()
        status = child.returncode if child.returncode >= 0 else 1000
        return (status, *((b or b"").decode("utf-8", "backslashreplace") for b in (output, errors)),
                time.time() - start)

    def __enter__(self):
        return self

    def __exit__(self, *_):
        for sim in self.sims:
            sim.terminate()
            sim.wait(10)
        shutil.rmtree(self.dir, ignore_errors=True)


cases = {}
ROOT_ONLY = set()


def case(function):
    cases[function.__name__] = function
    return function


def needs_root(function):  # other users, device nodes or a mount namespace
    ROOT_ONLY.add(function.__name__)
    return function


def expect(failures, what, expected, actual):
    if expected != actual:
        diff = "\n".join(difflib.unified_diff(str(expected).splitlines(), str(actual).splitlines(), lineterm=""))
        failures.append(f"{what}: expected {expected!r}, got {actual!r}\n{diff}")


ENTERING = "Entering command mode...\n"
UNESCAPE = lambda text: re.sub(r"\\x([0-9A-F]{2})", lambda m: chr(int(m.group(1), 16)), text)  # noqa: E731
TRIES = ENTERING * 10
NO_ANSWER = "Failed to enter command mode.\nError restoring functional mode.\n"
NOT_ACKNOWLEDGED = "Error validating MSR_GET_CONFIGURATION response.\n"
COMMIT_FAILED = ABOUT + "msrconfig: Error occurred while committing changes to the MSR configuration.\n"
APPLY_FAILED = ABOUT + "msrconfig: Error occurred while applying changes to the MSR configuration.\n"
SET_REJECTED = "MSR_SET_CONFIGURATION did not apply properly.\n" + APPLY_FAILED
UNPLUGGED = ("Failed to send MSR_SET_CONFIGURATION.\n" + APPLY_FAILED + "Failed to send MSR_COMMIT_CONFIGURATION.\n"
             + COMMIT_FAILED + "Error restoring functional mode.\n")
ENTER, QUERY, COMMIT, RELEASE = ":0100001110DE", ":020000110200EB", ":0100001109E5", ":0100001111DD"
WHOLE_RUN = [ENTER, QUERY, ":060000110141253b2b3fdd", COMMIT, RELEASE]
QUERIED = [ENTER, QUERY, RELEASE]
# A file that differs from the reader: custom configuration off, "!" as the end sentinel.
OTHER_FILE, OTHER_SET = "1d%;+!", ":060000110101253b2b213b"
ENSURED = [ENTER, QUERY, OTHER_SET, COMMIT, QUERY, RELEASE]
DIFFERENCES = (ABOUT + "Use Custom Config: reader on, file off\n" + ABOUT
               + 'End Sentinel: reader "?" (0x3f), file "!" (0x21)\n')


def not_claimed(attempt, cause, about=ABOUT, port="COM3"):  # ten attempts, the last one's cause, the box
    return attempt * 10 + f"No MSR claimed on {port} ({cause}.\n" + about + NOT_CLAIMED


NO_REPLY = not_claimed(NO_ANSWER, "no-answer): the reader does not answer")
NAK = not_claimed(NOT_ACKNOWLEDGED, "not-acknowledged): the reader did not acknowledge the configuration query")
NOISE = not_claimed(NOT_ACKNOWLEDGED, "bad-answer): the reader answers with something that is no echo")
CUT = not_claimed(NOT_ACKNOWLEDGED, "bad-answer): the reader's answer did not end within a second")
BROKEN = not_claimed(NOT_ACKNOWLEDGED, "bad-answer): the reader's configuration answer is incomplete or corrupt")
MISSING = not_claimed("Error opening com port : 0\nError restoring functional mode.\n",
                      "no-device): no port folder names COM0 (looked in <ports>)", "COM0 config.txt: ", "COM0")
MISSING_ONCE = MISSING[MISSING.rindex("Error opening"):]  # a script's verb: no retry can bring the device
AT_COM0 = {"batch": "config.txt,COM0"}


def fault(name, sim=(), status=0, out="", err="", seconds=(0, 10), records=None, verb=(), file="5d%;+?",
          batch="config.txt,COM3,19200", json=False, **run):
    def check(failures):
        for record in (False, True) if json else (False,):
            with Setup(sim, file) as setup:
                got, output, errors, took = setup.run(*(["--json"] if record else []), *verb, batch,
                                                      timeout=seconds[1] + 60, **run)
                if record:  # the same run, told as a record
                    check_record(failures, setup, output, got, file)
                    continue
                expect(failures, "status", status, got)
                expect(failures, "output", out, output)
                expect(failures, "errors", err.replace("<ports>", setup.ports), errors)
                expect(failures, f"seconds within {seconds}", True, seconds[0] <= took < seconds[1])
                if records is not None:
                    expect(failures, "records", records, setup.records())
                if got:  # a run that failed wrote nothing
                    expect(failures, "config.txt kept", HEADER + file + "\n", open(f"{setup.dir}/config.txt",
                                                                                    encoding="latin-1", newline="").read())
    cases[name] = check


OPTIONS = ("carriage_return", "raw_data_mode", "track1_enabled", "track2_enabled", "track3_enabled", "strip_sentinels",
           "use_custom_config", "hide_error_tracks")  # by bit
SENTINELS = ("track1_start_sentinel", "track2_start_sentinel", "track3_start_sentinel", "end_sentinel")
RECORD = ("schema", "action", "version", "host", "time", "port", "baud", "file", "status", "status_name", "usage_error",
          "cause", "cause_text", "device", "firmware", "configuration", "file_configuration", "differences", "changed",
          "seconds")


def settings(flags, sentinels, device):  # a configuration as a record gives it; device flags invert the tracks
    return {**{key: bool(flags >> bit & 1) != (device and 2 <= bit <= 4) for bit, key in enumerate(OPTIONS)},
            **{key: {"code": c, "text": chr(c) if c else ""} for key, c in zip(SENTINELS, sentinels)}}


def check_record(failures, setup, output, status, file):
    # Every field, in ASCII, true to what the reader held, was sent and acknowledged, and what the file holds.
    expect(failures, "record in printable ASCII", True, all(" " <= c <= "~" for c in output.rstrip("\n")))
    record = json.loads(output)
    action = record["action"]
    exchanges = []  # each record the reader received, with all it answered
    for line in setup.transcript().splitlines():
        if line[:2] == "<-" or (line[:2] == "->" and exchanges):
            exchanges += [[UNESCAPE(line[3:]), ""]] if line[:2] == "<-" else []
            exchanges[-1][1] += UNESCAPE(line[3:]) if line[:2] == "->" else ""
    held = None  # the first whole configuration answer, decoded here from the reader's side
    for sent, answer in exchanges:
        body = answer[17:] if sent == QUERY and answer[:17] == QUERY + ".:" else ""
        data = bytes.fromhex(body) if re.fullmatch(r"(?:[0-9A-Fa-f]{2})+", body) else b""
        if len(data) >= 19 and data[0] == len(data) - 5 and not sum(data) % 256:
            held = held or (settings(data[5], data[6:10], True), data[10:18].decode("latin-1"))
    acknowledged = [sent for sent, answer in exchanges if answer.startswith(sent + ".")]
    claimed = held if status not in (1, 2, 3) and action != "check" else None
    whole = re.fullmatch(r"[0-9A-Fa-f]{2}[^\r\n]{4}", file, re.S)
    loaded = settings(int(file[:2], 16), file[2:].encode("latin-1"), False) if whole and status != 1 and action != "read" else None
    expected = {"schema": 1, "version": version, "host": socket.gethostname(), "status": status, "usage_error": record["usage_error"],
                "status_name": {0: "ok", 1: "usage", 2: "file", 3: "not-claimed", 4: "not-accepted", 5: "differs"}[status],
                "firmware": claimed and claimed[1], "configuration": claimed and claimed[0], "file_configuration": loaded,
                "changed": any(sent.startswith(":06") for sent in acknowledged) or (action == "apply" and COMMIT in acknowledged),
                "differences": [{"setting": k, "reader": claimed[0][k], "file": loaded[k]} for k in (OPTIONS[1], OPTIONS[0],
                                *OPTIONS[2:], *SENTINELS) if claimed[0][k] != loaded[k]] if claimed and loaded else []}
    link = f"{setup.ports}/{record['port']}" if record["port"] else ""
    expected["device"] = {"path": os.path.realpath(link), "vendor_id": None, "product_id": None, "serial": None} \
        if os.path.exists(link) else None
    for d in record["differences"]:
        d.pop("caption")
    expect(failures, "record fields", list(RECORD), list(record))
    expect(failures, "record", expected, {key: record[key] for key in expected})
    expect(failures, "record's cause", status == 3, record["cause"] is not None)
    expect(failures, "record's time", True, 0 <= time.time() - datetime.datetime.strptime(
        record["time"], "%Y-%m-%dT%H:%M:%S%z").timestamp() < 200)


fault("Applied", out=ENTERING, records=WHOLE_RUN, json=True)
fault("LateCommitAcknowledgement", ["--commit-delay", "1500"], out=ENTERING, seconds=(3, 10), records=WHOLE_RUN)
fault("RejectedSetIsStillCommitted", ["--set-reject"], 4, ENTERING, SET_REJECTED, records=WHOLE_RUN, json=True)
# Ten attempts of a 500 ms read (no shorter) and a 500 ms pause.
fault("Silent", ["--silent"], 3, TRIES, NO_REPLY, (9, 20))
# Not claimed, yet every attempt still returns the reader to functional mode.
fault("QueryNotAcknowledged", ["--query-nak"], 3, TRIES, NAK, (0, 35), QUERIED * 10)
fault("BytesBeforeTheEcho", ["--prefix", "\r\n"], 3, TRIES, NOISE, (0, 35))
fault("TenKilobytesOfGarbage", ["--garbage", "10240"], 3, TRIES, NOISE, (0, 35))
# Never silent, a byte well inside each 500 ms: each answer is cut off; ten attempts stay far below two minutes.
fault("ByteEvery300ms", ["--drip", "300"], 3, TRIES, CUT, (0, 120))
# Answers not believed: nothing reaches the file, a comparison or the reader.
for damage, sim, err in (("Slow", ["--char-delay", "30"], CUT), ("Corrupt", ["--query-damage", "corrupt"], BROKEN),
                         ("Short", ["--query-damage", "short"], BROKEN), ("Odd", ["--query-damage", "odd"], BROKEN)):
    for verb in ("--read", "--verify", "--ensure"):
        fault(f"{damage}Answer{verb[2:].title()}", sim, 3, TRIES, err, (0, 90), QUERIED * 10, verb=[verb], json=verb == "--ensure")
fault("StoppedDuringASlowAnswer", ["--char-delay", "30"], 128 + signal.SIGTERM, ENTERING, verb=["--read"],
      signal_at=(signal.SIGTERM, f"<- {QUERY}\n"))
fault("ShortDataLine", status=2, err=ABOUT + "Error!: Error getting configuration data from file.\n", records=[],
      file="5d%;+\r", json=True)
fault("CheckWhole", verb=["--check"], out="config.txt: a whole configuration\n", records=[], json=True)
# A display named but not there (ssh -X, cron): the batch run goes on unattended.
fault("StaleDisplay", out=ENTERING, records=WHOLE_RUN, env={"DISPLAY": ":77", "WAYLAND_DISPLAY": "gone"}, json=True)
fault("ReadToAFullDisk", verb=["--read"], status=2, err=ENTERING + "COM3 -: Error!: Error writing target configuration "
      "file. Configuration not saved.\n", records=QUERIED, batch="-,COM3", streams="full")
fault("PortTextNoComName", status=3, err="No MSR claimed on LPT3 (no-device): LPT3 is no COM port name.\n"
      "LPT3 config.txt: " + NOT_CLAIMED, records=[], batch="config.txt,LPT3", json=True)
fault("CommitNeverAcknowledged", ["--commit-never"], 4, ENTERING, COMMIT_FAILED, (60, 75))
fault("UnpluggedBeforeTheSet", ["--unplug-after", "2"], 4, ENTERING, UNPLUGGED)
# Gone in the middle of the commit's echo: the wait sees the hang-up, not silence.
fault("VanishedDuringTheCommit", ["--vanish-after", "3"], 4, ENTERING, COMMIT_FAILED + "Error restoring functional mode.\n")
fault("MissingReader", status=3, err=MISSING, **AT_COM0)
# Answers the enter record, then falls silent: the query itself fails.
fault("QuerySilent", ["--query-silent"], 3, TRIES, not_claimed(
    "Error querying MSR configuration.\n", "no-answer): the reader stopped answering in command mode"), (0, 25))
# One stream, as operators keep the log (>log 2>&1): every line flushed, in order.
fault("LogAsOneStream", ["--set-reject"], 4, ENTERING + SET_REJECTED, records=WHOLE_RUN, streams="merged")
# Log lines must never reach the port, and a closed pipe must not end the run.
fault("StreamsClosed", ["--set-reject"], 4, records=WHOLE_RUN, streams="closed")
fault("StreamsABrokenPipe", ["--set-reject"], 4, records=WHOLE_RUN, streams="broken")
# A stop during the commit's wait ends the run through its normal path: the reader is released.
for name in STOPS:
    number = getattr(signal, "SIG" + name)
    fault("SIG" + name, ["--commit-never"], 128 + number, ENTERING, seconds=(0, 3), records=WHOLE_RUN,
          signal_at=(number, f"<- {COMMIT}\n"))
fault("SIGHUPUnderNohup", ["--commit-delay", "1500"], out=ENTERING, records=WHOLE_RUN,
      program="sh", verb=["-c", 'trap "" HUP; exec "$0" "$@"', MSRCONFIG], signal_at=(signal.SIGHUP, f"<- {COMMIT}\n"))
fault("ReadToStandardOutput", verb=["--read"], out=HEADER + "5d%;+?\n",
      err=ENTERING + "COM3 -: firmware revision SIM 1.00\n", records=QUERIED, batch="-,COM3")
fault("ReadMissing", verb=["--read"], status=3, err=MISSING_ONCE, json=True, **AT_COM0)
fault("ReadRefused", ["--query-nak"], 3, TRIES, NAK, (0, 35), verb=["--read"])
fault("VerifyMatching", verb=["--verify"], out=ENTERING + ABOUT + "the MSR holds the file's configuration\n", records=QUERIED, json=True)
fault("VerifyDiffering", verb=["--verify"], status=5, out=ENTERING + DIFFERENCES, records=QUERIED, file=OTHER_FILE, json=True)
fault("VerifyMissing", verb=["--verify"], status=3, err=MISSING_ONCE, **AT_COM0)
fault("VerifyRefused", ["--no-command-mode"], 3, TRIES, NO_REPLY, (0, 20), verb=["--verify"])
fault("EnsureUnchanged", verb=["--ensure"], out=ENTERING + ABOUT + "unchanged\n", records=QUERIED, json=True)
fault("EnsureChanged", verb=["--ensure"], out=ENTERING + ABOUT + "changed\n", records=ENSURED, file=OTHER_FILE, json=True)
fault("EnsureMissing", verb=["--ensure"], status=3, err=MISSING_ONCE, **AT_COM0)
fault("EnsureRefused", ["--set-reject"], 4, ENTERING, SET_REJECTED, records=[ENTER, QUERY, OTHER_SET, RELEASE],
      verb=["--ensure"], file=OTHER_FILE, json=True)
fault("EnsureReadBackUnanswered", ["--unplug-after", "4"], 4, ENTERING, "Error querying MSR configuration.\n" + ABOUT +
      "msrconfig: The MSR did not answer when its configuration was read back.\nError restoring functional mode.\n",
      records=ENSURED[:-1], verb=["--ensure"], file=OTHER_FILE, json=True)
fault("ReadUnwritable", verb=["--read"], status=2, out=ENTERING, err="COM3 no/r.txt: Error!: Error opening target "
      "configuration file. Configuration not saved.\n", records=QUERIED, batch="no/r.txt,COM3")
fault("EnsureEightBit", ["--config", "F6A7007801"], verb=["--ensure"], out=ENTERING + ABOUT + "changed\n", file="1d%;+\xa7", json=True)
fault("EnsureNotKept", ["--set-ignored"], 5, ENTERING + DIFFERENCES, records=ENSURED, verb=["--ensure"], file=OTHER_FILE, json=True)


@case
@needs_root
def PortRefused(failures):
    # Why a port did not open: held by another program, or not this user's to open.
    with Setup() as setup:
        device = os.readlink(f"{setup.ports}/COM3")
        attempt = "Error opening com port : 3\nError restoring functional mode.\n"
        holder = os.open(device, os.O_RDWR | os.O_NOCTTY)
        fcntl.flock(holder, fcntl.LOCK_EX)  # as msrconfig holds a port
        expect(failures, "busy", (3, "", not_claimed(attempt, f"busy): {device} is held by another program")),
               setup.run("config.txt,COM3,19200")[:3])
        os.close(holder)
        os.chown(device, 0, 20)  # group dialout, as serial devices have
        os.chmod(device, 0o660)
        expect(failures, "no permission", (3, "", not_claimed(attempt, f"no-permission): you may not open {device}, "
               'which belongs to group dialout; join it with: sudo adduser "$USER" dialout, then log in again')),
               setup.run("config.txt,COM3,19200", user=4321)[:3])
        expect(failures, "records", [], setup.records())


@case
def UnattendedAnswersNoAndSaysSo(failures):
    # --unattended on a desktop: no box, the question answered No and said so.
    with Setup(file="1c%;+?") as setup:
        expect(failures, "run", (0, ENTERING, ABOUT + 'Enable Custom Configuration?: "Use Custom Configuration" is not '
               "selected.  Changes to the MSR configuration will be stored to flash, but will not be used by the "
               "MSR until the custom configuration is enabled.  Do you want to enable it now? No\n" + ABOUT +
               'The MSR keeps using its default configuration until "Use Custom Config" is enabled.\n'),
               setup.run("--unattended", "config.txt,COM3,19200", env={"DISPLAY": ":99"})[:3])
        expect(failures, "set record", ":060000110100253b2b3f1e", setup.records()[2])  # custom bit clear


@case
def CommandLineStatusesAndMessages(failures):
    with Setup(sim=None) as setup:
        setup.write("bad.txt", "hello\n5d%;+?\n")
        usage = setup.run("--help")[1]
        runs = [
            (["bad.txt"], 2, "", "COM3 bad.txt: Error!: Bad configuration file header.\n"),
            (['"config.txt"'], 2, "", 'COM3 "config.txt": Error!: Error opening configuration file.\n'),
            (["--bogus\x1b[2J"], 1, "", "msrconfig: unknown option --bogus\\x1b[2J\n" + usage),
            (["--read"], 1, "", "msrconfig: FILE[,PORT[,BAUD]] is missing\n" + usage),
            (["--attempts", "11", "config.txt"], 1, "", "msrconfig: --attempts takes a number from 1 to 10\n" + usage),
            (["--version"], 0, f"msrconfig {version}\n", ""),
            ([""], 1, "", "msrconfig: no display found (DISPLAY and WAYLAND_DISPLAY are not set).\n"
                          "Start it on a desktop, or under a virtual one: xvfb-run msrconfig\n")]
        for arguments, *expected in runs:
            expect(failures, repr(arguments), tuple(expected), setup.run(*arguments)[:3])
        expect(failures, "--help within 80 columns", [], [line for line in usage.splitlines() if len(line) > 80])
        expect(failures, "a display that does not answer", (1, "", "msrconfig: the display cannot be opened (DISPLAY or "
               "WAYLAND_DISPLAY names none that answers).\nStart it on a desktop, or under a virtual one: xvfb-run "
               "msrconfig\n"), setup.run(env={"DISPLAY": ":77"})[:3])
        # A script that asked for a record gets one, also for a command line it got wrong.
        for arguments, action in ((["--bogus", "p.txt"], "unknown"), (["--verify", "--ensure", "p.txt"], "verify"),
                                  (["--read", ",COM5"], "read"), (["--read", "-"], "read"),
                                  (["--verify", "p.txt,COM3,1234567890"], "verify")):
            status, out, *_ = setup.run("--json", *arguments)
            check_record(failures, setup, out, status, "")
            expect(failures, f"{arguments}: action", (action, True), (json.loads(out)["action"],
                                                                      bool(json.loads(out)["usage_error"])))


@case
@needs_root
def RunLog(failures):
    # Every ending appends one whole line, into folders made for it; a log that cannot be written fails no run.
    with Setup() as setup:
        log = f"{setup.dir}/logs/of runs/runs.jsonl"
        runs = (("--log", log, "--verify", "config.txt,COM3"), ("--log", log, "--verify", "config.txt,COM0"),
                ("--bogus", "--log", log, "config.txt"), ("--log", log, "config.txt"))
        statuses = [setup.run(*arguments)[0] for arguments in runs]
        records = [json.loads(line) for line in open(log)]
        expect(failures, "one record a run", (statuses, ["verify", "verify", "unknown", "apply"]),
               ([r["status"] for r in records], [r["action"] for r in records]))
        os.chmod(f"{setup.dir}/logs", 0o500)
        expect(failures, "a log it may not write", (0, "config.txt: a whole configuration\n", f"msrconfig: the run is not logged in {setup.dir}/logs/new/"
                                                    "runs.jsonl: Permission denied\n"),
               setup.run("--log", f"{setup.dir}/logs/new/runs.jsonl", "--check", "config.txt", user=4321)[:3])


@case
def CaptionsNameTheProgramAsCalled(failures):
    # Captions name the program as it is called; Linux programs have no extension to drop.
    with Setup(["--set-reject"]) as setup:
        shutil.copy(MSRCONFIG, f"{setup.dir}/msrconfig-1.2")
        expect(failures, "run", (4, ENTERING, SET_REJECTED.replace("msrconfig:", "msrconfig-1.2:")),
               setup.run("config.txt,COM3,19200", program=f"{setup.dir}/msrconfig-1.2")[:3])


@case
def ControllingTerminal(failures):
    # By either name, also from a background job (where setting the line would stop it): refused, untouched.
    with Setup(sim=None) as setup:
        for port in ("/dev/tty", "$(tty)"):
            for job in ("", "set -m; "):
                # A shell on a terminal of its own (script's), printing what the terminal shows.
                shell = (f"stty -g >before; ln -sf {port} ports/COM16; {job}{MSRCONFIG} config.txt,COM16,9600 & "
                         "wait $!; echo status $?; stty -g | cmp -s before - && echo same; tty")
                shown = setup.run("-qec", shell, "/dev/null", program="script", env={"SHELL": "/bin/sh"})[1]
                name = shown.rstrip().rsplit("\n", 1)[-1].strip()
                why = "/dev/tty is no serial line" if port == "/dev/tty" else f"{name} is the terminal msrconfig runs in"
                expected = not_claimed("Error opening com port : 16\nError restoring functional mode.\n",
                                       "no-device): " + why, "COM16 config.txt: ", "COM16")
                expect(failures, port + job, (expected + f"status 3\nsame\n{name}\n").replace("\n", "\r\n"), shown)


@case
@needs_root
def ReadKeepsWhoMayUseTheFile(failures):
    # As Save does; where a new file could not keep who may use it, the old one is rewritten in place.
    owner, member, group = 1234, 2345, 3456
    rows = [  # the file, who saves it; the folder's owner, group and mode; the file's; the mode kept
        ("shared/a.txt", member, owner, group, 0o775, owner, group, 0o664, 0o664),  # a group member, the owner's file
        ("own/acl.txt", owner, owner, owner, 0o755, owner, owner, 0o640, 0o640),  # the owner, an ACL and a note
        ("own/linked.txt", owner, owner, owner, 0o755, owner, owner, 0o640, 0o640),  # the owner, a file with two names
        ("own/by-root.txt", 0, owner, owner, 0o755, owner, owner, 0o4644, 0o644),  # root, the owner's file
        ("closed/b.txt", owner, 0, 0, 0o755, owner, owner, 0o644, 0o644)]  # a folder the owner may not write
    with Setup() as setup:
        os.chmod(os.path.realpath(f"{setup.ports}/COM3"), 0o666)  # the reader, for every user
        for name, _, folder_uid, folder_gid, folder_mode, uid, gid, mode, _ in rows:
            folder = f"{setup.dir}/{name.split('/')[0]}"
            os.makedirs(folder, exist_ok=True)
            setup.write(name, "old")
            for path, who, their_group, their_mode in ((folder, folder_uid, folder_gid, folder_mode),
                                                       (f"{setup.dir}/{name}", uid, gid, mode)):
                os.chown(path, who, their_group)
                os.chmod(path, their_mode)
        # An ACL giving user 4321 read access (the kernel's binary form), and a note.
        acl, acl_file = bytes.fromhex("0200000001000600ffffffff02000400e110000004000400ffffffff"
                                      "10000400ffffffff20000000ffffffff"), f"{setup.dir}/own/acl.txt"
        os.setxattr(acl_file, "system.posix_acl_access", acl)
        os.setxattr(acl_file, "user.note", b"kept")
        os.link(f"{setup.dir}/own/linked.txt", f"{setup.dir}/own/other-name.txt")
        for name, saver, *_, uid, gid, _, kept in rows:
            path = f"{setup.dir}/{name}"
            expect(failures, name, (0, HEADER + "5d%;+?\n", oct(kept), uid, gid),
                   (setup.run("--read", f"{name},COM3", user=saver, groups=[group])[0], open(path).read(),
                    oct(os.stat(path).st_mode & 0o7777), os.stat(path).st_uid, os.stat(path).st_gid))
        expect(failures, "attributes", (acl, b"kept"),
               (os.getxattr(acl_file, "system.posix_acl_access"), os.getxattr(acl_file, "user.note")))
        expect(failures, "one file, two names", os.stat(f"{setup.dir}/own/linked.txt").st_ino,
               os.stat(f"{setup.dir}/own/other-name.txt").st_ino)
        expect(failures, "nothing left behind", [1, 4, 1], [len(os.listdir(f"{setup.dir}/{folder}"))
                                                              for folder in ("shared", "own", "closed")])


@case
@needs_root
def ReadFollowsNoPlantedLink(failures):
    # The protected-symlinks rule, which a save resolving links itself applies to every link on the way.
    other, folder_owner = 4242, 4343
    rows = [  # the shared folder's mode, the link's owner, a link to a folder?, dangling?, followed?
        (0o1777, other, False, False, False), (0o1777, other, False, True, False),
        (0o1777, other, True, False, False), (0o1777, 0, False, False, True), (0o1777, 0, True, False, True),
        (0o1777, folder_owner, False, True, True),
        (0o1755, other, True, False, True),  # sticky, not shared
        (0o777, other, False, False, True)]  # shared, not sticky
    with Setup() as setup:
        for mode, link_owner, to_folder, dangling, followed in rows:
            work = tempfile.mkdtemp(dir=setup.dir)
            shared, link = f"{work}/tmp", f"{work}/tmp/" + ("evil" if to_folder else "s.txt")
            os.mkdir(shared)
            os.mkdir(f"{work}/root")
            os.chown(shared, folder_owner, folder_owner)
            os.chmod(shared, mode)
            if not dangling:
                setup.write(f"{os.path.basename(work)}/root/s.txt", "root's own")
            os.symlink(f"{work}/root" + ("" if to_folder else "/s.txt"), link)
            os.lchown(link, link_owner, link_owner)
            target = f"{shared}/evil/s.txt" if to_folder else link
            status = setup.run("--read", f"{target},COM3")[0]
            saved = open(f"{work}/root/s.txt").read() if os.path.exists(f"{work}/root/s.txt") else None
            expect(failures, f"{oct(mode)} {link_owner} {to_folder} {dangling}",
                   (0 if followed else 2, HEADER + "5d%;+?\n" if followed else None if dangling else "root's own",
                    True, 1), (status, saved, os.path.islink(link), len(os.listdir(shared))))


@case
@needs_root
def ListPorts(failures):
    # A fake /dev and /sys mounted for the program alone, which runs without privileges.
    with Setup(sim=None) as setup:
        tree, ports, shared = setup.dir, f"{setup.dir}/home/.config/msrconfig/ports", f"{setup.dir}/etc/msrconfig/ports"
        dev, sys_ = f"{tree}/dev", f"{tree}/sys"
        # /dev/pts/77 is for root alone, /dev/ttyACM0 for group dialout; sysfs lists no pseudo-terminal.
        nodes = [("ttyUSB0", 188, 0, "tty", 0o666), ("ttyUSB1", 188, 1, "tty", 0o666), ("ttyUSB2", 188, 2, "tty", 0o666),
                 ("ttyS4", 4, 68, "tty", 0o666),
                 ("ttyACM0", 166, 0, "tty", 0o660), ("ttyS5", 4, 69, "tty", 0o666), ("tty", 5, 0, "tty", 0o666),
                 ("null", 1, 3, "mem", 0o666), ("pts/77", 136, 77, None, 0o600)]
        usb = (("ttyUSB0", ["0403", "Tavlon", "MSR 42", "A5069", "6001"]), ("ttyUSB2", ["0403", "Tavlon", "MSR 42", "B7", "6001"]),
               ("ttyUSB1", ["1d6b", "Evil\x1b[2J\x1b[1;1HCOM3 /dev/ttyS2", "X\rY", None, None]))
        files = {"sys/class/tty/ttyS4/type": "4", "sys/class/tty/ttyS5/type": "0",  # 0: known to the kernel, no UART
                 **{f"sys/devices/usb/{name}/{file}": text for name, strings in usb
                    for file, text in zip(("idVendor", "manufacturer", "product", "serial", "idProduct"), strings) if text is not None},
                 # Readers named by what they are: one, two of a kind, a by-id pattern, words not understood.
                 **{f"{shared}/COM{n}": words for n, words in ((20, "vendor=0403 product=6001 serial=A5069 # the till's"),
                    (21, "vendor=0403\nproduct=6001"), (22, "by-id=usb-Tavlon*"), (23, "vendor=zz"))},
                 f"{tree}/fleet/msrconfig/ports/named-only": ""}
        links = {"dev/serial/by-id/usb-Tavlon_MSR_42-if00": "../../ttyUSB0",
                 "dev/serial/by-id/usb-Evil\x1b[2J-if00": "../../ttyUSB1",
                 # The system's folder names ports for every user; a user's own name comes first.
                 f"{shared}/COM12": "/dev/ttyACM0", f"{shared}/COM3": "/dev/ttyUSB0",
                 **{f"{ports}/{name}": target for name, target in (
                     ("COM3", "/dev/pts/77"), ("COM13", "/dev/tty"), ("COM16", "/dev/null"), ("COM19", "/nowhere"),
                     ("COM9x", "/dev/ttyS5"), ("COM\x1b[2J", "/dev/ttyS4"), ("COM\nX", "/dev/ttyACM0"),
                     ("COM1234567", "/dev/ttyS4"), ("LPT1", "/dev/ttyS4"), ("COM11", "/dev/ttyS4"))},
                 **{f"sys/dev/char/{kind}:{number}/subsystem": f"../../../class/{subsystem}"
                    for _, kind, number, subsystem, _ in nodes if subsystem},
                 **{f"sys/class/tty/{name}/device": f"../../../devices/usb/{name}/1.0/{name}" for name, _ in usb}}
        for path in [*files, *links, "dev/pts/", *(f"sys/devices/usb/{name}/1.0/{name}/" for name, _ in usb)]:
            os.makedirs(os.path.dirname(os.path.join(tree, path)), exist_ok=True)
        for path, target in links.items():
            os.symlink(target, os.path.join(tree, path))
        for path, text in files.items():
            setup.write(path, text + "\n")
        for name, kind, number, _, mode in nodes:
            os.mknod(f"{dev}/{name}", 0o20000, os.makedev(kind, number))
            os.chown(f"{dev}/{name}", 0, 20 if name == "ttyACM0" else 0)
            os.chmod(f"{dev}/{name}", mode)
        # Then runs that claim: an identity two devices answer to, a name a folder forbids the fallback for.
        setup.write("verbs.sh", f"{MSRCONFIG} --list-ports\nexport XDG_CONFIG_DIRS={tree}/etc:{tree}/fleet\n" + "".join(
            f"{MSRCONFIG} {verb} {setup.dir}/config.txt,{port}\necho status $?\n" for verb, port in (
                ("--verify", "COM21"), ("--verify", "COM24"), ("--unattended --attempts 2", "COM24"))))
        mounted = f'mount --bind {dev} /dev && mount --bind {sys_} /sys && exec setpriv --reuid=4321 ' \
                  f'--regid=4321 --clear-groups sh {setup.dir}/verbs.sh'
        fleet = (f"(no-device): no port folder names COM24 (looked in {ports}, {shared}, {tree}/fleet/msrconfig/ports), and "
                 f"{tree}/fleet/msrconfig/ports/named-only forbids taking /dev/ttyS23 instead")
        dialout = ("           you may not open /dev/ttyACM0, which belongs to group dialout; join it with: "
                   'sudo adduser "$USER" dialout, then log in again\n')
        expect(failures, "--list-ports", (0, f"""COM3       /dev/pts/77  (from {ports})
           you may not open /dev/pts/77; ask an administrator to let you use it
COM5       /dev/ttyS4
COM11      /dev/ttyS4  (from {ports})
COM\\nX     /dev/ttyACM0  (from {ports})
{dialout}COM\\x1b[2J  /dev/ttyS4  (from {ports})
COM12      /dev/ttyACM0  (from {shared})
{dialout}COM20      /dev/ttyUSB0  Tavlon MSR 42, serial A5069  (from {shared})
           identity: vendor=0403 product=6001 serial=A5069
COM21      no device  (from {shared})
           /dev/ttyUSB0 and /dev/ttyUSB2 are all vendor=0403 product=6001, as {shared}/COM21 asks; add serial= or by-id= to tell them apart
COM22      /dev/ttyUSB0  Tavlon MSR 42, serial A5069  (from {shared})
           identity: vendor=0403 product=6001 serial=A5069
COM23      no device  (from {shared})
           {shared}/COM23 names no reader: "vendor=zz" is no vendor=, product=, serial= or by-id= word it understands

Serial devices without a COM name, each with the command that gives it one:
/dev/ttyUSB1  Evil\\x1b[2J\\x1b[1;1HCOM3 /dev/ttyS2 X\\rY
  ln -s /dev/ttyUSB1 {ports}/COM14
/dev/ttyUSB2  Tavlon MSR 42, serial B7
  ln -s /dev/ttyUSB2 {ports}/COM15
  or, for any reader of this kind: echo 'vendor=0403 product=6001' > {ports}/COM15
status 3
status 3
status 3
""", "".join(f"Error opening com port : {port}\nError restoring functional mode.\n" * count + f"No MSR claimed on COM{port} {why}.\n"
             + f"COM{port} {setup.dir}/config.txt: {NOT_CLAIMED}"
             for port, count, why in ((21, 1, f"(ambiguous): /dev/ttyUSB0 and /dev/ttyUSB2 are all vendor=0403 product=6001, as "
                                      f"{shared}/COM21 asks; add serial= or by-id= to tell them apart"), (24, 1, fleet), (24, 2, fleet)))), setup.run("-m", "sh", "-c", mounted, program="unshare",
                    env={"HOME": f"{tree}/home", "XDG_CONFIG_DIRS": f"relative:{tree}/etc",
                         "MSRCONFIG_PORT_DIR": ""})[:3])


@case
def FleetPlaybook(failures):
    # The fleet guide's playbook on three terminals (local hosts, each with its own port folder): term01's reader
    # holds the file, term02's and term03's COM3 differ, and term03's host_vars name a COM9 it does not have.
    with Setup(sim=None) as setup:
        hosts = ("term01", "term02", "term03")
        for host, held in zip(hosts, ("41253B2B3F", "01253B2B21", "41253B2B21")):
            os.makedirs(f"{setup.dir}/{host}/ports")
            setup.write(f"{host}/msrconfig", f'#!/bin/sh\nMSRCONFIG_PORT_DIR={setup.dir}/{host}/ports exec {MSRCONFIG} "$@"\n')
            os.chmod(f"{setup.dir}/{host}/msrconfig", 0o755)
            setup.add_reader("COM3", "--config", held, folder=f"{setup.dir}/{host}/ports", log=host)
        os.makedirs(f"{setup.dir}/inventory/host_vars")
        setup.write("inventory/hosts.ini", "".join(f"{h} msrconfig={setup.dir}/{h}/msrconfig msr_work={setup.dir}/{h}/work\n"
                                                   for h in hosts) + "[all:vars]\nansible_connection=local\n")
        setup.write("inventory/host_vars/term03.yml", "msr_ports: [COM3, COM9]\n")

        def play(*options):
            output = setup.run("-i", "inventory/hosts.ini", "-e", "ansible_python_interpreter=/usr/bin/python3", "-e",
                               "msr_file=config.txt", *options, f"{ROOT}/docs/fleet/provision.yml", program="ansible-playbook",
                               env={"ANSIBLE_NOCOLOR": "1", "ANSIBLE_RETRY_FILES_ENABLED": "0",  # its own, whoever runs it
                                    "ANSIBLE_LOCAL_TEMP": f"{setup.dir}/tmp", "ANSIBLE_REMOTE_TEMP": f"{setup.dir}/tmp"},
                               streams="merged")[1]
            recap = {h: tuple(map(int, c)) for h, *c in re.findall(r"^(term\d+) +: ok=\d+ +changed=(\d+) .* failed=(\d+)", output, re.M)}
            return recap, [line for line in output.splitlines() if line.startswith("fatal:")], output

        def writes():
            return [sum(record.startswith(":06") for record in setup.records(host)) for host in hosts]

        would = {"term01": (0, 0), "term02": (1, 0), "term03": (1, 1)}
        missing = ['fatal: [term03]: FAILED! => {"changed": false, "msg": "COM9: not-claimed (no-device): /dev/ttyS8 does not '
                   f'exist; no port folder names COM9 (looked in {setup.dir}/term03/ports)"}}']
        recap, fatal, output = play("--check", "--diff")
        expect(failures, "--check --diff: the changes it would make, the setting, nothing written", (would, missing, True, [0, 0, 0]),
               (recap, fatal, {"-Use Custom Config: off", "+Use Custom Config: on"} <= set(output.splitlines()), writes()))
        for run, changed, written in (("first run", would, [0, 1, 1]), ("second run", {**would, "term02": (0, 0), "term03": (0, 1)}, [0, 1, 1])):
            recap, fatal, output = play()
            expect(failures, run, (changed, missing, written), (recap, fatal, writes()))
        rows = list(csv.reader(open(f"{setup.dir}/msr-report/readers.csv")))
        expect(failures, "the fleet report", [["host", "port", "firmware", "status_name", "cause", "changed"],
                                              *[[h, p, f, s, c, "false"] for h, p, f, s, c in (
                                                  ("term01", "COM3", "SIM 1.00", "ok", ""), ("term02", "COM3", "SIM 1.00", "ok", ""),
                                                  ("term03", "COM3", "SIM 1.00", "ok", ""), ("term03", "COM9", "", "not-claimed", "no-device"))]],
               [row[:3] + row[4:7] for row in rows])


@case
def AccessibleWindow(failures):
    # The window as a screen reader meets it, through AT-SPI, against the layout table; Get by keyboard alone.
    import pyatspi

    def walk(node):
        yield node
        for child in filter(None, node):
            yield from walk(child)

    def labelled_by(node):
        return [r.getTarget(0).name for r in node.getRelationSet() if r.getRelationType() == pyatspi.RELATION_LABELLED_BY]

    # The table's lines: id, kind, x, y, width, height, text, tooltip; the labels have no id.
    layout = pathlib.Path(ROOT, "resources/main_window.layout").read_text(encoding="utf-8").splitlines()
    rows = [(line.split("\t") + ["", ""])[:8] for line in layout if not line.startswith(("#", "window"))]
    labels = [(text, int(y)) for ident, kind, _, y, _, _, text, _ in rows if kind == "label" and ident == "-"]
    roles = {"check": "check box", "button": "push button", "edit": "text", "list": "combo box",
             "sorted-list": "combo box", "label": "label"}
    with Setup() as setup:
        program = subprocess.Popen([MSRCONFIG], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env={
            **{k: v for k, v in os.environ.items() if k != "QT_QPA_PLATFORM"}, "MSRCONFIG_PORT_DIR": setup.ports,
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"})
        try:
            app = until(lambda: next((a for a in pyatspi.Registry.getDesktop(0) if a and a.name == "msrconfig"), None), 15)
            window = until(lambda: app and next((n for n in walk(app) if n.getRoleName() == "dialog"), None), 15)
            nodes = list(walk(window))
            expect(failures, "the window's name", "ZYN KVR MSR Configuration Utility", window.name)
            for ident, kind, _, y, _, _, text, tip in (row for row in rows if row[0] != "-"):
                # A field, list or value is named by the label on its row, as a person reads it.
                beside = [t for t, ly in labels if abs(ly - int(y)) <= 2] + [""]
                name = text if kind in ("check", "button") else beside[0].rstrip(" :")
                matches = [n for n in nodes if n.getRoleName() == roles[kind] and
                           (beside[0] in labelled_by(n) if kind == "label" else n.name == name)]
                expect(failures, f"{ident} ({kind} {name!r}) found", 1, len(matches))
                for node in matches[:1]:
                    if ident == "1019":  # the port list describes its entry: where it leads
                        expect(failures, "1019: description", True, " leads to " in node.description)
                    else:
                        expect(failures, f"{ident}: description", " ".join(tip.replace("\\n", " ").split()), node.description)
                    if kind in ("edit", "list", "sorted-list"):
                        expect(failures, f"{ident}: labelled by {beside[0]!r}", True, beside[0] in labelled_by(node))
                    expect(failures, f"{ident}: inside a group box", True, any(
                        g.getRoleName() == "panel" and node in list(walk(g))[1:] for g in nodes))
            first = next(n for n in nodes if n.name == "Raw Data Mode(AAMVA Mode)")
            expect(failures, "the focus at the start", True,
                   until(lambda: first.getState().contains(pyatspi.STATE_FOCUSED), 5))
            subprocess.run(["xdotool", "key", "--delay", "60"] + ["Tab"] * 8 + ["space"], check=True)
            expected = ["Carriage Return Enabled", "SIM 1.00", "Track 1 Enabled", "Track 2 Enabled", "Track 3 Enabled",
                        "Use Custom Config"]  # the options and the firmware the reader has

            def shown():
                return sorted(n.name for n in walk(window) if n.name == "SIM 1.00" or n.getRoleName() == "check box"
                              and n.getState().contains(pyatspi.STATE_CHECKED))
            until(lambda: shown() == expected, 10)
            expect(failures, "Get from the keyboard", expected, shown())
            subprocess.run(["xdotool", "key", "--delay", "200", "shift+F10", "Return"], check=True)
            expect(failures, "About from the keyboard, on the first Enter", True, bool(until(lambda: any(
                (a.name or "").startswith("About ") for a in app if a), 10)))
        finally:
            program.terminate()
            program.wait(10)


# With MSRCONFIG_WINDOWS_BUILD in a Wine session, only these run, one at a time: they share COM3.
WINDOWS = os.environ.get("MSRCONFIG_WINDOWS_BUILD") and os.path.abspath(os.environ["MSRCONFIG_WINDOWS_BUILD"])


def dos(path):
    return "Z:" + os.path.realpath(path).replace("/", "\\")


class WineSetup(Setup):
    # config.txt with an 8-bit end sentinel, and a reader on the prefix's COM3.
    def __init__(self, reader=True):
        super().__init__(None, "5d%;+\xa7")
        if reader:
            self.add_reader("com3", folder=os.environ["WINEPREFIX"] + "/dosdevices")

    def wine(self, *args, program="msrconfig.exe", env=(), **run):
        # A Windows program's run (Wine's own, or one of the build's), with its lines ended as on Unix.
        status, out, err, _ = self.run(program if "." not in program else f"{WINDOWS}/{program}", *args,
                                       program="wine", env={"DISPLAY": os.environ["DISPLAY"], **dict(env)}, **run)
        return status, out.replace("\r", ""), err.replace("\r", "")

    def runs(self, count):  # the records of each run so far, when each is a whole run
        records = self.records("com3")
        return records == [ENTER, QUERY, ":060000110141253b2ba775", COMMIT, RELEASE] * count or records


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
                   (setup.wine("/c", dos(f"{setup.dir}/twin.cmd"), program="cmd", streams="merged")[1],
                    setup.runs(count)))
        expect(failures, "a non-ASCII path", (0, True),
               (setup.wine(dos(f"{setup.dir}/\u4e2d\u6587.txt"), program="msrconfig.com")[0], setup.runs(5)))


@case
def WindowsMissingPort(failures):
    # No COM4: ten attempts, then the box, which waits for a person.
    with WineSetup() as setup:
        person = subprocess.Popen("xdotool windowfocus --sync $(xdotool search --sync --onlyvisible --name "
                                  "'^Error!$' | head -n 1) key Return", shell=True)
        expect(failures, "run", (3, "", "Error opening com port : 4\nError restoring functional mode.\n" * 10
                                 + "No MSR claimed on COM4 (no-device): COM4: File not found.\n"),
               setup.wine(dos(f"{setup.dir}/config.txt") + ",COM4,19200"))
        person.wait()


@case
def WindowsHiddenStation(failures):
    # In a window station nobody sees, no box waits and the reader is still released.
    with WineSetup() as setup:
        setup.write("default.txt", HEADER + "1c%;+?\n")  # custom configuration off
        expect(failures, "statuses", [2, 3, 0], [setup.wine(
            "60", f"{WINDOWS}/msrconfig.exe", dos(f"{setup.dir}/{file}") + "," + port,
            program="hidden_station.exe")[0] for file, port in (("missing.txt", "COM3"), ("config.txt", "COM4"),
                                                            ("default.txt", "COM3"))])
        expect(failures, "released", [RELEASE], setup.records("com3")[-1:])


@case
def WindowsFleetScripts(failures):
    # The fleet guide's detection and remediation scripts under Wine's cmd, with a file that differs.
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
               [(0, ""), (0, about + "changed\n"), (0, "COM3 holds the prepared configuration\n"), (0, about + "unchanged\n")],
               [fleet(script) for script in ("detect.cmd", "remediate.cmd", "detect.cmd", "remediate.cmd")])
        expect(failures, "a line a run in the run log", [("verify", 5), ("ensure", 0), ("verify", 0), ("ensure", 0)],
               [(r["action"], r["status"]) for r in map(json.loads, log.read_text().splitlines()[len(logged):])])
        expect(failures, "written once", 1, sum(record.startswith(":06") for record in setup.records("com3")))


@case
def WindowsPackages(failures):
    # As an administrator meets them, signed with MSRCONFIG_SIGN_CERT.
    import pefile
    installer = os.path.basename(max(glob.glob(f"{WINDOWS}/msrconfig-*-win64.exe")))
    folder, place = f"{os.environ['WINEPREFIX']}/drive_c/Program Files/msrconfig", "C:\\Program Files\\msrconfig"
    key = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\msrconfig"

    def carried(path):  # the version resource's texts, the manifest, signed?, stripped?
        pe = pefile.PE(path)
        texts = next(i for i in pe.FileInfo[0] if i.Key == b"StringFileInfo").StringTable[0].entries
        manifest = [e.directory.entries[0].directory.entries[0].data.struct
                    for e in pe.DIRECTORY_ENTRY_RESOURCE.entries if e.id == 24]
        return ({k.decode(): v.decode() for k, v in texts.items()},
                manifest and pe.get_data(manifest[0].OffsetToData, manifest[0].Size).decode(),
                subprocess.run(["osslsigncode", "verify", "-CAfile", os.environ["MSRCONFIG_SIGN_CERT"], "-in", path],
                               capture_output=True).returncode == 0,
                b".debug_info" not in subprocess.run(["x86_64-w64-mingw32-objdump", "-h", path], capture_output=True).stdout)

    def entry():  # the Add/Remove Programs entry's values
        return dict(re.findall(r"^ +(\w+) +REG_\w+ +(.*)$", setup.wine("query", key, program="reg")[1], re.M))

    def detached(*argv):  # a status; what the run starts may outlive it
        return subprocess.run(["wine", *argv], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode

    def running():
        return subprocess.run(["pgrep", "-f", r"msrconfig\\msrconfig\.exe"], capture_output=True).returncode == 0

    zipped = hashlib.sha256(zipfile.ZipFile(max(glob.glob(f"{WINDOWS}/msrconfig-*-win64.zip"))).read("msrconfig.exe")).hexdigest()

    with WineSetup(reader=False) as setup:
        shutil.unpack_archive(max(glob.glob(f"{WINDOWS}/msrconfig-*-win64.zip")), setup.dir)
        for program, description in (("msrconfig.exe", ""), ("msrconfig.com", " (console)")):
            expect(failures, program, ({
                "CompanyName": "msrconfig developers", "FileDescription": "ZYN KVR MSR Configuration Utility" + description,
                "FileVersion": version, "InternalName": "msrconfig", "LegalCopyright": re.search(r"^Copyright.*", open(
                f"{ROOT}/LICENSE").read(), re.M).group(), "OriginalFilename": program, "ProductName": "msrconfig", "ProductVersion": version},
                open(f"{WINDOWS}/app/win32/msrconfig.manifest").read(), True, True), carried(f"{setup.dir}/{program}"))
        texts, _, signed, _ = carried(f"{WINDOWS}/{installer}")
        expect(failures, "installer", (version, True), (texts["FileVersion"], signed))
        detached(f"{WINDOWS}/{installer}", "/S")
        expect(failures, "one msrconfig.exe in the zip and the installer; on PATH", (zipped, [place]),
               (installed_hash(folder), on_path(setup)))
        size = sum(os.path.getsize(f"{top}/{name}") for top, _, names in os.walk(folder) for name in names)
        expect(failures, "Add/Remove Programs entry", {
            "DisplayName": "ZYN KVR MSR Configuration Utility", "DisplayVersion": version, "Publisher":
            "msrconfig developers", "DisplayIcon": place + "\\msrconfig.exe", "InstallLocation": place,
            "UninstallString": f'"{place}\\Uninstall.exe"', "QuietUninstallString": f'"{place}\\Uninstall.exe" /S _?={place}',
            "NoModify": "0x1", "NoRepair": "0x1", "EstimatedSize": hex(size // 1024)}, entry())
        expect(failures, "uninstaller: signed", True, carried(f"{folder}/Uninstall.exe")[2])
        detached("reg", "add", key, "/v", "DisplayVersion", "/d", "0.9.0", "/f")  # as an older one left it
        detached(f"{WINDOWS}/{installer}", "/S")
        status, listing, errors = setup.wine("query", key.rsplit("\\", 1)[0], program="reg")
        expect(failures, "an upgrade in place keeps one entry", (0, ["HKEY_LOCAL_MACHINE" + key[4:]], "", version),
               (status, re.findall(r"^HKEY.*", listing, re.M), errors, entry()["DisplayVersion"]))
        detached("start", "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\"
                 "ZYN KVR MSR Configuration Utility.lnk")
        window = subprocess.run("timeout 60 xdotool search --sync --onlyvisible --name '^ZYN KVR MSR Configuration "
                                "Utility$' | head -n 1", shell=True, capture_output=True, text=True).stdout.strip()
        expect(failures, "Start-menu entry starts the installed program", True, running())
        # As a deployment tool runs them, in a script: Wine would escape the quotes, and its own status has 8 bits.
        def status_of(command):
            setup.write("run.cmd", f"@echo off\r\n{command}\r\necho status %errorlevel%\r\n")
            out = subprocess.run(["wine", "cmd", "/c", dos(f"{setup.dir}/run.cmd")], capture_output=True, text=True).stdout
            return int(re.search(r"status (-?\d+)", out).group(1))
        expect(failures, "install refused while msrconfig runs", 1618, status_of(f'"{dos(WINDOWS)}\\{installer}" /S'))
        quiet = entry()["QuietUninstallString"]
        expect(failures, "uninstall refused while msrconfig runs", (1618, True),
               (status_of(quiet), os.path.exists(f"{folder}/msrconfig.exe")))
        subprocess.run(["xdotool", "windowfocus", "--sync", window, "key", "Escape"])
        until(lambda: not running(), 30)
        before = shells()
        expect(failures, "a quiet uninstall returns once the program's files, the entry and the PATH entry are gone",
               (0, [], {}, [], set()), (status_of(quiet), [name for name in os.listdir(folder) if name != "Uninstall.exe"],
                                       entry(), on_path(setup), shells() - before))
        detached("wineboot", "-r")  # the uninstaller and its folder go at the next restart
        expect(failures, "the uninstaller and the folder follow", False, os.path.exists(folder))


def installed_hash(folder):
    return hashlib.sha256(open(f"{folder}/msrconfig.exe", "rb").read()).hexdigest()


def on_path(setup):  # the system PATH's entries that name msrconfig's folder
    path = setup.wine("query", "HKLM\\System\\CurrentControlSet\\Control\\Session Manager\\Environment", "/v", "PATH",
                      program="reg")[1]
    return [entry.rstrip("\\") for entry in re.search(r"REG_\w+ +(.*)", path).group(1).split(";") if "msrconfig" in entry]


def shells():  # a detached shell left to delete files would be endpoint protection's alarm
    listed = subprocess.run(["pgrep", "-af", "cmd.exe"], capture_output=True, text=True).stdout.splitlines()
    return {line for line in listed if not line.endswith("<defunct>")}  # one that ended, not yet reaped


@case
def WindowsMsi(failures):
    # As Group Policy and Intune run it: silent, an upgrade over an older build in place, then removed.
    folder, place = f"{os.environ['WINEPREFIX']}/drive_c/Program Files/msrconfig", "C:\\Program Files\\msrconfig"
    msi = max(glob.glob(f"{WINDOWS}/msrconfig-*-win64.msi"))
    zipped = hashlib.sha256(zipfile.ZipFile(max(glob.glob(f"{WINDOWS}/msrconfig-*-win64.zip"))).read("msrconfig.exe")).hexdigest()

    def entries():  # Add/Remove Programs entries of msrconfig: name, version, install location
        listing = setup.wine("query", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", "/s", program="reg")[1]
        return [(dict(re.findall(r"^ +(\w+) +REG_\w+ +(.*)$", block, re.M))) for block in listing.split("\n\n")
                if "ZYN KVR MSR Configuration Utility" in block]

    def shown(entry):
        return entry.get("DisplayVersion"), entry.get("Publisher"), entry.get("InstallLocation", "").rstrip("\\")

    with WineSetup(reader=False) as setup:
        subprocess.run(["cmake", "-DVERSION=0.9.0", f"-DOUTPUT={setup.dir}/old.msi", "-P", f"{WINDOWS}/msi.cmake"],
                       check=True, capture_output=True)
        signed = subprocess.run(["osslsigncode", "verify", "-CAfile", os.environ["MSRCONFIG_SIGN_CERT"], "-in", msi],
                                capture_output=True).returncode == 0
        runs = [setup.wine("/i", dos(path), "/qn", program="msiexec")[0] for path in (f"{setup.dir}/old.msi", msi)]
        expect(failures, "installed over an older build: one entry, the programs, on PATH once, signed",
               ([0, 0], [("1.0.0", "msrconfig developers", place)], zipped, [place], True),
               (runs, [shown(e) for e in entries()], installed_hash(folder), on_path(setup), signed))
        expect(failures, "msiexec /x removes it all", (0, [], [], False),
               (setup.wine("/x", dos(msi), "/qn", program="msiexec")[0], entries(), on_path(setup),
                os.path.exists(f"{folder}/msrconfig.exe")))



def main():
    if not WINDOWS and "DBUS_SESSION_BUS_ADDRESS" not in os.environ:  # the accessible window's bus and display
        os.execvp("dbus-run-session", ["dbus-run-session", "--", "xvfb-run", "-a", "-s", "-screen 0 1024x768x24",
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
            print(("FAIL " if failures else "ok   ") + name + "".join("\n  " + f for f in failures), flush=True)
    print(f"{len(chosen) - failed} passed, {failed} failed" + (f", {len(skipped)} skipped" if skipped else ""))
    return 1 if failed else 0


sys.exit(main())
