# Runs the module's Pester tests; exits with the number of failures.
$ErrorActionPreference = 'Stop'
Import-Module $env:PESTER_MODULE
$configuration = New-PesterConfiguration
$configuration.Run.Path = Join-Path $PSScriptRoot 'Portopt.Tests.ps1'
$configuration.Run.Exit = $true
$configuration.Output.Verbosity = 'Detailed'
$configuration.Output.RenderMode = 'Plaintext'
Invoke-Pester -Configuration $configuration
