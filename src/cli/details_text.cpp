// The text block of details that follows a report: what the header says, in words, one fact a
// line, indented so that it cannot be mistaken for the prompt, whose lines may begin with one
// space.
#include <cctype>
#include <charconv>
#include <cmath>

#include "cli/format.h"
#include "runtime/number_text.h"

namespace pelorin::cli {

namespace {

constexpr std::string_view kIndent = "  ";
constexpr std::string_view kItemIndent = "    ";

// What each warning means, by Warning.
constexpr std::string_view kWarningSentences[kWarningCount] = {
    "there is no fmt chunk",
    "there is no data chunk",
    "the fmt chunk comes after the data chunk",
    "the data chunk declares more bytes than the file holds",
    "the data size is a placeholder (0 or 0xFFFFFFFF): every byte after the data header counts",
    "the RIFF size plus 8 is not the file's length",
    "the data is not a whole number of blocks",
    "the block align is not channels times bytes per sample",
    "the byte rate is not sample rate times block align",
    "a chunk other than data runs past the end of the file",
    "there is no ds64 chunk, which an RF64 or BW64 file needs",
    "the ds64 chunk is not the first chunk",
    "the ds64 sample count is neither 0 nor the frames of the data size",
    "the file is not a WAVE file",
    "the fact chunk's sample count does not match the data",
    "an odd-sized chunk is not followed by its pad byte",
    "a pad byte is not 0",
    "a chunk identifier has a byte that is not printable",
    "a chunk that should appear once appears again; the first one counts",
    "the extensible format's fields contradict each other or are cut short",
    "the walk stops at 1024 chunks",
    "the file could not be read further",
    "a cue point lies past the end of the data",
    "a loop lies past the end of the data",
    "a loop starts after it ends",
    "two cue points have the same ID",
    "a label, note or text names a cue ID that no cue point has",
    "the bext chunk is shorter than 602 bytes",
    "the bext version is above 2",
    "the bext origination date is not a real date",
    "the bext origination time is not a real time",
    "loudness values are set in a bext chunk before version 2",
    "the iXML chunk is not well-formed XML",
    "the iXML timestamp differs from the bext time reference",
    "the iXML track count differs from the channels",
    "the iXML timestamp sample rate differs from the fmt sample rate",
    "a chna track index is 0 or above the channels",
    "the stored MD5 differs from the MD5 of the data",
    "a chunk, or the rest of the file's chunks, was not read, to bound memory",
};

void appendNumber(std::string& out, std::uint64_t value) {
  std::array<char, 24> digits;
  const auto end = std::to_chars(digits.begin(), digits.end(), value).ptr;
  out.append(digits.begin(), end);
}

// "0x3F": hexadecimal in capitals, as speaker masks are commonly written.
void appendHex(std::string& out, std::uint32_t value) {
  std::array<char, 8> digits;
  const auto end = std::to_chars(digits.begin(), digits.end(), value, 16).ptr;
  out.append("0x");
  for (auto digit = digits.begin(); digit != end; ++digit) {
    out.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(*digit))));
  }
}

// Starts a line of the block: its label and a colon.
void startLine(std::string& out, std::string_view label) {
  out.append(kIndent).append(label).append(":");
}

// Bytes of the file shown one character per byte, as identifiers are shown in the reports.
void appendIdentifier(std::string& out, std::string_view bytes) {
  appendDisplayLine(out, bytesToText(bytes));
}

// h:mm:ss.mmm, rounded to the millisecond, for any duration the details give: up to 2^64 frames
// at 1 Hz, some 5e15 hours. The hours are counted apart from the rest of the hour, so that no
// count of milliseconds overflows.
void appendClock(std::string& out, double seconds) {
  if (!(seconds >= 0 && seconds < 1e20)) {
    out.append("unknown");
    return;
  }
  const double inHour = std::fmod(seconds, 3600.0);
  auto hours = static_cast<std::uint64_t>(std::round((seconds - inHour) / 3600.0));
  auto ms = static_cast<std::uint64_t>(std::llround(inHour * 1000));
  if (ms == 3600000) {  // rounded up to the next hour
    ++hours;
    ms = 0;
  }
  const auto twoDigits = [&](std::uint64_t value) {
    out.push_back(static_cast<char>('0' + value / 10));
    out.push_back(static_cast<char>('0' + value % 10));
  };
  appendNumber(out, hours);
  out.push_back(':');
  twoDigits(ms / 60000 % 60);
  out.push_back(':');
  twoDigits(ms / 1000 % 60);
  out.push_back('.');
  out.push_back(static_cast<char>('0' + ms / 100 % 10));
  twoDigits(ms % 100);
}

