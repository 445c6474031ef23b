#!/usr/bin/env bash
# check-deb.sh BUILD_DIR: builds the Debian package from the build folder into a temporary folder
# and fails on any error lintian reports. Only in CI (CI=true) and as root, where the machine is
# there to be changed, it also installs the package with dpkg, runs it and removes it again.
# Exit status 77: skipped (a tool is missing), with a note saying which.
set -euo pipefail
build=$(readlink -f "$1")
for tool in cpack lintian dpkg-deb; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed (make test installs lintian)"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/quillmor_*.deb)
dpkg-deb --contents "$deb"
# lintian runs as root too, with a note about it on standard error; only its findings matter here.
findings=$(lintian "$deb" 2>/dev/null || true)
echo "$findings"
if grep -q '^E:' <<<"$findings"; then
  echo "lintian reports errors" >&2
  exit 1
fi

if [ "${CI:-}" != true ] || [ "$(id -u)" -ne 0 ]; then
  echo "note: install and removal are checked only in CI as root (CI=true)"
  exit 0
fi
if dpkg-query -W quillmor >/dev/null 2>&1; then
  echo "note: a quillmor package is installed already; it is left alone, and so is the install check"
  exit 0
fi
dpkg -i "$deb" >/dev/null
installed_version=$(/usr/bin/quillmor --version | head -1)
man_page=$(dpkg -L quillmor | grep -c '^/usr/share/man/man1/quillmor\.1\.gz$' || true)
dpkg -r quillmor >/dev/null
[ "$installed_version" = "quillmor 1.02" ] || { echo "installed program says: $installed_version" >&2; exit 1; }
[ "$man_page" = 1 ] || { echo "the manual page was not installed" >&2; exit 1; }
for file in /usr/bin/quillmor /usr/share/man/man1/quillmor.1.gz /usr/share/doc/quillmor; do
  [ ! -e "$file" ] || { echo "$file is left after removal" >&2; exit 1; }
done
echo "installed and removed cleanly"
