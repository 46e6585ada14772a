#!/usr/bin/env bash
# Checks a built Debian package: its control fields, its maintainer scripts and every file it
# must hold.   scripts/check-package.sh kestrum_VERSION_amd64.deb
set -euo pipefail
deb=$1
fail() { echo "check-package: $*" >&2; exit 1; }
[ -f "$deb" ] || fail "no package $deb"
case "$(basename "$deb")" in kestrum_*_amd64.deb) ;; *) fail "unexpected file name $(basename "$deb")" ;; esac

[ "$(dpkg-deb -f "$deb" Package)" = kestrum ] || fail "Package is not kestrum"
[ "$(dpkg-deb -f "$deb" Architecture)" = amd64 ] || fail "Architecture is not amd64"
depends=$(dpkg-deb -f "$deb" Depends)
for need in libqt6widgets6 libqt6svg6 qt6-translations-l10n libusb-0.1-4 libudev1 fonts-wqy-microhei; do
    grep -q "\b$need\b" <<<"$depends" || fail "Depends lacks $need: $depends"
done

contents=$(dpkg-deb -c "$deb" | awk '{ print $NF }' | sed 's|^\./|/|')
for file in /usr/bin/kestrum /usr/bin/kestrum-cli /usr/share/kestrum/kestrum.Dat \
        /usr/lib/udev/rules.d/60-kestrum.rules /usr/share/applications/kestrum.desktop \
        /usr/share/metainfo/org.kestrum.Kestrum.metainfo.xml \
        /usr/share/icons/hicolor/scalable/apps/kestrum.svg \
        /usr/share/icons/hicolor/48x48/apps/kestrum.png \
        /usr/share/icons/hicolor/128x128/apps/kestrum.png; do
    grep -qx "$file" <<<"$contents" || fail "missing $file"
done
# Nothing of the tests or the simulator goes into the package.
if grep -E 'libusb-0\.1\.so|/test_|render-icon|mkchipdb' <<<"$contents"; then fail "unexpected files above"; fi

control=$(mktemp -d)
trap 'rm -rf "$control"' EXIT
dpkg-deb -e "$deb" "$control"
[ -x "$control/postinst" ] || fail "no postinst"
grep -q 'udevadm control --reload-rules' "$control/postinst" || fail "postinst does not reload udev"
echo "check-package: $deb is complete"
