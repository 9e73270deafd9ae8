#!/usr/bin/env python3
"""Writes the winget manifests (version, defaultLocale, installer) for the
two installers of one release.

  installer/winget_manifests.py VERSION URL_BASE INSTALLER_DIR OUT_DIR

INSTALLER_DIR holds Glimmerwatch-Setup-x64.exe and -x86.exe; their SHA-256
go into the installer manifest, and each InstallerUrl is URL_BASE followed
by the file's name. VERSION must be the version the installers write to
Add/Remove Programs (the .scr's version resource, which is the CMake project
version), since winget compares PackageVersion with it.

What the installer writes to the registry (the uninstall key's name, the
names it shows there, the elevation it asks for, its exit codes) is read
from glimmerwatch.nsi, so that winget keeps recognising an installed copy
when the script changes.
"""
import hashlib
import os
import re
import sys

import yaml

PACKAGE_ID = "Tessaly.Glimmerwatch"
MANIFEST_VERSION = "1.28.0"
LOCALE = "en-US"
ARCHITECTURES = ("x64", "x86")
NSI = os.path.join(os.path.dirname(os.path.abspath(__file__)), "glimmerwatch.nsi")

# The project carries no licence grant, only its copyright notice.
LICENSE = "Proprietary"
SHORT_DESCRIPTION = ("A screen saver that freezes your desktop in place; move the mouse "
                     "and two eyes appear and follow the cursor.")
DESCRIPTION = (
    "Glimmerwatch copies the screen when it starts and keeps showing that copy, so the "
    "desktop stays frozen in place on every monitor. Move the mouse and two eyes appear "
    "in the middle of the main monitor and turn with the cursor. A red 3D clock and a "
    "frames-per-second counter can be switched on in its settings. While the picture is "
    "still it draws nothing and uses next to no processor time.")
TAGS = ["screensaver", "desktop"]

# RequestExecutionLevel admin puts requireAdministrator into the installer's
# own manifest: Windows shows the administrator prompt when winget starts it.
ELEVATION = {"admin": "elevatesSelf"}
# The x86 installer quits on any 64-bit Windows (NSIS's RunningX64 is true
# for a 32-bit process under WOW64, which ARM64 Windows has too); winget
# should never offer it there, and should name the refusal if forced to.
X86_UNSUPPORTED_OS = ["x64", "arm64"]


def nsi_facts(path):
    """The installer's registry entry, elevation and exit codes, from the script."""
    text = open(path, encoding="utf-8").read()
    defines = dict(re.findall(r'^!define (\w+) "?([^"\n]*)"?\s*$', text, re.M))

    def expand(value):
        return re.sub(r"\$\{(\w+)\}", lambda m: defines[m.group(1)], value)

    entry = dict(re.findall(
        r'^\s*WriteRegStr HKLM "\$\{UNINSTALL_KEY\}" "(\w+)" "([^"]*)"\s*$', text, re.M))
    level = re.search(r"^RequestExecutionLevel (\w+)", text, re.M).group(1)
    if level not in ELEVATION:
        raise SystemExit(f"{path}: no winget ElevationRequirement known for RequestExecutionLevel {level}")
    return {
        "ProductCode": defines["UNINSTALL_KEY"].split("\\")[-1],
        "DisplayName": expand(entry["DisplayName"]),
        "Publisher": expand(entry["Publisher"]),
        "Copyright": expand(re.search(
            r'VIAddVersionKey /LANG=1033 "LegalCopyright" "([^"]*)"', text).group(1)),
        "PackageName": defines["PRODUCT"],
        "Elevation": ELEVATION[level],
        "WrongWindowsExit": int(defines["EXIT_WRONG_WINDOWS"]),
    }


def sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as file:
        for block in iter(lambda: file.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest().upper()


def write(path, schema_type, document):
    header = (f"# yaml-language-server: $schema=https://aka.ms/winget-manifest."
              f"{schema_type}.{MANIFEST_VERSION}.schema.json\n\n")
    with open(path, "w", encoding="utf-8", newline="\n") as file:
        file.write(header)
        yaml.safe_dump(document, file, sort_keys=False, allow_unicode=True, width=1000)


def main(argv):
    if len(argv) != 5:
        raise SystemExit(__doc__.split("\n\n")[1])
    version, url_base, installer_dir, out_dir = argv[1:]
    facts = nsi_facts(NSI)
    head = {"PackageIdentifier": PACKAGE_ID, "PackageVersion": version}
    tail = {"ManifestVersion": MANIFEST_VERSION}

    installers = []
    for arch in ARCHITECTURES:
        name = f"Glimmerwatch-Setup-{arch}.exe"
        installer = {
            "Architecture": arch,
            "InstallerUrl": f"{url_base.rstrip('/')}/{name}",
            "InstallerSha256": sha256(os.path.join(installer_dir, name)),
            "AppsAndFeaturesEntries": [{
                "DisplayName": facts["DisplayName"],
                "Publisher": facts["Publisher"],
                "DisplayVersion": version,
                "ProductCode": facts["ProductCode"],
            }],
        }
        if arch == "x86":
            installer["UnsupportedOSArchitectures"] = X86_UNSUPPORTED_OS
            installer["ExpectedReturnCodes"] = [{
                "InstallerReturnCode": facts["WrongWindowsExit"],
                "ReturnResponse": "systemNotSupported",
            }]
        installers.append(installer)

    os.makedirs(out_dir, exist_ok=True)
    base = os.path.join(out_dir, PACKAGE_ID)
    write(f"{base}.yaml", "version", {
        **head, "DefaultLocale": LOCALE, "ManifestType": "version", **tail})
    write(f"{base}.locale.{LOCALE}.yaml", "defaultLocale", {
        **head,
        "PackageLocale": LOCALE,
        "Publisher": facts["Publisher"],
        "PackageName": facts["PackageName"],
        "License": LICENSE,
        "Copyright": facts["Copyright"],
        "ShortDescription": SHORT_DESCRIPTION,
        "Description": DESCRIPTION,
        "Tags": TAGS,
        "ManifestType": "defaultLocale", **tail})
    # winget runs a nullsoft installer with /S itself; the x86 installer's
    # refusal is the only exit code of ours it does not already know.
    write(f"{base}.installer.yaml", "installer", {
        **head,
        "InstallerType": "nullsoft",
        "Scope": "machine",
        "InstallModes": ["interactive", "silent", "silentWithProgress"],
        "UpgradeBehavior": "install",
        "ElevationRequirement": facts["Elevation"],
        "Installers": installers,
        "ManifestType": "installer", **tail})


if __name__ == "__main__":
    main(sys.argv)
