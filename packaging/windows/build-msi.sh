#!/usr/bin/env bash
# Builds the Windows Installer package from QuellorService.wxs.
# Usage: build-msi.sh VERSION SOURCE_DIR OUTPUT.msi
# SOURCE_DIR holds QuellorService.exe, QuellorService.ini and INSTALL.txt.
set -euo pipefail
version=${1:?usage: build-msi.sh VERSION SOURCE_DIR OUTPUT.msi}
source_dir=${2:?usage: build-msi.sh VERSION SOURCE_DIR OUTPUT.msi}
output=${3:?usage: build-msi.sh VERSION SOURCE_DIR OUTPUT.msi}

wxs=$(cd "$(dirname "$0")" && pwd)/QuellorService.wxs
output=$(realpath -m "$output")
# wixl takes the files' sources relative to the current folder.
(cd "$source_dir" && wixl --arch x64 -D Version="$version" -o "$output" "$wxs")
# wixl knows no Permanent or NeverOverwrite: the settings file's component gets
# them here (msidbComponentAttributes 64-bit 256 + Permanent 16 +
# NeverOverwrite 128), so that an upgrade or a removal keeps an engineer's edits.
msibuild "$output" -q "UPDATE \`Component\` SET \`Attributes\` = 400 WHERE \`Component\` = 'Settings'"
