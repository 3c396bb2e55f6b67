// The text block's lines from `bext` on: each decoded chunk as a person reads it, its texts in
// their display form, indented as the rest of the block.
#include <array>
#include <charconv>

#include "cli/format.h"
#include "runtime/text.h"

namespace pelorin::cli {

namespace {

constexpr std::string_view kIndent = "  ";
constexpr std::string_view kItemIndent = "    ";

template <typename Number>
void appendNumber(std::string& out, Number value) {
  out.append(std::to_string(value));
}

// A decimal as short as it reads: "-23", "5.5", "-0.25".
void appendDecimal(std::string& out, double value) {
  std::array<char, 32> digits;
  const auto end = std::to_chars(digits.begin(), digits.end(), value).ptr;
  out.append(digits.data(), end);
}

void appendText(std::string& out, std::string_view text) {
  appendDisplayLine(out, text);
}

// "Label:" on a line of its own, or with `rest` after it.
void heading(std::string& out, std::string_view label, std::string_view rest = {}) {
  out.append(kIndent).append(label).append(":");
  if (!rest.empty()) out.append(" ").append(rest);
  out.push_back('\n');
}

void field(std::string& out, std::string_view label, std::string_view text) {
  out.append(kItemIndent).append(label).append(": ");
  appendText(out, text);
  out.push_back('\n');
}

// " (0:00:01.000)": frames as a clock at the `fmt ` rate, nothing without one.
void appendFramesClock(std::string& out, const WaveDetails& d, std::uint64_t frames) {
  if (!d.format || d.format->sampleRate == 0) return;
  out.append(" (");
  appendClock(out, static_cast<double>(frames) / d.format->sampleRate);
  out.push_back(')');
}

void appendLoudness(std::string& out, const Loudness& l) {
  const std::pair<std::string_view, const std::optional<double>&> values[] = {
      {"integrated", l.integrated},
      {"range", l.range},
      {"max true peak", l.maxTruePeak},
      {"max momentary", l.maxMomentary},
      {"max short-term", l.maxShortTerm}};
  static constexpr std::string_view kUnits[] = {" LUFS", " LU", " dBTP", " LUFS", " LUFS"};
  out.append(kItemIndent).append("loudness:");
  for (std::size_t i = 0; i < std::size(values); ++i) {
    out.append(i == 0 ? " " : ", ").append(values[i].first).append(" ");
    if (!values[i].second) {
      out.append("none");
      continue;
    }
    appendDecimal(out, *values[i].second);
    out.append(kUnits[i]);
  }
  out.push_back('\n');
}

void appendBext(std::string& out, const WaveDetails& d) {
  const BroadcastFields& b = *d.bext;
  heading(out, "bext", "version " + std::to_string(b.version));
  const std::pair<std::string_view, const std::string&> texts[] = {
      {"description", b.description},
      {"originator", b.originator},
      {"originatorReference", b.originatorReference},
      {"originationDate", b.originationDate},
      {"originationTime", b.originationTime},
  };
  for (const auto& [label, text] : texts) {
    if (!text.empty()) field(out, label, text);
  }
  out.append(kItemIndent).append("timeReference: ");
  appendNumber(out, b.timeReference);
  out.append(" samples");
  appendFramesClock(out, d, b.timeReference);
  out.push_back('\n');
  if (!d.metadata.broadcast) return;
  const BroadcastExtras& x = *d.metadata.broadcast;
  if (x.umid) field(out, "umid", *x.umid);
  if (x.loudness) appendLoudness(out, *x.loudness);
  for (const std::string& row : x.codingHistory) field(out, "codingHistory", row);
}

void appendMarker(std::string& out, const WaveDetails& d, const Marker& m) {
  out.append(kItemIndent).append("cue ");
  appendNumber(out, m.id);
  out.append(" at frame ");
  appendNumber(out, m.frame);
  appendFramesClock(out, d, m.frame);
  if (m.position != m.frame) out.append(", play position ").append(std::to_string(m.position));
  if (m.label) out.append(", label: "), appendText(out, *m.label);
  if (m.note) out.append(", note: "), appendText(out, *m.note);
  if (m.region) {
    out.append(", region of ");
    appendNumber(out, m.region->frames);
    out.append(" frames");
    appendFramesClock(out, d, m.region->frames);
    out.append(" for '");
    appendText(out, m.region->purpose);
    out.append("'");
    if (m.region->text) out.append(": "), appendText(out, *m.region->text);
  }
  out.push_back('\n');
}

void appendMarkers(std::string& out, const WaveDetails& d) {
  const std::vector<Marker>& markers = *d.metadata.markers;
  heading(out, "Markers", markers.empty() ? "none" : "");
  for (const Marker& m : markers) appendMarker(out, d, m);
}

void appendLoop(std::string& out, const SamplerLoop& loop) {
  static constexpr std::string_view kTypes[] = {"forward", "alternating", "backward"};
  out.append(kItemIndent).append("loop of cue ");
  appendNumber(out, loop.cueId);
  out.append(": ");
  if (loop.type < std::size(kTypes)) {
    out.append(kTypes[loop.type]);
  } else {
    out.append("type ").append(std::to_string(loop.type));
  }
  out.append(", frames ").append(std::to_string(loop.start)).append(" to ");
  out.append(std::to_string(loop.end)).append(" inclusive, ");
  out.append(loop.playCount == 0 ? "forever" : std::to_string(loop.playCount) + " times");
  if (loop.fraction != 0) out.append(", fraction ").append(std::to_string(loop.fraction));
  out.push_back('\n');
}

void appendSampler(std::string& out, const WaveDetails& d) {
  const Sampler& s = *d.metadata.sampler;
  std::string line = "unity note " + std::to_string(s.unityNote) + ", pitch ";
  appendDecimal(line, s.pitchFraction * 100.0 / 4294967296.0);
  line.append(" cents, sample period ").append(std::to_string(s.samplePeriod)).append(" ns");
  line.append(", manufacturer ").append(std::to_string(s.manufacturer));
  line.append(", product ").append(std::to_string(s.product));
  line.append(", SMPTE format ").append(std::to_string(s.smpteFormat));
  line.append(" offset ").append(std::to_string(s.smpteOffset));
  heading(out, "Sampler", line);
  for (const SamplerLoop& loop : s.loops) appendLoop(out, loop);
}

void appendInstrument(std::string& out, const WaveDetails& d) {
  const Instrument& i = *d.metadata.instrument;
  const auto n = [](int value) { return std::to_string(value); };
  heading(out, "Instrument",
          "note " + n(i.unshiftedNote) + ", fine tune " + n(i.fineTuneCents) + " cents, gain " +
              n(i.gainDb) + " dB, notes " + n(i.lowNote) + " to " + n(i.highNote) +
              ", velocities " + n(i.lowVelocity) + " to " + n(i.highVelocity));
}

void appendAcid(std::string& out, const WaveDetails& d) {
  const Acid& a = *d.metadata.acid;
  std::string line = a.oneShot() ? "one-shot" : "loop";
  if (a.hasRootNote()) line.append(", root note ").append(std::to_string(a.rootNote));
  line.append(", ").append(std::to_string(a.beats)).append(" beats in ");
  line.append(std::to_string(a.meterNumerator)).append("/");
  line.append(std::to_string(a.meterDenominator)).append(" at ");
  appendDecimal(line, a.tempo);
  heading(out, "Acid", line.append(" BPM"));
}

void appendAdm(std::string& out, const WaveDetails& d) {
  const Adm& adm = *d.metadata.adm;
  std::string line = std::to_string(adm.tracks.size()) + " chna tracks, ";
  line.append(adm.axmlBytes ? "axml of " + std::to_string(*adm.axmlBytes) + " bytes" : "no axml");
  heading(out, "ADM", line);
  for (const AdmTrack& track : adm.tracks) {
    out.append(kItemIndent).append("track ").append(std::to_string(track.index)).append(": ");
    appendText(out, track.uid);
    out.append(" ");
    appendText(out, track.trackRef);
    out.append(" ");
    appendText(out, track.packRef);
    out.push_back('\n');
  }
}

void appendCart(std::string& out, const WaveDetails& d) {
  const Cart& c = *d.metadata.cart;
  std::string version = "version ";
  appendText(version, c.version);
  heading(out, "cart", version);
  const std::pair<std::string_view, const std::string&> texts[] = {
      {"title", c.title},
      {"artist", c.artist},
      {"cutId", c.cutId},
      {"clientId", c.clientId},
      {"category", c.category},
      {"classification", c.classification},
      {"outCue", c.outCue},
      {"startDate", c.startDate},
      {"startTime", c.startTime},
      {"endDate", c.endDate},
      {"endTime", c.endTime},
      {"producerApp", c.producerApp},
      {"producerAppVersion", c.producerAppVersion},
      {"userDef", c.userDef},
  };
  for (const auto& [label, text] : texts) {
    if (!text.empty()) field(out, label, text);
  }
  field(out, "levelReference", std::to_string(c.levelReference));
  for (const PostTimer& timer : c.postTimers) {
    out.append(kItemIndent).append("postTimer ");
    appendText(out, timer.usage);
    out.append(": ").append(std::to_string(timer.value)).append(" samples\n");
  }
  if (!c.url.empty()) field(out, "url", c.url);
  if (!c.tagText.empty()) field(out, "tagText", c.tagText);
}

void appendPeak(std::string& out, const WaveDetails& d) {
  const Peak& p = *d.metadata.peak;
  heading(out, "PEAK",
          "version " + std::to_string(p.version) + ", timestamp " + std::to_string(p.timestamp) +
              " (seconds since 1970)");
  for (std::size_t i = 0; i < p.channels.size(); ++i) {
    out.append(kItemIndent).append("channel ").append(std::to_string(i + 1)).append(": ");
    appendDecimal(out, p.channels[i].value);
    out.append(" at frame ").append(std::to_string(p.channels[i].position)).push_back('\n');
  }
}

void appendId3(std::string& out, const WaveDetails& d) {
  const Id3& tag = *d.metadata.id3;
  heading(out, "ID3", "version " + tag.version);
  for (const auto& [id, text] : tag.frames) field(out, id, text);
  if (tag.otherFrames.empty()) return;
  out.append(kItemIndent).append("other frames:");
  for (const std::string& id : tag.otherFrames) out.append(" ").append(id);
  out.push_back('\n');
}

}  // namespace

void appendTextMetadata(std::string& out, const WaveDetails& d) {
  const ChunkMetadata& m = d.metadata;
  if (d.bext) appendBext(out, d);
  if (m.markers) appendMarkers(out, d);
  if (m.sampler) appendSampler(out, d);
  if (m.instrument) appendInstrument(out, d);
  if (m.acid) appendAcid(out, d);
  if (m.adm) appendAdm(out, d);
  if (m.cart) appendCart(out, d);
  if (m.peak) appendPeak(out, d);
  if (m.id3) appendId3(out, d);
  if (m.xmpBytes) heading(out, "XMP", std::to_string(*m.xmpBytes) + " bytes");
}

}  // namespace pelorin::cli
