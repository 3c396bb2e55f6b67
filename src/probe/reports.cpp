#include "probe/reports.h"

#include "runtime/message_box.h"
#include "runtime/number_text.h"

namespace pelorin {

namespace {

template <std::size_t N>
void appendIdentifierLine(Prompt& prompt, std::string_view label, const FixedText<N>& id) {
  prompt.text.append(label);
  appendBytesText(prompt.text, id.view());
}

template <typename Number>
void appendNumberLine(Prompt& prompt, std::string_view label, Number value) {
  prompt.newLine();
  prompt.text.append(label);
  appendStr(prompt.text, value);
}

}  // namespace

void openFailurePrompt(Prompt& prompt, const std::string& FileName, std::int32_t errorNumber,
                       std::string_view errorDescription) {
  prompt.clear();
  prompt.text.assign("Error opening file ");
  appendPathText(prompt.text, FileName);
  prompt.newLine();
  appendStr(prompt.text, errorNumber);
  prompt.text.append(" - ");
  prompt.text.append(errorDescription);
}

void invalidIdentifierPrompt(Prompt& prompt, const SondurValues& values) {
  prompt.clear();
  appendIdentifierLine(prompt, "ckID =", values.riffId);
  prompt.newLine();
  appendIdentifierLine(prompt, "RiffID =", values.formType);
  prompt.newLine();
  appendIdentifierLine(prompt, "FourCCckID =", values.fmtId);
}

void informationPrompt(Prompt& prompt, const std::string& FileName, const SondurValues& values) {
  prompt.clear();
  appendIdentifierLine(prompt, "ckID1 =", values.riffId);
  prompt.newLine();
  appendIdentifierLine(prompt, "RiffID =", values.formType);
  prompt.newLine();
  appendIdentifierLine(prompt, "ckID2 =", values.fmtId);
  prompt.newLine();
  prompt.text.append("Filename =");
  appendPathText(prompt.text, FileName);
  appendNumberLine(prompt, "Format tag =", values.formatTag);
  appendNumberLine(prompt, "Format Chunk Length =", values.fmtChunkLength);
  appendNumberLine(prompt, "Sample rate =", values.sampleRate);
  appendNumberLine(prompt, "Bits/Sample =", values.bitsPerSample);
  appendNumberLine(prompt, "Number of channels =", values.channels);
  appendNumberLine(prompt, "Number of  samples =", values.dataSize);
  appendNumberLine(prompt, "Length =", values.lengthSeconds);
  prompt.text.append(" seconds.");
}

}  // namespace pelorin
