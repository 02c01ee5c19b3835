# Win32 app (Intune) and Configuration Manager application detection: a line on standard
# output and exit 0 only when the reader holds the prepared configuration; nothing otherwise.
# Intune and Configuration Manager take one script alone, so each carries these lines.
$File = if ($env:MSR_FILE) { $env:MSR_FILE } else { "$env:ProgramData\msrconfig\prepared.txt" }
$Port = if ($env:MSR_PORT) { $env:MSR_PORT } else { 'COM3' }
# A 32-bit agent sees Program Files (x86) as ProgramFiles; ProgramW6432 is the real one.
$Programs = if ($env:ProgramW6432) { $env:ProgramW6432 } else { $env:ProgramFiles }
$Program = if ($env:MSRCONFIG) { $env:MSRCONFIG } else { "$Programs\msrconfig\msrconfig.com" }
$Log = "$env:ProgramData\msrconfig\runs.jsonl"
& $Program --log $Log --verify "$File,$Port" *> $null
if ($LASTEXITCODE -eq 0) { Write-Output "$Port holds the prepared configuration" }
exit 0
