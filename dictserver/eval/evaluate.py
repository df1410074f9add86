#!/usr/bin/env python3
"""Judges quorvo-dictd's answers against a learner's word set.

Starts the given quorvo-dictd on a free loopback port, asks it for every word
of the set (learner_set.tsv beside this script) the way quorvo does, cuts the
renderings out of each page and prints, per frequency band:
  found  - the service answered with a translation;
  first  - the first rendering is one of the word's acceptable renderings;
  three  - one of the first three renderings is.

  python3 dictserver/eval/evaluate.py build/bin/quorvo-dictd [--data FILE] [--misses]
"""

import argparse
import os
import re
import subprocess
import sys
import urllib.parse
import urllib.request
from collections import defaultdict

HERE = os.path.dirname(os.path.abspath(__file__))
START, END = 'blue12other">', 'id="listtrans"'
NOTE = re.compile(r"（[^（）]*）")


def read_set(path):
    words = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            word, _rank, band, acceptable = line.rstrip("\n").split("\t")
            words.append((word, band, [a for a in acceptable.split("|") if a]))
    return words


def renderings(page):
    """The renderings of a translation page in order, form notes taken off."""
    start = page.find(START)
    end = page.find(END)
    if start < 0 or end < start:
        return []
    out = []
    for part in page[start:end].split(START)[1:]:
        text = part.split("</div>", 1)[-1].split("<", 1)[0].strip()
        for sense in text.split("；"):
            sense = NOTE.sub("", sense).strip()
            if sense:
                out.append(sense)
    return out


def plain(text):
    return text[:-1] if len(text) > 1 and text[-1] in "的地" else text


def acceptable(sense, accepted):
    """A rendering matches when it is an accepted one, or holds one of two or
    more characters, or is held by one (的/地 at the end do not count)."""
    sense = plain(sense)
    for a in map(plain, accepted):
        if sense == a:
            return True
        shorter, longer = (sense, a) if len(sense) <= len(a) else (a, sense)
        if len(shorter) >= 2 and shorter in longer:
            return True
    return False


def start_service(dictd, data):
    command = [dictd, "--port", "0", "--quiet"] + (["--data", data] if data else [])
    process = subprocess.Popen(command, stdout=subprocess.PIPE, text=True)
    line = process.stdout.readline()
    port = re.search(r"(\d+)\s*$", line)
    if not port:
        process.kill()
        sys.exit("quorvo-dictd did not print its port: " + line)
    return process, int(port.group(1))


def ask(port, word):
    url = f"http://127.0.0.1:{port}/m/search?vendor=%24vendor&keyfrom=dict.mresult&q={urllib.parse.quote(word)}"
    try:
        with urllib.request.urlopen(url, timeout=5) as answer:
            return answer.read().decode("utf-8")
    except urllib.error.HTTPError as error:
        return error.read().decode("utf-8", "replace")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("dictd", help="the quorvo-dictd executable")
    parser.add_argument("--data", help="the data file (default: the one beside the executable)")
    parser.add_argument("--set", default=os.path.join(HERE, "learner_set.tsv"))
    parser.add_argument("--misses", action="store_true", help="list the words whose first rendering fails")
    args = parser.parse_args()

    words = read_set(args.set)
    process, port = start_service(args.dictd, args.data)
    tally = defaultdict(lambda: [0, 0, 0, 0])
    try:
        for word, band, accepted in words:
            senses = renderings(ask(port, word))
            first = bool(senses) and acceptable(senses[0], accepted)
            three = any(acceptable(s, accepted) for s in senses[:3])
            for key in (band, "all"):
                row = tally[key]
                row[0] += 1
                row[1] += bool(senses)
                row[2] += first
                row[3] += three
            if args.misses and not first:
                print(f"  {word} ({band}): {'；'.join(senses[:4]) or '(not found)'}"
                      f"{'' if three else '   [none of the first three]'}")
    finally:
        process.terminate()
        process.wait()
    print(f"{'band':<12}{'words':>6}{'found':>9}{'first':>9}{'three':>9}")
    for band in sorted(k for k in tally if k != "all") + ["all"]:
        n, found, first, three = tally[band]
        print(f"{band:<12}{n:>6}{100 * found / n:>8.1f}%{100 * first / n:>8.1f}%{100 * three / n:>8.1f}%")
    return 0


if __name__ == "__main__":
    sys.exit(main())
