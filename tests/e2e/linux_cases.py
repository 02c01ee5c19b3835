# The Linux programs against the simulator: command-line runs and their faults, records, files,
# users, port names, the fleet playbook and the accessible window.
import csv, datetime, fcntl, json, os, pathlib, re, shutil, signal, subprocess, tempfile, time
from functools import partial

from support import (ABOUT, COMMIT, ENTER, ENTERING, HEADER, MSRCONFIG, NOT_CLAIMED, OTHER_FILE,
                     OTHER_SET, QUERY, RELEASE, ROOT, STOPS, Setup, case, cases, expect, root_case,
                     until, version)
UNESCAPE = lambda t: re.sub(r"\\x([0-9A-F]{2})", lambda m: chr(int(m[1], 16)), t)  # noqa: E731
TRIES, RESTORE = ENTERING * 10, "Error restoring functional mode.\n"
NO_ANSWER = "Failed to enter command mode.\n" + RESTORE
COMMIT_FAILED, APPLY_FAILED = (ABOUT + f"msrconfig: Error occurred while {doing} changes to the "
                               "MSR configuration.\n" for doing in ("committing", "applying"))
SET_REJECTED = "MSR_SET_CONFIGURATION did not apply properly.\n" + APPLY_FAILED
UNPLUGGED = ("Failed to send MSR_SET_CONFIGURATION.\n" + APPLY_FAILED + "Failed to send "
             "MSR_COMMIT_CONFIGURATION.\n" + COMMIT_FAILED + RESTORE)
WHOLE_RUN = [ENTER, QUERY, ":060000110141253b2b3fdd", COMMIT, RELEASE]
QUERIED, ENSURED = [ENTER, QUERY, RELEASE], [ENTER, QUERY, OTHER_SET, COMMIT, QUERY, RELEASE]
DIFFERENCES = (ABOUT + "Use Custom Config: reader on, file off\n" + ABOUT
               + 'End Sentinel: reader "?" (0x3f), file "!" (0x21)\n')


# ten attempts (None: at opening the port), the last one's cause, the box
def not_claimed(attempt, cause, port=3, tries=10, file="config.txt"):
    return ((attempt or f"Error opening com port : {port}\n" + RESTORE) * tries
            + f"No MSR claimed on COM{port} ({cause}.\nCOM{port} {file}: " + NOT_CLAIMED)


NO_REPLY = not_claimed(NO_ANSWER, "no-answer): the reader does not answer")
NOT_ACKNOWLEDGED = "Error validating MSR_GET_CONFIGURATION response.\n"
NAK = not_claimed(NOT_ACKNOWLEDGED, "not-acknowledged): the reader did not acknowledge the "
                  "configuration query")
NOISE, CUT, BROKEN = (not_claimed(NOT_ACKNOWLEDGED, "bad-answer): " + why) for why in (
    "the reader answers with something that is no echo",
    "the reader's answer did not end within a second",
    "the reader's configuration answer is incomplete or corrupt"))
MISSING = not_claimed(None, "no-device): no port folder names COM0 (looked in <ports>)", 0)




def own(path, uid, gid, mode):
    os.chown(path, uid, gid)
    os.chmod(path, mode)


def fault(name, sim=(), status=0, out="", err="", seconds=(0, 10), records=None, verb=(),
          file="5d%;+?", batch="config.txt,COM3,19200", json=False, **run):
    sim, verb = (w.split() if isinstance(w, str) else w for w in (sim, verb))  # or lists

    def check(failures):
        for record in (False, True) if json else (False,):
            with Setup(sim, file) as setup:
                got, output, errors, took = setup.run(*(["--json"] if record else []), *verb, batch,
                                                      timeout=seconds[1] + 60, **run)
                if record:  # the same run, told as a record
                    check_record(failures, setup, output, got, file)
                    continue
                expect(failures, f"status, output, errors, seconds within {seconds}, records, file",
                       (status, out, err.replace("<ports>", setup.ports), True, records,
                        got and HEADER + file + "\n"),  # a run that failed wrote nothing
                       (got, output, errors, seconds[0] <= took < seconds[1],
                        None if records is None else setup.records(),
                        got and open(f"{setup.dir}/config.txt", "rb").read().decode("latin-1")))
    cases[name] = check


read, verify, ensure = (partial(fault, verb=v) for v in ("--read", "--verify", "--ensure"))


OPTIONS = ("carriage_return", "raw_data_mode", "track1_enabled", "track2_enabled", "track3_enabled",
           "strip_sentinels", "use_custom_config", "hide_error_tracks")  # by bit
SENTINELS = [f"track{n}_start_sentinel" for n in (1, 2, 3)] + ["end_sentinel"]
RECORD = ("schema action version host time port baud file status status_name usage_error cause "
          "cause_text device firmware configuration file_configuration differences changed seconds")


def settings(flags, sentinels, device):  # as a record gives them; device flags invert the tracks
    return {**{k: bool(flags >> bit & 1) != (device and 2 <= bit <= 4)
               for bit, k in enumerate(OPTIONS)},
            **{k: {"code": c, "text": chr(c) if c else ""} for k, c in zip(SENTINELS, sentinels)}}


