<#
.SYNOPSIS
Builds, signs and registers the identity package that puts the Tamvera Sync
command into the Windows 11 top-level Explorer menu; or removes it.

.DESCRIPTION
Runs on Windows with the Windows SDK (MakeAppx.exe, SignTool.exe). The
package holds only AppxManifest.xml and its logos (the folder
-PackageFolder, by default this script's own folder in the release's
package\ folder); its program and the x64 DLL stay in the install folder,
which becomes the package's external location.

  Build and sign (release machine, with the signing certificate):
    package-windows.ps1 -CertificateFile sign.pfx -CertificatePassword ... [-Output X.msix]
    package-windows.ps1 -Thumbprint 0123...ABCD [-Output X.msix]
  Register for the current user (the installer, unelevated, as that user):
    package-windows.ps1 -InstallFolder "C:\...\Tamvera Sync" [-Output X.msix]
  Both at once on a test machine: give the certificate and -InstallFolder.
  Remove for the current user (the uninstaller):
    package-windows.ps1 -Remove

Run it with Windows PowerShell (powershell.exe), whose Appx module has
Add-AppxPackage. The certificate must be trusted on the machine that registers the package (a
code-signing certificate from a trusted authority; a self-signed one only
after importing it into Cert:\LocalMachine\TrustedPeople).
#>
[CmdletBinding()]
param(
    [string] $InstallFolder,
    [string] $CertificateFile,
    [string] $CertificatePassword,
    [string] $Thumbprint,
    [string] $TimestampUrl,
    [string] $PackageFolder = $PSScriptRoot,
    [string] $Output,
    [switch] $Remove
)
Set-StrictMode -Version Latest
$ErrorActionPreference = 'Stop'

$manifestPath = Join-Path $PackageFolder 'AppxManifest.xml'
if (-not (Test-Path -LiteralPath $manifestPath)) { throw "No AppxManifest.xml in $PackageFolder" }
[xml] $manifest = Get-Content -LiteralPath $manifestPath -Raw -Encoding UTF8
$packageName = $manifest.Package.Identity.Name
if (-not $Output) { $Output = Join-Path $PackageFolder "$packageName.msix" }

if ($Remove) {
    Get-AppxPackage -Name $packageName | Remove-AppxPackage
    Write-Host "Removed $packageName for $env:USERNAME"
    return
}
$signing = [bool] ($CertificateFile -or $Thumbprint)
if (-not $signing -and -not $InstallFolder) {
    throw 'Give a certificate (-CertificateFile or -Thumbprint), -InstallFolder, both, or -Remove'
}

# A tool of the Windows SDK: from PATH, else the newest SDK's for this machine.
function Find-SdkTool([string] $name) {
    $onPath = Get-Command $name -ErrorAction SilentlyContinue
    if ($onPath) { return $onPath.Source }
    $hostArch = @{ AMD64 = 'x64'; ARM64 = 'arm64'; x86 = 'x86' }[$env:PROCESSOR_ARCHITECTURE]
    $kits = Join-Path ${env:ProgramFiles(x86)} 'Windows Kits\10\bin'
    $found = Get-ChildItem -Path $kits -Directory -ErrorAction SilentlyContinue |
        Where-Object { $_.Name -match '^\d+(\.\d+){3}$' } |
        Sort-Object { [version] $_.Name } -Descending |
        ForEach-Object { Join-Path $_.FullName "$hostArch\$name" } |
        Where-Object { Test-Path -LiteralPath $_ } |
        Select-Object -First 1
    if (-not $found) { throw "$name is neither on PATH nor under $kits" }
    return $found
}

function Invoke-Tool([string] $tool, [string[]] $arguments) {
    & $tool @arguments
    if ($LASTEXITCODE -ne 0) { throw "$(Split-Path -Leaf $tool) failed with exit code $LASTEXITCODE" }
}

if ($signing) {
    if ($CertificateFile) {
        $certificate = New-Object System.Security.Cryptography.X509Certificates.X509Certificate2(
            (Resolve-Path -LiteralPath $CertificateFile).Path, $CertificatePassword)
    } else {
        $Thumbprint = $Thumbprint -replace '\s', ''
        $certificate = Get-ChildItem -Path Cert:\CurrentUser\My, Cert:\LocalMachine\My |
            Where-Object { $_.Thumbprint -eq $Thumbprint } | Select-Object -First 1
        if (-not $certificate) { throw "No certificate $Thumbprint in the personal stores" }
    }

    # The package's publisher must be the signing certificate's subject.
    $stage = Join-Path ([System.IO.Path]::GetTempPath()) ("$packageName-" + [guid]::NewGuid())
    New-Item -ItemType Directory -Path $stage | Out-Null
    try {
        Copy-Item -LiteralPath (Join-Path $PackageFolder 'Assets') -Destination $stage -Recurse
        $manifest.Package.Identity.Publisher = $certificate.Subject
        $manifest.Save((Join-Path $stage 'AppxManifest.xml'))

        # /nv: a package with external content names files it does not carry.
        Invoke-Tool (Find-SdkTool 'MakeAppx.exe') @('pack', '/o', '/d', $stage, '/p', $Output, '/nv')
    } finally {
        Remove-Item -LiteralPath $stage -Recurse -Force
    }

    $sign = @('sign', '/fd', 'SHA256')
    if ($CertificateFile) {
        $sign += @('/f', $CertificateFile)
        if ($CertificatePassword) { $sign += @('/p', $CertificatePassword) }
    } else {
        $sign += @('/sha1', $Thumbprint)
        if ($certificate.PSParentPath -like '*LocalMachine*') { $sign += '/sm' }
    }
    if ($TimestampUrl) { $sign += @('/tr', $TimestampUrl, '/td', 'SHA256') }
    Invoke-Tool (Find-SdkTool 'SignTool.exe') ($sign + @($Output))
    Write-Host "Signed $Output for $($certificate.Subject)"
}

if ($InstallFolder) {
    $external = (Resolve-Path -LiteralPath $InstallFolder).Path
    Add-AppxPackage -Path $Output -ExternalLocation $external
    Write-Host "Registered $packageName for $env:USERNAME with external location $external"
}
