#!/usr/bin/env bash
# The README of the repository at $1 names the version wherever it names one: the short version $2
# in the --version answer ("Tessaro 2.7") and the Debian package (tessaro_2.7-1_amd64.deb), the full
# version $3 in the Windows installer (tessaro-2.7.0-x86_64.msi) and, with a fourth number, in the
# executables' version resource (2.7.0.0).
readme=$1/README.md
short=$2
full=$3
texts=$(grep -noE 'Tessaro [0-9]+\.[0-9]+|tessaro_[0-9]+\.[0-9]+-|tessaro-[0-9.]+-x86_64|\(([0-9]+\.){3}[0-9]+' "$readme")
[ -n "$texts" ] || { echo "README.md names no version"; exit 1; }
wrong=$(grep -vE ":((Tessaro |tessaro_)${short//./\\.}-?|tessaro-${full//./\\.}-x86_64|\(${full//./\\.}\.0)\$" <<<"$texts")
[ -z "$wrong" ] || { printf 'README.md names another version than %s (%s):\n%s\n' "$short" "$full" "$wrong"; exit 1; }
