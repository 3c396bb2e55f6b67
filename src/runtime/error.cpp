#include "runtime/error.h"

#include <array>
#include <utility>

namespace pelorin {

namespace {

constexpr std::array<std::pair<ErrorNumber, std::string_view>, 14> kDescriptions{{
    {ErrorNumber::kInvalidArgument, "Invalid procedure call or argument"},
    {ErrorNumber::kOverflow, "Overflow"},
    {ErrorNumber::kDivisionByZero, "Division by zero"},
    {ErrorNumber::kBadFileNameOrNumber, "Bad file name or number"},
    {ErrorNumber::kFileNotFound, "File not found"},
    {ErrorNumber::kBadFileMode, "Bad file mode"},
    {ErrorNumber::kFileAlreadyOpen, "File already open"},
    {ErrorNumber::kDeviceIoError, "Device I/O error"},
    {ErrorNumber::kBadRecordNumber, "Bad record number"},
    {ErrorNumber::kTooManyFiles, "Too many files"},
    {ErrorNumber::kPermissionDenied, "Permission denied"},
    {ErrorNumber::kPathFileAccessError, "Path/File access error"},
    {ErrorNumber::kPathNotFound, "Path not found"},
    {ErrorNumber::kCancelSelected, "Cancel was selected."},
}};

}  // namespace

std::string_view errorDescription(std::int32_t number) {
  if (number == 0) return "";
  for (const auto& [known, text] : kDescriptions) {
    if (static_cast<std::int32_t>(known) == number) return text;
  }
  return "Application-defined or object-defined error";
}

void ErrorObject::Raise(ErrorNumber number) {
  Number = static_cast<std::int32_t>(number);
  Description.assign(errorDescription(Number));
}

RuntimeError::RuntimeError(ErrorNumber number)
    : std::runtime_error(std::string(errorDescription(static_cast<std::int32_t>(number)))),
      number_(number) {}

}  // namespace pelorin
