// ConvertWords: the add-words run. Creates the new bank when one is named,
// counts every distinct word of the file and the typed text, and queues one
// lookup per word on the pool with its count as hot value. Runs on the window
// thread and waits for none of the lookups.
//
// A new bank name that CreateBank refuses (blank, or longer than the 55
// bytes the page can read back) ends the run before anything is counted or
// queued; a bank that exists already is filled as it is.
#pragma once

#include <string>

#include "add_words_request.h"
#include "message_boxes.h"
#include "task_pool.h"
#include "word_database.h"

namespace quorvo {

void ConvertWords(const AddWordsRequest& request, WordDatabase& db, const std::string& currentBank, TaskPool& pool,
                  MessageBoxes& boxes);

}  // namespace quorvo
