#!/usr/bin/env bash
# Builds the Windows Installer package from QuellorService.wxs, then adds with
# msibuild what wixl cannot write.
# Usage: build-msi.sh VERSION SOURCE_DIR CUSTOM_ACTIONS_DLL OUTPUT.msi
# SOURCE_DIR holds QuellorService.exe, QuellorArchive.exe, QuellorService.ini
# and INSTALL.txt.
set -euo pipefail
usage='usage: build-msi.sh VERSION SOURCE_DIR CUSTOM_ACTIONS_DLL OUTPUT.msi'
version=${1:?$usage}
source_dir=$(realpath "${2:?$usage}")
dll=$(realpath "${3:?$usage}")
output=$(realpath -m "${4:?$usage}")
here=$(cd "$(dirname "$0")" && pwd)

# wixl takes every source relative to the current folder: one of links.
files=$(mktemp -d)
trap 'rm -rf "$files"' EXIT
ln -s "$source_dir"/* "$here/QuellorService.ico" "$files/"
ln -s "$dll" "$files/QuellorCustomActions.dll"
(cd "$files" && wixl --arch x64 -D Version="$version" -o "$output" "$here/QuellorService.wxs")

sql() { msibuild "$output" -q "$1"; }

# The settings file's component is Permanent (16) and NeverOverwrite (128),
# besides 64-bit (256), so that an upgrade or a removal keeps an engineer's
# edits; the service is vital (32768 + SERVICE_ERROR_NORMAL); the program
# carries the version of its version resource, so that a higher one replaces it.
sql "UPDATE \`Component\` SET \`Attributes\` = 400 WHERE \`Component\` = 'Settings'"
sql "UPDATE \`ServiceInstall\` SET \`ErrorControl\` = 32769 WHERE \`ServiceInstall\` = 'Quellor'"
sql "UPDATE \`File\` SET \`Version\` = '$version.0', \`Language\` = '1033' WHERE \`File\` = 'QuellorService.exe'"

# A rebuild of the same version upgrades in place (VersionMax inclusive, 512,
# besides MigrateFeatures, 1) and replaces files of an equal version (e).
upgrade_code=$(msiinfo export "$output" Property | tr -d '\r' | awk -F '\t' '$1 == "UpgradeCode" {print $2}')
sql "DELETE FROM \`Upgrade\` WHERE \`ActionProperty\` = 'WIX_UPGRADE_DETECTED'"
sql "INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMax\`, \`Attributes\`, \`ActionProperty\`) VALUES ('$upgrade_code', '$version', 513, 'WIX_UPGRADE_DETECTED')"
sql "INSERT INTO \`Property\` (\`Property\`, \`Value\`) VALUES ('REINSTALLMODE', 'emus')"

# Failure actions as -install sets them: restart after a minute, each time;
# the count reset after a day. At install and reinstall (1 + 4).
sql "CREATE TABLE \`MsiServiceConfigFailureActions\` (\`MsiServiceConfigFailureActions\` CHAR(72) NOT NULL, \`Name\` CHAR(255) NOT NULL LOCALIZABLE, \`Event\` SHORT NOT NULL, \`ResetPeriod\` LONG, \`RebootMessage\` CHAR(255) LOCALIZABLE, \`Command\` CHAR(255) LOCALIZABLE, \`Actions\` CHAR(255), \`DelayActions\` CHAR(255), \`Component_\` CHAR(72) NOT NULL PRIMARY KEY \`MsiServiceConfigFailureActions\`)"
sql "INSERT INTO \`MsiServiceConfigFailureActions\` (\`MsiServiceConfigFailureActions\`, \`Name\`, \`Event\`, \`ResetPeriod\`, \`Actions\`, \`DelayActions\`, \`Component_\`) VALUES ('Quellor', 'Quellor', 5, 86400, '1[~]1[~]1', '60000[~]60000[~]60000', 'Program')"
sql "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('MsiConfigureServices', 5850)"

# A service installed by hand (-install) elsewhere is refused, not left in
# place to run another program with other settings (type 19: an error).
refusal='Quellor Service is already installed by hand, as a service that runs [QUELLOR_FOREIGN_SERVICE]. Stop it and remove it with "QuellorService.exe -uninstall" in that folder (its settings, log and reports stay there), then install this package again.'
sql "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Target\`) VALUES ('RefuseForeignService', 19, '$refusal')"
sql "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('RefuseForeignService', 'QUELLOR_FOREIGN_SERVICE AND NOT Installed', 1020)"

# Every key of the sample settings file is a public property of the same name
# in capitals, its default the sample's value (DATAFOLDER: the folder created),
# written into the file by FirstSettings: only where no settings file was found
# (FindSettings), and not again at a repair (Transitive, 64; Permanent, 16).
sql "UPDATE \`Component\` SET \`Attributes\` = 336, \`Condition\` = 'NOT QUELLOR_SETTINGS_FOUND' WHERE \`Component\` = 'FirstSettings'"
sql "CREATE TABLE \`IniFile\` (\`IniFile\` CHAR(72) NOT NULL, \`FileName\` CHAR(255) NOT NULL LOCALIZABLE, \`DirProperty\` CHAR(72), \`Section\` CHAR(96) NOT NULL LOCALIZABLE, \`Key\` CHAR(128) NOT NULL LOCALIZABLE, \`Value\` CHAR(255) NOT NULL LOCALIZABLE, \`Action\` SHORT NOT NULL, \`Component_\` CHAR(72) NOT NULL PRIMARY KEY \`IniFile\`)"
secure=START_SERVICE
section=$(sed -n 's/^\[\(.*\)\]\r\?$/\1/p' "$source_dir/QuellorService.ini" | head -1)
while IFS='=' read -r key value; do
  property=${key^^}
  secure+=";$property"
  [[ -n $value ]] && sql "INSERT INTO \`Property\` (\`Property\`, \`Value\`) VALUES ('$property', '$value')"
  sql "INSERT INTO \`IniFile\` (\`IniFile\`, \`FileName\`, \`DirProperty\`, \`Section\`, \`Key\`, \`Value\`, \`Action\`, \`Component_\`) VALUES ('$key', 'QuellorService.ini', 'INSTALLDIR', '$section', '$key', '[$property]', 0, 'FirstSettings')"
done < <(tr -d '\r' <"$source_dir/QuellorService.ini" | sed -n 's/^;\?\([A-Za-z]\+\)=/\1=/p')
sql "UPDATE \`Property\` SET \`Value\` = 'WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;$secure' WHERE \`Property\` = 'SecureCustomProperties'"
