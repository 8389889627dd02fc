#!/usr/bin/env bash
# Checks that the files naming the program's release name this one: the newest entry of the Debian changelog
# (which the package carries as its changelog) and the newest release of the AppStream description.
#   tests/packaging/versions.sh VERSION CHANGELOG METAINFO
set -uo pipefail
version=$1 changelog=$2 metainfo=$3
failed=0
changelog_version=$(sed -nE '1s/^melodrop \(([^)]*)\) .*/\1/p' "$changelog")
if [ "$changelog_version" != "$version" ]; then
  echo "$changelog: the newest entry is for '$changelog_version', the program is $version" >&2
  failed=1
fi
metainfo_version=$(grep -m1 -oE '<release [^>]*version="[^"]*"' "$metainfo" | sed -E 's/.*version="([^"]*)"/\1/')
if [ "$metainfo_version" != "$version" ]; then
  echo "$metainfo: the newest release is '$metainfo_version', the program is $version" >&2
  failed=1
fi
exit "$failed"
