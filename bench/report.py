#!/usr/bin/env python3
"""Makes the table of bench/run.sh from the benchmark programs' JSON output.

Every row names our figure, the peer's figure, their ratio in the terms of
the row's target, the target, and whether it holds. Prints Markdown.
"""
import argparse
import json
import os
import platform
import sys


def load(folder, program):
    path = os.path.join(folder, program + ".json")
    try:
        with open(path) as f:
            return json.load(f)
    except (OSError, ValueError):
        return None


def find(data, name, aggregate=None):
    """The run whose name, cut before '/iterations', '/repeats' and
    '/real_time' or '/manual_time', is name (e.g. 'BM_Batch_Quorvo/0')."""
    if not data:
        return None
    for run in data.get("benchmarks", []):
        base = run.get("run_name", run["name"])
        for cut in ("/iterations:", "/repeats:", "/real_time", "/manual_time"):
            if cut in base:
                base = base[: base.index(cut)]
        if base != name:
            continue
        if aggregate is None and run.get("run_type") == "aggregate":
            continue
        if aggregate is not None and run.get("aggregate_name") != aggregate:
            continue
        if run.get("error_occurred"):
            return {"error": run.get("error_message", "error")}
        return run
    return None


def millis(run):
    """Real (or manual) time per iteration in milliseconds."""
    unit = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[run.get("time_unit", "ns")]
    return run["real_time"] * unit


