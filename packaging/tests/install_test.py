#!/usr/bin/env python3
"""Installs quorvo into a temporary prefix and starts it from there.

  install_test.py BUILD_DIR CMAKE

The tree must hold every installed file; quorvo started from it with a fresh
HOME copies the starter banks into ~/.local/share/quorvo/dict_main.db, keeps
a bank added there across starts, and creates nothing in its working folder.
A data folder that cannot be made is reported (path on standard error, in a
message box) without a crash. --version, --help and an unknown option work
without a display.
"""
import os
import select
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time

APP_ID = "io.github.quorvo.Quorvo"
EXPECTED = [
    "bin/quorvo",
    "libexec/quorvo/quorvo-dictd",
    "share/quorvo/dict_main.db",
    "share/quorvo/quorvo-dict.tsv",
    "share/quorvo/quorvo-lexicon.tsv",
    "share/quorvo/quorvo-examples.tsv",
    f"share/applications/{APP_ID}.desktop",
    f"share/metainfo/{APP_ID}.metainfo.xml",
    f"share/icons/hicolor/scalable/apps/{APP_ID}.svg",
    f"share/icons/hicolor/16x16/apps/{APP_ID}.png",
    f"share/icons/hicolor/22x22/apps/{APP_ID}.png",
    f"share/icons/hicolor/24x24/apps/{APP_ID}.png",
    f"share/icons/hicolor/32x32/apps/{APP_ID}.png",
    f"share/icons/hicolor/48x48/apps/{APP_ID}.png",
    f"share/icons/hicolor/64x64/apps/{APP_ID}.png",
    f"share/icons/hicolor/128x128/apps/{APP_ID}.png",
    f"share/icons/hicolor/256x256/apps/{APP_ID}.png",
    "share/man/man1/quorvo.1.gz",
    "share/doc/quorvo/copyright",
    "share/doc/quorvo/changelog.gz",
    "share/doc/quorvo/NOTICE.md",
]
NOT_INSTALLED = ["renova", "startup_tests", "wordapp_tests"]

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


def env_for(home, **extra):
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "XDG_DATA_HOME", "QUORVO_SHOWN_FD")}
    env["HOME"] = home
    env["QT_QPA_PLATFORM"] = "offscreen"
    # A host of its own: no bundled service is started during the test.
    env["QUORVO_DICT_HOST"] = "127.0.0.1:9"
    env.update(extra)
    return env


