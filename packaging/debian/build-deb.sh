#!/usr/bin/env bash
# Builds the Debian package from the tree CMake configured (everything but the
# executables and DEBIAN/control).
# Usage: build-deb.sh VERSION SERVICE ARCHIVE TREE OUTPUT.deb
set -euo pipefail
usage="usage: build-deb.sh VERSION SERVICE ARCHIVE TREE OUTPUT.deb"
version=${1:?$usage} service=${2:?$usage} archive=${3:?$usage} tree=${4:?$usage}
output=${5:?$usage}
here=$(cd "$(dirname "$0")" && pwd)

changelog_version=$(sed -n '1s/^quellor (\([^)]*\)).*/\1/p' "$here/changelog")
if [[ $changelog_version != "$version" ]]; then
  echo "build-deb.sh: packaging/debian/changelog starts with $changelog_version, not $version" >&2
  exit 1
fi

stage=$(mktemp -d)
shlibs=$(mktemp -d)
trap 'rm -rf "$stage" "$shlibs"' EXIT
cp -a "$tree/." "$stage/"
programs=("$stage/usr/sbin/QuellorService" "$stage/usr/bin/QuellorArchive")
install -D -m 0755 "$service" "${programs[0]}"
install -D -m 0755 "$archive" "${programs[1]}"
strip --strip-unneeded --remove-section=.comment --remove-section=.note "${programs[@]}"
gzip -9n <"$here/changelog" >"$stage/usr/share/doc/quellor/changelog.gz"
find "$stage/usr/share/man" -type f -exec gzip -9n {} +
chmod -R u=rwX,go=rX "$stage"
chmod 0755 "$stage/DEBIAN/postinst" "$stage/DEBIAN/prerm" "$stage/DEBIAN/postrm"

# The shared libraries the executables need, as dpkg-shlibdeps names them; it
# reads the package's name from a debian/control of its own.
mkdir "$shlibs/debian"
printf 'Source: quellor\n\nPackage: quellor\nArchitecture: amd64\n' >"$shlibs/debian/control"
depends=$(cd "$shlibs" && dpkg-shlibdeps -O "${programs[@]}" |
  sed -n 's/^shlibs:Depends=//p')
installed_size=$(du -sk --exclude=DEBIAN "$stage" | cut -f1)
sed -e "s/@VERSION@/$version/" -e "s/@INSTALLED_SIZE@/$installed_size/" \
  -e "s/@DEPENDS@/$depends, init-system-helpers (>= 1.52), systemd | systemd-sysusers/" \
  "$here/control.in" >"$stage/DEBIAN/control"
(cd "$stage" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' | sort -z |
  xargs -0 md5sum >DEBIAN/md5sums)

dpkg-deb --root-owner-group -Zxz --build "$stage" "$output" >/dev/null
