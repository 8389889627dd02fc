#!/usr/bin/env bash
# Builds the Debian package melodrop_<version>_amd64.deb in a Release build of its own (build-deb/, or
# MELODROP_PACKAGE_BUILD_DIR), with Debian's hardening flags, then checks it: the files it must hold, the
# dependencies dpkg-shlibdeps cannot see, and lintian without errors. Prints the package's path last.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh # dpkg-dev and lintian among the rest

BUILD_DIR=${MELODROP_PACKAGE_BUILD_DIR:-build-deb}
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  # The flags Debian builds its own packages with (fortify, stack protector, full RELRO, bind now); no -g, the
  # package strips its programs anyway. CMake reads CXXFLAGS and LDFLAGS on the first configure only.
  export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CFLAGS_MAINT_STRIP=-g DEB_CXXFLAGS_MAINT_STRIP=-g
  CFLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
  CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
  LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DMELODROP_BUILD_TESTS=OFF -DMELODROP_BUILD_BENCH=OFF >/dev/null
fi
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1 CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/ccache}
./scripts/stale-moc.sh "$BUILD_DIR"
cmake --build "$BUILD_DIR" -j"$(nproc)"
rm -f "$BUILD_DIR"/melodrop_*.deb
(cd "$BUILD_DIR" && cpack -G DEB >/dev/null)
deb=$(ls "$BUILD_DIR"/melodrop_*_amd64.deb)

failed=0
contents=$(dpkg-deb --contents "$deb" | awk '{print $1, $NF}')
for path in usr/bin/melodrop usr/bin/melodrop-cli usr/bin/melodrop-sandbox \
    usr/share/applications/melodrop.desktop usr/share/metainfo/melodrop.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/melodrop.svg usr/share/icons/hicolor/48x48/apps/melodrop.png \
    usr/share/icons/hicolor/128x128/apps/melodrop.png usr/share/icons/hicolor/256x256/apps/melodrop.png \
    usr/share/man/man1/melodrop.1.gz usr/share/man/man1/melodrop-cli.1.gz \
    usr/share/man/man1/melodrop-sandbox.1.gz usr/share/doc/melodrop/copyright \
    usr/share/doc/melodrop/changelog.gz; do
  if ! grep -qx -- "-rw[-x]r-[-x]r-[-x] ./$path" <<<"$contents"; then
    echo "package.sh: $deb lacks ./$path (or its mode is wrong)" >&2
    failed=1
  fi
done
depends=$(dpkg-deb --field "$deb" Depends)
for needed in libmpv2 libqt6quick6 libcurl4 qml6-module-qtquick-controls qml6-module-qtquick-shapes libqt6svg6; do
  if ! grep -q "\b$needed\b" <<<"$depends"; then
    echo "package.sh: Depends lacks $needed: $depends" >&2
    failed=1
  fi
done
# Errors fail; warnings and notes are printed for whoever reads on.
if ! lintian --fail-on error --display-info --tag-display-limit 0 "$deb" >&2; then
  echo "package.sh: lintian reports errors" >&2
  failed=1
fi
[ "$failed" -eq 0 ] || exit 1
echo "$deb"
