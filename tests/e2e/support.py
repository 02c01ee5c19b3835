# What every end-to-end case stands on: the programs, a folder with a simulated reader (Setup,
# and WineSetup for the Windows programs), the case registry and the comparison.
import difflib, os, pathlib, shutil, signal, subprocess, sys, tempfile, time

build, version = os.path.abspath(sys.argv[1]), sys.argv[2]
MSRCONFIG, SIM = f"{build}/msrconfig", f"{build}/msr-sim"
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
HEADER = "ZYN MSR Configuration File\n"
ABOUT = "COM3 config.txt: "
NOT_CLAIMED = ("Error!: The MSR has not been claimed by the application.  Please be sure the COM "
               "port is not claimed by other applications.\n")
STOPS = ("HUP", "INT", "QUIT", "TERM", "USR1", "USR2", "ALRM", "PROF", "VTALRM", "XCPU", "XFSZ",
         "RTMIN", "RTMAX")
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
        self.sims.append(subprocess.Popen([SIM, "--port-dir", folder or self.ports, "--port", port,
                                           "--transcript", f"{self.dir}/{log or port}.log",
                                           *options]))
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

    def run(self, *args, program=MSRCONFIG, streams=None, user=None, groups=(), env=(),
            signal_at=None, timeout=120):
        # (status, output, errors, seconds) without a display. streams: "merged" (>log 2>&1),
        # "closed", "broken" (nobody reads the pipe) or "full" (>/dev/full). signal_at (signal,
        # text[, process other than the run]): 300 ms after the text; timed from there.
        argv = [program, *args]
        if streams == "closed":
            argv = ["sh", "-c", 'exec "$@" >&- 2>&-', "sh", *argv]
        environment = {**os.environ, "DISPLAY": "", "WAYLAND_DISPLAY": "", "QT_QPA_PLATFORM": "",
                       "XDG_RUNTIME_DIR": "", "MSRCONFIG_PORT_DIR": self.ports, **dict(env)}
        environment = {k: v for k, v in environment.items() if v}  # "": unset
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
            (signal_at[2:] or [child])[0].send_signal(signal_at[0])
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


cases, ROOT_ONLY = {}, set()


def case(function):
    cases[function.__name__] = function
    return function


def root_case(function):  # other users, device nodes or a mount namespace
    ROOT_ONLY.add(function.__name__)
    return case(function)


def expect(failures, what, expected, actual):
    if expected != actual:  # a tuple's parts on lines of their own, so the diff shows which
        lines = [(lambda v: [str(p) for p in v] if isinstance(v, tuple) else str(v).splitlines())(v)
                 for v in (expected, actual)]
        diff = "\n".join(difflib.unified_diff(*lines, lineterm=""))
        failures.append(f"{what}: expected {expected!r}, got {actual!r}\n{diff}")


ENTERING = "Entering command mode...\n"
ENTER, QUERY, COMMIT, RELEASE = ":0100001110DE", ":020000110200EB", ":0100001109E5", ":0100001111DD"
# A file that differs from the reader: custom configuration off, "!" as the end sentinel.
OTHER_FILE, OTHER_SET = "1d%;+!", ":060000110101253b2b213b"

# With MSRCONFIG_WINDOWS_BUILD in a Wine session, only these run, one at a time: they share COM3.
WINDOWS = os.environ.get("MSRCONFIG_WINDOWS_BUILD") and os.path.abspath(
    os.environ["MSRCONFIG_WINDOWS_BUILD"])


def dos(path):
    return "Z:" + os.path.realpath(path).replace("/", "\\")


class WineSetup(Setup):
    # config.txt with an 8-bit end sentinel, and a reader on the prefix's COM3.
    def __init__(self, reader=True):
        super().__init__(None, "5d%;+\xa7")
        if reader:
            self.add_reader("com3", folder=os.environ["WINEPREFIX"] + "/dosdevices")

    def wine(self, *args, program="msrconfig.exe", env=(), **run):
        # A Windows program's run (Wine's own, or one of the build's), with its lines ended as
        # on Unix.
        status, out, err, _ = self.run(program if "." not in program else f"{WINDOWS}/{program}",
                                       *args, program="wine",
                                       env={"DISPLAY": os.environ["DISPLAY"], **dict(env)}, **run)
        return status, out.replace("\r", ""), err.replace("\r", "")

    def runs(self, count):  # the records of each run so far, when each is a whole run
        records = self.records("com3")
        return records == [ENTER, QUERY, ":060000110141253b2ba775", COMMIT,
                           RELEASE] * count or records
