#!/usr/bin/env bash
# Fails when a source file includes a header from a folder above its own. The layers, lowest first:
#   decoding, net, core, service, playback, library, desktop, downloads, screens, app, qml (the views)
# A folder may include its own headers and those of the folders listed before it. melodrop-cli may use
# everything up to service, plus downloads (and what they include); the stand-in service (sandbox) uses
# decoding only. Tests and benchmarks may include anything.
set -euo pipefail
cd "$(dirname "$0")/.."

layers=(decoding net core service playback library desktop downloads screens app qml)
declare -A rank
for i in "${!layers[@]}"; do rank[${layers[$i]}]=$i; done

allowed() { # allowed FROM TO
    local from=$1 to=$2
    [ "$from" = "$to" ] && return 0
    case $from in
    cli) [[ $to =~ ^(decoding|net|core|service|downloads)$ ]] && return 0; return 1 ;;
    sandbox) [ "$to" = decoding ] && return 0; return 1 ;;
    esac
    [ -n "${rank[$from]:-}" ] && [ -n "${rank[$to]:-}" ] && [ "${rank[$to]}" -le "${rank[$from]}" ]
}

status=0
count=0
for from in "${layers[@]}" cli sandbox; do
    [ -d "$from" ] || continue
    while IFS= read -r line; do
        file=${line%%:*}
        rest=${line#*:}
        lineno=${rest%%:*}
        header=$(sed -E 's/^[^"]*"([^"]+)".*/\1/' <<<"${rest#*:}")
        # Resolve "../x/y.h" against the including file; "x/y.h" is relative to the tree's root.
        if [[ $header == ../* || $header == ./* ]]; then
            header=$(realpath -m --relative-to=. "$(dirname "$file")/$header")
        fi
        to=${header%%/*}
        [ "$to" = "$header" ] && to=$from # a bare name is a header of the same folder
        count=$((count + 1))
        if [ -z "${rank[$to]:-}" ] && [[ ! $to =~ ^(cli|sandbox|qml)$ ]]; then
            continue # a system or third-party header
        fi
        if ! allowed "$from" "$to"; then
            echo "$file:$lineno: $from/ includes $header from $to/, a folder above it" >&2
            status=1
        fi
    done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$from" --include='*.h' --include='*.cpp' || true)
done

if [ $status -eq 0 ]; then
    echo "check-layers: $count includes checked, none upward"
fi
exit $status
