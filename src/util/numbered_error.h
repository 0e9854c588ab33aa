#ifndef QUELLOR_UTIL_NUMBERED_ERROR_H_
#define QUELLOR_UTIL_NUMBERED_ERROR_H_

#include <stdexcept>
#include <string>

// The one error type of the program: a number and a description, as the
// per-procedure error handlers log them ("prefix[number] description").
class NumberedError : public std::runtime_error {
 public:
  NumberedError(int number, const std::string& description)
      : std::runtime_error(description), number_(number) {}

  int number() const { return number_; }
  std::string description() const { return what(); }

 private:
  int number_;
};

// "[number] description": an error as the handlers log and show it.
std::string NumberedText(int number, const std::string& description);

// The numbers the program raises itself.
enum ErrorNumber {
  kErrOverflow = 6,
  kErrSubscriptOutOfRange = 9,
  kErrInvalidPropertyValue = 380,
  kErrPortAlreadyOpen = 8005,
  kErrPortOpenFailed = 8002,  // "Invalid port number": the port does not exist
  kErrPortBusy = 8010,        // the port is in use or refuses to be opened
  kErrPortReadFailed = 8020,  // raised once by Input after the device failed to be read
  kErrInternal = 51,          // "Internal error": a failure that carries no number
};

inline NumberedError OverflowError() { return NumberedError(kErrOverflow, "Overflow"); }
inline NumberedError SubscriptError() {
  return NumberedError(kErrSubscriptOutOfRange, "Subscript out of range");
}
inline NumberedError InvalidPropertyValue() {
  return NumberedError(kErrInvalidPropertyValue, "Invalid property value");
}

#endif  // QUELLOR_UTIL_NUMBERED_ERROR_H_
