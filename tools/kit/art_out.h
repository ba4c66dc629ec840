// What every asset generator's main shares: its command line, the folder it writes its images into
// and its exit status. A generator is one process with one output folder, so the folder and the
// status are kept here once.
#pragma once

#include <string>

#include "art_image.h"

// True when the command line holds exactly the arguments `args` names ("OUTPUT_DIR", "OUTPUT_DIR
// DEJAVU_DIR"); otherwise prints "usage: PROGRAM ARGS" and gives false (the generator exits with 2).
bool art_args_ok(int argc, char **argv, const char *args);
// Sets the folder art_save writes into.
void art_out_dir(const std::string &dir);
// Writes im as DIR/NAME.png, channels and dither as img_write_png; a failure is remembered.
void art_save(const Image &im, const std::string &name, int channels = 4, float dither = 0.0f);
// The generator's exit status: 0 when every art_save so far wrote its file, else 1.
int art_out_status();
