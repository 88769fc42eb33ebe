<#
.SYNOPSIS
Writes the module's help file from Portopt.Help.psd1 and the cmdlets as
the built module declares them.

.DESCRIPTION
Binary cmdlets take their help from a MAML file beside the module's
assembly. Its syntax and parameter sections are taken here from the
cmdlets themselves, the words from Portopt.Help.psd1, so that the help
cannot drift from the parameters. Run it after changing either, with the
module built (powershell/test-module.sh builds it):

    build/powershell/pwsh/pwsh -NoProfile -File powershell/help/New-PortoptHelp.ps1 `
        -Module build/powershell/artifacts/module/Portopt/Portopt.psd1

The module's tests write the file anew and fail when it differs from the
one in the source. Every cmdlet needs a synopsis, a description, each of
its parameters described and at least one example.
#>
param(
    [Parameter(Mandatory)] [string] $Module,
    [string] $Source = (Join-Path $PSScriptRoot 'Portopt.Help.psd1'),
    [string] $OutFile = (Join-Path $PSScriptRoot '../Portopt.PowerShell/en-US/Portopt.PowerShell.dll-Help.xml')
)
$ErrorActionPreference = 'Stop'
$Module = (Resolve-Path -LiteralPath $Module).Path
Set-StrictMode -Version Latest

$maml = 'http://schemas.microsoft.com/maml/2004/10'
$commandNs = 'http://schemas.microsoft.com/maml/dev/command/2004/10'
$dev = 'http://schemas.microsoft.com/maml/dev/2004/10'
$standard = @{
    WhatIf = 'Shows what would happen if the cmdlet runs. The cmdlet is not run.'
    Confirm = 'Prompts you for confirmation before running the cmdlet.'
}

$help = Import-PowerShellDataFile $Source
$manifest = Import-PowerShellDataFile $Module
Import-Module $Module -Force

function Fail([string] $why) { throw "$Source`: $why" }

function Write-Text([System.Xml.XmlWriter] $w, [string] $prefix, [string] $name, [string] $ns, [string] $text) {
    $w.WriteElementString($prefix, $name, $ns, $text)
}

function Write-Paragraphs([System.Xml.XmlWriter] $w, [string[]] $paragraphs) {
    $w.WriteStartElement('maml', 'description', $maml)
    foreach ($paragraph in $paragraphs) { Write-Text $w 'maml' 'para' $maml $paragraph }
    $w.WriteEndElement()
}

# The parameters a cmdlet declares, in the order of a parameter set:
# positional ones by position, then the others as declared.  Common
# parameters are left to PowerShell, but for -WhatIf and -Confirm.
function Get-Declared($parameters) {
    $own = @($parameters | Where-Object { -not [System.Management.Automation.PSCmdlet]::CommonParameters.Contains($_.Name) })
    @($own | Where-Object Position -ge 0 | Sort-Object Position) + @($own | Where-Object Position -lt 0)
}

function Get-TypeName([type] $type, [switch] $Full) {
    $inner = [Nullable]::GetUnderlyingType($type)
    if ($inner) { $type = $inner }
    if ($Full) { $type.FullName } else { $type.Name }
}

function Write-Parameter([System.Xml.XmlWriter] $w, $parameter, [string] $description) {
    $switch = $parameter.ParameterType -eq [System.Management.Automation.SwitchParameter]
    $pipeline = @(if ($parameter.ValueFromPipeline) { 'ByValue' }; if ($parameter.ValueFromPipelineByPropertyName) { 'ByPropertyName' })
    $w.WriteStartElement('command', 'parameter', $commandNs)
    $w.WriteAttributeString('required', "$($parameter.IsMandatory)".ToLowerInvariant())
    $w.WriteAttributeString('variableLength', "$($parameter.ParameterType.IsArray)".ToLowerInvariant())
    $w.WriteAttributeString('globbing', 'false')
    $w.WriteAttributeString('pipelineInput', $(if ($pipeline) { "True ($($pipeline -join ', '))" } else { 'False' }))
    $w.WriteAttributeString('position', $(if ($parameter.Position -ge 0) { "$($parameter.Position)" } else { 'named' }))
    $w.WriteAttributeString('aliases', $(if ($parameter.Aliases.Count) { $parameter.Aliases -join ', ' } else { 'none' }))
    Write-Text $w 'maml' 'name' $maml $parameter.Name
    Write-Paragraphs $w $description
    if (-not $switch) {
        $w.WriteStartElement('command', 'parameterValue', $commandNs)
        $w.WriteAttributeString('required', 'true')
        $w.WriteAttributeString('variableLength', 'false')
        $w.WriteString((Get-TypeName $parameter.ParameterType))
        $w.WriteEndElement()
    }
    $w.WriteStartElement('dev', 'type', $dev)
    Write-Text $w 'maml' 'name' $maml (Get-TypeName $parameter.ParameterType -Full)
    $w.WriteEndElement()
    Write-Text $w 'dev' 'defaultValue' $dev $(if ($switch) { 'False' } else { 'None' })
    $w.WriteEndElement()
}

