# The environment of every dotnet command the tests and scripts run: no
# first-run notes or telemetry, and no build servers left running after a
# command (they would hold the caller's output open).
export DOTNET_CLI_TELEMETRY_OPTOUT=1 DOTNET_NOLOGO=1 DOTNET_SKIP_FIRST_TIME_EXPERIENCE=1
export MSBUILDDISABLENODEREUSE=1 DOTNET_CLI_USE_MSBUILD_SERVER=0 UseSharedCompilation=false