def machine():
    cpu = "unknown"
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    cpu = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    memory = "unknown"
    try:
        with open("/proc/meminfo") as f:
            for line in f:
                if line.startswith("MemTotal"):
                    memory = "%.1f GiB" % (int(line.split()[1]) / 1024 / 1024)
                    break
    except OSError:
        pass
    return cpu, os.cpu_count(), memory


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--corpus-sha256", default="")
    parser.add_argument("--load", nargs=2, default=["?", "?"])
    parser.add_argument("--commit", default="")
    args = parser.parse_args()

    count = load(args.folder, "quorvo_bench_count_words")
    show = load(args.folder, "quorvo_bench_show_words")
    batch = load(args.folder, "quorvo_bench_batch")
    lookups = load(args.folder, "quorvo_bench_lookups")
    download = load(args.folder, "quorvo_bench_download")
    startup = load(args.folder, "quorvo_bench_startup")
    export = load(args.folder, "quorvo_bench_export")
    add_text = load(args.folder, "quorvo_bench_add_text")
    review = load(args.folder, "quorvo_bench_review")
    lexicon = load(args.folder, "quorvo_bench_lexicon")
    fit = load(args.folder, "quorvo_bench_fit")
    fit_reference = load(args.folder, "fit-reference")
    decks = load(args.folder, "quorvo_bench_decks")

    rows = []  # job, ours, peer, ratio, target, ok

    def row(job, ours, peer, ratio, target, ok):
        rows.append((job, ours, peer, ratio, target, "PASS" if ok else "FAIL"))

    def capped_ratio_row(job, ours, peer, peer_what, cap_ms, fmt="%.0f ms"):
        # Under cap_ms and at most twice the peer's time.
        target = "< %s and <= 2x the time" % ("1 s" if cap_ms == 1000 else "%d ms" % cap_ms)
        if missing(job, target, ours, peer):
            return
        ratio = millis(ours) / millis(peer)
        row(job, fmt % millis(ours), (fmt + " " + peer_what) % millis(peer), "%.2fx the time" % ratio, target,
            millis(ours) < cap_ms and ratio <= 2)

    def missing(job, target, *runs):
        for run in runs:
            if run is None or "error" in run:
                why = run["error"] if run else "not run"
                rows.append((job, "-", "-", why, target, "FAIL"))
                return True
        return False

    # 1. Counting words.
    ours = find(count, "BM_CountWords_Quorvo")
    shell = find(count, "BM_CountWords_ShellPipeline")
    table = find(count, "BM_CountWords_UnorderedMap")
    job = "1. Count the words of the 100 MiB corpus (ConvertWords: ScanFile, AddWord, drain)"
    if not missing(job + " vs pipeline", ">= 5x faster", ours, shell):
        speed = millis(shell) / millis(ours)
        row(job, "%.0f ms" % millis(ours), "%.0f ms `tr|tr|awk|sort|uniq -c`" % millis(shell),
            "%.1fx faster" % speed, ">= 5x faster", speed >= 5)
    if not missing(job + " vs unordered_map", ">= 0.8x the speed", ours, table):
        speed = millis(table) / millis(ours)
        row(job, "%.0f ms" % millis(ours), "%.0f ms `std::unordered_map` counter" % millis(table),
            "%.2fx the speed" % speed, ">= 0.8x the speed", speed >= 0.8)

    # 2. Showing 100,000 words.
    ours = find(show, "BM_ShowWords_Quorvo")
    drawn = find(show, "BM_ShowWords_QuorvoAndDraw")
    peer = find(show, "BM_ShowWords_Sqlite3Shell")
    job = "2. Show a bank of 100,000 words (Refresh, empty search, by hot, into the list model)"
    if not missing(job, "<= 2x the time", ours, peer):
        ratio = millis(ours) / millis(peer)
        row(job, "%.0f ms" % millis(ours), "%.0f ms `sqlite3` shell, same statement, to /dev/null" % millis(peer),
            "%.2fx the time" % ratio, "<= 2x the time", ratio <= 2)
    job = "2. Resident memory growth while showing them"
    if not missing(job, "< 100 MiB", ours, drawn):
        growth = max(ours.get("rss_growth_MiB", 1e9), drawn.get("rss_growth_MiB", 1e9))
        row(job, "%.0f MiB" % growth, "-", "-", "< 100 MiB", growth < 100)

    # 3. Batches on 10,000 ticked rows.
    for arg, name, statement in (("0", "会背", "updates"), ("1", "更新热度", "updates"), ("2", "删除单词", "deletes")):
        run = find(batch, "BM_Batch_SideBySide/" + arg)
        job = "3. \"%s\" on 10,000 ticked rows of 20,000 (page, incl. refresh; medians)" % name
        if not missing(job, "<= 2x the time", run):
            ours_ms, peer_ms = run["ours_ms_median"], run["peer_ms_median"]
            ratio = ours_ms / peer_ms
            row(job, "%.0f ms" % ours_ms, "%.0f ms 10,000 %s by `sqlite3_exec`, one transaction" % (peer_ms, statement),
                "%.2fx the time" % ratio, "<= 2x the time", ratio <= 2)

    # 4. Lookups.
    ours = find(lookups, "BM_Lookups_AtOnce")
    fetches = find(lookups, "BM_FetchesOnly_AtOnce")
    job = "4. Lookups stored end to end, 4 workers, dictionary answering at once"
    if not missing(job, ">= 500 words/s", ours, fetches):
        rate = ours["words_per_second"]
        row(job, "%.0f words/s" % rate, "%.0f words/s: the same fetches, nothing stored" % fetches["words_per_second"],
            "%.2fx the fetches alone" % (rate / fetches["words_per_second"]), ">= 500 words/s", rate >= 500)
    ours = find(lookups, "BM_Lookups_After50ms")
    job = "4. Lookups stored end to end, 4 workers, dictionary answering after 50 ms"
    if not missing(job, ">= 0.9x the limit", ours):
        rate = ours["words_per_second"]
        row(job, "%.1f words/s" % rate, "80 words/s limit (4 workers / 50 ms)", "%.2fx the limit" % (rate / 80),
            ">= 0.9x the limit", rate / 80 >= 0.9)

    # 5. Download.
    run = find(download, "BM_Download_SideBySide")
    job = "5. DownloadFile of 200 MiB from a loopback HTTP server"
    if not missing(job, ">= 0.9x the throughput", run):
        ours_rate = run["ours_bytes_per_second"] / 1e6
        curl_rate = run["curl_bytes_per_second"] / 1e6
        row(job, "%.0f MB/s" % ours_rate, "%.0f MB/s `curl` tool" % curl_rate,
            "%.2fx the throughput" % (ours_rate / curl_rate), ">= 0.9x the throughput", ours_rate / curl_rate >= 0.9)

    run = find(download, "BM_SignedUpdate_SideBySide")
    job = "5b. Signed update of 200 MiB (4 files) verified, staged, flushed and installed"
    if not missing(job, "<= 1.3x the time", run):
        ours_ms = run["ours_ms"]
        peer_ms = run["peer_ms"]
        row(job, "%.0f ms" % ours_ms, "%.0f ms `curl` + `sha256sum`" % peer_ms,
            "%.2fx the time" % (ours_ms / peer_ms), "<= 1.3x the time", ours_ms / peer_ms <= 1.3)

    # 6. Start.
    ours = find(startup, "BM_Start_Quorvo", "median")
    peer = find(startup, "BM_Start_EmptyQtWindow", "median")
    job = "6. quorvo start to first painted window, installed database, offscreen (median of 15)"
    if not missing(job, "< 300 ms", ours, peer):
        row(job, "%.0f ms" % millis(ours), "%.0f ms an empty Qt window" % millis(peer),
            "%.1fx the time" % (millis(ours) / millis(peer)), "< 300 ms", millis(ours) < 300)

    # 7. Export.
    ours = find(export, "BM_Export_Quorvo/min_time:2.000")
    peer = find(export, "BM_Export_Sqlite3Shell/min_time:2.000")
    capped_ratio_row("7. \"导出\" of 100,000 shown words to UTF-8 CSV (rows from the list, conversion, file)",
                     ours, peer, "`sqlite3 -header -csv`, same rows, to a file", 1000)

    # 8. A text of 39,000 distinct words, progress shown or not.
    runs = [r for r in (add_text or {}).get("benchmarks", []) if r.get("name", "").startswith("BM_AddText/")]
    shown = [millis(r) for r in runs if r["name"].startswith("BM_AddText/1/")]
    hidden = [millis(r) for r in runs if r["name"].startswith("BM_AddText/0/")]
    job = "8. 39,000 distinct words from \"确定\" to every word stored, bundled quorvo-dictd, progress shown"
    if not shown or not hidden:
        rows.append((job, "-", "-", "not run", "< 5 s; <= 1.05x without progress", "FAIL"))
    else:
        on, off = min(shown), min(hidden)
        row(job, "%.0f ms" % on, "%.0f ms the same with the progress display off" % off, "%.3fx the time" % (on / off),
            "< 5 s; <= 1.05x without progress", on < 5000 and on / off <= 1.05)

    # 9. 今日复习's due cards.
    ours = find(review, "BM_ChooseDue_Quorvo")
    peer = find(review, "BM_ChooseDue_Sqlite3Shell")
    capped_ratio_row("9. Choose the due cards of 10,000 words with 100,000 logged reviews (ReviewSession::Load)",
                     ours, peer, "`sqlite3` shell, same queries, to /dev/null", 50, "%.1f ms")

    # 10. The 统计 tab.
    ours = find(review, "BM_OpenStats_Quorvo")
    drawn = find(review, "BM_OpenStats_QuorvoAndDraw")
    peer = find(review, "BM_OpenStats_Sqlite3Shell")
    capped_ratio_row("10. Open the 统计 tab over the same history (Refresh: queries, series, four charts)",
                     ours, peer, "`sqlite3` shell, same queries, to /dev/null", 200)
    job = "10. The same, with the page drawn"
    if not missing(job, "< 200 ms", drawn):
        row(job, "%.0f ms" % millis(drawn), "-", "-", "< 200 ms", millis(drawn) < 200)

    # 11. Word families over the corpus.
    ours = find(lexicon, "BM_Lexicon_BaseOfEveryToken")
    peer = find(lexicon, "BM_Lexicon_PlainMapEveryToken")
    job = "11. The family base (Lexicon::BaseOf) of every token of the 100 MiB corpus, tokenising included"
    if not missing(job, ">= 1x the speed", ours, peer):
        speed = millis(peer) / millis(ours)
        row(job, "%.0f ms" % millis(ours), "%.0f ms `std::unordered_map<std::string, std::string>`" % millis(peer),
            "%.2fx the speed" % speed, ">= 1x the speed", speed >= 1)
    load_run = find(lexicon, "BM_Lexicon_Load")
    job = "11. Load quorvo-lexicon.tsv"
    if not missing(job, "< 250 ms", load_run):
        row(job, "%.0f ms" % millis(load_run), "-", "-", "< 250 ms", millis(load_run) < 250)

    # 12. The weight fit, against the published optimizer on the same log.
    ours = find(fit, "BM_Fit_Quorvo")
    job = "12. Fit the 21 weights to 100,000 reviews of 5,000 cards (GroupReviewLog + FitWeights, mean of 3)"
    if not missing(job, "< 10 s", ours):
        seconds = millis(ours) / 1000
        if fit_reference:
            peer = "%.1f s published optimizer (fsrs-rs 6.5.0, FSRS-6; FSRS-5 fsrs-rs-nodejs: %.1f s)" % (
                fit_reference["fsrs6Seconds"], fit_reference["fsrs5Seconds"])
            ratio = "%.2fx the time" % (seconds / fit_reference["fsrs6Seconds"])
        else:
            peer, ratio = "not run (node or the npm packages missing)", "-"
        row(job, "%.2f s" % seconds, peer, ratio, "< 10 s", seconds < 10)
        job = "12. The fit's log-loss on the same log (true weights' in brackets)"
        target = "<= 1.01x the reference's; within 2 % of the true weights'"
        ours_loss, truth = ours["log_loss"], ours["true_log_loss"]
        if fit_reference:
            reference = fit_reference["fsrs6LogLoss"]
            row(job, "%.5f (%.5f)" % (ours_loss, truth), "%.5f FSRS-6, %.5f FSRS-5" % (
                reference, fit_reference["fsrs5LogLoss"]), "%.4fx the reference's" % (ours_loss / reference),
                target, ours_loss <= reference * 1.01 and abs(ours_loss / truth - 1) <= 0.02)
        else:
            row(job, "%.5f (%.5f)" % (ours_loss, truth), "not run", "-", "within 2 % of the true weights'",
                abs(ours_loss / truth - 1) <= 0.02)

    # 13. Counting the corpus with each word's sentences kept.
    ours = find(count, "BM_CountWords_QuorvoSentences")
    plain = find(count, "BM_CountWords_Quorvo")
    job = "13. Count the 100 MiB corpus keeping each word's first sentences (kept and stored)"
    target = "<= 1.3x the time; peak RSS < 200 MiB"
    if not missing(job, target, ours, plain):
        ratio = millis(ours) / millis(plain)
        peak = ours.get("peak_rss_MiB", 1e9)
        row(job, "%.0f ms, %.0f MiB peak RSS" % (millis(ours), peak),
            "%.0f ms the same count without sentences" % millis(plain), "%.2fx the time" % ratio, target,
            ratio <= 1.3 and peak < 200)

    # 14. The text of 39,000 words in sentences.
    runs = [r for r in (add_text or {}).get("benchmarks", []) if r.get("name", "").startswith("BM_AddTextSentences/")]
    job = "14. 39,000 distinct words in sentences of ten from \"确定\" to every word and sentence stored"
    errors = [r for r in runs if r.get("error_occurred")]
    if not runs or errors:
        rows.append((job, "-", "-", errors[0].get("error_message", "error") if errors else "not run", "< 5 s",
                     "FAIL"))
    else:
        best = min(millis(r) for r in runs)
        row(job, "%.0f ms" % best, "-", "-", "< 5 s", best < 5000)
    # 15. An Anki deck of 100,000 words.
    ours = find(decks, "BM_Decks_ApkgExport")
    job = "15. \"导出\" of a bank of 100,000 words as an Anki deck (.apkg: rows, collection, zip, file)"
    if not missing(job, "< 3 s", ours):
        row(job, "%.0f ms" % millis(ours), "-", "-", "< 3 s", millis(ours) < 3000)

    # 16. Importing a 100,000-line CSV with translations.
    ours = find(decks, "BM_Decks_CsvImport_Quorvo")
    peer = find(decks, "BM_Decks_CsvImport_Sqlite3Shell")
    job = "16. Import of a 100,000-line CSV with translations into a new bank (read, decode, one batch)"
    target = "< 2 s and <= 3x the time"
    if not missing(job, target, ours, peer):
        ratio = millis(ours) / millis(peer)
        row(job, "%.0f ms" % millis(ours), "%.0f ms `sqlite3` shell `.import --csv`, same file" % millis(peer),
            "%.2fx the time" % ratio, target, millis(ours) < 2000 and ratio <= 3)
    # 17. Counting by word family against word by word.
    on = find(count, "BM_CountWords_FamiliesOn")
    off = find(count, "BM_CountWords_FamiliesOff")
    job = "17. Count the 100 MiB corpus with 合并词形 on (ConvertWords, bundled lexicon, forms kept)"
    if not missing(job, "<= 1.2x the time", on, off):
        ratio = millis(on) / millis(off)
        row(job, "%.0f ms" % millis(on), "%.0f ms the same run with it off" % millis(off), "%.2fx the time" % ratio,
            "<= 1.2x the time", ratio <= 1.2)

    cpu, cores, memory = machine()
    print("| Job | Ours | Peer | Ratio | Target | Result |")
    print("|---|---|---|---|---|---|")
    for r in rows:
        print("| " + " | ".join(r) + " |")
    print()
    print("Machine: %s, %s cores (nproc), %s memory; %s %s." % (cpu, cores, memory, platform.system(),
                                                               platform.release()))
    print("Load average (1, 5, 15 min) before the run: %s; after: %s." % (args.load[0], args.load[1]))
    if args.corpus_sha256:
        print("Corpus sha256: %s." % args.corpus_sha256)
    if args.commit:
        print("Commit: %s." % args.commit)
    failed = sum(1 for r in rows if r[5] != "PASS")
    print()
    print("%d of %d rows pass." % (len(rows) - failed, len(rows)))
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
