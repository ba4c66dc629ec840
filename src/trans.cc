// Screen transitions: the old and new screens' pictures blended over 15 steps of 1/60 s.
#include "trans.h"

static const float TRANS_STEP = 0.016666668f;

struct TransState {
  bool made;  // the framebuffers exist
  bool first_time;
  int tick;  // steps since the last capture
  int mode;  // 0 none, 1 zoom in, 2 cross-fade, 4 zoom out
  int total;
  int remaining;
  bool new_captured;
  float accumulated;
};

static TransState trans;

bool trans_running() { return trans.remaining > 0; }
bool trans_new_captured() { return trans.new_captured; }

void trans_capture(int which, int mode, Game *) {
  if (trans.remaining > 0 && which == 2) trans.new_captured = true;
  if (mode != -1) {
    trans.mode = mode;
    trans.total = trans.remaining = 15;
    trans.new_captured = false;
  }
  if (trans.mode == 0) {
    trans.first_time = false;
    trans.remaining = 0;
    trans.new_captured = false;
    return;
  }
  if (which == 1 && trans.tick == 0) return;  // the old picture already holds the screen
  // Pictures are rendered into the framebuffers once they are made (by the video reset).
  if (!trans.made) return;
  trans.tick = 0;
}

void trans_step(float dt) {
  trans.accumulated += dt;
  while (trans.accumulated >= TRANS_STEP) {
    if (trans.remaining > 0) {
      trans.remaining--;
      trans.tick++;
    }
    trans.accumulated -= TRANS_STEP;
  }
}

void trans_paint() {
  if (!trans.made || trans.total == 0) return;
}
