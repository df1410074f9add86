"""Tests of the dictionary data tools: ARPAbet to IPA, and the rules that
order a word's Chinese renderings (run by CTest: python3 -m unittest)."""

import os
import sys
import unittest
from collections import defaultdict

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import build_dict_data as build  # noqa: E402
from arpabet import to_ipa  # noqa: E402


class ArpabetTest(unittest.TestCase):
    def test_table(self):
        cases = [
            ("AE1 P AH0 L", "/ˈæpəl/"),                            # stress before the syllable, schwa
            ("K AE1 T", "/kæt/"),                                  # one syllable: no mark
            ("B AH1 T ER0", "/ˈbʌtər/"),                           # stressed AH, unstressed ER
            ("K AH0 M P Y UW1 T ER0", "/kəmˈpjutər/"),             # the onset "pj" moves with the stress
            ("IH2 N T ER0 N AE1 SH AH0 N AH0 L", "/ˌɪntərˈnæʃənəl/"),  # secondary stress
            ("EH1 K S T R AH0", "/ˈɛkstrə/"),                      # "str" begins the syllable, "k" stays
            ("TH IH1 NG K IH0 NG", "/ˈθɪŋkɪŋ/"),                     # NG never begins one
            ("AH0 B AW1 T", "/əˈbaʊt/"),                           # the mark after the first syllable
            ("JH AH1 JH", "/dʒʌdʒ/"),
            ("P L EH1 ZH ER0", "/ˈplɛʒər/"),
            ("B ER1 D", "/bɜrd/"),
            ("OY1 L", "/ɔɪl/"),
        ]
        for arpabet, ipa in cases:
            self.assertEqual(to_ipa(arpabet), ipa, arpabet)

    def test_unknown_symbols(self):
        self.assertIsNone(to_ipa("AE7 P"))
        self.assertIsNone(to_ipa("Q AE1"))
        self.assertIsNone(to_ipa("K T"))  # no vowel


def entry(chinese, meanings, pinyin="x", classifiers=()):
    return [chinese, chinese, pinyin, meanings, [], list(classifiers)]


