#include "probe/reports.h"

#include "runtime/message_box.h"
#include "runtime/number_text.h"

namespace pelorin {

namespace {

// Appends one "label=value" line; every line but the last ends in CR LF.
void appendLine(Text& prompt, std::string_view label, std::string_view value, bool last = false) {
  prompt.append(label);
  prompt.append(value);
  if (!last) prompt.append(kCrLf);
}

template <std::size_t N>
Text identifier(const FixedText<N>& text) {
  return bytesToText(text.view());
}

}  // namespace

Text openFailurePrompt(const std::string& FileName, std::int32_t errorNumber,
                       std::string_view errorDescription) {
  Text prompt = "Error opening file ";
  prompt.append(pathToText(FileName));
  prompt.append(kCrLf);
  prompt.append(Str(errorNumber));
  prompt.append(" - ");
  prompt.append(errorDescription);
  return prompt;
}

Text invalidIdentifierPrompt(const SondurValues& values) {
  Text prompt;
  appendLine(prompt, "ckID =", identifier(values.riffId));
  appendLine(prompt, "RiffID =", identifier(values.formType));
  appendLine(prompt, "FourCCckID =", identifier(values.fmtId), true);
  return prompt;
}

Text informationPrompt(const std::string& FileName, const SondurValues& values) {
  Text prompt;
  prompt.reserve(256 + FileName.size());
  appendLine(prompt, "ckID1 =", identifier(values.riffId));
  appendLine(prompt, "RiffID =", identifier(values.formType));
  appendLine(prompt, "ckID2 =", identifier(values.fmtId));
  appendLine(prompt, "Filename =", pathToText(FileName));
  appendLine(prompt, "Format tag =", Str(values.formatTag));
  appendLine(prompt, "Format Chunk Length =", Str(values.fmtChunkLength));
  appendLine(prompt, "Sample rate =", Str(values.sampleRate));
  appendLine(prompt, "Bits/Sample =", Str(values.bitsPerSample));
  appendLine(prompt, "Number of channels =", Str(values.channels));
  appendLine(prompt, "Number of  samples =", Str(values.dataSize));
  appendLine(prompt, "Length =", Str(values.lengthSeconds) + " seconds.", true);
  return prompt;
}

std::string_view reportTitle(Report report) {
  switch (report) {
    case Report::kInvalidIdentifier:
      return kInvalidIdentifierTitle;
    case Report::kInformation:
      return kInformationTitle;
    default:
      return kApplicationTitle;
  }
}

std::string_view reportName(Report report) {
  switch (report) {
    case Report::kOpenFailure:
      return "open-failure";
    case Report::kTooShort:
      return "too-short";
    case Report::kInvalidIdentifier:
      return "invalid-identifier";
    default:
      return "information";
  }
}

}  // namespace pelorin
