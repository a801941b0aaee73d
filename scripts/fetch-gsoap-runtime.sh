#!/usr/bin/env bash
# Fetches the SOAP runtime source (stdsoap2.cpp) matching the installed soapcpp2 from
# Debian's source package, without touching the system's apt configuration.
# Usage: fetch-gsoap-runtime.sh DEST_DIR
set -euo pipefail
dest=${1:?destination folder}
version=$(dpkg-query -W -f='${Version}' gsoap)
if [ -f "$dest/stdsoap2.cpp" ] && [ "$(cat "$dest/VERSION" 2>/dev/null)" = "$version" ]; then
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/sources.list.d" "$work/lists/partial" "$work/cache/archives/partial" "$work/src"

# deb-src entries derived from the machine's own sources (one-line and deb822 forms).
shopt -s nullglob
for f in /etc/apt/sources.list.d/*.sources; do
  sed -e 's/^Types:.*$/Types: deb-src/' "$f" > "$work/sources.list.d/$(basename "$f")"
done
: > "$work/sources.list.d/derived.list"
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -f "$f" ] || continue
  grep -E '^[[:space:]]*deb[[:space:]]' "$f" | sed -E 's/^[[:space:]]*deb[[:space:]]/deb-src /' >> "$work/sources.list.d/derived.list" || true
done

apt_opts=(
  -o Dir::Etc::SourceList=/dev/null
  -o Dir::Etc::SourceParts="$work/sources.list.d"
  -o Dir::State::Lists="$work/lists"
  -o Dir::Cache="$work/cache"
  -o APT::Sandbox::User=root
)
apt-get "${apt_opts[@]}" -qq update
(cd "$work/src" && apt-get "${apt_opts[@]}" -qq source "gsoap=$version" >/dev/null)

runtime=$(find "$work/src" -path '*/gsoap/stdsoap2.cpp' | head -n 1)
[ -n "$runtime" ] || { echo "stdsoap2.cpp not found in the gsoap source package" >&2; exit 1; }
srcdir=$(dirname "$runtime")
if ! cmp -s "$srcdir/stdsoap2.h" /usr/include/stdsoap2.h; then
  echo "warning: the source package's stdsoap2.h differs from the installed one" >&2
fi
mkdir -p "$dest"
cp "$runtime" "$dest/stdsoap2.cpp"
top=$(find "$work/src" -maxdepth 2 -name LICENSE.txt | head -n 1)
[ -n "$top" ] && cp "$top" "$dest/LICENSE.txt"
echo "$version" > "$dest/VERSION"
echo "gSOAP runtime $version in $dest"
