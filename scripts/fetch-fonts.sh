#!/usr/bin/env bash
# Fetches the two fonts that the viewer embeds, at pinned versions, and checks their integrity.
# They land in resources/fetched/ (ignored by git) and are compiled into the executable.
set -euo pipefail
cd "$(dirname "$0")/.."

dest=resources/fetched
mkdir -p "$dest"

# name version integrity member-in-tarball output-file
fonts=(
    "@fontsource/roboto-mono 5.3.0 sha512-yhwplHMHW9dCk+1pZuERfcJe+K3rosGVZEoK0XktkxRSqQ9qsipSwwiuW2/8Qmtp9lzu3Ixa/ie4BMH3i8CkZQ== package/files/roboto-mono-latin-400-normal.woff roboto-mono-latin-400-normal.woff"
    "@fortawesome/fontawesome-free 6.2.1 sha512-viouXhegu/TjkvYQoiRZK3aax69dGXxgEjpvZW81wIJdxm5Fnvp3VVIP4VHKqX4SvFw6qpmkILkD4RJWAdrt7A== package/webfonts/fa-solid-900.ttf fa-solid-900.ttf"
)

# npm's integrity text: "sha512-" and the base64 of the tarball's SHA-512.
integrity_of() {
    node -e 'const c = require("crypto"), fs = require("fs");
        process.stdout.write("sha512-" + c.createHash("sha512").update(fs.readFileSync(process.argv[1])).digest("base64"));' "$1"
}

for entry in "${fonts[@]}"; do
    read -r name version integrity member output <<<"$entry"
    tarball="$dest/$(echo "${name#@}" | tr / -)-$version.tgz"
    if [ -f "$tarball" ] && [ "$(integrity_of "$tarball")" = "$integrity" ] && [ -f "$dest/$output" ]; then
        continue
    fi
    rm -f "$tarball"
    echo "fonts: fetching $name@$version"
    packed=$(cd "$dest" && npm pack --silent "$name@$version")
    [ "$dest/$packed" = "$tarball" ] || mv "$dest/$packed" "$tarball"
    actual=$(integrity_of "$tarball")
    if [ "$actual" != "$integrity" ]; then
        rm -f "$tarball"
        echo "fonts: integrity mismatch for $name@$version (got $actual)" >&2
        exit 1
    fi
    tar -xzf "$tarball" -C "$dest" --strip-components="$(echo "$member" | tr -cd / | wc -c)" "$member"
done
echo "fonts: ready in $dest"
