"""Tests of the dictionary data tools: ARPAbet to IPA, and the rules that
order a word's Chinese renderings (run by CTest: python3 -m unittest)."""

import os
import sys
import unittest
from collections import defaultdict

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import build_dict_data as build  # noqa: E402
import build_examples as examples  # noqa: E402
import lexicon_data as lexicon  # noqa: E402
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
        # a rarer word of two characters still goes first; an unknown one does not
        adjectives = {"extinct": {build.POS_ADJ: 3}}
        entries = [entry("绝", ["extinct", "to cut off"]), entry("绝迹", "extinct")]
        for count, expected in ((183, "绝迹"), (0, "绝")):
            jieba = {"绝": (4795, "a"), "绝迹": (count, "a")}
            self.assertEqual(self.first(entries, "extinct", build.POS_ADJ, adjectives, jieba)[0], expected, count)

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


class CoreSensesTest(unittest.TestCase):
    """The hand-written first senses of frequent words go before what the
    inverted dictionary found, without losing its other senses or parts."""

    def test_core_senses_lead_and_the_found_ones_follow(self):
        entries = {
            "point": [("n.", ["点点", "一点", "点子", "论点"]), ("v.", ["指"])],
            "home": [("n.", ["家里", "家"]), ("adv.", ["回家"])],
            "gave": "=give",
            "run": [("v.", ["跑（ran 的原形）"]), ("v.", ["跑", "运行"])],
        }
        core = {
            "point": [("n.", ["点", "要点"]), ("v.", ["指向"])],
            "home": [("n.", ["家", "家庭"])],
            "gave": [("v.", ["给"])],
            "run": [("v.", ["跑", "奔跑"])],
            "sick": [("adj.", ["生病的", "恶心的"])],
        }
        build.apply_core_senses(entries, core)
        cases = [
            ("point", [("n.", ["点", "要点", "点点", "一点"]), ("v.", ["指向", "指"])]),  # cut to four senses
            ("home", [("n.", ["家", "家庭", "家里"]), ("adv.", ["回家"])]),               # no sense twice
            ("gave", "=give"),                                                          # a form stays a form
            ("run", [("v.", ["跑", "奔跑", "运行"]), ("v.", ["跑（ran 的原形）"])]),       # a form note stays apart
            ("sick", [("adj.", ["生病的", "恶心的"])]),                                  # a word the data lacked
        ]
        for word, expected in cases:
            self.assertEqual(entries[word], expected, word)
        again = {w: list(v) if isinstance(v, list) else v for w, v in entries.items()}
        build.apply_core_senses(again, core)
        self.assertEqual(again, entries)

    def test_the_table_loads_and_rejects_lines_without_senses(self):
        import tempfile
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "core.tsv")
            self.assertEqual(build.load_core_senses(path), {})
            with open(path, "w", encoding="utf-8") as f:
                f.write("# comment\nlight\tn. 光；灯\tadj. 轻的\n")
            self.assertEqual(build.load_core_senses(path), {"light": [("n.", ["光", "灯"]), ("adj.", ["轻的"])]})
            for bad in ("light\tn.\n", "light\n", "went\t=go\n"):
                with open(path, "w", encoding="utf-8") as f:
                    f.write(bad)
                with self.assertRaises(ValueError, msg=bad):
                    build.load_core_senses(path)

    def test_every_core_line_fits_a_page(self):
        here = os.path.dirname(os.path.abspath(__file__))
        core = build.load_core_senses(os.path.join(here, "core_senses.tsv"))
        exam = build.load_core_senses(os.path.join(here, "exam_senses.tsv"))
        frequent = build.load_core_senses(os.path.join(here, "frequent_senses.tsv"))
        self.assertGreater(len(core), 4000)
        self.assertGreater(len(exam), 1000)
        self.assertGreater(len(frequent), 100)
        # one hand-written line a word
        self.assertFalse(set(core) & set(exam) or set(core) & set(frequent) or set(exam) & set(frequent))
        for word, parts in list(core.items()) + list(exam.items()) + list(frequent.items()):
            self.assertEqual(word, word.lower(), word)
            for pos, senses in parts:
                self.assertIn(pos, ("n.", "v.", "adj.", "adv.", "prep.", "conj.", "pron.", "int.", "num.", "aux."), word)
                self.assertTrue(all(s and "；" not in s and "\t" not in s for s in senses), word)
            self.assertEqual(len(build.format_parts(parts)), len(parts), word)  # nothing cut away


    @unittest.skipUnless(os.path.exists("/usr/share/wordnet/cntlist.rev"), "WordNet is not installed")
    def test_every_core_line_has_the_parts_wordnet_uses_much(self):
        # A line without the verb "dock" reads "docked" from the noun: each
        # part WordNet's tagged texts give at least two uses and a fifth of
        # the word's uses, or all of them, is written, unless another head
        # speaks for it (num. for the adjective "two", pron. for "someone").
        folder = "/usr/share/wordnet"
        listed = defaultdict(set)
        for name, pos in (("noun", "n."), ("verb", "v."), ("adj", "adj."), ("adv", "adv.")):
            with open(os.path.join(folder, "index." + name), encoding="latin-1") as f:
                for line in f:
                    if not line.startswith(" "):
                        listed[line.split()[0]].add(pos)
        uses = defaultdict(lambda: defaultdict(int))
        with open(os.path.join(folder, "cntlist.rev"), encoding="latin-1") as f:
            for line in f:
                key, _, count = line.split()
                lemma, _, rest = key.partition("%")
                pos = {"1": "n.", "2": "v.", "3": "adj.", "4": "adv.", "5": "adj."}.get(rest[:1])
                if pos in listed[lemma]:
                    uses[lemma][pos] += int(count)
        here = os.path.dirname(os.path.abspath(__file__))
        lines = {**build.load_core_senses(os.path.join(here, "frequent_senses.tsv")),
                 **build.load_core_senses(os.path.join(here, "exam_senses.tsv")),
                 **build.load_core_senses(os.path.join(here, "core_senses.tsv"))}
        missing = []
        for word, parts in lines.items():
            heads = {pos for pos, _ in parts}
            total = sum(uses[word].values())
            if heads & {"num.", "pron.", "aux.", "conj.", "int."} or word in ("else", "negro"):
                continue
            missing += [(word, pos) for pos, n in uses[word].items()
                        if pos not in heads and (n == total or (n >= 2 and 5 * n >= total))]
        self.assertEqual(missing, [])

