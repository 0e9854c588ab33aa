#ifndef QUELLOR_UTIL_STRING_BUILDER_H_
#define QUELLOR_UTIL_STRING_BUILDER_H_

#include <cstddef>
#include <cstdint>
#include <string>

// A growable text buffer that grows linearly, one chunk at a time, so that
// many small appends land in reserved room. One character is one received
// byte. Counts are kept as the byte sizes of two-byte characters, so every
// count is limited to 2,147,483,647 bytes (1,073,741,823 characters); passing
// that raises error 6 "Overflow". Indexes out of range raise error 9
// "Subscript out of range". A ChunkSize of zero or less is refused with error
// 380 "Invalid property value", since growth could never make room with it.
// On any error nothing changes.
class cStringBuilder {
 public:
  cStringBuilder() = default;

  int32_t Length() const;     // characters of text
  int32_t Capacity() const;   // characters the buffer holds
  int32_t ChunkSize() const;  // growth step in characters; 8192 when new
  void SetChunkSize(int32_t iChunkSize);

  // The text: the first Length() characters of the buffer.
  std::string ToString() const;

  // Replaces the whole text. "" releases all storage (Capacity 0); a shorter
  // text keeps the capacity.
  void SetTheString(const std::string& sThis);

  // Adds sThis at the end of the text.
  void Append(const std::string& sThis);
  // True when Append can add that many characters; it raises error 6 else.
  bool HasRoomFor(size_t characters) const;
  void AppendByVal(std::string sThis);

  // Puts sThis before the character at 0-based iIndex; iIndex == Length()
  // appends.
  void Insert(int32_t iIndex, const std::string& sThis);
  void InsertByVal(int32_t iIndex, std::string sThis);

  // Deletes nLen characters from 0-based iIndex; the capacity stays.
  void Remove(int32_t iIndex, int32_t nLen);

  // The 1-based position of the first occurrence of sToFind that starts at
  // or after lStartIndex (values below 1 mean 1) and ends within the text; 0
  // when there is none. compare 0 is exact; any other value ignores letter
  // case (ASCII letters). An empty sToFind is found at the start position
  // when that lies within the text.
  int32_t Find(const std::string& sToFind, int32_t lStartIndex = 1, int compare = 1) const;

  // Gives back reserve beyond one chunk: afterwards
  // 0 < capacity - length <= chunk size, or nothing changed when the spare
  // room was one chunk or less.
  void HeapMinimize();

 private:
  // Adds whole chunks until the capacity holds `bytes`; error 6 if it would
  // pass the byte limit, checked before anything is allocated.
  void GrowTo(int64_t bytes);

  std::string buffer_;          // capacity_ / 2 characters
  int32_t chunk_size_ = 16384;  // bytes
  int32_t used_ = 0;            // bytes
  int32_t capacity_ = 0;        // bytes
};

#endif  // QUELLOR_UTIL_STRING_BUILDER_H_