function Write-Types([System.Xml.XmlWriter] $w, [string] $list, [string] $item, $types) {
    $w.WriteStartElement('command', $list, $commandNs)
    foreach ($name in $types.Keys | Sort-Object) {
        $w.WriteStartElement('command', $item, $commandNs)
        $w.WriteStartElement('dev', 'type', $dev)
        Write-Text $w 'maml' 'name' $maml $name
        $w.WriteEndElement()
        Write-Paragraphs $w $types[$name]
        $w.WriteEndElement()
    }
    $w.WriteEndElement()
}

$settings = [System.Xml.XmlWriterSettings]::new()
$settings.Indent = $true
$settings.IndentChars = '  '
$settings.NewLineChars = "`n"
$settings.Encoding = [System.Text.UTF8Encoding]::new($false)
$memory = [System.IO.MemoryStream]::new()
$w = [System.Xml.XmlWriter]::Create($memory, $settings)
$w.WriteStartDocument()
$w.WriteStartElement('helpItems', 'http://msh')
$w.WriteAttributeString('schema', 'maml')
foreach ($name in $manifest.CmdletsToExport) {
    if (-not $help.ContainsKey($name)) { Fail "no help for $name" }
    $text = $help[$name]
    foreach ($part in 'Synopsis', 'Description', 'Parameters', 'Inputs', 'Outputs', 'Examples') {
        if (-not $text.ContainsKey($part) -or -not $text[$part]) { Fail "$name has no $part" }
    }
    $cmdlet = Get-Command $name -Module (Get-Item $Module).BaseName
    $w.WriteStartElement('command', 'command', $commandNs)
    $w.WriteAttributeString('xmlns', 'maml', $null, $maml)
    $w.WriteAttributeString('xmlns', 'dev', $null, $dev)

    $w.WriteStartElement('command', 'details', $commandNs)
    Write-Text $w 'command' 'name' $commandNs $name
    Write-Text $w 'command' 'verb' $commandNs $cmdlet.Verb
    Write-Text $w 'command' 'noun' $commandNs $cmdlet.Noun
    Write-Paragraphs $w $text.Synopsis
    $w.WriteEndElement()
    Write-Paragraphs $w $text.Description

    $described = @{}
    $w.WriteStartElement('command', 'syntax', $commandNs)
    foreach ($set in $cmdlet.ParameterSets) {
        $w.WriteStartElement('command', 'syntaxItem', $commandNs)
        Write-Text $w 'maml' 'name' $maml $name
        foreach ($parameter in Get-Declared $set.Parameters) {
            $description = if ($standard.ContainsKey($parameter.Name)) { $standard[$parameter.Name] } else { $text.Parameters[$parameter.Name] }
            if (-not $description) { Fail "$name -$($parameter.Name) is not described" }
            Write-Parameter $w $parameter $description
            $described[$parameter.Name] = @($parameter, $description)
        }
        $w.WriteEndElement()
    }
    $w.WriteEndElement()
    foreach ($extra in $text.Parameters.Keys | Where-Object { -not $described.ContainsKey($_) }) {
        Fail "$name has no parameter -$extra"
    }

    $w.WriteStartElement('command', 'parameters', $commandNs)
    foreach ($entry in $described.GetEnumerator() | Sort-Object { @($cmdlet.ParameterSets[0].Parameters.Name).IndexOf($_.Key) }, Key) {
        Write-Parameter $w $entry.Value[0] $entry.Value[1]
    }
    $w.WriteEndElement()
    Write-Types $w 'inputTypes' 'inputType' $text.Inputs
    Write-Types $w 'returnValues' 'returnValue' $text.Outputs

    $w.WriteStartElement('command', 'examples', $commandNs)
    $number = 0
    foreach ($example in $text.Examples) {
        $number++
        $w.WriteStartElement('command', 'example', $commandNs)
        Write-Text $w 'maml' 'title' $maml "-------------------------- Example $number`: $($example.Title) --------------------------"
        Write-Text $w 'dev' 'code' $dev ($example.Code -join "`n")
        $w.WriteStartElement('dev', 'remarks', $dev)
        Write-Text $w 'maml' 'para' $maml $example.Remarks
        $w.WriteEndElement()
        $w.WriteEndElement()
    }
    $w.WriteEndElement()
    $w.WriteEndElement()
}
$w.WriteEndElement()
$w.WriteEndDocument()
$w.Flush()
[System.IO.File]::WriteAllBytes($OutFile, $memory.ToArray() + [byte[]](10))