def check_record(failures, setup, output, status, file):
    # Every field in ASCII, true to what the reader held and acknowledged, and to the file.
    printable, record = all(" " <= c <= "~" for c in output.rstrip("\n")), json.loads(output)
    # Each record the reader received, with all it answered.
    exchanges = [(UNESCAPE(sent), UNESCAPE("".join(re.findall(r"^-> (.*)", rest, re.M)))) for
                 sent, rest in re.findall(r"^<- (.*)\n((?:(?!<-).*\n)*)", setup.transcript(), re.M)]
    held = None  # the first whole configuration answer, decoded here from the reader's side
    for sent, answer in exchanges:
        body = answer[17:] if sent == QUERY and answer[:17] == QUERY + ".:" else ""
        data = bytes.fromhex(body) if re.fullmatch(r"(?:[0-9A-Fa-f]{2})+", body) else b""
        if len(data) >= 19 and data[0] == len(data) - 5 and not sum(data) % 256:
            held = held or (settings(data[5], data[6:10], True), data[10:18].decode("latin-1"))
    acknowledged = [sent for sent, answer in exchanges if answer.startswith(sent + ".")]
    action, whole = record["action"], re.fullmatch(r"[0-9A-Fa-f]{2}[^\r\n]{4}", file, re.S)
    claimed = held if status not in (1, 2, 3) and action != "check" else None
    loaded = settings(int(file[:2], 16), file[2:].encode("latin-1"),
                      False) if whole and status != 1 and action != "read" else None
    link = f"{setup.ports}/{record['port']}" if record["port"] else ""
    expected = {"schema": 1, "version": version, "host": os.uname().nodename, "status": status,
                "status_name": ("ok", "usage", "file", "not-claimed", "not-accepted",
                                "differs")[status], "usage_error": record["usage_error"],
                "firmware": claimed and claimed[1], "configuration": claimed and claimed[0],
                "file_configuration": loaded, "changed": any(s[:3] == ":06" for s in acknowledged)
                or (action == "apply" and COMMIT in acknowledged),
                "differences": [{"setting": k, "reader": claimed[0][k], "file": loaded[k]}
                                for k in (OPTIONS[1], OPTIONS[0], *OPTIONS[2:], *SENTINELS)
                                if claimed[0][k] != loaded[k]] if claimed and loaded else [],
                "device": {"path": os.path.realpath(link), "vendor_id": None, "product_id": None,
                           "serial": None} if os.path.exists(link) else None}
    for d in record["differences"]:
        d.pop("caption")
    expect(failures, "record: in printable ASCII, its fields, their values, a cause, its time, "
           "a port where a reader is claimed",
           (True, RECORD.split(), expected, status == 3, True, action != "check"),
           (printable, list(record), {key: record[key] for key in expected},
            record["cause"] is not None, 0 <= time.time() - datetime.datetime.strptime(
                record["time"], "%Y-%m-%dT%H:%M:%S%z").timestamp() < 200,
            None not in (record["port"], record["baud"])))


fault("Applied", out=ENTERING, records=WHOLE_RUN, json=True)
fault("LateCommitAcknowledgement", "--commit-delay 1500", 0, ENTERING, "", (3, 10), WHOLE_RUN)
fault("RejectedSetIsStillCommitted", "--set-reject", 4, ENTERING, SET_REJECTED, records=WHOLE_RUN,
      json=True)
fault("Silent", "--silent", 3, TRIES, NO_REPLY, (9, 20))  # ten 500 ms reads (no shorter), pauses
# Not claimed, yet every attempt still returns the reader to functional mode.
fault("QueryNotAcknowledged", "--query-nak", 3, TRIES, NAK, (0, 35), QUERIED * 10)
fault("BytesBeforeTheEcho", ["--prefix", "\r\n"], 3, TRIES, NOISE, (0, 35))
fault("TenKilobytesOfGarbage", "--garbage 10240", 3, TRIES, NOISE, (0, 35))
# Never silent, a byte well inside each 500 ms: each answer is cut off; ten stay far below 2 min.
fault("ByteEvery300ms", "--drip 300", 3, TRIES, CUT, (0, 120))
# Answers not believed: nothing reaches the file, a comparison or the reader.
for damage, sim, err in (("Slow", "--char-delay 30", CUT), *(
        (d.title(), "--query-damage " + d, BROKEN) for d in ("corrupt", "short", "odd"))):
    for verb in ("--read", "--verify", "--ensure"):
        fault(f"{damage}Answer{verb[2:].title()}", sim, 3, TRIES, err, (0, 90), QUERIED * 10,
              verb, json=verb == "--ensure")
read("StoppedDuringASlowAnswer", "--char-delay 30", 128 + signal.SIGTERM, ENTERING,
     signal_at=(signal.SIGTERM, f"<- {QUERY}\n"))
fault("ShortDataLine", status=2, err=ABOUT + "Error!: Error getting configuration data from "
      "file.\n", records=[], file="5d%;+\r", json=True)
fault("CheckWhole", verb="--check", out="config.txt: a whole configuration\n", records=[],
      json=True)
# A display named but not there (ssh -X, cron): the batch run goes on unattended.
fault("StaleDisplay", out=ENTERING, records=WHOLE_RUN,
      env={"DISPLAY": ":77", "WAYLAND_DISPLAY": "gone"}, json=True)
read("ReadToAFullDisk", status=2, err=ENTERING + "COM3 -: Error!: Error writing target "
     "configuration file. Configuration not saved.\n", records=QUERIED, batch="-,COM3",
     streams="full")
fault("PortTextNoComName", status=3, err="No MSR claimed on LPT3 (no-device): LPT3 is no COM port "
      "name.\nLPT3 config.txt: " + NOT_CLAIMED, records=[], batch="config.txt,LPT3", json=True)
fault("CommitNeverAcknowledged", "--commit-never", 4, ENTERING, COMMIT_FAILED, (60, 75))
fault("UnpluggedBeforeTheSet", "--unplug-after 2", 4, ENTERING, UNPLUGGED)
# Gone in the middle of the commit's echo: the wait sees the hang-up, not silence.
fault("VanishedDuringTheCommit", "--vanish-after 3", 4, ENTERING, COMMIT_FAILED + RESTORE)
fault("MissingReader", status=3, err=MISSING, batch="config.txt,COM0")
# Answers the enter record, then falls silent: the query itself fails.
fault("QuerySilent", "--query-silent", 3, TRIES, not_claimed("Error querying MSR configuration.\n",
      "no-answer): the reader stopped answering in command mode"), (0, 25))
