#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace pelorin {

/// The numbered errors the runtime raises. Each has one description in errorDescription().
enum class ErrorNumber : std::int32_t {
  kNone = 0,
  kInvalidArgument = 5,
  kOverflow = 6,
  kDivisionByZero = 11,
  kBadFileNameOrNumber = 52,
  kFileNotFound = 53,
  kBadFileMode = 54,
  kFileAlreadyOpen = 55,
  kDeviceIoError = 57,
  kBadRecordNumber = 63,
  kTooManyFiles = 67,
  kPermissionDenied = 70,
  kPathFileAccessError = 75,
  kPathNotFound = 76,
  kCancelSelected = 32755,
};

/// The description of a numbered error; "Application-defined or object-defined error" for a
/// number the runtime does not know.
std::string_view errorDescription(std::int32_t number);

/// The latest error: its number (0 when none) and description ("" when none).
struct ErrorObject {
  std::int32_t Number = 0;
  std::string Description;

  void Clear() {
    Number = 0;
    Description.clear();
  }
  void Raise(ErrorNumber number);
};

/// Thrown by an operation that fails while continue-on-error is not armed.
class RuntimeError : public std::runtime_error {
 public:
  explicit RuntimeError(ErrorNumber number);
  ErrorNumber number() const { return number_; }

 private:
  ErrorNumber number_;
};

}  // namespace pelorin
