// The budget of bodies, the texts of a body, and the decoders of markers and musical chunks:
// `cue `, LIST/adtl, `smpl`, `inst` and `acid`.
#include <bit>
#include <cstring>

#include "probe/field_text.h"
#include "probe/metadata.h"

namespace pelorin {

namespace {

constexpr std::string_view kEllipsis = "\u2026";
constexpr std::size_t kCuePointBytes = 24;
constexpr std::size_t kSamplerHeaderBytes = 36;
constexpr std::size_t kLoopBytes = 24;
constexpr std::size_t kEntryHeaderBytes = 8;
constexpr std::size_t kRegionFieldsBytes = 20;  // cue ID, frames, purpose, four language fields

// A text of a body: up to its first NUL, as its format ends it.
std::string textUntilNul(std::string_view bytes, BodyTexts& texts) {
  return texts(untilNul(bytes));
}

Region decodeRegion(std::string_view entry, ByteOrder order, BodyTexts& texts) {
  Region region;
  region.frames = u32At(entry, 4, order);
  region.purpose = texts(slice(entry, 8, 4));
  const std::string_view text = untilNul(slice(entry, kRegionFieldsBytes, entry.size()));
  if (!text.empty()) region.text = texts(text);
  return region;
}

// One `labl`, `note` or `ltxt` entry; the first for an ID of each kind counts.
void decodeEntry(std::string_view id, std::string_view entry, ByteOrder order,
                 std::int64_t listOffset, BodyTexts& texts, AssociatedData& data) {
  const bool label = id == "labl";
  const bool note = id == "note";
  const bool region = id == "ltxt";
  if (!label && !note && !region) return;
  const std::uint32_t cueId = u32At(entry, 0, order);
  if (!texts.affordItem()) {
    data.full = true;
    return;
  }
  data.firstList.emplace(cueId, listOffset);
  if (label && !data.labels.count(cueId)) {
    data.labels.emplace(cueId, textUntilNul(slice(entry, 4, entry.size()), texts));
  } else if (note && !data.notes.count(cueId)) {
    data.notes.emplace(cueId, textUntilNul(slice(entry, 4, entry.size()), texts));
  } else if (region && !data.regions.count(cueId)) {
    data.regions.emplace(cueId, decodeRegion(entry, order, texts));
  }
}

}  // namespace

std::size_t BodyBudget::grant(std::uint64_t available, std::size_t cap) {
  const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(available, cap));
  const std::size_t granted = std::min(wanted, kMaxKeptBodyBytes - kept_);
  if (granted < wanted) spent_ = true;
  kept_ += granted;
  return granted;
}

std::string BodyTexts::operator()(std::string_view bytes) {
  FieldText field = fieldText(bytes);
  cut_ = cut_ || field.cut;
  std::size_t weight = field.text.size();
  for (const char c : field.text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) weight += 5;
  }
  if (weight > allowance_) {
    cut_ = true;
    return std::string(kEllipsis);
  }
  allowance_ -= weight;
  return std::move(field.text);
}

bool BodyTexts::affordItem() {
  if (allowance_ < kItemWeight) return false;
  allowance_ -= kItemWeight;
  return true;
}

std::string_view untilNul(std::string_view field) {
  return field.substr(0, field.find('\0'));
}

std::string_view slice(std::string_view body, std::size_t at, std::size_t count) {
  if (at >= body.size()) return {};
  return body.substr(at, count);
}

float floatAt(std::string_view body, std::size_t at, ByteOrder order) {
  return std::bit_cast<float>(u32At(body, at, order));
}

std::vector<Marker> decodeCue(std::string_view body, ByteOrder order) {
  const std::size_t count =
      std::min<std::size_t>(u32At(body, 0, order), body.size() / kCuePointBytes);
  std::vector<Marker> markers(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::string_view point = slice(body, 4 + i * kCuePointBytes, kCuePointBytes);
    markers[i].id = u32At(point, 0, order);
    markers[i].position = u32At(point, 4, order);
    markers[i].frame = u32At(point, 20, order);
  }
  return markers;
}

void decodeAssociatedData(std::string_view body, ByteOrder order, std::int64_t listOffset,
                          BodyTexts& texts, AssociatedData& data) {
  while (body.size() >= kEntryHeaderBytes) {
    const std::string_view id = body.substr(0, 4);
    const std::uint64_t size = u32At(body, 4, order);
    body.remove_prefix(kEntryHeaderBytes);
    decodeEntry(id, body.substr(0, std::min<std::uint64_t>(size, body.size())), order, listOffset,
                texts, data);
    body.remove_prefix(std::min<std::uint64_t>(size + (size & 1), body.size()));
  }
}

Sampler decodeSampler(std::string_view body, ByteOrder order) {
  Sampler s;
  s.manufacturer = u32At(body, 0, order);
  s.product = u32At(body, 4, order);
  s.samplePeriod = u32At(body, 8, order);
  s.unityNote = u32At(body, 12, order);
  s.pitchFraction = u32At(body, 16, order);
  s.smpteFormat = u32At(body, 20, order);
  s.smpteOffset = u32At(body, 24, order);
  const std::size_t room =
      body.size() > kSamplerHeaderBytes ? body.size() - kSamplerHeaderBytes : 0;
  const std::size_t count = std::min<std::size_t>(u32At(body, 28, order), room / kLoopBytes);
  s.loops.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::string_view loop = slice(body, kSamplerHeaderBytes + i * kLoopBytes, kLoopBytes);
    s.loops[i] = {u32At(loop, 0, order),  u32At(loop, 4, order),  u32At(loop, 8, order),
                  u32At(loop, 12, order), u32At(loop, 16, order), u32At(loop, 20, order)};
  }
  return s;
}

Instrument decodeInstrument(std::string_view body) {
  const auto byte = [&](std::size_t at) {
    return static_cast<std::uint8_t>(numberAt<1>(body, at, ByteOrder::kLittle));
  };
  return {byte(0),
          static_cast<std::int8_t>(byte(1)),
          static_cast<std::int8_t>(byte(2)),
          byte(3),
          byte(4),
          byte(5),
          byte(6)};
}

Acid decodeAcid(std::string_view body, ByteOrder order) {
  Acid a;
  a.flags = u32At(body, 0, order);
  a.rootNote = u16At(body, 4, order);
  a.beats = u32At(body, 12, order);
  a.meterDenominator = u16At(body, 16, order);
  a.meterNumerator = u16At(body, 18, order);
  a.tempo = floatAt(body, 20, order);
  return a;
}

}  // namespace pelorin
