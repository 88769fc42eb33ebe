# Intune remediation script: sets each option that differs from the golden
# machine's export, on the port at the same position of the same kind of
# adapter, and reads each change back.  It needs administrator rights
# (Intune runs it as SYSTEM).  Exit 1 when any change was refused.
$ErrorActionPreference = 'Stop'  # a missing portctl.exe fails the script
# Where the x64 MSI installs it.  The MSI also puts this folder on the
# system PATH, but the Intune agent's scripts see that only after the
# agent restarts: the full path works at once.
$portctl = 'C:\Program Files\portopt\bin\portctl.exe'
$golden = 'C:\ProgramData\portopt\ports.json'
& $portctl import --match position $golden
exit $LASTEXITCODE
