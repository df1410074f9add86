// The texts the word-bank page shows about a run of lookups: its progress
// in the info box and its summary at the end. Pure functions; any thread.
#pragma once

#include <QString>

namespace quorvo {

struct RunCounts {
  int added = 0;       // words new to the bank
  int translated = 0;  // lookups that stored a translation
  int notFound = 0;    // lookups that stored the not-found text
  int kept = 0;        // lookups that failed and kept the word's translation
  // Of the text's distinct words, how many are known in some bank; no
  // coverage line when distinct is 0 (a run of the batch operations).
  int distinct = 0;
  int known = 0;
  // Words that did not reach the file, and the cause (UTF-8, as CauseText
  // gives it); none when unstored is 0.
  int unstored = 0;
  QString unstoredCause;
  QString unstoredSample;  // the first of them, separated by "、"
  // Lookups that never reached the dictionary (stored as not found, but
  // not counted in notFound), and the host they tried (empty: none known).
  int unreachable = 0;
  QString unreachableHost;
  // The plan to read the text: learn planWords words to reach planTarget
  // percent of its running words; no line when either is 0.
  int planWords = 0;
  int planTarget = 0;
};

// 39226 as "39,226".
QString Grouped(long long n);
// "正在查询 n/m".
QString ProgressText(int done, int total);
// The lines of the summary, separated by line feeds.
QString SummaryText(const RunCounts& counts);

}  // namespace quorvo
