@echo off
rem Detection rule for a software-deployment tool (Intune, Configuration Manager, ...): the
rem reader holds the prepared configuration when this prints a line; it exits with 0 either
rem way, as those tools expect of a detection script.
rem MSR_FILE, MSR_PORT and MSRCONFIG may be set beforehand; the defaults fit a package that
rem carries prepared.txt beside this script, on a machine where msrconfig is installed.
setlocal
if not defined MSR_FILE set "MSR_FILE=%~dp0prepared.txt"
if not defined MSR_PORT set "MSR_PORT=COM3"
rem A 32-bit agent sees Program Files (x86) as %ProgramFiles%; %ProgramW6432% is the real one.
set "PROGRAMS=%ProgramW6432%"
if not defined PROGRAMS set "PROGRAMS=%ProgramFiles%"
if not defined MSRCONFIG set "MSRCONFIG=%PROGRAMS%\msrconfig\msrconfig.com"
rem Each run's record, one JSON line, for whoever asks why.
set "MSR_LOG=%ProgramData%\msrconfig\runs.jsonl"
"%MSRCONFIG%" --log "%MSR_LOG%" --verify "%MSR_FILE%",%MSR_PORT% >nul 2>&1
if errorlevel 1 exit /b 0
echo %MSR_PORT% holds the prepared configuration
exit /b 0
