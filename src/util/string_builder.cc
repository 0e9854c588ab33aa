#include "util/string_builder.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "util/numbered_error.h"

namespace {

constexpr int64_t kMaxBytes = std::numeric_limits<int32_t>::max();

// A byte count that must fit the signed 32-bit counters.
int32_t CheckedBytes(int64_t bytes) {
  if (bytes > kMaxBytes) throw OverflowError();
  return static_cast<int32_t>(bytes);
}

// Two bytes per character, as the counters keep it.
int64_t ByteSize(const std::string& text) { return 2 * static_cast<int64_t>(text.size()); }

char FoldAsciiCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

int32_t cStringBuilder::Length() const { return used_ / 2; }

int32_t cStringBuilder::Capacity() const { return capacity_ / 2; }

int32_t cStringBuilder::ChunkSize() const { return chunk_size_ / 2; }

void cStringBuilder::SetChunkSize(int32_t iChunkSize) {
  if (iChunkSize <= 0) throw InvalidPropertyValue();
  chunk_size_ = CheckedBytes(2 * static_cast<int64_t>(iChunkSize));
}

std::string cStringBuilder::ToString() const { return buffer_.substr(0, used_ / 2); }

void cStringBuilder::SetTheString(const std::string& sThis) {
  if (sThis.empty()) {
    std::string().swap(buffer_);  // gives the storage back, not just the text
    used_ = 0;
    capacity_ = 0;
    return;
  }
  const int32_t bytes = CheckedBytes(ByteSize(sThis));
  GrowTo(bytes);
  std::memcpy(buffer_.data(), sThis.data(), sThis.size());
  used_ = bytes;
}

void cStringBuilder::Append(const std::string& sThis) { Insert(Length(), sThis); }

bool cStringBuilder::HasRoomFor(size_t characters) const {
  return characters <= static_cast<size_t>(kMaxBytes - used_) / 2;
}

void cStringBuilder::AppendByVal(std::string sThis) { Append(sThis); }

void cStringBuilder::Insert(int32_t iIndex, const std::string& sThis) {
  if (iIndex < 0 || iIndex > Length()) throw SubscriptError();
  const int32_t total = CheckedBytes(used_ + ByteSize(sThis));
  GrowTo(total);
  char* at = buffer_.data() + iIndex;
  std::memmove(at + sThis.size(), at, Length() - iIndex);
  std::memcpy(at, sThis.data(), sThis.size());
  used_ = total;
}

void cStringBuilder::InsertByVal(int32_t iIndex, std::string sThis) { Insert(iIndex, sThis); }

void cStringBuilder::Remove(int32_t iIndex, int32_t nLen) {
  if (iIndex < 0 || iIndex > Length()) throw SubscriptError();
  if (nLen < 0 || static_cast<int64_t>(iIndex) + nLen > Length()) throw SubscriptError();
  char* at = buffer_.data() + iIndex;
  std::memmove(at, at + nLen, Length() - iIndex - nLen);
  used_ -= 2 * nLen;
}

int32_t cStringBuilder::Find(const std::string& sToFind, int32_t lStartIndex, int compare) const {
  const int32_t start = std::max(lStartIndex, 1);
  if (start > Length()) return 0;
  const auto text_begin = buffer_.begin();
  const auto text_end = text_begin + Length();
  const auto equal = [compare](char a, char b) {
    return compare == 0 ? a == b : FoldAsciiCase(a) == FoldAsciiCase(b);
  };
  const auto found =
      std::search(text_begin + (start - 1), text_end, sToFind.begin(), sToFind.end(), equal);
  return found == text_end ? 0 : static_cast<int32_t>(found - text_begin) + 1;
}

void cStringBuilder::HeapMinimize() {
  const int32_t spare = capacity_ - used_;
  if (spare <= chunk_size_) return;
  // Whole chunks go, so the reserve ends up in (0, chunk size].
  capacity_ -= (spare - 1) / chunk_size_ * chunk_size_;
  buffer_.resize(capacity_ / 2);
  buffer_.shrink_to_fit();
}

void cStringBuilder::GrowTo(int64_t bytes) {
  if (bytes <= capacity_) return;
  const int64_t chunks = (bytes - capacity_ + chunk_size_ - 1) / chunk_size_;
  const int32_t grown = CheckedBytes(capacity_ + chunks * chunk_size_);
  buffer_.resize(grown / 2, ' ');
  capacity_ = grown;
}