fault("LogAsOneStream", "--set-reject", 4, ENTERING + SET_REJECTED, records=WHOLE_RUN,
      streams="merged")  # as operators keep the log (>log 2>&1): every line flushed, in order
# Log lines must never reach the port, and a closed pipe must not end the run.
fault("StreamsClosed", "--set-reject", 4, records=WHOLE_RUN, streams="closed")
fault("StreamsABrokenPipe", "--set-reject", 4, records=WHOLE_RUN, streams="broken")
# A stop during the commit's wait ends the run through its normal path: the reader is released.
for number in (getattr(signal, "SIG" + name) for name in STOPS):
    fault(number.name, "--commit-never", 128 + number, ENTERING, "", (0, 3), WHOLE_RUN,
          signal_at=(number, f"<- {COMMIT}\n"))
fault("SIGHUPUnderNohup", "--commit-delay 1500", out=ENTERING, records=WHOLE_RUN, program="sh",
      verb=["-c", 'trap "" HUP; exec "$0" "$@"', MSRCONFIG],
      signal_at=(signal.SIGHUP, f"<- {COMMIT}\n"))
read("ReadToStandardOutput", out=HEADER + "5d%;+?\n", err=ENTERING + "COM3 -: firmware revision "
     "SIM 1.00\n", records=QUERIED, batch="-,COM3")
for verb in ("Read", "Verify", "Ensure"):  # a script's verb: no retry can bring the device
    fault(verb + "Missing", status=3, err=MISSING[MISSING.rindex("Error opening"):],
          verb="--" + verb.lower(), json=verb == "Read", batch="config.txt,COM0")
read("ReadRefused", "--query-nak", 3, TRIES, NAK, (0, 35))
verify("VerifyMatching", out=ENTERING + ABOUT + "the MSR holds the file's configuration\n",
       records=QUERIED, json=True)
verify("VerifyDiffering", (), 5, ENTERING + DIFFERENCES, records=QUERIED, file=OTHER_FILE,
       json=True)
verify("VerifyRefused", "--no-command-mode", 3, TRIES, NO_REPLY, (0, 20))
ensure("EnsureUnchanged", out=ENTERING + ABOUT + "unchanged\n", records=QUERIED, json=True)
ensure("EnsureChanged", out=ENTERING + ABOUT + "changed\n", records=ENSURED, file=OTHER_FILE,
       json=True)
ensure("EnsureRefused", "--set-reject", 4, ENTERING, SET_REJECTED,
       records=[ENTER, QUERY, OTHER_SET, RELEASE], file=OTHER_FILE, json=True)
ensure("EnsureReadBackUnanswered", "--unplug-after 4", 4, ENTERING, "Error querying MSR "
       "configuration.\n" + ABOUT + "msrconfig: The MSR did not answer when its configuration was "
       "read back.\n" + RESTORE, records=ENSURED[:-1], file=OTHER_FILE, json=True)
read("ReadUnwritable", status=2, out=ENTERING, err="COM3 no/r.txt: Error!: Error opening target "
     "configuration file. Configuration not saved.\n", records=QUERIED, batch="no/r.txt,COM3")
ensure("EnsureEightBit", "--config F6A7007801", out=ENTERING + ABOUT + "changed\n",
       file="1d%;+\xa7", json=True)
ensure("EnsureNotKept", "--set-ignored", 5, ENTERING + DIFFERENCES, records=ENSURED,
       file=OTHER_FILE, json=True)


@root_case
def PortRefused(failures):
    # Why a port did not open: held by another program, or not this user's to open.
    with Setup() as setup:
        device = os.readlink(f"{setup.ports}/COM3")
        holder = os.open(device, os.O_RDWR | os.O_NOCTTY)
        fcntl.flock(holder, fcntl.LOCK_EX)  # as msrconfig holds a port
        busy = setup.run("config.txt,COM3,19200")[:3]
        os.close(holder)
        own(device, 0, 20, 0o660)  # group dialout, as serial devices have
        expect(failures, "busy, no permission, records",
               ((3, "", not_claimed(None, f"busy): {device} is held by another program")),
                (3, "", not_claimed(None, f"no-permission): you may not open {device}, which "
                                    "belongs to group dialout; join it with: sudo adduser "
                                    '"$USER" dialout, then log in again')), []),
               (busy, setup.run("config.txt,COM3,19200", user=4321)[:3], setup.records()))


@case
def UnattendedAnswersNoAndSaysSo(failures):
    # --unattended on a desktop: no box, the question answered No and said so.
    with Setup(file="1c%;+?") as setup:
        expect(failures, "run, set record (custom bit clear)",
               (0, ENTERING, ABOUT + 'Enable Custom Configuration?: "Use Custom Configuration" is '
                "not selected.  Changes to the MSR configuration will be stored to flash, but will "
                "not be used by the MSR until the custom configuration is enabled.  Do you want to "
                "enable it now? No\n" + ABOUT + "The MSR keeps using its default configuration "
                'until "Use Custom Config" is enabled.\n', ":060000110100253b2b3f1e"),
               (*setup.run("--unattended", "config.txt,COM3,19200", env={"DISPLAY": ":99"})[:3],
                setup.records()[2]))


