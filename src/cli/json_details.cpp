#include "cli/json_details.h"

#include "cli/ixml_md5_format.h"

namespace pelorin::cli {

namespace {

std::string_view idView(const std::array<char, 4>& id) {
  return {id.data(), id.size()};
}

std::string_view durationSourceName(DurationSource source) {
  switch (source) {
    case DurationSource::kFrames:
      return "frames";
    case DurationSource::kFact:
      return "fact";
    default:
      return "";
  }
}

void appendJsonFormat(JsonLine& line, const WaveDetails& d) {
  const std::optional<std::uint16_t> effective = d.effectiveFormat();
  line.key("formatCode");
  d.format ? line.integer(d.format->formatCode) : line.null();
  line.key("formatName");
  line.nameOrNull(effective ? formatName(*effective) : "");
  line.key("blockAlign");
  d.format ? line.integer(d.format->blockAlign) : line.null();
  line.key("byteRate");
  d.format ? line.integer(d.format->byteRate) : line.null();
}

void appendJsonExtensible(JsonLine& line, const WaveDetails& d) {
  if (!d.extensible) {
    line.raw(
        ",\"validBitsPerSample\":null,\"channelMask\":null,\"channelLayout\":null,"
        "\"subFormat\":null");
    return;
  }
  const ExtensibleFields& x = *d.extensible;
  line.key("validBitsPerSample");
  line.integer(x.validBitsPerSample);
  line.key("channelMask");
  line.integer(x.channelMask);
  std::string& text = line.scratchText();
  text.clear();
  appendChannelLayout(text, x.channelMask);
  line.key("channelLayout");
  line.string(text);
  text.clear();
  appendGuid(text, x.subFormat);
  line.key("subFormat");
  line.string(text);
}

void appendJsonDuration(JsonLine& line, const WaveDetails& d) {
  if (!d.frames) {
    line.raw(",\"frames\":null,\"durationSeconds\":null,\"durationSource\":null");
    return;
  }
  line.key("frames");
  line.integer(*d.frames);
  line.key("durationSeconds");
  line.number(d.durationSeconds);
  line.key("durationSource");
  line.string(durationSourceName(d.durationSource));
}

void appendJsonChunks(JsonLine& line, const WaveDetails& d) {
  line.key("chunks");
  line.raw("[");
  for (std::size_t i = 0; i < d.chunks.size(); ++i) {
    const ChunkHeader& chunk = d.chunks[i];
    line.raw(i == 0 ? "{\"id\":" : ",{\"id\":");
    line.identifier(idView(chunk.id));
    line.key("offset");
    line.integer(chunk.offset);
    line.key("size");
    line.integer(chunk.size);
    line.raw("}");
  }
  line.raw("]");
}

void appendJsonWarnings(JsonLine& line, const WaveDetails& d) {
  line.key("warnings");
  line.raw("[");
  bool first = true;
  for (std::size_t i = 0; i < kWarningCount; ++i) {
    if (!d.warnings[i]) continue;
    if (!first) line.raw(",");
    line.string(warningCode(static_cast<Warning>(i)));
    first = false;
  }
  line.raw("]");
}

void appendJsonInfo(JsonLine& line, const WaveDetails& d) {
  line.key("info");
  if (d.info.empty()) return line.null();
  line.raw("{");
  for (std::size_t i = 0; i < d.info.size(); ++i) {
    if (i > 0) line.raw(",");
    line.identifier(idView(d.info[i].id));
    line.raw(":");
    line.string(d.info[i].text);
  }
  line.raw("}");
}

void appendJsonBext(JsonLine& line, const WaveDetails& d) {
  line.key("bext");
  if (!d.bext) return line.null();
  const BroadcastFields& b = *d.bext;
  line.raw("{\"description\":");
  line.string(b.description);
  line.key("originator");
  line.string(b.originator);
  line.key("originatorReference");
  line.string(b.originatorReference);
  line.key("originationDate");
  line.string(b.originationDate);
  line.key("originationTime");
  line.string(b.originationTime);
  line.key("timeReference");
  line.integer(b.timeReference);
  line.key("version");
  line.integer(b.version);
  line.raw("}");
}

}  // namespace

// The keys of the details, after the report's own.
void appendJsonDetails(JsonLine& line, const WaveDetails& d) {
  line.key("container");
  line.nameOrNull(containerName(d.container));
  appendJsonFormat(line, d);
  appendJsonExtensible(line, d);
  appendJsonDuration(line, d);
  appendJsonChunks(line, d);
  appendJsonWarnings(line, d);
  appendJsonInfo(line, d);
  appendJsonBext(line, d);
  appendJsonIxml(line, d);
  appendJsonMd5(line, d);
}

}  // namespace pelorin::cli
