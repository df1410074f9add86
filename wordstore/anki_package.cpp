#include "wordstore/anki_package.h"

#include <openssl/sha.h>
#include <sqlite3.h>
#include <zip.h>

#include <array>
#include <cstdio>
#include <memory>

#include "wordstore/sql.h"

namespace quorvo {
namespace {

std::array<unsigned char, SHA_DIGEST_LENGTH> Sha1(std::string_view data) {
  std::array<unsigned char, SHA_DIGEST_LENGTH> digest{};
  SHA1(reinterpret_cast<const unsigned char*>(data.data()), data.size(), digest.data());
  return digest;
}

uint64_t First64Bits(std::string_view data) {
  auto digest = Sha1(data);
  uint64_t value = 0;
  for (int i = 0; i < 8; ++i) value = (value << 8) | digest[static_cast<size_t>(i)];
  return value;
}

// Anki's checksum of a note's first field: the first 32 bits of its SHA-1.
int64_t FieldChecksum(std::string_view utf8) { return static_cast<int64_t>(First64Bits(utf8) >> 32); }

// An id Anki and a JavaScript reader both hold exactly (below 2^53), fixed
// by the name it is made from.
int64_t StableId(std::string_view kind, std::string_view name) {
  std::string key(kind);
  key.push_back('\x1f');
  key.append(name);
  return static_cast<int64_t>(First64Bits(key) % 1000000000000ULL) + 1000000000000LL;
}

std::string JsonString(std::string_view utf8) {
  std::string out = "\"";
  for (char c : utf8) {
    auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(c);
    } else if (u < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
      out.append(escaped);
    } else {
      out.push_back(c);
    }
  }
  out.push_back('"');
  return out;
}

constexpr const char* kFieldNames[] = {"\xE5\x8D\x95\xE8\xAF\x8D",   // 单词
                                       "\xE9\x9F\xB3\xE6\xA0\x87",   // 音标
                                       "\xE9\x87\x8A\xE4\xB9\x89",   // 释义
                                       "\xE4\xBE\x8B\xE5\x8F\xA5",   // 例句
                                       "\xE8\xAF\x8D\xE5\xBA\x93",   // 词库
                                       "\xE8\xAF\x8D\xE5\xBD\xA2"};  // 词形: a family row's forms seen, last so older
                                                                     // notes keep their fields in place

// The two card templates: the word asks for the translation, and the
// translation for the word.
struct Template {
  const char* name;
  const char* front;
  const char* back;
};
constexpr Template kTemplates[] = {
    {"\xE8\x8B\xB1\xE8\xAF\x91\xE4\xB8\xAD",  // 英译中
     "<div class=word>{{单词}}</div><div class=phonetic>{{音标}}</div>",
     "{{FrontSide}}<hr id=answer><div class=trans>{{释义}}</div>{{#例句}}<div class=sentence>{{例句}}</div>{{/例句}}"
     "{{#词形}}<div class=forms>词形：{{词形}}</div>{{/词形}}"},
    {"\xE4\xB8\xAD\xE8\xAF\x91\xE8\x8B\xB1",  // 中译英
     "{{#释义}}<div class=trans>{{释义}}</div>{{/释义}}",
     "{{FrontSide}}<hr id=answer><div class=word>{{单词}}</div><div class=phonetic>{{音标}}</div>"
     "{{#例句}}<div class=sentence>{{例句}}</div>{{/例句}}{{#词形}}<div class=forms>词形：{{词形}}</div>{{/词形}}"},
};

constexpr char kCss[] =
    ".card { font-family: sans-serif; font-size: 22px; text-align: center; color: black; background-color: white; }\n"
    ".word { font-size: 34px; } .phonetic { color: #666; } .sentence { font-size: 18px; color: #333; }\n"
    ".forms { font-size: 16px; color: #666; }";

std::string ModelsJson(int64_t modelId, int64_t deckId, int64_t nowSeconds) {
  std::string fields;
  for (size_t i = 0; i < std::size(kFieldNames); ++i) {
    if (i) fields += ",";
    fields += "{\"name\":" + JsonString(kFieldNames[i]) + ",\"ord\":" + std::to_string(i) +
              ",\"sticky\":false,\"rtl\":false,\"font\":\"Arial\",\"size\":20,\"media\":[]}";
  }
  std::string templates;
  for (size_t i = 0; i < std::size(kTemplates); ++i) {
    if (i) templates += ",";
    templates += "{\"name\":" + JsonString(kTemplates[i].name) + ",\"ord\":" + std::to_string(i) +
                 ",\"qfmt\":" + JsonString(kTemplates[i].front) + ",\"afmt\":" + JsonString(kTemplates[i].back) +
                 ",\"did\":null,\"bqfmt\":\"\",\"bafmt\":\"\"}";
  }
  const std::string id = std::to_string(modelId);
  return "{" + JsonString(id) + ":{\"id\":" + id + ",\"name\":" + JsonString(kAnkiNoteTypeName) +
         ",\"type\":0,\"mod\":" + std::to_string(nowSeconds) +
         ",\"usn\":-1,\"sortf\":0,\"did\":" + std::to_string(deckId) + ",\"tmpls\":[" + templates + "],\"flds\":[" +
         fields + "],\"css\":" + JsonString(kCss) +
         ",\"latexPre\":\"\\\\documentclass[12pt]{article}\\n\\\\special{papersize=3in,5in}\\n"
         "\\\\usepackage[utf8]{inputenc}\\n\\\\usepackage{amssymb,amsmath}\\n\\\\pagestyle{empty}\\n"
         "\\\\setlength{\\\\parindent}{0in}\\n\\\\begin{document}\\n\",\"latexPost\":\"\\\\end{document}\","
         "\"latexsvg\":false,\"req\":[[0,\"any\",[0]],[1,\"any\",[2]]],\"tags\":[],\"vers\":[]}}";
}

std::string DeckJson(int64_t id, std::string_view nameUtf8, int64_t nowSeconds) {
  return "{\"id\":" + std::to_string(id) + ",\"name\":" + JsonString(nameUtf8) +
         ",\"mod\":" + std::to_string(nowSeconds) +
         ",\"usn\":-1,\"lrnToday\":[0,0],\"revToday\":[0,0],\"newToday\":[0,0],\"timeToday\":[0,0],"
         "\"collapsed\":false,\"browserCollapsed\":false,\"desc\":\"\",\"dyn\":0,\"conf\":1,\"extendNew\":0,"
         "\"extendRev\":0}";
}

constexpr char kDeckConfigJson[] =
    "{\"1\":{\"id\":1,\"name\":\"Default\",\"mod\":0,\"usn\":0,\"maxTaken\":60,\"autoplay\":true,\"timer\":0,"
    "\"replayq\":true,\"dyn\":false,\"new\":{\"delays\":[1,10],\"ints\":[1,4,0],\"initialFactor\":2500,"
    "\"order\":1,\"perDay\":20,\"bury\":false},\"rev\":{\"perDay\":200,\"ease4\":1.3,\"maxIvl\":36500,"
    "\"hardFactor\":1.2,\"bury\":false},\"lapse\":{\"delays\":[10],\"mult\":0,\"minInt\":1,\"leechFails\":8,"
    "\"leechAction\":1}}}";

constexpr char kSchema[] =
    "create table col (id integer primary key, crt integer not null, mod integer not null, scm integer not null, "
    "ver integer not null, dty integer not null, usn integer not null, ls integer not null, conf text not null, "
    "models text not null, decks text not null, dconf text not null, tags text not null);"
    "create table notes (id integer primary key, guid text not null, mid integer not null, mod integer not null, "
    "usn integer not null, tags text not null, flds text not null, sfld integer not null, csum integer not null, "
    "flags integer not null, data text not null);"
    "create table cards (id integer primary key, nid integer not null, did integer not null, ord integer not null, "
    "mod integer not null, usn integer not null, type integer not null, queue integer not null, due integer not "
    "null, ivl integer not null, factor integer not null, reps integer not null, lapses integer not null, left "
    "integer not null, odue integer not null, odid integer not null, flags integer not null, data text not null);"
    "create table revlog (id integer primary key, cid integer not null, usn integer not null, ease integer not "
    "null, ivl integer not null, lastIvl integer not null, factor integer not null, time integer not null, type "
    "integer not null);"
    "create table graves (usn integer not null, oid integer not null, type integer not null);";

// Made once the rows are in: one sort per index instead of 300,000 inserts
// into each.
constexpr char kIndexes[] =
    "create index ix_notes_usn on notes (usn);"
    "create index ix_cards_usn on cards (usn);"
    "create index ix_revlog_usn on revlog (usn);"
    "create index ix_cards_nid on cards (nid);"
    "create index ix_cards_sched on cards (did, queue, due);"
    "create index ix_revlog_cid on revlog (cid);"
    "create index ix_notes_csum on notes (csum);";

struct SqliteCloser {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};

// The collection database's bytes.
Result<std::string> CollectionBytes(const std::vector<ExportRow>& rows, std::string_view bankGbk, int64_t nowMs) {
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  std::unique_ptr<sqlite3, SqliteCloser> db(raw);
  if (rc != SQLITE_OK) return SqliteStatus(rc, raw, "collection");
  rc = sqlite3_exec(raw, kSchema, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) return SqliteStatus(rc, raw, "collection schema");

  const std::string bank = ExportUtf8(bankGbk);
  const int64_t nowSeconds = nowMs / 1000;
  const int64_t modelId = StableId("model", kAnkiNoteTypeName);
  const int64_t deckId = StableId("deck", bank);
  const std::string deckName = AnkiDeckName(bank);
  const std::string decks = "{\"1\":" + DeckJson(1, "Default", nowSeconds) + "," + JsonString(std::to_string(deckId)) +
                            ":" + DeckJson(deckId, deckName, nowSeconds) + "}";
  const std::string conf = "{\"nextPos\":" + std::to_string(rows.size() + 1) + ",\"estTimes\":true,\"activeDecks\":[" +
                           std::to_string(deckId) +
                           "],\"sortType\":\"noteFld\",\"timeLim\":0,\"sortBackwards\":false,\"addToCur\":true,"
                           "\"curDeck\":" +
                           std::to_string(deckId) +
                           ",\"newSpread\":0,\"dueCounts\":true,\"curModel\":" + std::to_string(modelId) +
                           ",\"collapseTime\":1200}";

  Transaction transaction(raw);
  if (!transaction.began().ok()) return transaction.began();
  Statement col(raw, "insert into col values (1, ?, ?, ?, 11, 0, 0, 0, ?, ?, ?, ?, '{}')");
  col.Bind(1, nowSeconds - nowSeconds % 86400)
      .Bind(2, nowMs)
      .Bind(3, nowMs)
      .Bind(4, conf)
      .Bind(5, ModelsJson(modelId, deckId, nowSeconds))
      .Bind(6, decks)
      .Bind(7, std::string_view(kDeckConfigJson));
  if (Status s = col.Run(); !s.ok()) return s;

  Statement note(raw, "insert into notes values (?, ?, ?, ?, -1, ?, ?, ?, ?, 0, '')");
  Statement card(raw, "insert into cards values (?, ?, ?, ?, ?, -1, 0, 0, ?, 0, 0, 0, 0, 0, 0, 0, 0, '')");
  if (!note.prepared().ok()) return note.prepared();
  if (!card.prepared().ok()) return card.prepared();
  const std::string tags = " " + AnkiTag(bank) + " ";
  const std::string bankHtml = AnkiHtml(bank);
  int64_t cardId = nowMs;
  for (size_t i = 0; i < rows.size(); ++i) {
    const ExportRow& row = rows[i];
    const std::string word = ExportUtf8(row.word);
    const std::string translation = ExportUtf8(row.translation);
    std::string fields = AnkiHtml(word);
    for (const std::string& text : {ExportUtf8(row.phonetic), translation, ExportSentence(row)}) {
      fields.push_back('\x1f');
      fields += AnkiHtml(text);
    }
    fields.push_back('\x1f');
    fields += bankHtml;
    fields.push_back('\x1f');
    fields += AnkiHtml(ExportForms(row));
    const int64_t noteId = nowMs + static_cast<int64_t>(i);
    note.Bind(1, noteId)
        .Bind(2, AnkiNoteGuid(bankGbk, row.word))
        .Bind(3, modelId)
        .Bind(4, nowSeconds)
        .Bind(5, tags)
        .Bind(6, fields)
        .Bind(7, word)
        .Bind(8, FieldChecksum(word));
    Status s = note.Run();
    note.Reset();
    if (!s.ok()) return s;
    // The second card asks with the translation: none without one.
    for (int ord = 0; ord < (translation.empty() ? 1 : 2); ++ord) {
      card.Bind(1, cardId++)
          .Bind(2, noteId)
          .Bind(3, deckId)
          .Bind(4, ord)
          .Bind(5, nowSeconds)
          .Bind(6, static_cast<int64_t>(i) + 1);
      s = card.Run();
      card.Reset();
      if (!s.ok()) return s;
    }
  }
  rc = sqlite3_exec(raw, kIndexes, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) return SqliteStatus(rc, raw, "collection indexes");
  if (Status s = transaction.Commit(); !s.ok()) return s;

  sqlite3_int64 size = 0;
  unsigned char* bytes = sqlite3_serialize(raw, "main", &size, 0);
  if (!bytes) return Status(StatusCode::kIoError, "collection: no memory to serialize it");
  std::string out(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size));
  sqlite3_free(bytes);
  return out;
}