class DerivedEntriesTest(unittest.TestCase):
    def test_lemma_counts_join_only_real_forms(self):
        entries = {"hon": [("n.", ["亲爱的"])], "kill": [("v.", ["杀死"])], "big": [("adj.", ["大的"])],
                   "honest": [("adj.", ["诚实的"])], "killer": [("n.", ["杀手"])], "walk": [("v.", ["走"])]}
        counts = {"hon": 10, "honest": 50, "kill": 100, "killer": 40, "big": 70, "bigger": 30, "walks": 5,
                  "walk": 20}
        merged = build.lemma_counts(counts, entries, {}, {})
        self.assertEqual(merged["honest"], 50)  # no superlative of "hon"
        self.assertEqual(merged["hon"], 10)
        self.assertEqual(merged["killer"], 40)  # no comparative of the verb "kill"
        self.assertEqual(merged["big"], 100)    # bigger is big's
        self.assertEqual(merged["walk"], 25)

    def test_a_word_with_one_borrowed_part_borrows_the_others(self):
        pos_use = {"northerly": {build.POS_ADJ: 2, build.POS_ADV: 1}}
        entries = {"north": [(build.POS_NOUN, ["北方", "北部"])],
                   "northerly": [(build.POS_ADV, ["向北"])]}       # from a synonym
        related = {("northerly", build.POS_ADJ): [("north", build.POS_NOUN)]}
        direct = {"north": entries["north"]}
        build.derive_from_relations(entries, pos_use, defaultdict(list), {}, related, direct)
        self.assertEqual(entries["northerly"], [(build.POS_ADJ, ["北方的", "北部的"]), (build.POS_ADV, ["向北"])])
        # a word with an entry of its own is left as it is
        entries["northerly"] = [(build.POS_ADV, ["向北"])]
        direct["northerly"] = entries["northerly"]
        build.derive_from_relations(entries, pos_use, defaultdict(list), {}, related, direct)
        self.assertEqual(entries["northerly"], [(build.POS_ADV, ["向北"])])

    def test_a_person_noun_does_not_read_as_what_it_comes_from(self):
        n, v = build.POS_NOUN, build.POS_VERB
        cases = [("anarchist", "anarchy", n, ["无政府状态"], None),
                 ("glazier", "glaze", v, ["上釉"], None),
                 ("editor", "edit", v, ["编辑"], None),
                 ("scholarship", "scholar", n, ["学者"], [(n, ["学者"])]),
                 ("internist", "specialist", n, ["专家"], [(n, ["专家"])])]
        for word, base, base_pos, zh, expected in cases:
            entries = {base: [(base_pos, zh)]}
            build.derive_from_relations(entries, {word: {n: 1}}, defaultdict(list), {},
                                        {(word, n): [(base, base_pos)]}, dict(entries))
            self.assertEqual(entries.get(word), expected, word)


