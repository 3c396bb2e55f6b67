// The text block's lines for the iXML and MD5 chunks, in the form of the other chunks' lines:
// a heading indented by two spaces, then one field a line, indented by four.
#include <charconv>

#include "cli/ixml_md5_format.h"

namespace pelorin::cli {

namespace {

constexpr std::string_view kIndent = "  ";
constexpr std::string_view kItemIndent = "    ";

void appendNumber(std::string& out, std::uint64_t value) {
  std::array<char, 24> digits;
  const auto end = std::to_chars(digits.begin(), digits.end(), value).ptr;
  out.append(digits.begin(), end);
}

void field(std::string& out, std::string_view label, const std::optional<std::string>& text) {
  if (!text) return;
  out.append(kItemIndent).append(label).append(": ");
  appendDisplayLine(out, *text);
  out.push_back('\n');
}

void field(std::string& out, std::string_view label, const std::optional<std::uint64_t>& value) {
  if (!value) return;
  out.append(kItemIndent).append(label).append(": ");
  appendNumber(out, *value);
  out.push_back('\n');
}

// "1: channel 1, interleave 1, name Boom, function M-MID": what a track has of these.
void appendTrack(std::string& out, std::size_t number, const IxmlTrack& track) {
  out.append(kItemIndent).append("  ");
  appendNumber(out, number);
  out.push_back(':');
  const char* separator = " ";
  const auto part = [&](std::string_view label, auto append) {
    out.append(separator).append(label).push_back(' ');
    append();
    separator = ", ";
  };
  if (track.channelIndex) part("channel", [&] { appendNumber(out, *track.channelIndex); });
  if (track.interleaveIndex) part("interleave", [&] { appendNumber(out, *track.interleaveIndex); });
  if (track.name) part("name", [&] { appendDisplayLine(out, *track.name); });
  if (track.function) part("function", [&] { appendDisplayLine(out, *track.function); });
  out.push_back('\n');
}

void appendTracksAndFileSet(std::string& out, const IxmlFields& x) {
  if (x.tracks) {
    out.append(kItemIndent).append("tracks: ");
    appendNumber(out, x.tracks->size());
    out.push_back('\n');
    for (std::size_t i = 0; i < x.tracks->size(); ++i) appendTrack(out, i + 1, (*x.tracks)[i]);
  }
  if (!x.fileSet) return;
  field(out, "fileSet totalFiles", x.fileSet->totalFiles);
  field(out, "fileSet familyUid", x.fileSet->familyUid);
  field(out, "fileSet index", x.fileSet->index);
}

void digestField(std::string& out, std::string_view label, const std::optional<Md5Digest>& value,
                 std::string_view without) {
  out.append(kItemIndent).append(label).append(": ");
  value ? appendDigestHex(out, *value) : void(out.append(without));
  out.push_back('\n');
}

}  // namespace

void appendTextIxml(std::string& out, const WaveDetails& d) {
  if (!d.ixml) return;
  const IxmlFields& x = *d.ixml;
  out.append(kIndent).append("iXML:");
  if (!x.wellFormed) out.append(" not well-formed; the fields read before the fault:");
  out.push_back('\n');
  field(out, "version", x.version);
  field(out, "project", x.project);
  field(out, "scene", x.scene);
  field(out, "take", x.take);
  field(out, "tape", x.tape);
  if (x.circled) field(out, "circled", std::string(*x.circled ? "yes" : "no"));
  field(out, "note", x.note);
  field(out, "fileUid", x.fileUid);
  field(out, "timecodeRate", x.timecodeRate);
  field(out, "timecodeFlag", x.timecodeFlag);
  field(out, "timestampSamples", x.timestampSamples);
  field(out, "timestampSampleRate", x.timestampSampleRate);
  appendTracksAndFileSet(out, x);
}

void appendTextMd5(std::string& out, const WaveDetails& d) {
  if (!d.md5) return;
  const Md5Fields& m = *d.md5;
  out.append(kIndent).append("MD5:\n");
  digestField(out, "stored", m.stored, "none (no MD5 chunk of 16 bytes)");
  if (!m.verified) return;
  digestField(out, "computed", m.computed, "none (no data to hash, or it could not be read)");
  out.append(kItemIndent).append("match: ");
  if (m.stored && m.computed) {
    out.append(*m.stored == *m.computed ? "yes\n" : "no\n");
  } else {
    out.append("unknown\n");
  }
}

}  // namespace pelorin::cli
