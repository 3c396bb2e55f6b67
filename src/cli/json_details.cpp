#include "cli/json_details.h"

namespace pelorin::cli {

namespace {

std::string_view idView(const std::array<char, 4>& id) {
  return {id.data(), id.size()};
}

std::string_view durationSourceName(DurationSource source) {
  switch (source) {
    case DurationSource::kFrames:
      return "frames";
    case DurationSource::kFramesByFormat:
      return "frames-by-format";
    case DurationSource::kFact:
      return "fact";
    case DurationSource::kBlocks:
      return "blocks";
    default:
      return "";
  }
}

void appendJsonFormat(JsonLine& line, const WaveDetails& d) {
  line.key("formatCode");
  d.format ? line.integer(d.format->formatCode) : line.null();
  line.key("formatName");
  line.nameOrNull(d.effectiveFormatName());
  line.key("blockAlign");
  d.format ? line.integer(d.format->blockAlign) : line.null();
  line.key("byteRate");
  d.format ? line.integer(d.format->byteRate) : line.null();
}

void appendJsonSamplesPerBlock(JsonLine& line, const WaveDetails& d) {
  line.key("samplesPerBlock");
  d.format&& d.format->samplesPerBlock ? line.integer(*d.format->samplesPerBlock) : line.null();
}

void appendJsonExtensible(JsonLine& line, const WaveDetails& d) {
  if (!d.extensible) {
    line.raw(",\"validBitsPerSample\":null");
    appendJsonSamplesPerBlock(line, d);
    line.raw(",\"channelMask\":null,\"channelLayout\":null,\"subFormat\":null");
    return;
  }
  const ExtensibleFields& x = *d.extensible;
  line.key("validBitsPerSample");
  line.integer(x.validBitsPerSample);
  appendJsonSamplesPerBlock(line, d);
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
    chunk.named ? line.identifier(idView(chunk.id)) : line.string(chunkIdText(chunk));
    if (chunk.guid) {
      std::string& text = line.scratchText();
      text.clear();
      appendGuid(text, *chunk.guid);
      line.key("guid");
      line.string(text);
    }
    line.key("offset");
    line.integer(chunk.offset);
    line.key("size");
    line.integer(chunk.bodySize);
    if (chunk.sizeFromDs64) line.raw(",\"sizeFrom\":\"ds64\"");
    line.raw("}");
  }
  line.raw("]");
}

void appendJsonWarnings(JsonLine& line, const WaveDetails& d) {
  line.key("warnings");
  line.raw("[");
  bool first = true;
  d.forEachWarning([&](Warning warning) {
    if (!first) line.raw(",");
    line.string(warningCode(warning));
    first = false;
  });
  line.raw("]");
}

void appendJsonValue(JsonLine& line, const FindingValue& value) {
  if (const auto* number = std::get_if<std::uint64_t>(&value)) return line.integer(*number);
  if (const auto* text = std::get_if<std::string>(&value)) return line.string(*text);
  line.null();
}

void appendJsonFindings(JsonLine& line, const WaveDetails& d) {
  line.key("findings");
  line.raw("[");
  for (std::size_t i = 0; i < d.findings.size(); ++i) {
    const Finding& finding = d.findings[i];
    line.raw(i == 0 ? "{\"code\":" : ",{\"code\":");
    line.string(warningCode(finding.code));
    line.key("offset");
    line.integer(finding.offset);
    line.key("chunk");
    finding.chunk ? line.identifier(*finding.chunk) : line.null();
    line.key("expected");
    appendJsonValue(line, finding.expected);
    line.key("actual");
    appendJsonValue(line, finding.actual);
    line.raw("}");
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
  appendJsonFindings(line, d);
  appendJsonInfo(line, d);
  appendJsonBext(line, d);
}

}  // namespace pelorin::cli
