// Shared by the tests that open a real GL window.
#pragma once

#include <dlfcn.h>
#include <link.h>

#include <cstring>

// Mesa's software driver keeps a few bytes from its first draw and is unloaded by SDL_Quit, after which
// the leak checker can no longer name it to apply its suppression: keep it loaded until the process ends.
// Call as dl_iterate_phdr(pin_gl_driver, nullptr) once the GL context exists.
inline int pin_gl_driver(struct dl_phdr_info *info, size_t, void *) {
  if (strstr(info->dlpi_name, "_dri.so")) dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
  return 0;
}
