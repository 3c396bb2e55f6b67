#include "probe/chunk_bodies.h"

#include <algorithm>
#include <set>

#include "probe/detail_parts.h"
#include "probe/metadata.h"

namespace pelorin {

namespace {

bool is(const ChunkHeader& chunk, std::string_view id) {
  return std::string_view(chunk.id.data(), chunk.id.size()) == id;
}

std::string idOf(const ChunkHeader& chunk) {
  return {chunk.id.data(), chunk.id.size()};
}

// Whether the chunk's kind was decoded already: only the first of each counts.
bool decodedAlready(const ChunkHeader& chunk, const WaveDetails& d) {
  const ChunkMetadata& m = d.metadata;
  if (is(chunk, "cue ")) return m.markers.has_value();
  if (is(chunk, "smpl")) return m.sampler.has_value();
  if (is(chunk, "inst")) return m.instrument.has_value();
  if (is(chunk, "acid")) return m.acid.has_value();
  if (is(chunk, "bext")) return d.bext.has_value();
  if (is(chunk, "chna")) return m.chnaOffset != 0;
  if (is(chunk, "axml")) return m.adm && m.adm->axmlBytes;
  if (is(chunk, "cart")) return m.cart.has_value();
  if (is(chunk, "PEAK")) return m.peak.has_value();
  if (is(chunk, "id3 ") || is(chunk, "ID3 ")) return m.id3.has_value();
  if (is(chunk, "_PMX")) return m.xmpBytes.has_value();
  return true;  // not a chunk decoded here
}

// body-not-read for `chunk`, once.
void warnNotRead(const ChunkHeader& chunk, WaveDetails& d) {
  const bool given = !d.findings.empty() && d.findings.back().code == Warning::kBodyNotRead &&
                     d.findings.back().offset == chunk.offset;
  if (!given) d.warn(Warning::kBodyNotRead, chunk.offset, idOf(chunk));
}

void decodeTexts(const ChunkHeader& chunk, std::string_view body, ByteOrder order, WaveDetails& d) {
  ChunkMetadata& m = d.metadata;
  BodyTexts texts(m.allowance);
  const bool fullBefore = m.associated.full;
  if (is(chunk, "LIST")) {
    decodeAssociatedData(slice(body, 4, body.size()), order, chunk.offset, texts, m.associated);
  } else if (is(chunk, "chna")) {
    m.chnaOffset = chunk.offset;
    if (!m.adm) m.adm.emplace();
    m.adm->tracks = decodeChna(body, order, texts);
  } else if (is(chunk, "cart")) {
    m.cart = decodeCart(body, order, texts);
  } else {
    m.id3 = decodeId3(body, texts);
  }
  if (texts.cut() || m.associated.full != fullBefore) warnNotRead(chunk, d);
}

// Keeps the items the allowance pays for; false when some had to go.
template <typename Item>
bool keepAffordable(std::vector<Item>& items, std::size_t& allowance) {
  const bool all = items.size() <= allowance / kItemWeight;
  if (!all) {
    items.resize(allowance / kItemWeight);
    items.shrink_to_fit();
  }
  allowance -= items.size() * kItemWeight;
  return all;
}

// Keeps of the lists `chunk` gave the items the allowance pays for; the rest are dropped.
void keepAffordableItems(const ChunkHeader& chunk, WaveDetails& d) {
  ChunkMetadata& m = d.metadata;
  bool all = true;
  if (is(chunk, "cue ")) {
    all = keepAffordable(*m.markers, m.allowance);
  } else if (is(chunk, "smpl")) {
    all = keepAffordable(m.sampler->loops, m.allowance);
  } else if (is(chunk, "chna")) {
    all = keepAffordable(m.adm->tracks, m.allowance);
  } else if (is(chunk, "PEAK")) {
    all = keepAffordable(m.peak->channels, m.allowance);
  } else if (is(chunk, "id3 ") || is(chunk, "ID3 ")) {
    const bool frames = keepAffordable(m.id3->frames, m.allowance);
    all = keepAffordable(m.id3->otherFrames, m.allowance) && frames;
  }
  if (!all) warnNotRead(chunk, d);
}

// A finding about one item of a list; like the items, it is kept while the allowance pays for
// it, so that a list of faults cannot grow the record without end. The warning holds anyway.
void warnItem(WaveDetails& d, Warning code, std::int64_t offset, const char* chunk,
              FindingValue expected, FindingValue actual) {
  std::size_t& allowance = d.metadata.allowance;
  if (allowance < kItemWeight) {
    d.warnings.set(static_cast<std::size_t>(code));
    return;
  }
  allowance -= kItemWeight;
  d.warn(code, offset, chunk, std::move(expected), std::move(actual));
}

void joinMarkerTexts(std::vector<Marker>& markers, const AssociatedData& data) {
  for (Marker& marker : markers) {
    if (auto label = data.labels.find(marker.id); label != data.labels.end()) {
      marker.label = label->second;
    }
    if (auto note = data.notes.find(marker.id); note != data.notes.end()) {
      marker.note = note->second;
    }
    if (auto region = data.regions.find(marker.id); region != data.regions.end()) {
      marker.region = region->second;
    }
  }
}

// Cue points: their IDs once each, their frames within the data.
void checkMarkers(WaveDetails& d) {
  const ChunkMetadata& m = d.metadata;
  std::set<std::uint32_t> seen;
  for (const Marker& marker : *m.markers) {
    if (!seen.insert(marker.id).second) {
      warnItem(d, Warning::kDuplicateCueId, m.cueOffset, "cue ", {}, std::uint64_t{marker.id});
    }
    if (d.frames && marker.frame > *d.frames) {
      warnItem(d, Warning::kCuePastEnd, m.cueOffset, "cue ", *d.frames,
               std::uint64_t{marker.frame});
    }
  }
}

// A label, note or region whose cue ID no point has: one finding for each LIST that holds one.
void checkAssociatedIds(WaveDetails& d) {
  const ChunkMetadata& m = d.metadata;
  std::set<std::uint32_t> cueIds;
  if (m.markers) {
    for (const Marker& marker : *m.markers) cueIds.insert(marker.id);
  }
  std::set<std::int64_t> lists;
  for (const auto& [id, listOffset] : m.associated.firstList) {
    if (!cueIds.count(id)) lists.insert(listOffset);
  }
  for (const std::int64_t offset : lists) d.warn(Warning::kLabelWithoutCue, offset, "LIST");
}

void checkLoops(WaveDetails& d) {
  const ChunkMetadata& m = d.metadata;
  for (const SamplerLoop& loop : m.sampler->loops) {
    if (d.frames && loop.end >= *d.frames) {
      warnItem(d, Warning::kLoopPastEnd, m.samplerOffset, "smpl", *d.frames,
               std::uint64_t{loop.end});
    }
    if (loop.start > loop.end) {
      warnItem(d, Warning::kLoopStartAfterEnd, m.samplerOffset, "smpl", std::uint64_t{loop.end},
               std::uint64_t{loop.start});
    }
  }
}

void checkTracks(WaveDetails& d) {
  const ChunkMetadata& m = d.metadata;
  const std::uint64_t channels = d.format ? d.format->channels : 0;
  for (const AdmTrack& track : m.adm->tracks) {
    if (track.index == 0 || (d.format && track.index > channels)) {
      warnItem(d, Warning::kChnaTrackOutOfRange, m.chnaOffset, "chna", channels,
               std::uint64_t{track.index});
    }
  }
}

}  // namespace

std::string_view detail::readKeptBody(Reader& reader, const ChunkHeader& chunk, std::size_t cap,
                                      WaveDetails& d) {
  if (cap == 0) return {};
  const auto inFile =
      static_cast<std::uint64_t>(std::max<std::int64_t>(d.fileLength - chunk.bodyOffset, 0));
  const std::uint64_t available = std::min(chunk.bodySize, inFile);
  BodyBudget& budget = d.metadata.budget;
  const bool spentBefore = budget.spent();
  const std::size_t length = budget.grant(available, cap);
  if (length < available && !spentBefore) {
    d.warn(Warning::kBodyNotRead, chunk.offset, idOf(chunk), available, std::uint64_t{length});
  }
  return reader.body(chunk, length);
}

std::optional<std::size_t> metadataBodyCap(const ChunkHeader& chunk, const WaveDetails& d) {
  if (decodedAlready(chunk, d)) return std::nullopt;
  if (is(chunk, "axml") || is(chunk, "_PMX")) return 0;
  return kMaxBodyBytes;
}

bool isAssociatedDataList(std::string_view listType) {
  return listType == "adtl";
}

void decodeMetadataBody(const ChunkHeader& chunk, std::string_view body, ByteOrder order,
                        WaveDetails& d) {
  ChunkMetadata& m = d.metadata;
  if (is(chunk, "cue ")) {
    m.cueOffset = chunk.offset;
    m.markers = decodeCue(body, order);
  } else if (is(chunk, "smpl")) {
    m.samplerOffset = chunk.offset;
    m.sampler = decodeSampler(body, order);
  } else if (is(chunk, "inst")) {
    m.instrument = decodeInstrument(body);
  } else if (is(chunk, "acid")) {
    m.acid = decodeAcid(body, order);
  } else if (is(chunk, "bext")) {
    decodeBroadcast(body, order, chunk.offset, chunk.bodySize, d);
  } else if (is(chunk, "axml")) {
    if (!m.adm) m.adm.emplace();
    m.adm->axmlBytes = chunk.bodySize;
  } else if (is(chunk, "PEAK")) {
    m.peak = decodePeak(body, order);
  } else if (is(chunk, "_PMX")) {
    m.xmpBytes = chunk.bodySize;
  } else {
    decodeTexts(chunk, body, order, d);
  }
  keepAffordableItems(chunk, d);
}

void finishMetadata(WaveDetails& d) {
  ChunkMetadata& m = d.metadata;
  if (m.markers) {
    joinMarkerTexts(*m.markers, m.associated);
    checkMarkers(d);
  }
  checkAssociatedIds(d);
  if (m.sampler) checkLoops(d);
  if (m.adm) checkTracks(d);
}

}  // namespace pelorin
