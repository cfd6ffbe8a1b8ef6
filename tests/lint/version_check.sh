#!/usr/bin/env bash
# The README of the repository at $1 names the version $2 wherever it names one: the --version
# answer ("Tessaro 2.7") and the Debian package (tessaro_2.7-1_amd64.deb).
readme=$1/README.md
version=$2
texts=$(grep -noE 'Tessaro [0-9]+\.[0-9]+|tessaro_[0-9]+\.[0-9]+-' "$readme")
[ -n "$texts" ] || { echo "README.md names no version"; exit 1; }
wrong=$(grep -vE ":(Tessaro |tessaro_)${version//./\\.}-?\$" <<<"$texts")
[ -z "$wrong" ] || { printf 'README.md names another version than %s:\n%s\n' "$version" "$wrong"; exit 1; }
