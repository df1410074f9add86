#!/usr/bin/env python3
"""Writes dictserver/data/quorvo-examples.tsv: one English example sentence
for each headword of quorvo-dict.tsv and quorvo-lexicon.tsv that WordNet 3.0
has one for. quorvo gives it to a word whose texts held no sentence of it.

Reads WordNet 3.0 as Debian's wordnet-base installs it (/usr/share/wordnet):
  - index.noun/verb/adj/adv: a lemma's senses of each part of speech, most
    used first;
  - cntlist.rev: how often each sense was met in WordNet's tagged texts, to
    order the senses of a lemma across its parts of speech;
  - data.noun/verb/adj/adv: each sense's gloss, whose usage examples are the
    double-quoted pieces after "; ".

A word's example is taken from its most used sense that has one containing
the word itself or one of its inflected forms (the forms quorvo-lexicon.tsv
lists for it), as a whole word; of at most 300 characters, of two words or
more, printable ASCII only (quorvo stores GBK). A clause (four words or more)
is preferred to a shorter phrase as long as it comes from one of the next
few senses. The first letter is capitalised and a full stop added when the
example ends with no mark.

Run:  python3 dictserver/tools/build_examples.py  (--wordnet, --data, --out to
      point elsewhere; sudo apt-get install wordnet-base when it is missing)
"""

import argparse
import os
import re
from collections import defaultdict

MAX_CHARS = 300
# A shorter phrase beats a clause of a later sense only when the clause's
# sense comes this many places or more after the phrase's.
PHRASE_PENALTY = 3
CLAUSE_WORDS = 4

PARTS = ("noun", "verb", "adj", "adv")
# cntlist.rev's ss_type digit to the part of speech (5: adjective satellite).
SENSE_TYPE = {"1": "noun", "2": "verb", "3": "adj", "4": "adv", "5": "adj"}
WORD = re.compile(r"^[a-z]+$")
TOKEN = re.compile(r"[A-Za-z]+")
EXAMPLE = re.compile(r'(?:^|; )"([^"]*)"')
PRINTABLE = re.compile(r"^[\x20-\x7e]+$")

HEADER = """\
# quorvo's bundled example sentences, one a line: word<TAB>example (UTF-8).
# quorvo gives a word the example when the learner's texts held no sentence of it.
# The usage examples of WordNet 3.0's glosses (Princeton University, WordNet 3.0 licence,
# see NOTICE.md): of each headword of quorvo-dict.tsv and quorvo-lexicon.tsv, the example of
# its most used sense that contains the word or one of its forms. Made by
# dictserver/tools/build_examples.py from Debian's wordnet-base.
"""


def headwords(path):
    """The first field of every line that is no comment."""
    words = set()
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            word = line.split("\t", 1)[0].strip()
            if WORD.match(word):
                words.add(word)
    return words


def lexicon_forms(path):
    """{base: {its inflected forms}} from quorvo-lexicon.tsv."""
    forms = defaultdict(set)
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.startswith("#"):
                continue
            fields = line.rstrip("\n").split("\t")
            if len(fields) >= 2 and fields[1]:
                for base in fields[1].split(","):
                    forms[base].add(fields[0])
    return forms


def gloss_examples(gloss):
    """The usage examples of a WordNet gloss: the quoted pieces after "; "."""
    return [m.group(1).strip() for m in EXAMPLE.finditer(gloss.strip()) if m.group(1).strip()]


def read_glosses(folder):
    """{(part, offset): [examples]} for the synsets that have examples."""
    examples = {}
    for part in PARTS:
        with open(os.path.join(folder, "data." + part), encoding="latin-1") as f:
            for line in f:
                if line.startswith(" "):
                    continue
                found = gloss_examples(line.partition("|")[2])
                if found:
                    examples[(part, line.partition(" ")[0])] = found
    return examples


def read_senses(folder, wanted):
    """{lemma: [(part, offset), ...]} for the one-word lemmas in wanted, most
    used sense first across the parts of speech."""
    tagged = {}  # (lemma, part, sense number) -> times tagged
    with open(os.path.join(folder, "cntlist.rev"), encoding="latin-1") as f:
        for line in f:
            fields = line.split()
            if len(fields) != 3:
                continue
            lemma, _, rest = fields[0].partition("%")
            part = SENSE_TYPE.get(rest[:1])
            if part and lemma in wanted:
                key = (lemma, part, int(fields[1]))
                tagged[key] = tagged.get(key, 0) + int(fields[2])
    ranked = defaultdict(list)  # lemma -> [(-tagged, sense number, part order, (part, offset))]
    for order, part in enumerate(PARTS):
        with open(os.path.join(folder, "index." + part), encoding="latin-1") as f:
            for line in f:
                if line.startswith(" "):
                    continue
                fields = line.split()
                lemma = fields[0]
                if lemma not in wanted:
                    continue
                count = int(fields[2])
                for number, offset in enumerate(fields[-count:], start=1):
                    ranked[lemma].append((-tagged.get((lemma, part, number), 0), number, order, (part, offset)))
    return {lemma: [key for *_, key in sorted(senses)] for lemma, senses in ranked.items()}


def tidy(example):
    """The example as a sentence: first letter capitalised, a closing mark."""
    text = re.sub(r"\s+", " ", example).strip()
    if text[:1].islower():
        text = text[0].upper() + text[1:]
    if text[-1] not in ".!?":
        text += "."
    return text


def choose(word, senses, examples, forms):
    """The example for word: its senses (most used first) with their examples;
    None when no example of any sense contains the word or a form of it."""
    spellings = {word} | forms
    best = None
    for rank, sense in enumerate(senses):
        for position, example in enumerate(examples.get(sense, ())):
            if len(example) + 1 > MAX_CHARS or not PRINTABLE.match(example):
                continue
            tokens = [t.lower() for t in TOKEN.findall(example)]
            if len(tokens) < 2 or not spellings.intersection(tokens):
                continue
            key = (rank + (0 if len(tokens) >= CLAUSE_WORDS else PHRASE_PENALTY), rank, position)
            if best is None or key < best[0]:
                best = (key, example)
    return tidy(best[1]) if best else None


def build(wordnet, dictionary, lexicon):
    """[(word, example)] in alphabetical order."""
    wanted = headwords(dictionary) | headwords(lexicon)
    forms = lexicon_forms(lexicon)
    examples = read_glosses(wordnet)
    senses = read_senses(wordnet, wanted)
    rows = []
    for word in sorted(senses):
        example = choose(word, senses[word], examples, forms.get(word, set()))
        if example:
            rows.append((word, example))
    return rows


def write(path, rows):
    with open(path, "w", encoding="utf-8", newline="\n") as out:
        out.write(HEADER)
        for word, example in rows:
            out.write(f"{word}\t{example}\n")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    data = os.path.normpath(os.path.join(here, "..", "data"))
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--wordnet", default="/usr/share/wordnet")
    parser.add_argument("--data", default=data, help="the folder of quorvo-dict.tsv and quorvo-lexicon.tsv")
    parser.add_argument("--out", default=os.path.join(data, "quorvo-examples.tsv"))
    args = parser.parse_args()
    if not os.path.exists(os.path.join(args.wordnet, "index.noun")):
        parser.error(f"no WordNet in {args.wordnet} (sudo apt-get install wordnet-base)")
    rows = build(args.wordnet, os.path.join(args.data, "quorvo-dict.tsv"),
                 os.path.join(args.data, "quorvo-lexicon.tsv"))
    write(args.out, rows)
    print(f"{args.out}: {len(rows)} words")


if __name__ == "__main__":
    main()
