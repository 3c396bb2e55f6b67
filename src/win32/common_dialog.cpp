#include "win32/common_dialog.h"

#include <commdlg.h>

#include <vector>

#include "runtime/win32_text.h"

namespace pelorin {

std::wstring dialogFilter(const std::string& filterText) {
  std::wstring filter = toWide(filterText).value_or(L"");
  for (wchar_t& c : filter) {
    if (c == L'|') c = L'\0';
  }
  filter.push_back(L'\0');  // ends the last part
  filter.push_back(L'\0');  // ends the list
  return filter;
}

DWORD dialogFlags(std::int32_t flags) {
  return (static_cast<DWORD>(flags) | OFN_EXPLORER | OFN_DONTADDTORECENT) & ~OFN_FILEMUSTEXIST;
}

bool CommonDialog::ShowOpen(RuntimeContext& ctx) {
  const std::wstring filter = dialogFilter(Filter);
  std::vector<wchar_t> fileName(kFileNameBufferSize, L'\0');
  const std::wstring previous = toWide(FileName).value_or(L"");
  if (previous.size() < fileName.size()) previous.copy(fileName.data(), previous.size());

  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = fileName.data();
  dialog.nMaxFile = static_cast<DWORD>(fileName.size());
  dialog.Flags = dialogFlags(Flags);
  if (!::GetOpenFileNameW(&dialog)) {
    // No extended error means the person cancelled; otherwise the dialog could not be shown.
    if (::CommDlgExtendedError() == 0 && CancelError) ctx.raise(ErrorNumber::kCancelSelected);
    return false;
  }
  FileName = toUtf8(fileName.data());
  return true;
}

}  // namespace pelorin
