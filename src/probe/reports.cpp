#include "probe/reports.h"

#include "runtime/message_box.h"
#include "runtime/number_text.h"

namespace pelorin {

namespace {

template <std::size_t N>
void appendIdentifierLine(Text& prompt, std::string_view label, const FixedText<N>& id) {
  prompt.append(label);
  appendBytesText(prompt, id.view());
}

template <typename Number>
void appendNumberLine(Text& prompt, std::string_view label, Number value) {
  prompt.append(kCrLf);
  prompt.append(label);
  appendStr(prompt, value);
}

}  // namespace

void openFailurePrompt(Text& prompt, const std::string& FileName, std::int32_t errorNumber,
                       std::string_view errorDescription) {
  prompt.assign("Error opening file ");
  appendPathText(prompt, FileName);
  prompt.append(kCrLf);
  appendStr(prompt, errorNumber);
  prompt.append(" - ");
  prompt.append(errorDescription);
}

void invalidIdentifierPrompt(Text& prompt, const SondurValues& values) {
  prompt.clear();
  appendIdentifierLine(prompt, "ckID =", values.riffId);
  prompt.append(kCrLf);
  appendIdentifierLine(prompt, "RiffID =", values.formType);
  prompt.append(kCrLf);
  appendIdentifierLine(prompt, "FourCCckID =", values.fmtId);
}

void informationPrompt(Text& prompt, const std::string& FileName, const SondurValues& values) {
  prompt.clear();
  appendIdentifierLine(prompt, "ckID1 =", values.riffId);
  prompt.append(kCrLf);
  appendIdentifierLine(prompt, "RiffID =", values.formType);
  prompt.append(kCrLf);
  appendIdentifierLine(prompt, "ckID2 =", values.fmtId);
  prompt.append(kCrLf);
  prompt.append("Filename =");
  appendPathText(prompt, FileName);
  appendNumberLine(prompt, "Format tag =", values.formatTag);
  appendNumberLine(prompt, "Format Chunk Length =", values.fmtChunkLength);
  appendNumberLine(prompt, "Sample rate =", values.sampleRate);
  appendNumberLine(prompt, "Bits/Sample =", values.bitsPerSample);
  appendNumberLine(prompt, "Number of channels =", values.channels);
  appendNumberLine(prompt, "Number of  samples =", values.dataSize);
  appendNumberLine(prompt, "Length =", values.lengthSeconds);
  prompt.append(" seconds.");
}

}  // namespace pelorin
