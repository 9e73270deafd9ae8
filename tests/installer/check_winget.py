#!/usr/bin/env python3
"""Checks a release's winget manifests the way the winget repository would
before anything runs, and hands their uninstall-entry fields to the shell
test that compares them with the registry.

  check_winget.py check MANIFEST_DIR INSTALLER_DIR
      prints one line per problem and fails when there is any: the three
      manifests against their JSON schemas, keys the schemas do not know
      (the schemas allow them, winget refuses them), agreement between the
      three files, each InstallerSha256 against the file its InstallerUrl
      names in INSTALLER_DIR, and ElevationRequirement against the level the
      installer's own Windows manifest requests.
  check_winget.py entries MANIFEST_DIR
      prints ARCH|FIELD|VALUE for each installer's AppsAndFeaturesEntries
      and |PackageVersion|VALUE.
"""
import glob
import hashlib
import json
import os
import re
import sys

import jsonschema
import yaml

SCHEMA_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "third_party",
                          "winget-schema")
TYPES = ("version", "defaultLocale", "installer")


def load(manifest_dir):
    """The manifests by ManifestType, with their file names."""
    found, problems = {}, []
    for path in sorted(glob.glob(os.path.join(manifest_dir, "*.yaml"))):
        with open(path, encoding="utf-8") as file:
            document = yaml.safe_load(file)
        kind = document.get("ManifestType") if isinstance(document, dict) else None
        if kind not in TYPES or kind in found:
            problems.append(f"{os.path.basename(path)}: unexpected or repeated ManifestType {kind!r}")
            continue
        found[kind] = (os.path.basename(path), document)
    problems += [f"no {kind} manifest" for kind in TYPES if kind not in found]
    return found, problems


def unknown_keys(document, schema, where):
    """Keys that no 'properties' of the schema declare, down through the
    installers and their uninstall entries."""
    definitions = schema.get("definitions", {})
    extra = [f"{where}{key}" for key in document if key not in schema["properties"]]
    for index, installer in enumerate(document.get("Installers") or []):
        extra += unknown_keys(installer, definitions["Installer"], f"{where}Installers[{index}].")
        for number, entry in enumerate(installer.get("AppsAndFeaturesEntries") or []):
            extra += unknown_keys(entry, definitions["AppsAndFeaturesEntry"],
                                  f"{where}Installers[{index}].AppsAndFeaturesEntries[{number}].")
    return extra


def sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as file:
        for block in iter(lambda: file.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def requested_level(path):
    """requestedExecutionLevel from the Windows manifest inside the .exe."""
    with open(path, "rb") as file:
        match = re.search(rb'requestedExecutionLevel\s+level="(\w+)"', file.read())
    return match.group(1).decode() if match else None


def check(manifest_dir, installer_dir):
    found, problems = load(manifest_dir)
    for kind, (name, document) in found.items():
        version = document.get("ManifestVersion")
        schema_path = os.path.join(SCHEMA_DIR, f"manifest.{kind}.{version}.json")
        if not os.path.exists(schema_path):
            problems.append(f"{name}: no schema for ManifestVersion {version!r}")
            continue
        with open(schema_path, encoding="utf-8") as file:
            schema = json.load(file)
        for error in jsonschema.Draft7Validator(schema).iter_errors(document):
            where = ".".join(str(part) for part in error.absolute_path) or "(top)"
            problems.append(f"{name}: {where}: {error.message}")
        problems += [f"{name}: unknown key {key}" for key in unknown_keys(document, schema, "")]
    if problems:
        return problems

    version_doc = found["version"][1]
    package, release = version_doc["PackageIdentifier"], version_doc["PackageVersion"]
    for kind, (name, document) in found.items():
        if (document["PackageIdentifier"], document["PackageVersion"]) != (package, release):
            problems.append(f"{name}: names {document['PackageIdentifier']} {document['PackageVersion']}, "
                            f"the version manifest {package} {release}")
    locale = found["defaultLocale"][1]["PackageLocale"]
    if version_doc["DefaultLocale"] != locale:
        problems.append(f"DefaultLocale {version_doc['DefaultLocale']} but the locale manifest is {locale}")
    expected_names = {"version": f"{package}.yaml", "installer": f"{package}.installer.yaml",
                      "defaultLocale": f"{package}.locale.{locale}.yaml"}
    for kind, (name, _) in found.items():
        if name != expected_names[kind]:
            problems.append(f"{name}: the {kind} manifest must be named {expected_names[kind]}")

    document = found["installer"][1]
    for installer in document["Installers"]:
        def field(key):  # an installer's own value, or the manifest-wide default
            return installer.get(key, document.get(key))
        arch = installer["Architecture"]
        file_name = installer["InstallerUrl"].rsplit("/", 1)[-1]
        path = os.path.join(installer_dir, file_name)
        if not os.path.isfile(path):
            problems.append(f"{arch}: InstallerUrl names {file_name}, which the release does not have")
            continue
        actual = sha256(path)
        if installer["InstallerSha256"].lower() != actual:
            problems.append(f"{arch}: InstallerSha256 {installer['InstallerSha256']}, {file_name} has {actual}")
        level = requested_level(path)
        if (level == "requireAdministrator") != (field("ElevationRequirement") == "elevatesSelf"):
            problems.append(f"{arch}: ElevationRequirement {field('ElevationRequirement')} "
                            f"but {file_name} requests {level}")
        entries = installer.get("AppsAndFeaturesEntries") or []
        if not entries:
            problems.append(f"{arch}: no AppsAndFeaturesEntries")
        for entry in entries:
            if entry.get("DisplayVersion") != release:
                problems.append(f"{arch}: DisplayVersion {entry.get('DisplayVersion')} is not "
                                f"PackageVersion {release}")
    return problems


def entries(manifest_dir):
    found, problems = load(manifest_dir)
    if problems:
        return problems
    document = found["installer"][1]
    lines = [f"|PackageVersion|{document['PackageVersion']}"]
    for installer in document["Installers"]:
        for entry in installer.get("AppsAndFeaturesEntries") or []:
            lines += [f"{installer['Architecture']}|{key}|{value}" for key, value in entry.items()]
    print("\n".join(lines))
    return []


def main(argv):
    if len(argv) == 4 and argv[1] == "check":
        problems = check(argv[2], argv[3])
    elif len(argv) == 3 and argv[1] == "entries":
        problems = entries(argv[2])
    else:
        raise SystemExit(__doc__.split("\n\n")[1])
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