@case
def CommandLineStatusesAndMessages(failures):
    with Setup(sim=None) as setup:
        setup.write("bad.txt", "hello\n5d%;+?\n")
        usage, start = setup.run("--help")[1], "Start it on a desktop, or under a virtual one: "
        for arguments, *expected in (
                (["bad.txt"], 2, "", "COM3 bad.txt: Error!: Bad configuration file header.\n"),
                (['"config.txt"'], 2, "", 'COM3 "config.txt": Error!: Error opening configuration '
                 "file.\n"),
                (["--bogus\x1b[2J"], 1, "", "msrconfig: unknown option --bogus\\x1b[2J\n" + usage),
                (["--read"], 1, "", "msrconfig: FILE[,PORT[,BAUD]] is missing\n" + usage),
                (["--attempts", "11", "config.txt"], 1, "",
                 "msrconfig: --attempts takes a number from 1 to 10\n" + usage),
                (["--version"], 0, f"msrconfig {version}\n", ""),
                ([""], 1, "", "msrconfig: no display found (DISPLAY and WAYLAND_DISPLAY are not "
                 f"set).\n{start}xvfb-run msrconfig\n")):
            expect(failures, repr(arguments), tuple(expected), setup.run(*arguments)[:3])
        expect(failures, "--help within 80 columns", [], re.findall(r"^.{81,}$", usage, re.M))
        # X, Wayland alone, an X server that refuses us: none says more than our line
        for display in ({"DISPLAY": ":77"}, {"WAYLAND_DISPLAY": "gone"},
                        {"DISPLAY": os.environ["DISPLAY"], "XAUTHORITY": "/none"}):
            expect(failures, f"a display that does not answer: {display}",
                   (1, "", "msrconfig: the display cannot be opened (DISPLAY or WAYLAND_DISPLAY "
                    f"names none that answers).\n{start}xvfb-run msrconfig\n"),
                   setup.run(env=display)[:3])
        # A script that asked for a record gets one, also for a command line it got wrong.
        for arguments, action in (("--bogus p.txt", "unknown"), ("--read ,COM5", "read"),
                                  ("--verify --ensure p.txt", "verify"), ("--read -", "read"),
                                  ("--verify p.txt,COM3,1234567890", "verify")):
            status, out, *_ = setup.run("--json", *arguments.split())
            check_record(failures, setup, out, status, "")
            expect(failures, f"{arguments}: action", (action, True),
                   (json.loads(out)["action"], bool(json.loads(out)["usage_error"])))


@case
def DisplayGoneDuringTheCommit(failures):
    # The run ends as a hangup does: the reader released, no crash, not the toolkit's words.
    with Setup(["--commit-never"]) as setup:
        x = subprocess.Popen(["Xvfb", "-displayfd", "1", "-nolisten", "tcp"],
                             stdout=subprocess.PIPE)
        try:  # killed also when the run never gets that far, so the case cannot hang on it
            display = {"DISPLAY": ":" + x.stdout.readline().decode().strip()}
            got = setup.run("config.txt,COM3", env=display,
                            signal_at=(signal.SIGTERM, f"<- {COMMIT}\n", x))[:3]
        finally:
            x.kill()
            x.wait()
        expect(failures, "status, output, errors, records", (129, ENTERING, "", WHOLE_RUN),
               (*got, setup.records()))


@root_case
def RunLog(failures):
    # Each ending appends a whole line, into folders made for it; an unwritable log fails no run.
    with Setup() as setup:
        log = f"{setup.dir}/logs/of runs/runs.jsonl"
        statuses = [setup.run(*arguments)[0] for arguments in (
            ("--log", log, "--verify", "config.txt,COM3"), ("--bogus", "--log", log, "config.txt"),
            ("--log", log, "--verify", "config.txt,COM0"), ("--log", log, "config.txt"))]
        records = [json.loads(line) for line in open(log)]
        os.chmod(f"{setup.dir}/logs", 0o500)
        expect(failures, "one record a run; a log it may not write",
               (statuses, ["verify", "unknown", "verify", "apply"], 0,
                "config.txt: a whole configuration\n", "msrconfig: the run is not logged in "
                f"{setup.dir}/logs/new/runs.jsonl: Permission denied\n"),
               ([r["status"] for r in records], [r["action"] for r in records],
                *setup.run("--log", f"{setup.dir}/logs/new/runs.jsonl", "--check", "config.txt",
                           user=4321)[:3]))


@case
def CaptionsNameTheProgramAsCalled(failures):
    # Captions name the program as it is called; Linux programs have no extension to drop.
    with Setup(["--set-reject"]) as setup:
        shutil.copy(MSRCONFIG, f"{setup.dir}/msrconfig-1.2")
        expect(failures, "run", (4, ENTERING, SET_REJECTED.replace("msrconfig:", "msrconfig-1.2:")),
               setup.run("config.txt,COM3,19200", program=f"{setup.dir}/msrconfig-1.2")[:3])


@case
def ControllingTerminal(failures):
    # By either name, also from a background job (where setting the line would stop it):
    # refused, untouched. A shell on a terminal of its own (script's) prints what it shows.
    with Setup(sim=None) as setup:
        for port, job in ((p, j) for p in ("/dev/tty", "$(tty)") for j in ("", "set -m; ")):
            shell = (f"stty -g >before; ln -sf {port} ports/COM16; {job}{MSRCONFIG} "
                     "config.txt,COM16,9600 & wait $!; echo status $?; stty -g | cmp -s before "
                     "- && echo same; tty")
            shown = setup.run("-qec", shell, "/dev/null", program="script",
                              env={"SHELL": "/bin/sh"})[1]
            name = shown.rstrip().rsplit("\n", 1)[-1].strip()
            why = ("/dev/tty is no serial line" if port == "/dev/tty"
                   else f"{name} is the terminal msrconfig runs in")
            expected = not_claimed(None, "no-device): " + why, 16) + f"status 3\nsame\n{name}\n"
            expect(failures, port + job, expected.replace("\n", "\r\n"), shown)


