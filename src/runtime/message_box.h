#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "runtime/text.h"
#include "version/version.h"

namespace pelorin {

class RuntimeContext;

/// The buttons code of a box with one OK button and no icon.
inline constexpr std::int32_t kOkOnly = 0;

/// The answer of a box dismissed with its OK button.
inline constexpr int kOkAnswer = 1;

/// A message box's prompt: its text, with CR LF between its lines, and where those line breaks
/// stand. A CR or an LF anywhere else came with the text of a line (a file's name, its bytes),
/// and a box shows it as a character, never as a line break.
struct Prompt {
  Text text;
  std::vector<std::size_t> lineBreaks;  // the offset in `text` of each CR LF that ends a line

  void clear() {
    text.clear();
    lineBreaks.clear();
  }
  /// Ends the current line with CR LF.
  void newLine() {
    lineBreaks.push_back(text.size());
    text.append("\r\n");
  }
};

/// A prompt as a sink is shown it.
struct PromptView {
  PromptView(const Prompt& prompt) : text(prompt.text), lineBreaks(prompt.lineBreaks) {}
  /// A prompt of one line.
  explicit PromptView(std::string_view line) : text(line) {}

  std::string_view text;
  std::span<const std::size_t> lineBreaks;
};

/// Where message boxes go: the desktop's modal dialog, the terminal, or a test's recorder.
class MessageBoxSink {
 public:
  virtual ~MessageBoxSink() = default;

  /// Shows `prompt` with the buttons `buttons` and the title `title` (the application's title
  /// when the caller gave none); returns the answer once the box is dismissed.
  virtual int show(PromptView prompt, std::int32_t buttons,
                   std::optional<std::string_view> title) = 0;
};

/// Shows a modal message box through the context's sink and returns its answer.
int MsgBox(RuntimeContext& ctx, PromptView prompt, std::int32_t buttons = kOkOnly,
           std::optional<std::string_view> title = std::nullopt);

}  // namespace pelorin
