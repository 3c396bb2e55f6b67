#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <memory>
#include <stdexcept>

#include "support.h"

namespace pelorin::testing {

int openDescriptorCount() {
  int count = 0;
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir("/proc/self/fd"), ::closedir);
  while (const dirent* entry = ::readdir(dir.get())) {
    if (entry->d_name[0] != '.') ++count;
  }
  return count - 1;  // the descriptor of the listing itself
}

void extendTo(const std::string& path, std::int64_t length) {
  if (::truncate(path.c_str(), length) != 0) throw std::runtime_error("cannot extend " + path);
}

void setEnvironment(const std::string& name, const std::string& value) {
  ::setenv(name.c_str(), value.c_str(), 1);
}

void unsetEnvironment(const std::string& name) {
  ::unsetenv(name.c_str());
}

}  // namespace pelorin::testing