@root_case
def ReadKeepsWhoMayUseTheFile(failures):
    # As Save does: where a new file cannot keep who may use it, the old one is rewritten in place.
    owner, member, group = 1234, 2345, 3456
    # The file, who saves it; the folder's owner, group and mode; the file's; the mode kept. By
    # row: a group member, the owner's file; the owner, an ACL and a note; the owner, a file with
    # two names; root, the owner's file; a folder the owner may not write.
    rows = [("shared/a.txt", member, owner, group, 0o775, owner, group, 0o664, 0o664),
            ("own/acl.txt", owner, owner, owner, 0o755, owner, owner, 0o640, 0o640),
            ("own/linked.txt", owner, owner, owner, 0o755, owner, owner, 0o640, 0o640),
            ("own/by-root.txt", 0, owner, owner, 0o755, owner, owner, 0o4644, 0o644),
            ("closed/b.txt", owner, 0, 0, 0o755, owner, owner, 0o644, 0o644)]
    with Setup() as setup:
        os.chmod(os.path.realpath(f"{setup.ports}/COM3"), 0o666)  # the reader, for every user
        for name, _, *owners, _ in rows:
            os.makedirs(f"{setup.dir}/{os.path.dirname(name)}", exist_ok=True)
            setup.write(name, "old")
            for path, uid, gid, mode in ((os.path.dirname(name), *owners[:3]), (name, *owners[3:])):
                own(f"{setup.dir}/{path}", uid, gid, mode)
        # An ACL giving user 4321 read access (the kernel's binary form), and a note.
        acl, acl_file = bytes.fromhex("0200000001000600ffffffff02000400e110000004000400ffffffff1000"
                                      "0400ffffffff20000000ffffffff"), f"{setup.dir}/own/acl.txt"
        os.setxattr(acl_file, "system.posix_acl_access", acl)
        os.setxattr(acl_file, "user.note", b"kept")
        os.link(f"{setup.dir}/own/linked.txt", f"{setup.dir}/own/other-name.txt")
        for name, saver, *_, uid, gid, _, kept in rows:
            path = f"{setup.dir}/{name}"
            expect(failures, name, (0, HEADER + "5d%;+?\n", oct(kept), uid, gid),
                   (setup.run("--read", f"{name},COM3", user=saver, groups=[group])[0],
                    open(path).read(), oct(os.stat(path).st_mode & 0o7777), os.stat(path).st_uid,
                    os.stat(path).st_gid))
        expect(failures, "attributes, one file with two names, nothing left behind",
               (acl, b"kept", os.stat(f"{setup.dir}/own/linked.txt").st_ino, [1, 4, 1]),
               (os.getxattr(acl_file, "system.posix_acl_access"), os.getxattr(acl_file,
                "user.note"), os.stat(f"{setup.dir}/own/other-name.txt").st_ino,
                [len(os.listdir(f"{setup.dir}/{d}")) for d in ("shared", "own", "closed")]))


@root_case
def ReadFollowsNoPlantedLink(failures):
    # The protected-symlinks rule, applied by a save that resolves links to every link on the way.
    other, folder_owner = 4242, 4343
    # The shared folder's mode, the link's owner, a link to a folder?, dangling?, followed?
    rows = [(0o1777, other, False, False, False), (0o1777, other, False, True, False),
            (0o1777, other, True, False, False), (0o1777, 0, False, False, True),
            (0o1777, 0, True, False, True), (0o1777, folder_owner, False, True, True),
            (0o1755, other, True, False, True),  # sticky, not shared
            (0o777, other, False, False, True)]  # shared, not sticky
    with Setup() as setup:
        for mode, link_owner, to_folder, dangling, followed in rows:
            work = tempfile.mkdtemp(dir=setup.dir)
            shared, link = f"{work}/tmp", f"{work}/tmp/" + ("evil" if to_folder else "s.txt")
            os.mkdir(shared)
            os.mkdir(f"{work}/root")
            own(shared, folder_owner, folder_owner, mode)
            if not dangling:
                setup.write(f"{os.path.basename(work)}/root/s.txt", "root's own")
            os.symlink(f"{work}/root" + ("" if to_folder else "/s.txt"), link)
            os.lchown(link, link_owner, link_owner)
            status = setup.run("--read", (f"{link}/s.txt" if to_folder else link) + ",COM3")[0]
            saved = pathlib.Path(f"{work}/root/s.txt")
            expect(failures, f"{oct(mode)} {link_owner} {to_folder} {dangling}",
                   (0 if followed else 2, HEADER + "5d%;+?\n" if followed else None if dangling
                    else "root's own", True, 1), (status, saved.read_text() if saved.exists()
                   else None, os.path.islink(link), len(os.listdir(shared))))