def start_until_shown(program, cwd, env, timeout=20):
    """Starts quorvo, waits for its window to be painted, ends it."""
    read_end, write_end = os.pipe()
    env = dict(env, QUORVO_SHOWN_FD=str(write_end))
    proc = subprocess.Popen([program], cwd=cwd, env=env, pass_fds=(write_end,),
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    os.close(write_end)
    # Until the window is painted, or quorvo says on standard error why it
    # cannot start (it then waits in its message box).
    shown, said = False, b""
    deadline = time.monotonic() + timeout
    def told():
        return b"\n" in said.partition(b"quorvo: ")[2]

    while not shown and not told() and time.monotonic() < deadline:
        ready, _, _ = select.select([read_end, proc.stderr], [], [], deadline - time.monotonic())
        if read_end in ready:
            shown = os.read(read_end, 16) == b"shown\n"
            if not shown:
                break
        if proc.stderr in ready:
            chunk = os.read(proc.stderr.fileno(), 4096)
            if not chunk:
                break
            said += chunk
    os.close(read_end)
    proc.send_signal(signal.SIGTERM)
    try:
        _, err = proc.communicate(timeout=10)
    except subprocess.TimeoutExpired:
        proc.kill()
        _, err = proc.communicate()
    return shown, proc.returncode, (said + err).decode("utf-8", "replace")


def rows(db, table):
    with sqlite3.connect(db) as c:
        return c.execute(f"select count(*) from {table}").fetchone()[0]


def main():
    build, cmake = sys.argv[1], sys.argv[2]
    # Builds of the test programs alone (scripts/sanitize.sh) have nothing to
    # install: skipped (77), not failed.
    for made in ("bin/quorvo", "bin/quorvo-dictd", "packaging/dict_main.db"):
        if not os.path.isfile(os.path.join(build, made)):
            print(f"{made} is not built: nothing to install")
            return 77
    with tempfile.TemporaryDirectory(prefix="quorvo-install-") as tmp:
        prefix = os.path.join(tmp, "prefix")
        out = subprocess.run([cmake, "--install", build, "--prefix", prefix],
                             capture_output=True, text=True)
        check(out.returncode == 0, "cmake --install: " + out.stderr)
        for name in EXPECTED:
            check(os.path.isfile(os.path.join(prefix, name)), "installed: " + name)
        for root, _, files in os.walk(prefix):
            for f in files:
                check(f not in NOT_INSTALLED, "not installed: " + os.path.join(root, f))
        quorvo = os.path.join(prefix, "bin", "quorvo")
        starter = os.path.join(prefix, "share/quorvo/dict_main.db")
        starter_bytes = open(starter, "rb").read()
        # The starter words carry the bundled dictionary's phonetics, stored
        # as a lookup stores them (GB18030).
        with sqlite3.connect(starter) as c:
            row = c.execute("select cast(phonetic as blob) from main_remember where value = 'husband'").fetchone()
        check(row is not None and row[0] is not None and bytes(row[0]).decode("gb18030") == "/ˈhʌzbənd/",
              "the starter's husband has its phonetic: " + repr(row))

        # The command line, with no display at all.
        bare = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        for args, code, stream, text in [
            (["--version"], 0, "stdout", "quorvo 1.0"),
            (["--help"], 0, "stdout", "Usage: quorvo"),
            (["--no-such-option"], 2, "stderr", "unknown option '--no-such-option'"),
        ]:
            r = subprocess.run([quorvo] + args, env=bare, capture_output=True, text=True, timeout=20)
            check(r.returncode == code, f"{args}: exit {r.returncode}, wanted {code}")
            check(text in getattr(r, stream), f"{args}: {stream} lacks {text!r}: {r.stdout!r} {r.stderr!r}")

        # First start: the starter is copied into the user's data folder.
        home = os.path.join(tmp, "home")
        work = os.path.join(tmp, "work")
        os.makedirs(home)
        os.makedirs(work)
        bank = os.path.join(home, ".local/share/quorvo/dict_main.db")
        shown, code, err = start_until_shown(quorvo, work, env_for(home))
        check(shown, "first start: the window was shown (" + err + ")")
        check(os.path.isfile(bank), "first start made " + bank)
        if os.path.isfile(bank):
            check(rows(bank, "main_word") == rows(starter, "main_word") > 0, "the starter's main_word was copied")
            check(rows(bank, "main_remember") == rows(starter, "main_remember") > 0,
                  "the starter's main_remember was copied")
            # A bank of the user's own, as "添加新单词" makes one.
            with sqlite3.connect(bank) as c:
                c.execute("create table my_words as select * from main_word limit 7")
        check(os.listdir(work) == [], "nothing made in the working folder: " + str(os.listdir(work)))

        # Second start, from another folder: the user's bank is still there,
        # the starter was not copied over it.
        other = os.path.join(tmp, "elsewhere")
        os.makedirs(other)
        shown, code, err = start_until_shown(quorvo, other, env_for(home))
        check(shown, "second start: the window was shown (" + err + ")")
        if os.path.isfile(bank):
            check(rows(bank, "my_words") == 7, "the user's bank survived a second start")
        check(os.listdir(other) == [], "nothing made in the second working folder")
        check(open(starter, "rb").read() == starter_bytes, "the installed starter is unchanged")

        # XDG_DATA_HOME is honoured.
        xdg = os.path.join(tmp, "xdg")
        shown, code, err = start_until_shown(quorvo, work, env_for(home, XDG_DATA_HOME=xdg))
        check(shown and os.path.isfile(os.path.join(xdg, "quorvo/dict_main.db")), "banks under XDG_DATA_HOME")

        # A data folder that cannot be made: a file stands where it should be.
        blocked = os.path.join(tmp, "blocked")
        open(blocked, "w").close()
        shown, code, err = start_until_shown(quorvo, work, env_for(home, XDG_DATA_HOME=blocked))
        check(not shown, "no main window without a bank")
        check(os.path.join(blocked, "quorvo/dict_main.db") in err, "the message names the path: " + err)
        check(code not in (None, -signal.SIGSEGV, -signal.SIGABRT, -signal.SIGBUS), f"no crash (exit {code})")
        check(os.listdir(work) == [], "still nothing in the working folder")

        # Portable: the same program with dict_main.db beside it uses that
        # file and leaves the user's data folder alone.
        portable = os.path.join(tmp, "portable")
        os.makedirs(portable)
        subprocess.run(["cp", quorvo, os.path.join(portable, "quorvo")], check=True)
        with open(starter, "rb") as src, open(os.path.join(portable, "dict_main.db"), "wb") as dst:
            dst.write(src.read())
        home2 = os.path.join(tmp, "home2")
        os.makedirs(home2)
        shown, code, err = start_until_shown(os.path.join(portable, "quorvo"), work, env_for(home2))
        check(shown, "portable start shown (" + err + ")")
        check(not os.path.exists(os.path.join(home2, ".local")), "a portable quorvo leaves ~/.local alone")

    if failures:
        print(f"{len(failures)} check(s) failed")
        return 1
    print("install tree and installed quorvo: all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