class FormsTest(unittest.TestCase):
    def test_bases_in_the_order_the_service_tries_them(self):
        cases = [("fishermen", "fisherman"), ("flies", "fly"), ("hoping", "hope"), ("running", "run"),
                 ("tried", "try"), ("stopped", "stop"), ("happier", "happy"), ("bigger", "big")]
        for form, base in cases:
            self.assertEqual(build.resolve(form, {base, "hop", "us"}), base, form)
        # as the service reads them: no comparative of a noun or a verb
        known = {"troop", "press", "big"}
        self.assertEqual([build.resolve(w, known, {"big"}) for w in ("trooper", "presser", "bigger")],
                         [None, None, "big"])

    def test_irregular_forms_name_their_kind(self):
        entries = {w: [("v.", ["义"])] for w in ("go", "arc", "whiz", "see")}
        irregular = {"went": ["go"], "arcking": ["arc"], "whizzes": ["whiz"], "seen": ["see"]}
        kinds = {form: {"verb": bases} for form, bases in irregular.items()}
        self.assertEqual(build.resolve_irregular(entries, irregular, kinds),
                         {"went": "=go\tv. 过去式或过去分词", "arcking": "=arc\tv. 现在分词",
                          "whizzes": "=whiz\tv. 第三人称单数", "seen": "=see\tv. 过去分词"})

    def test_a_form_with_a_stray_entry_leads_with_its_base(self):
        entries = {"hand": [("n.", ["手", "帮助"])], "hands": [("n.", ["职场", "劳动力"])],
                   "glass": [("n.", ["玻璃", "玻璃杯"])], "glasses": [("n.", ["眼镜"])],
                   "see": [("v.", ["看见", "明白"])], "seed": [("n.", ["种子"])],
                   "interest": [("v.", ["使感兴趣"])], "interesting": [("adj.", ["有趣"])],
                   "need": [("v.", ["需要", "必须"])], "needed": [("adj.", ["用得上"])]}
        pos_use = {"interesting": {"adj.": 29}, "needed": {"adj.": 22}}
        lexical = {"glasses": [("n.", ["眼镜"])]}
        ranks = {"interesting": 1072, "needed": 20029}
        listed = {"see": {"ed": {"saw", "seen"}}}
        build.add_form_parts(entries, pos_use, {}, (), lexical, (), ranks, listed)
        self.assertEqual(entries["hands"], [("n.", ["手", "帮助（hand 的复数）"])])  # the stray senses go
        self.assertEqual(entries["glasses"], [("n.", ["玻璃", "玻璃杯（glass 的复数）"]), ("n.", ["眼镜"])])
        self.assertEqual(entries["seed"], [("n.", ["种子"])])  # no past of "see"
        self.assertEqual(entries["interesting"][0], ("adj.", ["有趣"]))  # a word of its own
        self.assertEqual(entries["needed"][0], ("v.", ["需要", "必须（need 的过去式或过去分词）"]))

    def test_derived_words_read_from_their_base(self):
        entries = {"identify": [("v.", ["识别", "确认"])], "separate": [("adj.", ["分开的"]), ("v.", ["分开", "分离"])],
                   "license": [("n.", ["执照"])],
                   "employ": [("v.", ["雇用"])], "modify": [("v.", ["修改"])], "kind": [("adj.", ["仁慈的"])],
                   "troop": [("n.", ["部队"]), ("v.", ["结队"])], "connect": [("v.", ["连接"])]}
        entries["license"] = [("v.", ["许可"]), ("n.", ["执照"])]
        cases = [("identifiable", [("adj.", ["可识别的", "可确认的（identify 的形容词）"])]),
                 ("separable", [("adj.", ["可分开的", "可分离的（separate 的形容词）"])]),
                 ("licensee", [("n.", ["被许可者（license 的名词）"])]),
                 ("employee", [("n.", ["被雇用者（employ 的名词）"])]),
                 ("unmodified", [("adj.", ["未修改的（modify 的反义词）"])]),
                 ("kindness", [("n.", ["仁慈（kind 的名词）"])]),
                 ("reconnect", [("v.", ["重新连接（connect 的派生词）"])]),
                 ("trooper", None)]  # troop is mainly a noun: no 结队者
        build.derive_affixed(entries, [w for w, _ in cases])
        for word, parts in cases:
            self.assertEqual(entries.get(word), parts, word)

    def test_a_derived_word_never_reads_a_rare_lone_character(self):
        jieba = {"昫": (22, "ag"), "冷静": (3000, "a"), "凉": (3400, "a"), "使": (90000, "v"),
                 "按": (20000, "p"), "按压": (300, "v"), "模": (5000, "n"), "颽": (2, "ag")}
        entries = {"fruity": [("adj.", ["昫", "果味的"])], "cool": [("adj.", ["凉", "冷静"])],
                   "enable": [("v.", ["使", "使能够"])], "press": [("v.", ["按", "按压"])],
                   "balmy": [("adj.", ["昫的", "颽"])], "obscure": [("adj.", ["晦涩的", "晦涩"])],
                   "attribute": [("v.", ["把…归因于", "归因"])]}
        cases = [("fruitiness", [("n.", ["果味（fruity 的名词）"])]),    # 昫: too rare
                 ("uncool", [("adj.", ["不凉的", "不冷静的（cool 的反义词）"])]),  # a common 凉 stays
                 ("enabler", [("n.", ["使能够者（enable 的名词）"])]),  # never 使者, an envoy
                 ("presser", [("n.", ["按压者（press 的名词）"])]),
                 ("attributable", [("adj.", ["可归因的（attribute 的形容词）"])]),  # no frame with 可
                 ("balminess", None),                                # nothing usable is left
                 ("balmily", None),
                 ("obscurely", [("adv.", ["晦涩地"])])]  # 晦涩 and 晦涩的 read alike
        build.derive_affixed(entries, [w for w, _ in cases], jieba)
        build.derive_adverbs(entries, [w for w, _ in cases], jieba)
        for word, parts in cases:
            self.assertEqual(entries.get(word), parts, word)


