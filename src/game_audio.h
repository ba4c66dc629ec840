// Music: one track audible at a time; a change of track cross-fades over half a second.
#pragma once

struct GameAudio {
  // Makes stream `name` the track to hear: it restarts silent from its beginning and fades in while
  // every other track fades out. Nothing when it is the current track already. A name that is not
  // found (such as "mus-none") still becomes current, so all music fades out.
  static void play_music(const char *name);
  // Moves each track's level by 2 x dt seconds towards 1 (the current track) or 0 (the others, which
  // are stopped there) and sets its gain to level x music volume / 100. force re-applies every gain
  // even when its level did not move (a volume change). A dt that is not a positive number moves nothing.
  static void update(float dt, int force);
};
