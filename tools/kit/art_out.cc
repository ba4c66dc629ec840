// What every asset generator's main shares: the command line, the output folder and the exit status.
#include "art_out.h"

#include <cstdio>
#include <sstream>

static std::string out_dir;
static bool out_ok = true;  // false once any file failed to write

bool art_args_ok(int argc, char **argv, const char *args) {
  std::istringstream words(args);
  std::string word;
  int count = 0;
  while (words >> word) count++;
  if (argc == count + 1) return true;
  std::fprintf(stderr, "usage: %s %s\n", argv[0], args);
  return false;
}

void art_out_dir(const std::string &dir) { out_dir = dir; }

void art_save(const Image &im, const std::string &name, int channels, float dither) {
  if (!img_write_png(im, out_dir + "/" + name + ".png", channels, dither)) out_ok = false;
}

int art_out_status() { return out_ok ? 0 : 1; }