class LexiconTest(unittest.TestCase):
    def test_families_drop_spurious_bases_and_put_the_frequent_first(self):
        ecdict = {"leave": (set(), 150, [("3", "leaves")]), "leaf": (set(), 1559, [("s", "leaves")]),
                  "leaves": (set(), 0, [("0", "leave"), ("1", "3s")]),
                  "even": (set(), 107, [("i", "evening")]), "evening": (set(), 961, [("s", "evenings")]),
                  "off": (set(), 205, [("r", "offer")]), "offer": (set(), 373, []),
                  "data": (set(), 559, []), "datum": (set(), 28458, []), "ruine": (set(), 5934, []),
                  "ruin": (set(), 4197, [])}
        relations = (lexicon.ecdict_relations(ecdict)
                     + [("data", "datum", "noun", "wordnet"), ("ruined", "ruine", "verb", "ecdict"),
                        ("ruined", "ruin", "verb", "ecdict"), ("seed", "see", "verb", "dictionary")])
        ecdict["see"] = (set(), 67, [("p", "saw"), ("d", "seen")])
        pos_use = {"even": {"adv.": 300, "v.": 2}, "evening": {"n.": 80}, "off": {"adv.": 31, "adj.": 5},
                   "offer": {"n.": 5, "v.": 151}, "leave": {"v.": 500}, "leaf": {"n.": 20}, "see": {"v.": 900}}
        known = {"leave", "leaf", "even", "evening", "evenings", "off", "offer", "data", "datum", "ruin", "see"}
        families = lexicon.build_families(relations, ecdict, known, pos_use, {}, (), checked={"dictionary"})
        self.assertEqual(families["leaves"], ["leave", "leaf"])
        self.assertEqual(families["data"], ["data", "datum"])  # far more used than its base
        self.assertEqual(families["ruined"], ["ruin"])         # ECDICT's "ruine" is no English word
        self.assertEqual(families["evenings"], ["evening"])
        for word in ("evening", "offer", "seed"):
            self.assertNotIn(word, families)


