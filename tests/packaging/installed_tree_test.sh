#!/usr/bin/env bash
# An installation under a prefix holds exactly the expected files, and each of them works where
# the desktop and the shell look for it.
source "$(dirname "$0")/lib.sh"

root="$PKG_WORK/root"
prefix=/opt/tessaro
pkg_install "$root" "$prefix"
installed="$root$prefix"

actual=$(cd "$installed" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
expected=$(pkg_expected_files | LC_ALL=C sort)
[ "$actual" = "$expected" ] || pkg_fail "installed files differ:
$(diff <(echo "$expected") <(echo "$actual"))"

# The programs run from the installation.
[ "$("$installed/bin/tessaro" --version)" = "Tessaro $TESSARO_VERSION" ] || pkg_fail "tessaro --version"
"$installed/bin/tessaro-query" --help | grep -q '^Usage: tessaro-query' || pkg_fail "tessaro-query --help"

# Desktop entry: valid (hints are advice, not faults), and what it names is installed.
desktop="$installed/share/applications/tessaro.desktop"
report=$(desktop-file-validate "$desktop" 2>&1) || pkg_fail "desktop-file-validate: $report"
! echo "$report" | grep -Eq ': (error|warning): ' || pkg_fail "desktop-file-validate: $report"
entry() { sed -n "s/^$1=//p" "$desktop"; }
[ -x "$installed/bin/$(entry Exec | cut -d' ' -f1)" ] || pkg_fail "the Exec program is not installed"
mime_type=$(entry MimeType | tr -d ';')
grep -q "<mime-type type=\"$mime_type\">" "$installed/share/mime/packages/tessaro.xml" ||
    pkg_fail "the entry's MimeType $mime_type is not declared by the installed file type"

# Icons: each theme folder holds an image of its own size.
for png in "$installed"/share/icons/hicolor/*/apps/"$(entry Icon)".png; do
    folder=$(basename "$(dirname "$(dirname "$png")")")
    [ "$(identify -format '%wx%h' "$png")" = "$folder" ] || pkg_fail "$png is not $folder"
done

# Manual pages: render without warnings and name their program.
for page in "$installed"/share/man/man1/*.1; do
    name=$(basename "$page" .1)
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || pkg_fail "man $name: $warnings"
    MANWIDTH=80 man -l "$page" 2>/dev/null | grep -A1 '^NAME' | grep -q "^ *$name - " ||
        pkg_fail "man $name has no NAME line for $name"
done

# Bash completion, found by bash-completion's own loader in the installed data folder.
cd "$PKG_WORK" && mkdir -p docs && touch docs/a.arxml docs/b.ZIP docs/c.txt
complete_words() {
    XDG_DATA_DIRS="$installed/share" bash -c '
        source /usr/share/bash-completion/bash_completion
        _completion_loader tessaro-query
        COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
        $(complete -p tessaro-query | sed "s/.*-F \([^ ]*\) .*/\1/") tessaro-query "${COMP_WORDS[-1]}"
        printf "%s\n" "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd" "' - "$@"
}
[ -f /usr/share/bash-completion/bash_completion ] || pkg_fail "bash-completion is not installed"
[ "$(complete_words tessaro-query docs/)" = "docs/a.arxml docs/b.ZIP" ] ||
    pkg_fail "documents completed as '$(complete_words tessaro-query docs/)'"
[ "$(complete_words tessaro-query docs/a.arxml find-)" = "find-ref find-shortname" ] ||
    pkg_fail "commands completed as '$(complete_words tessaro-query docs/a.arxml find-)'"
[ "$(complete_words tessaro-query docs/a.arxml search speed --m)" = "--match-case" ] ||
    pkg_fail "search options completed as '$(complete_words tessaro-query docs/a.arxml search speed --m)'"
pkg_pass
