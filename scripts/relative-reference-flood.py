#!/usr/bin/env python3
"""Times tessaro-query on a folder of one file that floods relative references: many bases in
the top package, many references through them in sub-packages. The baseline, timed in the same
run, is the same file with every reference written absolute.

    scripts/relative-reference-flood.py build/tessaro-query [BASES] [REFERENCES]
"""
import os
import subprocess
import sys
import tempfile
import time

SUBPACKAGES = 100


def write(path, bases, references, relative):
    per = references // SUBPACKAGES
    with open(path, "w") as out:
        out.write('<?xml version="1.0" encoding="UTF-8"?>\n<AUTOSAR><AR-PACKAGES>\n')
        out.write("<AR-PACKAGE><SHORT-NAME>P</SHORT-NAME><REFERENCE-BASES>\n")
        for b in range(bases):
            out.write("<REFERENCE-BASE><SHORT-LABEL>B%d</SHORT-LABEL><IS-DEFAULT>false</IS-DEFAULT>"
                      "<PACKAGE-REF DEST=\"AR-PACKAGE\">/P/S%d</PACKAGE-REF></REFERENCE-BASE>\n"
                      % (b, b % SUBPACKAGES))
        out.write("</REFERENCE-BASES><AR-PACKAGES>\n")
        for s in range(SUBPACKAGES):
            out.write("<AR-PACKAGE><SHORT-NAME>S%d</SHORT-NAME><ELEMENTS>\n" % s)
            for e in range(per):
                i = s * per + e
                label = (i * 7919) % bases
                target = "E%d" % (i % per)
                if relative:
                    ref = '<TYPE-TREF DEST="X" BASE="B%d">%s</TYPE-TREF>' % (label, target)
                else:
                    ref = '<TYPE-TREF DEST="X">/P/S%d/%s</TYPE-TREF>' % (label % SUBPACKAGES, target)
                out.write("<X><SHORT-NAME>E%d</SHORT-NAME>%s</X>\n" % (e, ref))
            out.write("</ELEMENTS></AR-PACKAGE>\n")
        out.write("</AR-PACKAGES></AR-PACKAGE></AR-PACKAGES></AUTOSAR>\n")


def timed(query, folder):
    start = time.monotonic()
    done = subprocess.run([query, folder, "broken-refs"], stdout=subprocess.PIPE, check=False)
    return time.monotonic() - start, done.returncode, done.stdout.count(b"\n")


def main():
    query = sys.argv[1]
    bases = int(sys.argv[2]) if len(sys.argv) > 2 else 20000
    references = int(sys.argv[3]) if len(sys.argv) > 3 else 100000
    with tempfile.TemporaryDirectory() as top:
        for name, relative in (("absolute", False), ("relative", True)):
            folder = os.path.join(top, name)
            os.mkdir(folder)
            path = os.path.join(folder, "flood.arxml")
            write(path, bases, references, relative)
            seconds, code, broken = timed(query, folder)
            print("%-8s %6.1f MB  broken-refs %6.2f s  exit %d  broken %d"
                  % (name, os.path.getsize(path) / 1e6, seconds, code, broken))


if __name__ == "__main__":
    main()
