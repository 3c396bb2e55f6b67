// The JSON keys "ixml" and "md5".
#include "cli/ixml_md5_format.h"

namespace pelorin::cli {

namespace {

void text(JsonLine& line, const std::optional<std::string>& value) {
  value ? line.string(*value) : line.null();
}

void number(JsonLine& line, const std::optional<std::uint64_t>& value) {
  value ? line.integer(*value) : line.null();
}

void digest(JsonLine& line, const std::optional<Md5Digest>& value) {
  if (!value) return line.null();
  std::string& hex = line.scratchText();
  hex.clear();
  appendDigestHex(hex, *value);
  line.string(hex);
}

void appendTracks(JsonLine& line, const IxmlFields& x) {
  line.key("tracks");
  if (!x.tracks) return line.null();
  line.raw("[");
  for (std::size_t i = 0; i < x.tracks->size(); ++i) {
    const IxmlTrack& track = (*x.tracks)[i];
    line.raw(i == 0 ? "{\"channelIndex\":" : ",{\"channelIndex\":");
    number(line, track.channelIndex);
    line.key("interleaveIndex");
    number(line, track.interleaveIndex);
    line.key("name");
    text(line, track.name);
    line.key("function");
    text(line, track.function);
    line.raw("}");
  }
  line.raw("]");
}

void appendFileSet(JsonLine& line, const IxmlFields& x) {
  line.key("fileSet");
  if (!x.fileSet) return line.null();
  line.raw("{\"totalFiles\":");
  number(line, x.fileSet->totalFiles);
  line.key("familyUid");
  text(line, x.fileSet->familyUid);
  line.key("index");
  text(line, x.fileSet->index);
  line.raw("}");
}

void appendTimecode(JsonLine& line, const IxmlFields& x) {
  line.key("timecodeRate");
  text(line, x.timecodeRate);
  line.key("timecodeFlag");
  text(line, x.timecodeFlag);
  line.key("timestampSamples");
  number(line, x.timestampSamples);
  line.key("timestampSampleRate");
  number(line, x.timestampSampleRate);
}

}  // namespace

void appendJsonIxml(JsonLine& line, const WaveDetails& d) {
  line.key("ixml");
  if (!d.ixml) return line.null();
  const IxmlFields& x = *d.ixml;
  line.raw("{\"version\":");
  text(line, x.version);
  line.key("project");
  text(line, x.project);
  line.key("scene");
  text(line, x.scene);
  line.key("take");
  text(line, x.take);
  line.key("tape");
  text(line, x.tape);
  line.key("circled");
  x.circled ? line.raw(*x.circled ? "true" : "false") : line.null();
  line.key("note");
  text(line, x.note);
  line.key("fileUid");
  text(line, x.fileUid);
  appendTimecode(line, x);
  appendTracks(line, x);
  appendFileSet(line, x);
  line.raw("}");
}

void appendJsonMd5(JsonLine& line, const WaveDetails& d) {
  line.key("md5");
  if (!d.md5) return line.null();
  const Md5Fields& m = *d.md5;
  line.raw("{\"stored\":");
  digest(line, m.stored);
  if (m.verified) {
    line.key("computed");
    digest(line, m.computed);
    line.key("match");
    if (m.stored && m.computed) {
      line.raw(*m.stored == *m.computed ? "true" : "false");
    } else {
      line.null();
    }
  }
  line.raw("}");
}

}  // namespace pelorin::cli
