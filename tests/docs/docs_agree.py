# The exit statuses and claim causes the guides and the manual page name are the ones the
# program reports: a status renamed or renumbered in one place must be changed in all.
# Usage: docs_agree.py SOURCE_DIR
import re, sys


def read(path):
    return open(f"{sys.argv[1]}/{path}", encoding="utf-8").read().replace("\\-", "-")


def rows(text):  # "| 3 | not-claimed | ..."; "128 + n" as the manual page writes it
    return {n.replace(" ", ""): name for n, name in re.findall(r"^\| (\d+(?: \+ n)?) \| ([a-z-]+) \|", text, re.M)}


guide, fleet, code = read("docs/scripts.md"), read("docs/fleet.md"), read("app/run_report.cpp")
man = read("docs/man/msrconfig.1").split(".SH EXIT STATUS\n")[1].split(".SH")[0].replace("\\fI", "").replace("\\fR", "")
names = re.findall(r'"([a-z-]+)"', code.split("names[] = {")[1].split("}")[0])
statuses = {
    "docs/man/msrconfig.1": dict(re.findall(r"^\.TP\n(\S+)\n([a-z-]+):", man, re.M)),
    "app/run_report.cpp": {**{str(n): name for n, name in enumerate(names)},
                           "128+n": re.search(r'status > 128 \? "([a-z-]+)"', code)[1]}}
causes = {
    "docs/man/msrconfig.1": set(re.split(r",\s*|\s+or\s+", man.split("cause:")[1].split(".TP")[0].strip())),
    "docs/fleet.md": set(re.findall(r"`([a-z-]+)` \(", fleet.split("The causes of status 3:")[1].split("\n\n")[0])),
    "msr/claim_failure.cpp": set(re.findall(r'return "([a-z-]+)";', read("msr/claim_failure.cpp")))}
want_statuses, want_causes = rows(guide), set(re.findall(r"^No MSR claimed on \S+ \(([a-z-]+)\)", guide, re.M))
failed = [f"{path}: statuses {got}, docs/scripts.md has {want_statuses}"
          for path, got in statuses.items() if got != want_statuses]
failed += [f"docs/fleet.md: status {n} is {name}, docs/scripts.md says {want_statuses.get(n)}"
           for n, name in rows(fleet).items() if want_statuses.get(n) != name]
failed += [f"{path}: causes {sorted(got)}, docs/scripts.md has {sorted(want_causes)}"
           for path, got in causes.items() if got != want_causes]
print("\n".join(failed) or f"{len(want_statuses)} statuses and {len(want_causes)} causes agree")
sys.exit(1 if failed else 0)
