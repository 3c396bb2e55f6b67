// The decoders of the chunks that broadcast and production tools add: `chna`, `cart` and `PEAK`.
#include "probe/metadata.h"

namespace pelorin {

namespace {

constexpr std::size_t kChnaHeaderBytes = 4;
constexpr std::size_t kChnaEntryBytes = 40;
constexpr std::size_t kPeakHeaderBytes = 8;
constexpr std::size_t kPeakChannelBytes = 8;

// The text fields of a cart chunk, at their offsets and widths, in the order they are stored.
struct CartText {
  std::string Cart::*field;
  std::size_t at;
  std::size_t width;
};
constexpr CartText kCartTexts[] = {
    {&Cart::version, 0, 4},           {&Cart::title, 4, 64},
    {&Cart::artist, 68, 64},          {&Cart::cutId, 132, 64},
    {&Cart::clientId, 196, 64},       {&Cart::category, 260, 64},
    {&Cart::classification, 324, 64}, {&Cart::outCue, 388, 64},
    {&Cart::startDate, 452, 10},      {&Cart::startTime, 462, 8},
    {&Cart::endDate, 470, 10},        {&Cart::endTime, 480, 8},
    {&Cart::producerApp, 488, 64},    {&Cart::producerAppVersion, 552, 64},
    {&Cart::userDef, 616, 64},
};
constexpr std::size_t kCartLevelAt = 680;
constexpr std::size_t kCartTimersAt = 684;
constexpr std::size_t kCartTimerCount = 8;
constexpr std::size_t kCartUrlAt = 1024;
constexpr std::size_t kCartUrlBytes = 1024;
constexpr std::size_t kCartTagTextAt = 2048;

}  // namespace

std::vector<AdmTrack> decodeChna(std::string_view body, ByteOrder order, BodyTexts& texts) {
  const std::size_t room = body.size() > kChnaHeaderBytes ? body.size() - kChnaHeaderBytes : 0;
  const std::size_t count = std::min<std::size_t>(u16At(body, 2, order), room / kChnaEntryBytes);
  std::vector<AdmTrack> tracks(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::string_view entry = slice(body, kChnaHeaderBytes + i * kChnaEntryBytes, 40);
    tracks[i].index = u16At(entry, 0, order);
    tracks[i].uid = texts(untilNul(slice(entry, 2, 12)));
    tracks[i].trackRef = texts(untilNul(slice(entry, 14, 14)));
    tracks[i].packRef = texts(untilNul(slice(entry, 28, 11)));
  }
  return tracks;
}

Cart decodeCart(std::string_view body, ByteOrder order, BodyTexts& texts) {
  Cart cart;
  for (const CartText& text : kCartTexts) {
    cart.*text.field = texts(untilNul(slice(body, text.at, text.width)));
  }
  cart.levelReference = static_cast<std::int32_t>(u32At(body, kCartLevelAt, order));
  for (std::size_t i = 0; i < kCartTimerCount; ++i) {
    const std::string_view timer = slice(body, kCartTimersAt + 8 * i, 8);
    const std::string_view usage = slice(timer, 0, 4);
    if (usage.find_first_not_of('\0') == std::string_view::npos) continue;  // an unused timer
    cart.postTimers.push_back({texts(untilNul(usage)), u32At(timer, 4, order)});
  }
  cart.url = texts(untilNul(slice(body, kCartUrlAt, kCartUrlBytes)));
  cart.tagText = texts(untilNul(slice(body, kCartTagTextAt, body.size())));
  return cart;
}

Peak decodePeak(std::string_view body, ByteOrder order) {
  Peak peak;
  peak.version = u32At(body, 0, order);
  peak.timestamp = u32At(body, 4, order);
  const std::size_t count =
      body.size() > kPeakHeaderBytes ? (body.size() - kPeakHeaderBytes) / kPeakChannelBytes : 0;
  peak.channels.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = kPeakHeaderBytes + i * kPeakChannelBytes;
    peak.channels[i] = {floatAt(body, at, order), u32At(body, at + 4, order)};
  }
  return peak;
}

}  // namespace pelorin