struct ZipSourceFree {
  void operator()(zip_source_t* source) const { zip_source_free(source); }
};

Status ZipFailure(zip_error_t* error, const char* what) {
  std::string message = std::string("apkg: ") + what + ": " + zip_error_strerror(error);
  zip_error_fini(error);
  return Status(StatusCode::kIoError, message);
}

// A zip file in memory holding the named entries.
Result<std::string> ZipBytes(const std::vector<std::pair<const char*, const std::string*>>& entries) {
  zip_error_t error;
  zip_error_init(&error);
  std::unique_ptr<zip_source_t, ZipSourceFree> target(zip_source_buffer_create(nullptr, 0, 0, &error));
  if (!target) return ZipFailure(&error, "buffer");
  zip_source_keep(target.get());  // the archive's close would free it otherwise
  zip_t* archive = zip_open_from_source(target.get(), ZIP_TRUNCATE, &error);
  if (!archive) {
    zip_source_free(target.get());  // the reference zip_source_keep added
    return ZipFailure(&error, "open");
  }
  for (const auto& [name, content] : entries) {
    zip_source_t* source = zip_source_buffer(archive, content->data(), content->size(), 0);
    zip_int64_t index = source ? zip_file_add(archive, name, source, ZIP_FL_ENC_UTF_8) : -1;
    // Deflate's fastest level: a collection of 100,000 notes is deflated
    // several times faster, and comes out a few per cent larger.
    if (index < 0 || zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 1) < 0) {
      if (source && index < 0) zip_source_free(source);
      zip_error_t* failed = zip_get_error(archive);
      Status status(StatusCode::kIoError, std::string("apkg: add ") + name + ": " + zip_error_strerror(failed));
      zip_discard(archive);
      return status;
    }
  }
  if (zip_close(archive) < 0) {
    Status status(StatusCode::kIoError, std::string("apkg: close: ") + zip_error_strerror(zip_get_error(archive)));
    zip_discard(archive);
    return status;
  }
  zip_stat_t stat;
  if (zip_source_stat(target.get(), &stat) < 0 || zip_source_open(target.get()) < 0)
    return Status(StatusCode::kIoError, "apkg: the written zip cannot be read back");
  std::string out(static_cast<size_t>(stat.size), '\0');
  zip_int64_t read = zip_source_read(target.get(), out.data(), stat.size);
  zip_source_close(target.get());
  if (read < 0 || static_cast<zip_uint64_t>(read) != stat.size)
    return Status(StatusCode::kIoError, "apkg: the written zip cannot be read back");
  return out;
}

}  // namespace

std::string AnkiNoteGuid(std::string_view bankGbk, std::string_view wordGbk) {
  static constexpr char kBase91[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789!#$%&()*+,-./:;<=>?@[]^_`{|}~";
  std::string key = "quorvo\x1f";
  key.append(bankGbk);
  key.push_back('\x1f');
  key.append(wordGbk);
  uint64_t value = First64Bits(key);
  std::string guid;
  do {
    guid.insert(guid.begin(), kBase91[value % 91]);
    value /= 91;
  } while (value != 0);
  return guid;
}

Result<std::string> AnkiPackageBytes(const std::vector<ExportRow>& rows, std::string_view bankGbk, int64_t nowMs) {
  auto collection = CollectionBytes(rows, bankGbk, nowMs);
  if (!collection.ok()) return collection.status();
  const std::string media = "{}";
  return ZipBytes({{"collection.anki2", &*collection}, {"media", &media}});
}

}  // namespace quorvo
