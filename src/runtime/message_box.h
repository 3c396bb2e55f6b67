#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "runtime/text.h"
#include "version/version.h"

namespace pelorin {

class RuntimeContext;

/// The buttons code of a box with one OK button and no icon.
inline constexpr std::int32_t kOkOnly = 0;

/// The answer of a box dismissed with its OK button.
inline constexpr int kOkAnswer = 1;

/// Where message boxes go: the desktop's modal dialog, the terminal, or a test's recorder.
class MessageBoxSink {
 public:
  virtual ~MessageBoxSink() = default;

  /// Shows `prompt` (CR LF breaks its lines) with the buttons `buttons` and the title `title`
  /// (the application's title when the caller gave none); returns the answer once the box is
  /// dismissed.
  virtual int show(std::string_view prompt, std::int32_t buttons,
                   std::optional<std::string_view> title) = 0;
};

/// Shows a modal message box through the context's sink and returns its answer.
int MsgBox(RuntimeContext& ctx, std::string_view prompt, std::int32_t buttons = kOkOnly,
           std::optional<std::string_view> title = std::nullopt);

}  // namespace pelorin