void appendContainer(std::string& out, const WaveDetails& d) {
  startLine(out, "Container");
  if (d.container == Container::kUnknown) {
    out.append(" unknown (the file starts with '");
    appendIdentifier(out, {d.firstBytes.data(), d.firstBytes.size()});
    out.append("')\n");
    return;
  }
  out.append(" ").append(containerName(d.container)).append(", size ");
  appendNumber(out, d.riffSize);
  out.append(" (the file is ");
  appendNumber(out, static_cast<std::uint64_t>(d.fileLength));
  out.append(" bytes)\n");
}

void appendFormatLine(std::string& out, const WaveDetails& d) {
  const FormatFields& f = *d.format;
  const std::string_view name = d.effectiveFormatName();
  startLine(out, "Format");
  out.append(" ").append(name.empty() ? "unknown" : name).append(" (code ");
  appendNumber(out, f.formatCode);
  if (d.extensible) {
    out.append(", extensible; subformat ");
    appendGuid(out, d.extensible->subFormat);
  } else if (f.formatCode == kExtensibleFormatCode) {
    out.append(", extensible, without the 22 bytes that say what it holds");
  }
  out.append(")\n");
}

void appendChannels(std::string& out, const WaveDetails& d) {
  startLine(out, "Channels");
  out.push_back(' ');
  appendNumber(out, d.format->channels);
  if (d.extensible) {
    std::string layout;
    appendChannelLayout(layout, d.extensible->channelMask);
    out.append(layout.empty() ? ", no layout" : ", layout ").append(layout);
    out.append(" (mask ");
    appendHex(out, d.extensible->channelMask);
    out.push_back(')');
  }
  out.push_back('\n');
}

// The bits of a sample and, where they differ from them, the bits of the slot it fills.
void appendSampleBits(std::string& out, const WaveDetails& d) {
  const FormatFields& f = *d.format;
  startLine(out, "Sample bits");
  out.push_back(' ');
  if (d.extensible) {
    appendNumber(out, d.extensible->validBitsPerSample);
    out.append(" valid in ");
    appendNumber(out, f.bitsPerSample);
    out.append("-bit slots\n");
    return;
  }
  appendNumber(out, f.bitsPerSample);
  const std::optional<std::uint16_t> code = d.effectiveFormat();
  const unsigned slotBits = f.channels != 0 && f.blockAlign % f.channels == 0
                                ? f.blockAlign / f.channels * 8u
                                : f.bitsPerSample;
  if (code && isSampleFormat(*code) && slotBits != f.bitsPerSample) {
    out.append(" in ");
    appendNumber(out, slotBits);
    out.append("-bit slots");
  }
  out.push_back('\n');
}

void appendFormat(std::string& out, const WaveDetails& d) {
  if (!d.format) {
    startLine(out, "Format");
    out.append(" none (no fmt chunk)\n");
    return;
  }
  const FormatFields& f = *d.format;
  appendFormatLine(out, d);
  appendChannels(out, d);
  startLine(out, "Sample rate");
  out.push_back(' ');
  appendNumber(out, f.sampleRate);
  out.append(" Hz\n");
  appendSampleBits(out, d);
  startLine(out, "Block align");
  out.push_back(' ');
  appendNumber(out, f.blockAlign);
  out.append(" bytes; byte rate ");
  appendNumber(out, f.byteRate);
  out.append(" bytes per second");
  if (f.samplesPerBlock) {
    out.append("; ");
    appendNumber(out, *f.samplesPerBlock);
    out.append(" samples per block");
  }
  out.push_back('\n');
}

void appendData(std::string& out, const WaveDetails& d) {
  startLine(out, "Data");
  if (!d.data) {
    out.append(" none (no data chunk)\n");
    return;
  }
  out.push_back(' ');
  appendNumber(out, d.data->present);
  out.append(" bytes at offset ");
  appendNumber(out, static_cast<std::uint64_t>(d.data->offset));
  out.append(" (");
  appendNumber(out, d.data->declared);
  out.append(d.data->placeholder ? " declared, a placeholder)\n" : " declared)\n");
}

// Why there is no duration.
std::string_view missingDurationReason(const WaveDetails& d) {
  if (!d.format) return "no fmt chunk";
  const std::optional<std::uint16_t> code = d.effectiveFormat();
  if (d.format->sampleRate == 0) return "the sample rate is 0";
  if (!code || formatName(*code).empty()) return "an unknown format, and no fact chunk";
  if (!isSampleFormat(*code)) return "the format needs a fact chunk, and there is none";
  if (!d.data) return "no data chunk";
  return "the block align is 0";
}

std::string_view durationSourceText(DurationSource source) {
  switch (source) {
    case DurationSource::kFrames:
      return " frames (whole blocks of the data over the sample rate)\n";
    case DurationSource::kFramesByFormat:
      return " frames-by-format (blocks of channels times bytes per sample, as decoders read "
             "the data, over the sample rate)\n";
    case DurationSource::kBlocks:
      return " blocks (what the whole blocks hold, less than the fact chunk says, over the "
             "sample rate)\n";
    default:
      return " fact (the fact chunk's sample count over the sample rate)\n";
  }
}

