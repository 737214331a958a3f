#!/usr/bin/env python3
"""Drives the bash completion of partsc in a real interactive bash on a
pseudo-terminal, as a user does at a <TAB>: bash itself splits the line
(also at "=") and readline puts the candidate in. Each case types a line and
a <TAB>, then reads what readline listed (one candidate a line) and the line
as it stands after the <TAB>.

    partsc_bash_test.py COMPLETION_FILE PARTSC
"""
import os
import pty
import select
import shutil
import sys
import tempfile
import time

# (typed, listed, line): the candidates readline lists for an ambiguous
# completion, sorted ("" for none), and the line after the <TAB>.
CASES = [
    ("partsc --li", "", "partsc --list "),
    ("partsc --diag", "", "partsc --diagnostics-format="),
    ("partsc --diagnostics-format=", "classic gnu json", "partsc --diagnostics-format="),
    ("partsc --diagnostics-format=g", "", "partsc --diagnostics-format=gnu "),
    ("partsc --diagnostics-format g", "", "partsc --diagnostics-format gnu "),
    ("partsc --list --format=", "json lines listing text", "partsc --list --format="),
    ("partsc --list --format=j", "", "partsc --list --format=json "),
    ("partsc --control=L", "", "partsc --control=LIBRARY.CTL "),
    ("partsc --control L", "", "partsc --control LIBRARY.CTL "),
    ("partsc -cL", "", "partsc -cLIBRARY.CTL "),
    ("partsc -c L", "", "partsc -c LIBRARY.CTL "),
    ("partsc -pO", "", "partsc -pORVA.SET "),
    ("partsc -p ", "LIBRARY.CTL ORVA.SET parts/ run.sarif", "partsc -p "),
    ("partsc -Cp", "", "partsc -Cparts/"),
    ("partsc -C p", "", "partsc -C parts/"),
    ("partsc --sarif-base=p", "", "partsc --sarif-base=parts/"),
    ("partsc --list parts/b", "", "partsc --list parts/bolt.prt "),
    ("partsc --diff parts/bolt.prt parts/b", "", "partsc --diff parts/bolt.prt parts/bolt.prt "),
    ("partsc --decompile parts/bolt.prt -o LIB", "", "partsc --decompile parts/bolt.prt -o LIBRARY.CTL "),
    ("partsc --init p", "", "partsc --init parts/"),
    ("partsc -pORVA.SET --no-", "--no-atomic --no-quiet --no-sarif --no-strict",
     "partsc -pORVA.SET --no-"),
    ("partsc --list --fo", "--force --format=", "partsc --list --for"),
    ("partsc -Wno-te", "", "partsc -Wno-text-cut "),
    ("partsc -Wun", "-Wunclosed-field -Wundefined-macro -Wunknown-keyword", "partsc -Wun"),
    ("partsc --explain illegal-p", "", "partsc --explain illegal-param "),
    ("partsc --explain=illegal-sp", "", "partsc --explain=illegal-spec "),
    ("partsc --bogus", "", "partsc --bogus"),
]

PROMPT = "PROMPT> "


def read_until(fd, marker, timeout=10.0):
    """What the terminal shows up to and with `marker`."""
    out = b""
    end = time.monotonic() + timeout
    while marker.encode() not in out.replace(b"\r", b""):
        left = end - time.monotonic()
        if left <= 0 or not select.select([fd], [], [], left)[0]:
            raise TimeoutError("no %r in %r" % (marker, out.decode(errors="replace")))
        out += os.read(fd, 4096)
    return out.decode(errors="replace").replace("\r", "")


def main():
    completion = os.path.abspath(sys.argv[1])
    partsc = os.path.abspath(sys.argv[2])
    top = tempfile.mkdtemp()
    work = os.path.join(top, "lib")
    try:
        os.makedirs(os.path.join(work, "parts"))
        os.makedirs(os.path.join(top, "bin"))
        for name in ("ORVA.SET", "LIBRARY.CTL", "parts/bolt.prt", "run.sarif"):
            open(os.path.join(work, name), "w").close()
        os.symlink(partsc, os.path.join(top, "bin", "partsc"))
        env = dict(os.environ, PATH=os.path.join(top, "bin") + ":" + os.environ["PATH"],
                   PS1=PROMPT, INPUTRC="/dev/null", TERM="dumb", HOME=work)
        pid, fd = pty.fork()
        if pid == 0:
            os.chdir(work)
            os.execvpe("bash", ["bash", "--norc", "--noprofile", "-i"], env)
        setup = [
            "bind 'set show-all-if-ambiguous on'",
            "bind 'set completion-display-width 0'",
            "bind 'set completion-query-items -1'",
            "bind 'set page-completions off'",
            "bind 'set bell-style none'",
            "bind 'set horizontal-scroll-mode on'",
            "bind -x '\"\\C-x\": printf \"\\n<<%s>>\\n\" \"$READLINE_LINE\"'",
            "source '%s'" % completion,
            "echo READ''Y",
        ]
        os.write(fd, ("; ".join(setup) + "\n").encode())
        read_until(fd, "READY\n" + PROMPT)
        failures = 0
        for typed, listed, line in CASES:
            os.write(fd, (typed + "\t\x18").encode())
            shown = read_until(fd, ">>\n")
            got_line = shown[shown.rindex("<<") + 2:shown.rindex(">>")]
            # The candidates stand one a line between the line typed and the
            # prompt drawn again under them.
            lines = shown[:shown.rindex("<<")].split("\n")
            inner = [l for l in lines[1:] if not l.startswith(PROMPT) and l.strip()]
            got_listed = " ".join(sorted(inner)) if len(lines) > 2 else ""
            if got_line != line or got_listed != listed:
                print("FAIL: %r<TAB>: want %r listing %r, got %r listing %r"
                      % (typed, line, listed, got_line, got_listed))
                failures += 1
            os.write(fd, b"\x15")
        os.write(fd, b"exit\n")
        os.waitpid(pid, 0)
    finally:
        shutil.rmtree(top)
    if failures:
        sys.exit(1)
    print("bash completion: all %d cases as expected" % len(CASES))


if __name__ == "__main__":
    main()
