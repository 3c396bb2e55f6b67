// The broadcast-wave description of a `bext` chunk: its fixed texts, time reference, UMID,
// loudness and coding history, and the checks of its size, version, date and time.
#include <array>

#include "probe/chunk_bodies.h"
#include "probe/metadata.h"

namespace pelorin {

namespace {

constexpr std::uint64_t kVersion1Bytes = 602;
constexpr std::uint16_t kLatestVersion = 2;
constexpr std::size_t kUmidAt = 348;
constexpr std::size_t kUmidBytes = 64;
constexpr std::size_t kLoudnessAt = 412;
constexpr std::size_t kLoudnessBytes = 10;
constexpr std::size_t kCodingHistoryAt = 602;
constexpr std::uint16_t kNoLoudness = 0x7FFF;
constexpr std::string_view kRowBreak = "\r\n";

const std::string_view kSeparators = "-_: .";

std::string chunkId() {
  return "bext";
}

bool isBlank(std::string_view field) {
  return field.find_first_not_of(std::string_view("\0 ", 2)) == std::string_view::npos;
}

// The number of `count` digits at `at`, or -1 where one is not a digit.
int digitsAt(std::string_view field, std::size_t at, std::size_t count) {
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (i >= field.size() || field[i] < '0' || field[i] > '9') return -1;
    value = value * 10 + (field[i] - '0');
  }
  return value;
}

bool isSeparatorAt(std::string_view field, std::size_t at) {
  return at < field.size() && kSeparators.find(field[at]) != std::string_view::npos;
}

int daysIn(int year, int month) {
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

// yyyy-mm-dd of a real day, with any of the allowed separators.
bool isValidDate(std::string_view field) {
  const int year = digitsAt(field, 0, 4);
  const int month = digitsAt(field, 5, 2);
  const int day = digitsAt(field, 8, 2);
  if (year < 0 || month < 1 || month > 12 || day < 1) return false;
  return isSeparatorAt(field, 4) && isSeparatorAt(field, 7) && day <= daysIn(year, month);
}

// hh:mm:ss of a real time of day, with any of the allowed separators.
bool isValidTime(std::string_view field) {
  const int hours = digitsAt(field, 0, 2);
  const int minutes = digitsAt(field, 3, 2);
  const int seconds = digitsAt(field, 6, 2);
  return hours >= 0 && hours < 24 && minutes >= 0 && minutes < 60 && seconds >= 0 && seconds < 60 &&
         isSeparatorAt(field, 2) && isSeparatorAt(field, 5);
}

std::optional<std::string> umidOf(std::string_view body) {
  const std::string_view umid = slice(body, kUmidAt, kUmidBytes);
  if (umid.find_first_not_of('\0') == std::string_view::npos) return std::nullopt;
  constexpr char kHex[] = "0123456789abcdef";
  std::string hex(2 * kUmidBytes, '0');
  for (std::size_t i = 0; i < umid.size(); ++i) {
    const auto byte = static_cast<unsigned char>(umid[i]);
    hex[2 * i] = kHex[byte >> 4];
    hex[2 * i + 1] = kHex[byte & 0xF];
  }
  return hex;
}

Loudness loudnessOf(std::string_view body, ByteOrder order) {
  const auto value = [&](std::size_t index) -> std::optional<double> {
    const std::uint16_t raw = u16At(body, kLoudnessAt + 2 * index, order);
    if (raw == kNoLoudness) return std::nullopt;
    return static_cast<std::int16_t>(raw) / 100.0;
  };
  return {value(0), value(1), value(2), value(3), value(4)};
}

// The rows of the coding history, split at CR LF, empty ones dropped; it ends at a NUL.
std::vector<std::string> codingHistoryOf(std::string_view body, BodyTexts& texts) {
  std::string_view history = untilNul(slice(body, kCodingHistoryAt, body.size()));
  std::vector<std::string> rows;
  while (!history.empty()) {
    const std::string_view row = history.substr(0, history.find(kRowBreak));
    if (!row.empty()) rows.push_back(texts(row));
    history.remove_prefix(std::min(row.size() + kRowBreak.size(), history.size()));
  }
  return rows;
}

BroadcastFields fixedFieldsOf(std::string_view body, ByteOrder order, BodyTexts& texts) {
  BroadcastFields b;
  b.description = texts(untilNul(slice(body, 0, 256)));
  b.originator = texts(untilNul(slice(body, 256, 32)));
  b.originatorReference = texts(untilNul(slice(body, 288, 32)));
  b.originationDate = texts(untilNul(slice(body, 320, 10)));
  b.originationTime = texts(untilNul(slice(body, 330, 8)));
  // The time reference is two 32-bit numbers, the low one first, in either byte order.
  b.timeReference = u32At(body, 338, order) | std::uint64_t{u32At(body, 342, order)} << 32;
  b.version = u16At(body, 346, order);
  return b;
}

void checkBroadcast(std::string_view body, std::int64_t offset, std::uint64_t declaredSize,
                    WaveDetails& d) {
  const BroadcastFields& b = *d.bext;
  if (declaredSize < kVersion1Bytes) {
    d.warn(Warning::kBextTooShort, offset, chunkId(), kVersion1Bytes, declaredSize);
  }
  if (b.version > kLatestVersion) {
    d.warn(Warning::kBextVersionUnknown, offset, chunkId(), std::uint64_t{kLatestVersion},
           std::uint64_t{b.version});
  }
  const std::string_view date = slice(body, 320, 10);
  if (!isBlank(date) && !isValidDate(date)) d.warn(Warning::kBextDateInvalid, offset, chunkId());
  const std::string_view time = slice(body, 330, 8);
  if (!isBlank(time) && !isValidTime(time)) d.warn(Warning::kBextTimeInvalid, offset, chunkId());
  const std::string_view loudness = slice(body, kLoudnessAt, kLoudnessBytes);
  if (b.version < kLatestVersion && loudness.find_first_not_of('\0') != std::string_view::npos) {
    d.warn(Warning::kBextLoudnessBeforeV2, offset, chunkId());
  }
}

}  // namespace

void decodeBroadcast(std::string_view body, ByteOrder order, std::int64_t offset,
                     std::uint64_t declaredSize, WaveDetails& d) {
  BodyTexts texts(d.metadata.allowance);
  d.bext = fixedFieldsOf(body, order, texts);
  BroadcastExtras& extras = d.metadata.broadcast.emplace();
  if (d.bext->version >= 1) extras.umid = umidOf(body);
  if (d.bext->version >= kLatestVersion) extras.loudness = loudnessOf(body, order);
  extras.codingHistory = codingHistoryOf(body, texts);
  checkBroadcast(body, offset, declaredSize, d);
  if (texts.cut()) d.warn(Warning::kBodyNotRead, offset, chunkId());
}

}  // namespace pelorin
