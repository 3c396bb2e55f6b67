// The details' JSON keys of the chunks production tools add: `cart`, `peak` and `id3`.
#include <array>
#include <charconv>
#include <cmath>
#include <span>

#include "cli/json_details.h"

namespace pelorin::cli {

namespace {

struct CartKey {
  const char* key;
  std::string Cart::*field;
};

// The text fields in the order of the keys, the first written with its opening brace.
constexpr CartKey kCartTexts[] = {
    {"version", &Cart::version},
    {"title", &Cart::title},
    {"artist", &Cart::artist},
    {"cutId", &Cart::cutId},
    {"clientId", &Cart::clientId},
    {"category", &Cart::category},
    {"classification", &Cart::classification},
    {"outCue", &Cart::outCue},
    {"startDate", &Cart::startDate},
    {"startTime", &Cart::startTime},
    {"endDate", &Cart::endDate},
    {"endTime", &Cart::endTime},
    {"producerApp", &Cart::producerApp},
    {"producerAppVersion", &Cart::producerAppVersion},
    {"userDef", &Cart::userDef},
};

void textKey(JsonLine& line, std::string_view key, const std::string& text) {
  line.raw(",\"");
  line.raw(key);
  line.raw("\":");
  line.string(text);
}

void appendJsonPostTimers(JsonLine& line, const std::vector<PostTimer>& timers) {
  line.key("postTimers");
  line.raw("[");
  bool first = true;
  for (const PostTimer& timer : timers) {
    line.raw(first ? "{\"usage\":" : ",{\"usage\":");
    first = false;
    line.string(timer.usage);
    line.key("value");
    line.integer(timer.value);
    line.raw("}");
  }
  line.raw("]");
}

}  // namespace

void appendJsonFloat(JsonLine& line, float value) {
  if (!std::isfinite(value)) return line.null();
  std::array<char, 32> digits;
  const auto end = std::to_chars(digits.begin(), digits.end(), value).ptr;
  line.raw({digits.data(), static_cast<std::size_t>(end - digits.begin())});
}

void appendJsonCart(JsonLine& line, const WaveDetails& d) {
  line.key("cart");
  if (!d.metadata.cart) return line.null();
  const Cart& cart = *d.metadata.cart;
  line.raw("{\"version\":");
  line.string(cart.version);
  for (const CartKey& text : std::span(kCartTexts).subspan(1)) {
    textKey(line, text.key, cart.*text.field);
  }
  line.key("levelReference");
  line.integer(cart.levelReference);
  appendJsonPostTimers(line, cart.postTimers);
  line.key("url");
  line.string(cart.url);
  line.key("tagText");
  line.string(cart.tagText);
  line.raw("}");
}

void appendJsonPeak(JsonLine& line, const WaveDetails& d) {
  line.key("peak");
  if (!d.metadata.peak) return line.null();
  const Peak& peak = *d.metadata.peak;
  line.raw("{\"version\":");
  line.integer(peak.version);
  line.key("timestamp");
  line.integer(peak.timestamp);
  line.key("channels");
  line.raw("[");
  bool first = true;
  for (const PeakChannel& channel : peak.channels) {
    line.raw(first ? "{\"value\":" : ",{\"value\":");
    first = false;
    appendJsonFloat(line, channel.value);
    line.key("position");
    line.integer(channel.position);
    line.raw("}");
  }
  line.raw("]}");
}

void appendJsonId3(JsonLine& line, const WaveDetails& d) {
  line.key("id3");
  if (!d.metadata.id3) return line.null();
  const Id3& tag = *d.metadata.id3;
  line.raw("{\"version\":");
  line.string(tag.version);
  line.key("frames");
  line.raw("{");
  for (std::size_t i = 0; i < tag.frames.size(); ++i) {
    if (i > 0) line.raw(",");
    line.identifier(tag.frames[i].first);
    line.raw(":");
    line.string(tag.frames[i].second);
  }
  line.raw("}");
  line.key("otherFrames");
  line.raw("[");
  for (std::size_t i = 0; i < tag.otherFrames.size(); ++i) {
    if (i > 0) line.raw(",");
    line.identifier(tag.otherFrames[i]);
  }
  line.raw("]}");
}

}  // namespace pelorin::cli
