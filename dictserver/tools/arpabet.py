"""ARPAbet (as the CMU Pronouncing Dictionary writes it) to IPA.

    to_ipa("AE1 P AH0 L") == "/ˈæpəl/"

Vowels carry their stress digit (1 primary, 2 secondary, 0 none); the stress
mark goes before the syllable, whose onset is the longest cluster of the
consonants before the vowel that can begin an English syllable. Unstressed
AH is ə, stressed AH ʌ; ER is ɜr stressed and ər unstressed (General
American with r written, as Chinese learners' dictionaries do).
"""

VOWELS = {"AA": "ɑ", "AE": "æ", "AH": "ʌ", "AO": "ɔ", "AW": "aʊ", "AY": "aɪ", "EH": "ɛ", "ER": "ɜr", "EY": "eɪ",
          "IH": "ɪ", "IY": "i", "OW": "oʊ", "OY": "ɔɪ", "UH": "ʊ", "UW": "u"}
UNSTRESSED = {"AH": "ə", "ER": "ər"}
CONSONANTS = {"B": "b", "CH": "tʃ", "D": "d", "DH": "ð", "F": "f", "G": "g", "HH": "h", "JH": "dʒ", "K": "k",
              "L": "l", "M": "m", "N": "n", "NG": "ŋ", "P": "p", "R": "r", "S": "s", "SH": "ʃ", "T": "t",
              "TH": "θ", "V": "v", "W": "w", "Y": "j", "Z": "z", "ZH": "ʒ"}
STRESS = {"1": "ˈ", "2": "ˌ", "0": ""}

# Clusters that begin English syllables (besides every single consonant but NG).
ONSETS = {tuple(o.split()) for o in [
    "P R", "B R", "T R", "D R", "K R", "G R", "F R", "TH R", "SH R",
    "P L", "B L", "K L", "G L", "F L", "S L",
    "S P", "S T", "S K", "S M", "S N", "S W", "S F",
    "T W", "D W", "K W", "G W", "TH W",
    "P Y", "B Y", "K Y", "G Y", "F Y", "V Y", "M Y", "HH Y",
    "S P R", "S T R", "S K R", "S P L", "S K W", "S K L", "S P Y", "S K Y",
]}


def _onset_length(cluster):
    """How many consonants at the end of the cluster begin the next syllable."""
    for n in range(min(3, len(cluster)), 1, -1):
        if tuple(cluster[-n:]) in ONSETS:
            return n
    return 1 if cluster and cluster[-1] != "NG" else 0


def to_ipa(arpabet):
    """The IPA between slashes; None when a symbol is unknown."""
    phones = arpabet.split()
    syllables = []  # [stress, [ipa pieces]]
    pending = []    # consonants not placed yet
    for phone in phones:
        symbol, digit = phone.rstrip("012"), phone[len(phone.rstrip("012")):]
        if symbol in VOWELS:
            if digit not in STRESS:
                return None
            take = len(pending) if not syllables else _onset_length(pending)
            if syllables:
                syllables[-1][1].extend(pending[:len(pending) - take])
            onset = pending[len(pending) - take:]
            vowel = UNSTRESSED.get(symbol, VOWELS[symbol]) if digit == "0" else VOWELS[symbol]
            syllables.append([digit, [CONSONANTS[c] for c in onset] + [vowel]])
            pending = []
        elif symbol in CONSONANTS and not digit:
            pending.append(symbol)
        else:
            return None
    if not syllables:
        return None
    syllables[-1][1].extend(CONSONANTS[c] for c in pending)
    # The consonants moved above are ARPAbet symbols until mapped.
    text = ""
    for digit, pieces in syllables:
        text += STRESS[digit] + "".join(CONSONANTS.get(p, p) for p in pieces)
    # A one-syllable word needs no stress mark.
    if len(syllables) == 1:
        text = text.lstrip("ˈˌ")
    return "/" + text + "/"