@root_case
def ListPorts(failures):
    # A fake /dev and /sys mounted for the program alone, which runs without privileges.
    with Setup(sim=None) as setup:
        tree = setup.dir
        ports, shared = f"{tree}/home/.config/msrconfig/ports", f"{tree}/etc/msrconfig/ports"
        # /dev/pts/77 is root's alone, /dev/ttyACM0 group dialout's; sysfs lists no pseudo-terminal.
        nodes = [("ttyUSB0", 188, 0, "tty", 0o666), ("ttyUSB1", 188, 1, "tty", 0o666),
                 ("ttyUSB2", 188, 2, "tty", 0o666), ("ttyS4", 4, 68, "tty", 0o666),
                 ("ttyACM0", 166, 0, "tty", 0o660), ("ttyS5", 4, 69, "tty", 0o666),
                 ("tty", 5, 0, "tty", 0o666), ("null", 1, 3, "mem", 0o666),
                 ("pts/77", 136, 77, None, 0o600)]
        usb = {"ttyUSB0": ["0403", "Tavlon", "MSR 42", "A5069", "6001"],
               "ttyUSB2": ["0403", "Tavlon", "MSR 42", "B7", "6001"],
               "ttyUSB1": ["1d6b", "Evil\x1b[2J\x1b[1;1HCOM3 /dev/ttyS2", "X\rY", None, None]}
        usb_files = ("idVendor", "manufacturer", "product", "serial", "idProduct")
        files = {"sys/class/tty/ttyS4/type": "4", "sys/class/tty/ttyS5/type": "0",  # 0: no UART
                 **{f"sys/devices/usb/{name}/{file}": text for name, strings in usb.items()
                    for file, text in zip(usb_files, strings) if text is not None},
                 # Named readers: one, two of a kind, a by-id pattern, words not understood.
                 **{f"{shared}/COM{n}": words for n, words in (
                     (20, "vendor=0403 product=6001 serial=A5069 # the till's"),
                     (21, "vendor=0403\nproduct=6001"), (22, "by-id=usb-Tavlon*"),
                     (23, "vendor=zz"))},
                 f"{tree}/fleet/msrconfig/ports/named-only": ""}
        links = {"dev/serial/by-id/usb-Tavlon_MSR_42-if00": "../../ttyUSB0",
                 "dev/serial/by-id/usb-Evil\x1b[2J-if00": "../../ttyUSB1",
                 # The system's folder names ports for every user; a user's own name comes first.
                 f"{shared}/COM12": "/dev/ttyACM0", f"{shared}/COM3": "/dev/ttyUSB0",
                 **{f"{ports}/{name}": target for name, target in (
                     ("COM3", "/dev/pts/77"), ("COM13", "/dev/tty"), ("COM16", "/dev/null"),
                     ("COM19", "/nowhere"), ("COM9x", "/dev/ttyS5"), ("COM\nX", "/dev/ttyACM0"),
                     *((n, "/dev/ttyS4") for n in ("COM\x1b[2J", "COM1234567", "LPT1", "COM11")))},
                 **{f"sys/dev/char/{kind}:{number}/subsystem": f"../../../class/{subsystem}"
                    for _, kind, number, subsystem, _ in nodes if subsystem},
                 **{f"sys/class/tty/{name}/device": f"../../../devices/usb/{name}/1.0/{name}"
                    for name in usb}}
        for path in [*files, *links, "dev/pts/", *(f"sys/devices/usb/{n}/1.0/{n}/" for n in usb)]:
            os.makedirs(os.path.dirname(os.path.join(tree, path)), exist_ok=True)
            if path in links:
                os.symlink(links[path], os.path.join(tree, path))
            elif path in files:
                setup.write(path, files[path] + "\n")
        for name, kind, number, _, mode in nodes:
            os.mknod(f"{tree}/dev/{name}", 0o20000, os.makedev(kind, number))
            own(f"{tree}/dev/{name}", 0, 20 if name == "ttyACM0" else 0, mode)
        # The command offered for a kind of reader, run as printed from a home that needs quoting;
        # then claims: an identity two devices answer to, a name a folder forbids the fallback for.
        fresh = f"{tree}/it's a dir"
        os.mkdir(fresh)
        os.chown(fresh, 4321, 4321)
        setup.write("verbs.sh", f"{MSRCONFIG} --list-ports\n{MSRCONFIG} --json --list-ports >"
                    f" \"{fresh}/ports.json\"\nHOME=\"{fresh}\" {MSRCONFIG} "
                    "--list-ports | sed -n 's/^  or, for any reader of this kind: //p' | sh\n"
                    f"export XDG_CONFIG_DIRS={tree}/etc:{tree}/fleet\n" + "".join(
                        f"{MSRCONFIG} {verb} {tree}/config.txt,{port}\necho status $?\n"
                        for verb, port in (("--verify", "COM21"), ("--verify", "COM24"),
                                           ("--unattended --attempts 2", "COM24"))))
        mounted = (f"mount --bind {tree}/dev /dev && mount --bind {tree}/sys /sys && exec setpriv "
                   f"--reuid=4321 --regid=4321 --clear-groups sh {tree}/verbs.sh")
        fleet = (f"no-device): no port folder names COM24 (looked in {ports}, {shared}, "
                 f"{tree}/fleet/msrconfig/ports), and {tree}/fleet/msrconfig/ports/named-only "
                 "forbids taking /dev/ttyS23 instead")
        apart = (f"/dev/ttyUSB0 and /dev/ttyUSB2 are all vendor=0403 product=6001, as "
                 f"{shared}/COM21 asks; add serial= or by-id= to tell them apart")
        dialout = ("           you may not open /dev/ttyACM0, which belongs to group dialout; "
                   'join it with: sudo adduser "$USER" dialout, then log in again\n')
        expect(failures, "--list-ports; then the printed command, run", (0, f"""\
COM3       /dev/pts/77  (from {ports})
           you may not open /dev/pts/77; ask an administrator to let you use it
COM5       /dev/ttyS4
COM11      /dev/ttyS4  (from {ports})
COM\\nX     /dev/ttyACM0  (from {ports})
{dialout}COM\\x1b[2J  /dev/ttyS4  (from {ports})
COM12      /dev/ttyACM0  (from {shared})
{dialout}COM20      /dev/ttyUSB0  Tavlon MSR 42, serial A5069  (from {shared})
           identity: vendor=0403 product=6001 serial=A5069
COM21      no device  (from {shared})
           {apart}
COM22      /dev/ttyUSB0  Tavlon MSR 42, serial A5069  (from {shared})
           identity: vendor=0403 product=6001 serial=A5069
COM23      no device  (from {shared})
           {shared}/COM23 names no reader: "vendor=zz" is no vendor=, product=, serial= or \
by-id= word it understands

Serial devices without a COM name, each with the command that gives it one:
/dev/ttyUSB1  Evil\\x1b[2J\\x1b[1;1HCOM3 /dev/ttyS2 X\\rY
  ln -s /dev/ttyUSB1 {ports}/COM14
/dev/ttyUSB2  Tavlon MSR 42, serial B7
  ln -s /dev/ttyUSB2 {ports}/COM15
  or, for any reader of this kind: echo 'vendor=0403 product=6001' > {ports}/COM15
""" + "status 3\n" * 3, "".join(not_claimed(None, why, port, tries, f"{tree}/config.txt") for
                                port, tries, why in ((21, 1, "ambiguous): " + apart),
                                                     (24, 1, fleet), (24, 2, fleet))),
                ["vendor=0403 product=6001\n"]),
               (*setup.run("-m", "sh", "-c", mounted, program="unshare",
                           env={"HOME": f"{tree}/home", "XDG_CONFIG_DIRS": f"relative:{tree}/etc",
                                "MSRCONFIG_PORT_DIR": ""})[:3],
                [open(f"{d}/{n}").read() for d, _, names in os.walk(f"{fresh}/.config/msrconfig/"
                                                                    "ports") for n in names]))
        listed = json.load(open(f"{fresh}/ports.json"))  # the same listing as a record
        expect(failures, "--json --list-ports: the same, as a record", (0, [
            ("COM3", "/dev/pts/77", False, None, 0), ("COM5", "/dev/ttyS4", True, None, 0),
            ("COM11", "/dev/ttyS4", True, None, 0), ("COM\nX", "/dev/ttyACM0", False, None, 0),
            ("COM\x1b[2J", "/dev/ttyS4", True, None, 0), ("COM12", "/dev/ttyACM0", False, None, 0),
            ("COM20", "/dev/ttyUSB0", True, "0403", 0), ("COM21", "", None, None, 1),
            ("COM22", "/dev/ttyUSB0", True, "0403", 0), ("COM23", "", None, None, 1)],
            [("/dev/ttyUSB1", "1d6b", None), ("/dev/ttyUSB2", "0403", "B7")]),
            (listed["status"], [(p["name"], p["device"], p["accessible"], p["vendor_id"],
                                 int(p["name_problem"] is not None)) for p in listed["ports"]],
             [(p["device"], p["vendor_id"], p["serial"]) for p in listed["unnamed"]]))


