#!/usr/bin/env python3
"""quorvo's start, installed against portable: the same executable started
from an install prefix (banks in a fresh user data folder, copied at the
first start) and from a portable folder (dict_main.db beside it), offscreen,
until its window is painted (QUORVO_SHOWN_FD). Starts alternate; prints the
median of each and their ratio.

  python3 bench/installed_start.py PREFIX [RUNS]
"""
import os
import select
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time


def start(program, env, cwd):
    read_end, write_end = os.pipe()
    env = dict(env, QUORVO_SHOWN_FD=str(write_end))
    begin = time.perf_counter()
    proc = subprocess.Popen([program], env=env, cwd=cwd, pass_fds=(write_end,),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    ready, _, _ = select.select([read_end], [], [], 30)
    elapsed = time.perf_counter() - begin
    ok = bool(ready) and os.read(read_end, 16) == b"shown\n"
    os.close(read_end)
    proc.send_signal(signal.SIGTERM)
    proc.wait()
    if not ok:
        sys.exit(f"{program} did not show its window")
    return elapsed * 1000


def main():
    prefix = os.path.abspath(sys.argv[1])
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    with tempfile.TemporaryDirectory(prefix="quorvo-start-") as tmp:
        portable = os.path.join(tmp, "portable")
        os.makedirs(portable)
        shutil.copy2(os.path.join(prefix, "bin/quorvo"), portable)
        shutil.copy2(os.path.join(prefix, "share/quorvo/dict_main.db"), portable)
        home = os.path.join(tmp, "home")
        os.makedirs(home)
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "XDG_DATA_HOME")}
        env.update(HOME=home, QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=tmp,
                   QUORVO_DICT_HOST="127.0.0.1:9", QUORVO_UPDATE_SERVER="http://127.0.0.1:9")
        bank = os.path.join(home, ".local/share/quorvo/dict_main.db")
        first = start(os.path.join(prefix, "bin/quorvo"), env, tmp)  # copies the starter
        assert os.path.isfile(bank)
        installed, port = [], []
        for _ in range(runs):
            installed.append(start(os.path.join(prefix, "bin/quorvo"), env, tmp))
            port.append(start(os.path.join(portable, "quorvo"), env, tmp))
        mi, mp = statistics.median(installed), statistics.median(port)
        print(f"first installed start (copies the starter): {first:.1f} ms")
        print(f"installed: median {mi:.1f} ms over {runs} starts (min {min(installed):.1f})")
        print(f"portable:  median {mp:.1f} ms over {runs} starts (min {min(port):.1f})")
        print(f"installed / portable: {mi / mp:.3f}")


if __name__ == "__main__":
    main()
