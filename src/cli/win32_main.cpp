// pelorin-cli.exe: the arguments as UTF-16 from the system, in UTF-8 for the program (WTF-8
// where a name holds an unpaired surrogate), and the reports on standard output.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "cli/cli.h"
#include "cli/win32_stream.h"
#include "runtime/win32_text.h"

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  args.reserve(static_cast<std::size_t>(argc));
  for (int i = 1; i < argc; ++i) args.push_back(pelorin::toUtf8(argv[i]));
  pelorin::cli::HandleStream out(::GetStdHandle(STD_OUTPUT_HANDLE));
  pelorin::cli::HandleStream errors(::GetStdHandle(STD_ERROR_HANDLE));
  // The program's own errors go out as the reports do, so that a file list's name shows on a
  // console as it is.
  pelorin::cli::stopOnCtrlC();
  const int status = pelorin::cli::run(std::move(args), out, errors, &errors);
  // The status of a program that Ctrl+C ended, as the console would have given it.
  constexpr DWORD kControlCExit = 0xC000013A;
  return status == pelorin::cli::kInterrupted ? static_cast<int>(kControlCExit) : status;
}
