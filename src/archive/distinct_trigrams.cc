#include "archive/distinct_trigrams.h"

#include <fts5.h>
#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace {

// The short tokens (7 bytes or fewer: the trigrams of nearly all text) seen
// in one document, each packed with its length into one nonzero word, in a
// table of open addressing that is emptied slot by slot for the next one.
class TokenSet {
 public:
  static bool Fits(int size) { return size > 0 && size < 8; }

  // A token's key: its bytes, the first lowest, and its length on top.
  static uint64_t Key(const char* token, int size) {
    uint64_t key = static_cast<uint64_t>(size) << 56;
    for (int i = 0; i < size; ++i) key |= uint64_t{static_cast<unsigned char>(token[i])} << (8 * i);
    return key;
  }

  // False when the key was in the set already.
  bool Insert(uint64_t key) {
    if (2 * (used_.size() + 1) > slots_.size()) Grow();
    size_t at = Slot(key);
    while (slots_[at] != 0) {
      if (slots_[at] == key) return false;
      at = (at + 1) & (slots_.size() - 1);
    }
    slots_[at] = key;
    used_.push_back(at);
    return true;
  }

  void Clear() {
    for (size_t at : used_) slots_[at] = 0;
    used_.clear();
  }

 private:
  size_t Slot(uint64_t key) const {
    return static_cast<size_t>((key * 0x9E3779B97F4A7C15ULL) >> (64 - bits_));
  }

  void Grow() {
    std::vector<uint64_t> keys;
    for (size_t at : used_) keys.push_back(slots_[at]);
    ++bits_;
    slots_.assign(size_t{1} << bits_, 0);
    used_.clear();
    for (uint64_t key : keys) Insert(key);
  }

  int bits_ = 11;
  std::vector<uint64_t> slots_ = std::vector<uint64_t>(size_t{1} << 11);
  std::vector<size_t> used_;
};

// An instance wraps one of SQLite's trigram tokenizer.
struct Instance {
  fts5_tokenizer trigram;
  Fts5Tokenizer* inner = nullptr;
  bool folding = true;  // no options: the trigram tokenizer folds case
  TokenSet seen;
};

using TokenCallback = int (*)(void*, int, const char*, int, int, int);

// What a document's tokens pass through on their way to the table.
struct Filter {
  void* context;
  TokenCallback token;
  TokenSet* seen;
};

int FindTrigram(fts5_api* api, void** context, fts5_tokenizer* trigram) {
  return api->xFindTokenizer(api, "trigram", context, trigram);
}

int Create(void* api, const char** arguments, int count, Fts5Tokenizer** made) {
  auto instance = std::make_unique<Instance>();
  void* context = nullptr;
  int result = FindTrigram(static_cast<fts5_api*>(api), &context, &instance->trigram);
  if (result == SQLITE_OK) {
    result = instance->trigram.xCreate(context, arguments, count, &instance->inner);
  }
  instance->folding = count == 0;
  if (result == SQLITE_OK) *made = reinterpret_cast<Fts5Tokenizer*>(instance.release());
  return result;
}

void Delete(Fts5Tokenizer* tokenizer) {
  std::unique_ptr<Instance> instance(reinterpret_cast<Instance*>(tokenizer));
  instance->trigram.xDelete(instance->inner);
}

int PassOnce(void* filter, int flags, const char* token, int size, int start, int end) {
  auto* pass = static_cast<Filter*>(filter);
  if (TokenSet::Fits(size) && !pass->seen->Insert(TokenSet::Key(token, size))) return SQLITE_OK;
  return pass->token(pass->context, flags, token, size, start, end);
}

// Plain ASCII without NUL, as nearly every print-out is.
bool IsPlainAscii(const char* text, int size) {
  for (int at = 0; at < size; ++at) {
    const auto c = static_cast<unsigned char>(text[at]);
    if (c == 0 || c >= 0x80) return false;
  }
  return true;
}

// The trigram tokenizer's work on plain ASCII, done here at a fraction of
// its cost: each trigram is three bytes, folded to lower case.
int PassAsciiOnce(const char* text, int size, const Filter& pass) {
  char trigram[3];
  for (int at = 0; at + 3 <= size; ++at) {
    for (int i = 0; i < 3; ++i) {
      const char c = text[at + i];
      trigram[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    if (!pass.seen->Insert(TokenSet::Key(trigram, 3))) continue;
    const int result = pass.token(pass.context, 0, trigram, 3, at, at + 3);
    if (result != SQLITE_OK) return result;
  }
  return SQLITE_OK;
}

// A query's tokens all count; a document's count once each.
int Tokenize(Fts5Tokenizer* tokenizer, void* context, int flags, const char* text, int size,
             TokenCallback token) {
  auto* instance = reinterpret_cast<Instance*>(tokenizer);
  if ((flags & FTS5_TOKENIZE_DOCUMENT) == 0) {
    return instance->trigram.xTokenize(instance->inner, context, flags, text, size, token);
  }
  instance->seen.Clear();
  Filter filter{context, token, &instance->seen};
  if (instance->folding && IsPlainAscii(text, size)) return PassAsciiOnce(text, size, filter);
  return instance->trigram.xTokenize(instance->inner, &filter, flags, text, size, PassOnce);
}

fts5_api* Fts5Api(sqlite3* db) {
  fts5_api* api = nullptr;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &statement, nullptr) == SQLITE_OK) {
    sqlite3_bind_pointer(statement, 1, &api, "fts5_api_ptr", nullptr);
    sqlite3_step(statement);
  }
  sqlite3_finalize(statement);
  return api != nullptr && api->iVersion >= 2 ? api : nullptr;
}

}  // namespace

bool RegisterDistinctTrigrams(sqlite3* db) {
  fts5_api* api = Fts5Api(db);
  void* context = nullptr;
  fts5_tokenizer trigram;
  if (api == nullptr || FindTrigram(api, &context, &trigram) != SQLITE_OK) return false;
  static fts5_tokenizer distinct = {Create, Delete, Tokenize};
  return api->xCreateTokenizer(api, kDistinctTrigrams, api, &distinct, nullptr) == SQLITE_OK;
}