void appendDuration(std::string& out, const WaveDetails& d) {
  if (!d.frames) {
    startLine(out, "Frames");
    out.append(" unknown\n");
    startLine(out, "Duration");
    out.append(" unknown\n");
    startLine(out, "Duration source");
    out.append(" none (").append(missingDurationReason(d)).append(")\n");
    return;
  }
  startLine(out, "Frames");
  out.push_back(' ');
  appendNumber(out, *d.frames);
  out.push_back('\n');
  startLine(out, "Duration");
  out.push_back(' ');
  appendClock(out, d.durationSeconds);
  out.push_back('\n');
  startLine(out, "Duration source");
  out.append(durationSourceText(d.durationSource));
}

void appendChunks(std::string& out, const WaveDetails& d) {
  startLine(out, "Chunks");
  if (d.chunks.empty()) out.append(" none");
  out.push_back('\n');
  for (const ChunkHeader& chunk : d.chunks) {
    out.append(kItemIndent).append("'");
    appendIdentifier(out, chunkIdText(chunk));
    out.append("' at ");
    appendNumber(out, static_cast<std::uint64_t>(chunk.offset));
    out.append(", ");
    appendNumber(out, chunk.bodySize);
    out.append(chunk.sizeFromDs64 ? " bytes (from ds64)" : " bytes");
    if (chunk.bodySize > static_cast<std::uint64_t>(d.fileLength - chunk.bodyOffset)) {
      out.append(", past the end of the file");
    }
    out.push_back('\n');
  }
}

void appendValue(std::string& out, const FindingValue& value) {
  if (const auto* number = std::get_if<std::uint64_t>(&value)) return appendNumber(out, *number);
  if (const auto* text = std::get_if<std::string>(&value)) appendDisplayLine(out, *text);
}

// Where a finding is, and what was expected and found where it compares two values.
void appendFinding(std::string& out, const Finding& finding) {
  out.append(kItemIndent).append(kIndent).append("at offset ");
  appendNumber(out, static_cast<std::uint64_t>(finding.offset));
  if (finding.chunk) {
    out.append(" ('");
    appendIdentifier(out, *finding.chunk);
    out.append("')");
  }
  if (!std::holds_alternative<std::monostate>(finding.expected)) {
    out.append(": expected ");
    appendValue(out, finding.expected);
    out.append(", found ");
    appendValue(out, finding.actual);
  }
  out.push_back('\n');
}

void appendWarnings(std::string& out, const WaveDetails& d) {
  startLine(out, "Warnings");
  if (d.warnings.none()) out.append(" none");
  out.push_back('\n');
  d.forEachWarning([&](Warning warning) {
    out.append(kItemIndent).append(warningCode(warning)).append(": ");
    out.append(kWarningSentences[static_cast<std::size_t>(warning)]).push_back('\n');
    for (const Finding& finding : d.findings) {
      if (finding.code == warning) appendFinding(out, finding);
    }
  });
}

void appendField(std::string& out, std::string_view label, std::string_view text) {
  out.append(kItemIndent).append(label).append(": ");
  appendDisplayLine(out, text);
  out.push_back('\n');
}

void appendTags(std::string& out, const WaveDetails& d) {
  if (!d.info.empty()) {
    startLine(out, "INFO");
    out.push_back('\n');
    for (const InfoTag& tag : d.info) {
      out.append(kItemIndent);
      appendIdentifier(out, {tag.id.data(), tag.id.size()});
      out.append(": ");
      appendDisplayLine(out, tag.text);
      out.push_back('\n');
    }
  }
  if (!d.bext) return;
  const BroadcastFields& b = *d.bext;
  startLine(out, "bext");
  out.push_back('\n');
  const std::pair<std::string_view, const std::string&> texts[] = {
      {"description", b.description},
      {"originator", b.originator},
      {"originatorReference", b.originatorReference},
      {"originationDate", b.originationDate},
      {"originationTime", b.originationTime},
  };
  for (const auto& [label, text] : texts) {
    if (!text.empty()) appendField(out, label, text);
  }
  appendField(out, "timeReference", std::to_string(b.timeReference));
  appendField(out, "version", std::to_string(b.version));
}

}  // namespace

void appendTextDetails(std::string& out, const WaveDetails& details) {
  appendContainer(out, details);
  appendFormat(out, details);
  appendData(out, details);
  appendDuration(out, details);
  appendChunks(out, details);
  appendWarnings(out, details);
  appendTags(out, details);
}

}  // namespace pelorin::cli
