@echo off
rem Remediation (or the installation command) for a software-deployment tool: gives the
rem reader the prepared configuration unless it holds it already, reads back what was
rem written, and exits with msrconfig's status: 0 it holds it now, 2 the file was not
rem loaded, 3 no reader could be claimed, 4 not accepted, 5 it reads back different.
rem MSR_FILE, MSR_PORT and MSRCONFIG (the console twin, msrconfig.com) as for detect.cmd.
setlocal
if not defined MSR_FILE set "MSR_FILE=%~dp0prepared.txt"
if not defined MSR_PORT set "MSR_PORT=COM3"
rem A 32-bit agent sees Program Files (x86) as %ProgramFiles%; %ProgramW6432% is the real one.
set "PROGRAMS=%ProgramW6432%"
if not defined PROGRAMS set "PROGRAMS=%ProgramFiles%"
if not defined MSRCONFIG set "MSRCONFIG=%PROGRAMS%\msrconfig\msrconfig.com"
rem Each run's record, one JSON line, for whoever asks why.
set "MSR_LOG=%ProgramData%\msrconfig\runs.jsonl"
"%MSRCONFIG%" --log "%MSR_LOG%" --ensure "%MSR_FILE%",%MSR_PORT%
exit /b %errorlevel%
