#include "tests/support/keep_mesa_loaded.h"

#include <dlfcn.h>
#include <link.h>

#include <string_view>

namespace {

int KeepLoaded(dl_phdr_info* info, size_t, void*) {
  const std::string_view name = info->dlpi_name;
  if (name.ends_with("_dri.so") || name.find("libGLX_mesa") != name.npos ||
      name.find("libglapi") != name.npos) {
    dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
  }
  return 0;
}

}  // namespace

void KeepMesaLoaded() { dl_iterate_phdr(KeepLoaded, nullptr); }
