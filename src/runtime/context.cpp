#include "runtime/context.h"

namespace pelorin {

void RuntimeContext::raise(ErrorNumber number) {
  Err.Raise(number);
  if (!continueOnError) throw RuntimeError(number);
}

int MsgBox(RuntimeContext& ctx, PromptView prompt, std::int32_t buttons,
           std::optional<std::string_view> title) {
  return ctx.messageBoxSink->show(prompt, buttons, title);
}

}  // namespace pelorin