@case
def FleetPlaybook(failures):
    # The fleet guide's playbook on three local hosts with their own port folders: term01's reader
    # holds the file, term02's and term03's COM3 differ, term03's host_vars name a COM9 it lacks.
    with Setup(sim=None) as setup:
        hosts = ("term01", "term02", "term03")
        for host, held in zip(hosts, ("41253B2B3F", "01253B2B21", "41253B2B21")):
            os.makedirs(f"{setup.dir}/{host}/ports")
            setup.write(f"{host}/msrconfig", "#!/bin/sh\nMSRCONFIG_PORT_DIR="
                        f'{setup.dir}/{host}/ports exec {MSRCONFIG} "$@"\n')
            os.chmod(f"{setup.dir}/{host}/msrconfig", 0o755)
            setup.add_reader("COM3", "--config", held, folder=f"{setup.dir}/{host}/ports", log=host)
        os.makedirs(f"{setup.dir}/inventory/host_vars")
        setup.write("inventory/hosts.ini", "".join(
            f"{h} msrconfig={setup.dir}/{h}/msrconfig msr_work={setup.dir}/{h}/work\n"
            for h in hosts) + "[all:vars]\nansible_connection=local\n")
        setup.write("inventory/host_vars/term03.yml", "msr_ports: [COM3, COM9]\n")

        def play(*options):
            output = setup.run(
                "-i", "inventory/hosts.ini", "-e", "ansible_python_interpreter=/usr/bin/python3",
                "-e", "msr_file=config.txt", *options, f"{ROOT}/docs/fleet/provision.yml",
                program="ansible-playbook", streams="merged", env={  # its own temp, whoever runs it
                    "ANSIBLE_NOCOLOR": "1", "ANSIBLE_RETRY_FILES_ENABLED": "0",
                    **{f"ANSIBLE_{w}_TEMP": f"{setup.dir}/tmp" for w in ("LOCAL", "REMOTE")}})[1]
            recap = {h: tuple(map(int, c)) for h, *c in re.findall(
                r"^(term\d+) +: ok=\d+ +changed=(\d+) .* failed=(\d+)", output, re.M)}
            return recap, re.findall(r"^fatal:.*", output, re.M), output

        def writes():
            return [sum(record.startswith(":06") for record in setup.records(h)) for h in hosts]

        would = {"term01": (0, 0), "term02": (1, 0), "term03": (1, 1)}
        missing = ['fatal: [term03]: FAILED! => {"changed": false, "msg": "COM9: not-claimed '
                   "(no-device): /dev/ttyS8 does not exist; no port folder names COM9 (looked "
                   f'in {setup.dir}/term03/ports)"}}']
        recap, fatal, output = play("--check", "--diff")
        expect(failures, "--check --diff: the changes it would make, the setting, nothing written",
               (would, missing, True, [0, 0, 0]),
               (recap, fatal, {"-Use Custom Config: off", "+Use Custom Config: on"}
                <= set(output.splitlines()), writes()))
        again = {**would, "term02": (0, 0), "term03": (0, 1)}
        for run, changed in (("first run", would), ("second run", again)):
            recap, fatal, _ = play()
            expect(failures, run, (changed, missing, [0, 1, 1]), (recap, fatal, writes()))
        expect(failures, "the fleet report",
               [["host", "port", "firmware", "status_name", "cause", "changed"],
                *[[h, "COM3", "SIM 1.00", "ok", "", "false"] for h in hosts],
                ["term03", "COM9", "", "not-claimed", "no-device", "false"]],
               [r[:3] + r[4:7] for r in csv.reader(open(f"{setup.dir}/msr-report/readers.csv"))])


