# Intune Remediations, remediation: gives the reader the prepared configuration unless it
# holds it, and exits with msrconfig's status (0 it holds it now; 2 file, 3 no reader,
# 4 not accepted, 5 reads back different).
# Intune and Configuration Manager take one script alone, so each carries these lines.
$File = if ($env:MSR_FILE) { $env:MSR_FILE } else { "$env:ProgramData\msrconfig\prepared.txt" }
$Port = if ($env:MSR_PORT) { $env:MSR_PORT } else { 'COM3' }
# A 32-bit agent sees Program Files (x86) as ProgramFiles; ProgramW6432 is the real one.
$Programs = if ($env:ProgramW6432) { $env:ProgramW6432 } else { $env:ProgramFiles }
$Program = if ($env:MSRCONFIG) { $env:MSRCONFIG } else { "$Programs\msrconfig\msrconfig.com" }
$Log = "$env:ProgramData\msrconfig\runs.jsonl"
& $Program --log $Log --ensure "$File,$Port"
exit $LASTEXITCODE
