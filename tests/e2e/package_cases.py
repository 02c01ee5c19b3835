# The Windows packages as an administrator meets them: the zip, the signed installer and the MSI.
import glob, hashlib, os, re, shutil, subprocess, zipfile

from support import ROOT, WINDOWS, WineSetup, case, dos, expect, until, version


def built(kind):  # the newest package of a kind the build made
    return max(glob.glob(f"{WINDOWS}/msrconfig-*-win64.{kind}"))


def signed(path):  # with MSRCONFIG_SIGN_CERT
    return subprocess.run(["osslsigncode", "verify", "-CAfile", os.environ["MSRCONFIG_SIGN_CERT"],
                           "-in", path], capture_output=True).returncode == 0


def installed():  # the install folder, as Linux and as Windows name it; msrconfig.exe in the zip
    return (f"{os.environ['WINEPREFIX']}/drive_c/Program Files/msrconfig",
            "C:\\Program Files\\msrconfig",
            hashlib.sha256(zipfile.ZipFile(built("zip")).read("msrconfig.exe")).hexdigest())


@case
def WindowsPackages(failures):
    # As an administrator meets them.
    import pefile
    installer = os.path.basename(built("exe"))
    folder, place, zipped = installed()
    key = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\msrconfig"

    def carried(path):  # the version resource's texts, the manifest, signed?, stripped?
        pe = pefile.PE(path)
        texts = next(i for i in pe.FileInfo[0] if i.Key == b"StringFileInfo").StringTable[0].entries
        manifest = [e.directory.entries[0].directory.entries[0].data.struct
                    for e in pe.DIRECTORY_ENTRY_RESOURCE.entries if e.id == 24]
        return ({k.decode(): v.decode() for k, v in texts.items()},
                manifest and pe.get_data(manifest[0].OffsetToData, manifest[0].Size).decode(),
                signed(path),
                b".debug_info" not in subprocess.run(["x86_64-w64-mingw32-objdump", "-h", path],
                                                     capture_output=True).stdout)

    def entry():  # the Add/Remove Programs entry's values
        return dict(re.findall(r"^ +(\w+) +REG_\w+ +(.*)$",
                               setup.wine("query", key, program="reg")[1], re.M))

    def detached(*argv):  # a status; what the run starts may outlive it
        return subprocess.run(["wine", *argv], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode

    def running():
        return subprocess.run(["pgrep", "-f", r"msrconfig\\msrconfig\.exe"],
                              capture_output=True).returncode == 0

    with WineSetup(reader=False) as setup:
        shutil.unpack_archive(built("zip"), setup.dir)
        for program, description in (("msrconfig.exe", ""), ("msrconfig.com", " (console)")):
            expect(failures, program, ({
                "CompanyName": "msrconfig developers",
                "FileDescription": "ZYN KVR MSR Configuration Utility" + description,
                "FileVersion": version, "InternalName": "msrconfig", "LegalCopyright": re.search(
                    r"^Copyright.*", open(f"{ROOT}/LICENSE").read(), re.M).group(),
                "OriginalFilename": program, "ProductName": "msrconfig", "ProductVersion": version},
                open(f"{WINDOWS}/app/win32/msrconfig.manifest").read(), True, True),
                carried(f"{setup.dir}/{program}"))
        texts, _, sealed, _ = carried(f"{WINDOWS}/{installer}")
        expect(failures, "installer", (version, True), (texts["FileVersion"], sealed))
        detached(f"{WINDOWS}/{installer}", "/S")
        expect(failures, "one msrconfig.exe in the zip and the installer; on PATH",
               (zipped, [place]), (installed_hash(folder), on_path(setup)))
        size = sum(os.path.getsize(f"{top}/{name}") for top, _, names in os.walk(folder)
                   for name in names)
        expect(failures, "Add/Remove Programs entry",
               {"DisplayName": "ZYN KVR MSR Configuration Utility", "DisplayVersion": version,
                "Publisher": "msrconfig developers", "DisplayIcon": place + "\\msrconfig.exe",
                "InstallLocation": place, "UninstallString": f'"{place}\\Uninstall.exe"',
                "QuietUninstallString": f'"{place}\\Uninstall.exe" /S _?={place}',
                "NoModify": "0x1", "NoRepair": "0x1", "EstimatedSize": hex(size // 1024)}, entry())
        expect(failures, "uninstaller: signed", True, carried(f"{folder}/Uninstall.exe")[2])
        # as an older one left it
        detached("reg", "add", key, "/v", "DisplayVersion", "/d", "0.9.0", "/f")
        detached(f"{WINDOWS}/{installer}", "/S")
        status, listing, errors = setup.wine("query", key.rsplit("\\", 1)[0], program="reg")
        expect(failures, "an upgrade in place keeps one entry",
               (0, ["HKEY_LOCAL_MACHINE" + key[4:]], "", version),
               (status, re.findall(r"^HKEY.*", listing, re.M), errors, entry()["DisplayVersion"]))
        detached("start", "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\"
                 "ZYN KVR MSR Configuration Utility.lnk")
        window = subprocess.run("timeout 60 xdotool search --sync --onlyvisible --name '^ZYN KVR "
                                "MSR Configuration Utility$' | head -n 1", shell=True,
                                capture_output=True, text=True).stdout.strip()
        expect(failures, "Start-menu entry starts the installed program", True, running())
        # As a deployment tool runs them, in a script: Wine would escape the quotes, and its
        # own status has 8 bits.
        def status_of(command):
            setup.write("run.cmd", f"@echo off\r\n{command}\r\necho status %errorlevel%\r\n")
            out = subprocess.run(["wine", "cmd", "/c", dos(f"{setup.dir}/run.cmd")],
                                 capture_output=True, text=True).stdout
            return int(re.search(r"status (-?\d+)", out).group(1))
        expect(failures, "install refused while msrconfig runs", 1618,
               status_of(f'"{dos(WINDOWS)}\\{installer}" /S'))
        quiet = entry()["QuietUninstallString"]
        expect(failures, "uninstall refused while msrconfig runs", (1618, True),
               (status_of(quiet), os.path.exists(f"{folder}/msrconfig.exe")))
        subprocess.run(["xdotool", "windowfocus", "--sync", window, "key", "Escape"])
        until(lambda: not running(), 30)
        before = shells()
        expect(failures, "a quiet uninstall returns once the program's files, the entry and the "
               "PATH entry are gone", (0, [], {}, [], set()),
               (status_of(quiet), [name for name in os.listdir(folder) if name != "Uninstall.exe"],
                entry(), on_path(setup), shells() - before))
        detached("wineboot", "-r")  # the uninstaller and its folder go at the next restart
        expect(failures, "the uninstaller and the folder follow", False, os.path.exists(folder))


def installed_hash(folder):
    return hashlib.sha256(open(f"{folder}/msrconfig.exe", "rb").read()).hexdigest()


def on_path(setup):  # the system PATH's entries that name msrconfig's folder
    path = setup.wine("query", "HKLM\\System\\CurrentControlSet\\Control\\Session "
                      "Manager\\Environment", "/v", "PATH", program="reg")[1]
    return [entry.rstrip("\\") for entry in re.search(r"REG_\w+ +(.*)", path).group(1).split(";")
            if "msrconfig" in entry]


def shells():  # a detached shell left to delete files would be endpoint protection's alarm
    listed = subprocess.run(["pgrep", "-af", "cmd.exe"], capture_output=True,
                            text=True).stdout.splitlines()
    # one that ended, not yet reaped
    return {line for line in listed if not line.endswith("<defunct>")}


@case
def WindowsMsi(failures):
    # As Group Policy and Intune run it: silent, an upgrade over an older build in place,
    # then removed.
    folder, place, zipped = installed()
    msi = built("msi")

    def entries():  # Add/Remove Programs entries of msrconfig: name, version, install location
        listing = setup.wine("query",
                             "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", "/s",
                             program="reg")[1]
        return [(dict(re.findall(r"^ +(\w+) +REG_\w+ +(.*)$", block, re.M)))
                for block in listing.split("\n\n") if "ZYN KVR MSR Configuration Utility" in block]

    def shown(entry):
        return (entry.get("DisplayVersion"), entry.get("Publisher"),
                entry.get("InstallLocation", "").rstrip("\\"))

    with WineSetup(reader=False) as setup:
        subprocess.run(["cmake", "-DVERSION=0.9.0", f"-DOUTPUT={setup.dir}/old.msi", "-P",
                        f"{WINDOWS}/msi.cmake"], check=True, capture_output=True)
        runs = [setup.wine("/i", dos(path), "/qn", program="msiexec")[0]
                for path in (f"{setup.dir}/old.msi", msi)]
        expect(failures,
               "installed over an older build: one entry, the programs, on PATH once, signed",
               ([0, 0], [("1.0.0", "msrconfig developers", place)], zipped, [place], True),
               (runs, [shown(e) for e in entries()], installed_hash(folder), on_path(setup),
                signed(msi)))
        expect(failures, "msiexec /x removes it all", (0, [], [], False),
               (setup.wine("/x", dos(msi), "/qn", program="msiexec")[0], entries(),
                on_path(setup), os.path.exists(f"{folder}/msrconfig.exe")))