class ExamplesTest(unittest.TestCase):
    def test_gloss_examples_are_the_quoted_pieces_after_the_definition(self):
        gloss = '''move fast by using one's feet; "Don't run--you'll be out of breath"; "the children ran to the store"  \n'''
        self.assertEqual(examples.gloss_examples(gloss),
                         ["Don't run--you'll be out of breath", "the children ran to the store"])
        self.assertEqual(examples.gloss_examples('a "quoted" word in the definition'), [])

    def test_the_most_used_sense_with_the_word_wins(self):
        glosses = {("verb", "1"): ["the sun rose"],                 # no form of the word
                   ("verb", "2"): ["run"],                          # one word
                   ("verb", "3"): ["a run"],                        # a phrase of the sense after the clause's
                   ("verb", "4"): ["she runs every morning", "he ran away"],
                   ("noun", "5"): ["a long run in the park today"]}
        cases = [
            ([("verb", "1"), ("verb", "2"), ("verb", "4")], "She runs every morning."),
            ([("verb", "4"), ("verb", "3")], "She runs every morning."),
            ([("verb", "3"), ("verb", "4")], "She runs every morning."),  # a clause one sense later
            ([("verb", "3"), ("noun", "5"), ("verb", "1"), ("verb", "2"), ("verb", "4")], "A long run in the park today."),
            ([("verb", "3"), ("verb", "1"), ("verb", "2"), ("verb", "1")], "A run."),  # no clause near enough
            ([("verb", "1"), ("verb", "2")], None),
        ]
        for senses, expected in cases:
            self.assertEqual(examples.choose("run", senses, glosses, {"runs", "ran", "running"}), expected, senses)

    def test_too_long_or_not_ascii_is_left_out(self):
        glosses = {("noun", "1"): ["a caf\u00e9 with a view", "the cafe " + "x" * 300], ("noun", "2"): ["Cafe society!"]}
        self.assertEqual(examples.choose("cafe", [("noun", "1"), ("noun", "2")], glosses, set()), "Cafe society!")


if __name__ == "__main__":
    unittest.main()