class RankingTest(unittest.TestCase):
    """Each rule that demotes a rendering, on two renderings that differ in
    that alone (counts from jieba given equal unless the case is about them)."""

    def first(self, entries, word, pos, pos_use, jieba):
        found, _, _ = build.invert_cedict(entries, pos_use, {}, jieba, defaultdict(list), {})
        built = build.build_entries(found, pos_use, {}, jieba)
        parts = dict(built[word])
        return parts[pos][0], [p for p, _ in built[word]]

    def test_marked_renderings_come_after_plain_ones(self):
        verbs = {"stay": {build.POS_VERB: 5}}
        for tag in ("archaic", "literary", "dialect", "slang", "brand", "old"):
            entries = [entry("甲乙", f"({tag}) to stay"), entry("丙丁", "to stay")]
            jieba = {"甲乙": (500, "v"), "丙丁": (500, "v")}
            self.assertEqual(self.first(entries, "stay", build.POS_VERB, verbs, jieba)[0], "丙丁", tag)

    def test_variant_surname_and_place_come_last(self):
        nouns = {"base": {build.POS_NOUN: 5}}
        entries = [entry("甲乙", ["base", "variant of 丙丁"]), entry("丙丁", "base")]
        jieba = {"甲乙": (500, "n"), "丙丁": (500, "n")}
        self.assertEqual(self.first(entries, "base", build.POS_NOUN, nouns, jieba)[0], "丙丁")
        entries = [entry("甲乙", "base"), entry("丙丁", "base")]
        for tag in ("ns", "nr", "nz"):
            jieba = {"甲乙": (500, tag), "丙丁": (500, "n")}
            self.assertEqual(self.first(entries, "base", build.POS_NOUN, nouns, jieba)[0], "丙丁", tag)

    def test_common_words_come_first(self):
        verbs = {"stay": {build.POS_VERB: 5}}
        entries = [entry("勾留", "to stay"), entry("留下", "to stay")]
        jieba = {"勾留": (10, "v"), "留下": (5000, "v")}
        self.assertEqual(self.first(entries, "stay", build.POS_VERB, verbs, jieba)[0], "留下")

    def test_lone_character_after_a_common_word(self):
        verbs = {"seem": {build.POS_VERB: 5}}
        entries = [entry("若", ["to seem", "like", "as", "if"]), entry("似乎", "to seem")]
        jieba = {"若": (17000, "v"), "似乎": (5000, "v")}
        self.assertEqual(self.first(entries, "seem", build.POS_VERB, verbs, jieba)[0], "似乎")

    def test_function_words_and_phrases_are_no_rendering(self):
        verbs = {"go": {build.POS_VERB: 50}}
        entries = [entry("于", ["to go", "to take"]), entry("进去", "to go in"), entry("去", "to go; to leave")]
        jieba = {"于": (100000, "p"), "进去": (5000, "v"), "去": (50000, "v")}
        self.assertEqual(self.first(entries, "go", build.POS_VERB, verbs, jieba)[0], "去")

    def test_a_name_glossed_by_a_common_entry_is_no_sense(self):
        found, _, names = build.invert_cedict(
            [entry("三月份", "March"), entry("行军", "to march")], {"march": {build.POS_VERB: 5, build.POS_NOUN: 5}},
            {}, {"三月份": (900, "t"), "行军": (300, "v")}, defaultdict(list), {})
        self.assertNotIn("三月份", {zh for part in found["march"].values() for zh in part})
        self.assertNotIn("march", names)

    def test_the_chinese_words_class_decides_the_part_of_speech(self):
        pos_use = {"pretty": {build.POS_ADJ: 10, build.POS_ADV: 40}}
        entries = [entry("漂亮", "pretty; beautiful"), entry("相当", "pretty; quite")]
        jieba = {"漂亮": (2000, "a"), "相当": (9000, "d")}
        found, _, _ = build.invert_cedict(entries, pos_use, {}, jieba, defaultdict(list), {})
        self.assertIn("漂亮", found["pretty"][build.POS_ADJ])
        self.assertNotIn("漂亮", found["pretty"].get(build.POS_ADV, {}))
        self.assertIn("相当", found["pretty"][build.POS_ADV])

    def test_a_verb_is_not_rendered_by_a_noun(self):
        verbs = {"pledge": {build.POS_VERB: 5, build.POS_NOUN: 5}}
        entries = [entry("誓言", ["to pledge", "oath", "vow"]), entry("保证", "to pledge; to guarantee")]
        jieba = {"誓言": (800, "n"), "保证": (800, "v")}
        self.assertEqual(self.first(entries, "pledge", build.POS_VERB, verbs, jieba)[0], "保证")

    def test_british_spellings_join_the_american_entry(self):
        found = defaultdict(lambda: defaultdict(dict))
        found["centre"][build.POS_NOUN] = {"基点": 1.0}
        found["center"][build.POS_NOUN] = {"中心": 0.5}
        found["tour"][build.POS_NOUN] = {"旅游": 0.5}
        senses = {("centre", build.POS_NOUN): [("n.", "1")], ("center", build.POS_NOUN): [("n.", "1")],
                  ("tour", build.POS_NOUN): [("n.", "2")], ("tor", build.POS_NOUN): [("n.", "3")]}
        self.assertEqual(build.merge_british(found, senses), ["centre"])
        self.assertEqual(found["center"][build.POS_NOUN], {"中心": 0.5, "基点": 1.0})
        self.assertIn("tour", found)


class FormsTest(unittest.TestCase):
    def test_bases_in_the_order_the_service_tries_them(self):
        cases = [("fishermen", "fisherman"), ("flies", "fly"), ("hoping", "hope"), ("running", "run"),
                 ("tried", "try"), ("stopped", "stop"), ("happier", "happy"), ("bigger", "big")]
        for form, base in cases:
            self.assertEqual(build.resolve(form, {base, "hop", "us"}), base, form)


if __name__ == "__main__":
    unittest.main()
