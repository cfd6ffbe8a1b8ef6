# Turns one "## NAME(SECTION)" section of README.md into a manual page, so that the README stays the
# only text of the page. Understands what those sections use: "###" headings, paragraphs, blocks
# indented by four blanks, a "`term`" line followed by ":   definition", "- " bullets and `code`.
#
#   awk -v page=tessaro-query -v section=1 -v source="Tessaro 2.7" -f readme-to-man.awk README.md

function escape(text)
{
    gsub(/\\/, "\\e", text)
    gsub(/—/, "\\(em", text)
    return text
}

# A roff text line must not begin with a control character.
function emit(text)
{
    if (text ~ /^[.']/)
        text = "\\&" text
    print text
}

# `code` in bold, with real minus signs and a break point after each comma (long JSON shapes);
# the rest as it is.
function inline(text,    out, open, finish, code)
{
    text = escape(text)
    out = ""
    while ((open = index(text, "`")) > 0) {
        finish = index(substr(text, open + 1), "`")
        if (finish == 0)
            break
        code = substr(text, open + 1, finish - 1)
        gsub(/-/, "\\-", code)
        gsub(/,/, ",\\:", code)
        out = out substr(text, 1, open - 1) "\\fB" code "\\fR"
        text = substr(text, open + finish + 1)
    }
    return out text
}

function code_line(text)
{
    text = escape(text)
    gsub(/-/, "\\-", text)
    emit(text)
}

function indented(i) { return lines[i] ~ /^    / }

BEGIN { heading = "## " page "(" section ")" }

!inside && $0 == heading { inside = 1; next }
inside && /^## / { exit }
inside { lines[++count] = $0 }

END {
    if (!inside) {
        print "readme-to-man: no section \"" heading "\"" > "/dev/stderr"
        exit 1
    }
    printf(".TH \"%s\" \"%s\" \"\" \"%s\" \"User Commands\"\n", toupper(page), section, source)
    # Ragged right and no hyphenation: names and JSON shapes stay whole.
    print ".ad l\n.nh"
    heading_name = ""
    i = 1
    while (i <= count) {
        line = lines[i]
        if (line == "") {
            i++
        } else if (line ~ /^### /) {
            heading_name = substr(line, 5)
            print ".SH " heading_name
            i++
        } else if (indented(i)) {
            print ".PP\n.RS 4\n.nf"
            # Blank lines inside the block belong to it; trailing ones do not.
            for (; i <= count && (indented(i) || lines[i] == ""); i++) {
                if (lines[i] == "") {
                    for (j = i; j <= count && lines[j] == ""; j++) {}
                    if (j > count || !indented(j))
                        break
                    print ""
                } else {
                    code_line(substr(lines[i], 5))
                }
            }
            print ".fi\n.RE"
        } else if (line ~ /^`/ && lines[i + 1] ~ /^:   /) {
            print ".TP"
            emit(inline(line))
            emit(inline(substr(lines[i + 1], 5)))
            for (i += 2; i <= count && indented(i); i++)
                emit(inline(substr(lines[i], 5)))
        } else if (line ~ /^- /) {
            print ".IP \\(bu 2"
            emit(inline(substr(line, 3)))
            for (i++; i <= count && indented(i); i++)
                emit(inline(substr(lines[i], 5)))
        } else {
            if (heading_name != "NAME")
                print ".PP"
            for (; i <= count && lines[i] != "" && lines[i] !~ /^(### |- |    )/; i++) {
                text = inline(lines[i])
                if (heading_name == "NAME")
                    sub(/ - /, " \\- ", text)
                emit(text)
            }
        }
    }
}
