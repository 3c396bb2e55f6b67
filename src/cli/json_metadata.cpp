// The details' JSON keys from `bext` on: the broadcast description and every chunk decoded
// beyond the format and the tags, each null without its chunk.

#include "cli/ixml_md5_format.h"
#include "cli/json_details.h"

namespace pelorin::cli {

namespace {

void optionalText(JsonLine& line, const std::optional<std::string>& text) {
  text ? line.string(*text) : line.null();
}

void optionalNumber(JsonLine& line, const std::optional<double>& value) {
  value ? line.number(*value) : line.null();
}

// A count of frames as seconds at the `fmt ` rate; null without one.
void seconds(JsonLine& line, const WaveDetails& d, std::uint64_t frames) {
  if (!d.format || d.format->sampleRate == 0) return line.null();
  line.number(static_cast<double>(frames) / d.format->sampleRate);
}

void appendJsonLoudness(JsonLine& line, const std::optional<Loudness>& loudness) {
  line.key("loudness");
  if (!loudness) return line.null();
  line.raw("{\"integrated\":");
  optionalNumber(line, loudness->integrated);
  line.key("range");
  optionalNumber(line, loudness->range);
  line.key("maxTruePeak");
  optionalNumber(line, loudness->maxTruePeak);
  line.key("maxMomentary");
  optionalNumber(line, loudness->maxMomentary);
  line.key("maxShortTerm");
  optionalNumber(line, loudness->maxShortTerm);
  line.raw("}");
}

void appendJsonBroadcastExtras(JsonLine& line, const WaveDetails& d) {
  const BroadcastExtras& x = *d.metadata.broadcast;
  line.key("umid");
  optionalText(line, x.umid);
  appendJsonLoudness(line, x.loudness);
  line.key("codingHistory");
  line.raw("[");
  for (std::size_t i = 0; i < x.codingHistory.size(); ++i) {
    if (i > 0) line.raw(",");
    line.string(x.codingHistory[i]);
  }
  line.raw("]");
  line.key("timeReferenceSeconds");
  seconds(line, d, d.bext->timeReference);
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
  if (d.metadata.broadcast) appendJsonBroadcastExtras(line, d);
  line.raw("}");
}

void appendJsonRegion(JsonLine& line, const WaveDetails& d, const std::optional<Region>& region) {
  line.key("region");
  if (!region) return line.null();
  line.raw("{\"frames\":");
  line.integer(region->frames);
  line.key("seconds");
  seconds(line, d, region->frames);
  line.key("purpose");
  line.string(region->purpose);
  line.key("text");
  optionalText(line, region->text);
  line.raw("}");
}

void appendJsonMarkers(JsonLine& line, const WaveDetails& d) {
  line.key("markers");
  if (!d.metadata.markers) return line.null();
  line.raw("[");
  bool first = true;
  for (const Marker& m : *d.metadata.markers) {
    line.raw(first ? "{\"id\":" : ",{\"id\":");
    first = false;
    line.integer(m.id);
    line.key("frame");
    line.integer(m.frame);
    if (m.position != m.frame) {
      line.key("position");
      line.integer(m.position);
    }
    line.key("seconds");
    seconds(line, d, m.frame);
    line.key("label");
    optionalText(line, m.label);
    line.key("note");
    optionalText(line, m.note);
    appendJsonRegion(line, d, m.region);
    line.raw("}");
  }
  line.raw("]");
}

void appendJsonLoopType(JsonLine& line, std::uint32_t type) {
  static constexpr std::string_view kTypes[] = {"forward", "alternating", "backward"};
  if (type < std::size(kTypes)) return line.string(kTypes[type]);
  line.integer(type);
}

void appendJsonLoops(JsonLine& line, const std::vector<SamplerLoop>& loops) {
  line.key("loops");
  line.raw("[");
  bool first = true;
  for (const SamplerLoop& loop : loops) {
    line.raw(first ? "{\"cueId\":" : ",{\"cueId\":");
    first = false;
    line.integer(loop.cueId);
    line.key("type");
    appendJsonLoopType(line, loop.type);
    line.key("start");
    line.integer(loop.start);
    line.key("end");
    line.integer(loop.end);
    line.key("fraction");
    line.integer(loop.fraction);
    line.key("playCount");
    line.integer(loop.playCount);
    line.raw("}");
  }
  line.raw("]");
}

void appendJsonSampler(JsonLine& line, const WaveDetails& d) {
  line.key("sampler");
  if (!d.metadata.sampler) return line.null();
  const Sampler& s = *d.metadata.sampler;
  line.raw("{\"manufacturer\":");
  line.integer(s.manufacturer);
  line.key("product");
  line.integer(s.product);
  line.key("samplePeriod");
  line.integer(s.samplePeriod);
  line.key("unityNote");
  line.integer(s.unityNote);
  line.key("pitchCents");
  line.number(s.pitchFraction * 100.0 / 4294967296.0);
  line.key("smpteFormat");
  line.integer(s.smpteFormat);
  line.key("smpteOffset");
  line.integer(s.smpteOffset);
  appendJsonLoops(line, s.loops);
  line.raw("}");
}

void appendJsonInstrument(JsonLine& line, const WaveDetails& d) {
  line.key("instrument");
  if (!d.metadata.instrument) return line.null();
  const Instrument& i = *d.metadata.instrument;
  line.raw("{\"unshiftedNote\":");
  line.integer(i.unshiftedNote);
  line.key("fineTuneCents");
  line.integer(i.fineTuneCents);
  line.key("gainDb");
  line.integer(i.gainDb);
  line.key("lowNote");
  line.integer(i.lowNote);
  line.key("highNote");
  line.integer(i.highNote);
  line.key("lowVelocity");
  line.integer(i.lowVelocity);
  line.key("highVelocity");
  line.integer(i.highVelocity);
  line.raw("}");
}

void appendJsonAcid(JsonLine& line, const WaveDetails& d) {
  line.key("acid");
  if (!d.metadata.acid) return line.null();
  const Acid& a = *d.metadata.acid;
  line.raw(a.oneShot() ? "{\"oneShot\":true" : "{\"oneShot\":false");
  line.key("rootNote");
  a.hasRootNote() ? line.integer(a.rootNote) : line.null();
  line.key("beats");
  line.integer(a.beats);
  line.key("meter");
  std::string& meter = line.scratchText();
  meter = std::to_string(a.meterNumerator) + "/" + std::to_string(a.meterDenominator);
  line.string(meter);
  line.key("tempo");
  appendJsonFloat(line, a.tempo);
  line.raw("}");
}

void appendJsonAdm(JsonLine& line, const WaveDetails& d) {
  line.key("adm");
  if (!d.metadata.adm) return line.null();
  const Adm& adm = *d.metadata.adm;
  line.raw("{\"tracks\":[");
  bool first = true;
  for (const AdmTrack& track : adm.tracks) {
    line.raw(first ? "{\"index\":" : ",{\"index\":");
    first = false;
    line.integer(track.index);
    line.key("uid");
    line.string(track.uid);
    line.key("trackRef");
    line.string(track.trackRef);
    line.key("packRef");
    line.string(track.packRef);
    line.raw("}");
  }
  line.raw("]");
  line.key("axmlBytes");
  adm.axmlBytes ? line.integer(*adm.axmlBytes) : line.null();
  line.raw("}");
}

void appendJsonXmp(JsonLine& line, const WaveDetails& d) {
  line.key("xmp");
  if (!d.metadata.xmpBytes) return line.null();
  line.raw("{\"bytes\":");
  line.integer(*d.metadata.xmpBytes);
  line.raw("}");
}

}  // namespace

void appendJsonMetadata(JsonLine& line, const WaveDetails& d) {
  appendJsonBext(line, d);
  appendJsonMarkers(line, d);
  appendJsonSampler(line, d);
  appendJsonInstrument(line, d);
  appendJsonAcid(line, d);
  appendJsonIxml(line, d);
  appendJsonAdm(line, d);
  appendJsonCart(line, d);
  appendJsonPeak(line, d);
  appendJsonId3(line, d);
  appendJsonXmp(line, d);
  appendJsonMd5(line, d);
}

}  // namespace pelorin::cli
