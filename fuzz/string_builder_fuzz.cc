// cStringBuilder against std::string: the input is a sequence of operations,
// and after each one the builder must hold the model's text, with an error
// exactly where the model says the arguments are out of range (and nothing
// changed then).

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "util/numbered_error.h"
#include "util/string_builder.h"

namespace {

constexpr int32_t kMaxCharacters = 1073741823;

// Runs op, which must raise error `expected` (0: none); a raising op must
// leave the text and capacity as they were.
template <typename Op>
void Expect(int expected, const cStringBuilder& builder, Op op) {
  const std::string before = builder.ToString();
  const int32_t capacity = builder.Capacity();
  int raised = 0;
  try {
    op();
  } catch (const NumberedError& e) {
    raised = e.number();
  }
  Check(raised == expected);
  if (raised != 0) Check(builder.ToString() == before && builder.Capacity() == capacity);
}

char Fold(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Find, written the plain way.
int32_t ModelFind(const std::string& text, const std::string& what, int32_t start, int compare) {
  for (size_t at = std::max(start, 1) - 1; at < text.size() && at + what.size() <= text.size();
       ++at) {
    const bool same = std::equal(what.begin(), what.end(), text.begin() + at, [&](char a, char b) {
      return compare == 0 ? a == b : Fold(a) == Fold(b);
    });
    if (same) return static_cast<int32_t>(at) + 1;
  }
  return 0;
}

// A chunk size: small, refused, or too large to fit the counters; never one
// so large that the next growth would allocate a gigabyte.
int32_t ChunkSize(FuzzedDataProvider* in) {
  if (in->ConsumeBool()) return in->ConsumeIntegralInRange<int32_t>(-2, 64);
  return in->ConsumeIntegralInRange<int32_t>(kMaxCharacters + 1, INT32_MAX);
}

int ChunkSizeError(int32_t size) {
  if (size <= 0) return kErrInvalidPropertyValue;
  return size > kMaxCharacters ? kErrOverflow : 0;
}

// An index or count near the text's ends, negative ones included.
int32_t Index(FuzzedDataProvider* in, const std::string& model) {
  return in->ConsumeIntegralInRange<int32_t>(-2, static_cast<int32_t>(model.size()) + 2);
}

// The state one operation works on.
struct State {
  FuzzedDataProvider* in;
  cStringBuilder builder;
  std::string model;
};

void InsertOrAppend(State* s, const std::string& text, bool append) {
  const int32_t at = append ? static_cast<int32_t>(s->model.size()) : Index(s->in, s->model);
  const bool ok = at >= 0 && at <= static_cast<int32_t>(s->model.size());
  Expect(ok ? 0 : kErrSubscriptOutOfRange, s->builder,
         [&] { append ? s->builder.Append(text) : s->builder.Insert(at, text); });
  if (ok) s->model.insert(at, text);
}

void Remove(State* s) {
  const int32_t at = Index(s->in, s->model);
  const int32_t count = Index(s->in, s->model);
  const bool ok = at >= 0 && count >= 0 && at + count <= static_cast<int32_t>(s->model.size());
  Expect(ok ? 0 : kErrSubscriptOutOfRange, s->builder, [&] { s->builder.Remove(at, count); });
  if (ok) s->model.erase(at, count);
}

void SetTheString(State* s, const std::string& text) {
  Expect(0, s->builder, [&] { s->builder.SetTheString(text); });
  Check(!text.empty() || s->builder.Capacity() == 0);
  s->model = text;
}

void Find(State* s, const std::string& text) {
  const int32_t start = Index(s->in, s->model);
  const int compare = s->in->ConsumeIntegralInRange(0, 2);
  Check(s->builder.Find(text, start, compare) == ModelFind(s->model, text, start, compare));
}

void SetChunkSize(State* s) {
  const int32_t chunk = ChunkSize(s->in);
  const int32_t old_chunk = s->builder.ChunkSize();
  Expect(ChunkSizeError(chunk), s->builder, [&] { s->builder.SetChunkSize(chunk); });
  Check(s->builder.ChunkSize() == (ChunkSizeError(chunk) == 0 ? chunk : old_chunk));
}

void HeapMinimize(State* s) {
  cStringBuilder& b = s->builder;
  const int32_t capacity = b.Capacity();
  const bool spare_beyond_chunk = capacity - b.Length() > b.ChunkSize();
  b.HeapMinimize();
  const int32_t left = b.Capacity() - b.Length();
  Check(spare_beyond_chunk ? left > 0 && left <= b.ChunkSize() : b.Capacity() == capacity);
}

void Step(State* s) {
  const std::string text = s->in->ConsumeRandomLengthString(64);
  switch (s->in->ConsumeIntegralInRange(0, 6)) {
    case 0:
      return InsertOrAppend(s, text, true);
    case 1:
      return InsertOrAppend(s, text, false);
    case 2:
      return Remove(s);
    case 3:
      return SetTheString(s, text);
    case 4:
      return Find(s, text);
    case 5:
      return SetChunkSize(s);
    default:
      return HeapMinimize(s);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  State s{&in, {}, {}};
  Check(s.builder.ChunkSize() == 8192);
  while (in.remaining_bytes() > 0) {
    Step(&s);
    Check(s.builder.ToString() == s.model);
    Check(s.builder.Length() == static_cast<int32_t>(s.model.size()));
    Check(s.builder.Capacity() >= s.builder.Length());
  }
  return 0;
}