@case
def AccessibleWindow(failures):
    # The window as a screen reader meets it (AT-SPI) against the layout table; Get by keys alone.
    import pyatspi

    def walk(node):
        yield node
        for child in filter(None, node):
            yield from walk(child)

    def labelled_by(node):
        return [r.getTarget(0).name for r in node.getRelationSet()
                if r.getRelationType() == pyatspi.RELATION_LABELLED_BY]

    def xdotool(*args, timeout=None):  # what it prints
        return subprocess.run(["xdotool", *args], capture_output=True, text=True, check=True,
                              timeout=timeout).stdout

    # The table's lines: id, kind, x, y, width, height, text, tooltip; the labels have no id.
    layout = open(f"{ROOT}/resources/main_window.layout", encoding="utf-8").read().splitlines()
    rows = [(r.split("\t") + ["", ""])[:8] for r in layout if not r.startswith(("#", "window"))]
    labels = [(r[6], int(r[3])) for r in rows if r[1] == "label" and r[0] == "-"]  # text, y
    roles = {"check": "check box", "button": "push button", "edit": "text", "list": "combo box",
             "sorted-list": "combo box", "label": "label"}
    with Setup() as setup:
        environment = {**{k: v for k, v in os.environ.items() if k != "QT_QPA_PLATFORM"},
                       "MSRCONFIG_PORT_DIR": setup.ports, "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"}
        program = subprocess.Popen([MSRCONFIG], stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL, env=environment)
        try:
            app = until(lambda: next((a for a in pyatspi.Registry.getDesktop(0) if a
                                      and a.name == "msrconfig"), None), 15)
            window = until(lambda: app and next(
                (n for n in walk(app) if n.getRoleName() == "dialog"), None), 15)
            nodes = list(walk(window))
            expect(failures, "the window's name", "ZYN KVR MSR Configuration Utility", window.name)
            for ident, kind, _, y, _, _, text, tip in (row for row in rows if row[0] != "-"):
                # A field, list or value is named by the label on its row, as a person reads it.
                beside = [t for t, ly in labels if abs(ly - int(y)) <= 2] + [""]
                name = text if kind in ("check", "button") else beside[0].rstrip(" :")
                matches = [n for n in nodes if n.getRoleName() == roles[kind] and
                           (beside[0] in labelled_by(n) if kind == "label" else n.name == name)]
                expect(failures, f"{ident} ({kind} {name!r}) found", 1, len(matches))
                for node in matches[:1]:  # the port list (1019) describes its entry: where it leads
                    expect(failures, f"{ident}: description; a value named by it, not by its "
                           f"label; a field labelled by {beside[0]!r}; inside a group box",
                           (ident == "1019" or " ".join(tip.replace("\\n", " ").split()),
                            kind == "label" and text, True, True),
                           (" leads to " in node.description if ident == "1019"
                            else node.description, kind == "label" and node.name,
                            kind not in ("edit", "list", "sorted-list")
                            or beside[0] in labelled_by(node), any(g.getRoleName() == "panel"
                            and node in list(walk(g))[1:] for g in nodes)))
            first = next(n for n in nodes if n.name == "Raw Data Mode(AAMVA Mode)")
            expect(failures, "the focus at the start", True,
                   until(lambda: first.getState().contains(pyatspi.STATE_FOCUSED), 5))
            xdotool("key", "--delay", "60", *["Tab"] * 8, "space")
            expected = ["Carriage Return Enabled", "SIM 1.00", "Track 1 Enabled", "Track 2 Enabled",
                        "Track 3 Enabled", "Use Custom Config"]  # the options and firmware it has

            def shown():
                return sorted(n.name for n in walk(window) if n.name == "SIM 1.00"
                              or n.getRoleName() == "check box"
                              and n.getState().contains(pyatspi.STATE_CHECKED))
            until(lambda: shown() == expected, 10)
            expect(failures, "Get from the keyboard", expected, shown())
            xdotool("key", "--delay", "200", "shift+F10", "Return")
            expect(failures, "About from the keyboard, on the first Enter", True, bool(until(
                lambda: any((a.name or "").startswith("About ") for a in app if a), 10)))
            xdotool("key", "Escape")
            load = next(n for n in nodes if n.name == "Load Saved Config").queryComponent()
            x, y, width, height = load.getExtents(pyatspi.DESKTOP_COORDS)
            xdotool("mousemove", str(x + width // 2), str(y + height // 2), "click", "1")

            def lists():  # the file chooser's, by name
                return sorted(n.name for a in app if a and a.name.startswith("Select the")
                              for n in walk(a) if n.getRoleName() == "combo box")
            expect(failures, "the chooser's lists named by their labels",
                   ["Files of type", "Look in"], until(lambda: lists() or None, 10))
        finally:
            program.terminate()
            program.wait(10)
        # At a large font (QT_FONT_DPI) the window shrinks it rather than reach past the screen.
        big = subprocess.Popen([MSRCONFIG], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                               env={**environment, "QT_FONT_DPI": "200"})
        try:
            at = dict(line.split("=") for line in xdotool(
                "search", "--sync", "--onlyvisible", "--pid", str(big.pid), "--name", "ZYN",
                "getwindowgeometry", "--shell", timeout=15).split())
            x, y, width, height = (int(at[key]) for key in ("X", "Y", "WIDTH", "HEIGHT"))
            screen = [int(n) for n in xdotool("getdisplaygeometry").split()]
            expect(failures, "the window at a large font, on the screen", True, 0 <= x and 0 <= y
                   and x + width <= screen[0] and y + height <= screen[1])
        finally:
            big.terminate()
            big.wait(10)
