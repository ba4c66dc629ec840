// Screen transitions: the old and new screens' pictures blended over 15 steps of 1/60 s.
#include "trans.h"

#include <GL/glew.h>

#include "game_video.h"
#include "kez_driver-sdl2.h"
#include "kez_gfx.h"
#include "kez_log.h"
#include "kez_math.h"
#include "state.h"

static const float TRANS_STEP = 0.016666668f;
static const int TRANS_STEPS = 15;
static const int FBO_W = 2048, FBO_H = 1024;

struct TransState {
  bool made;  // the framebuffers exist in the current GL context
  bool first_time;
  int tick;  // steps since the last capture
  int mode;  // 0 none, 1 zoom in, 2 cross-fade, 4 zoom out
  int total;
  int remaining;
  bool new_captured;
  bool old_fresh;  // the old picture was taken in this frame: the new one waits for the next
  float accumulated;
  float shot_u[3], shot_v[3];  // the share of each framebuffer a picture covers
  uint32_t framebuffer[3];
  uint32_t texture[3];
};

static TransState trans;

bool trans_running() { return trans.remaining > 0; }
bool trans_new_due() { return trans.remaining > 0 && !trans.new_captured && !trans.old_fresh; }

uint32_t trans_framebuffer(int which) {
  return trans.made && which >= 1 && which <= 3 ? trans.framebuffer[which - 1] : 0;
}

void fbo_create(uint32_t *framebuffer, uint32_t *texture) {
  glGenTextures(1, texture);
  glBindTexture(GL_TEXTURE_2D, *texture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, FBO_W, FBO_H, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glGenFramebuffers(1, framebuffer);
  glBindFramebuffer(GL_FRAMEBUFFER, *framebuffer);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, *texture, 0);
  bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  LOG_PRINTF(complete ? "create_fbo success\n" : "create_fbo failed\n");
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void trans_forget() { trans.made = false; }

void trans_init(Game *game) {
  // Framebuffers need a GL context with the extension loaded; without one there is nothing to blend.
  if (trans.made || !driver_gl_context() || !glGenFramebuffers) return;
  trans.made = true;
  trans.first_time = true;
  trans.tick = 1;
  for (int i = 0; i < 3; i++) fbo_create(&trans.framebuffer[i], &trans.texture[i]);
  trans_capture(1, 2, game);
}

// Renders the splash (first time) or the current state into picture `which`, at the window's own size
// where the framebuffer holds it: a larger picture would only cost more pixels to paint.
static void _trans_render(int which) {
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  glBindFramebuffer(GL_FRAMEBUFFER, trans.framebuffer[which - 1]);
  const int w = app_info && app_info->width > 0 && app_info->width < FBO_W ? app_info->width : FBO_W;
  const int h = app_info && app_info->height > 0 && app_info->height < FBO_H ? app_info->height : FBO_H;
  trans.shot_u[which - 1] = (float)w / FBO_W;
  trans.shot_v[which - 1] = (float)h / FBO_H;
  trans.old_fresh = which == 1;
  glViewport(0, 0, w, h);
  if (trans.first_time) {
    trans.first_time = false;
    trans.mode = 2;
    game_splash_paint();
  } else {
    state_paint_current();
  }
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
  trans.tick = 0;
}

void trans_capture(int which, int mode, Game *) {
  if (trans.remaining > 0 && which == 2) trans.new_captured = true;
  if (mode != -1) {
    trans.mode = mode;
    trans.total = trans.remaining = TRANS_STEPS;
    trans.new_captured = false;
  }
  if (trans.mode == 0) {
    trans.first_time = false;
    trans.remaining = 0;
    trans.new_captured = false;
    return;
  }
  if (which == 1 && trans.tick == 0) return;  // the old picture already holds the screen
  if (!trans.made || (which != 1 && which != 2)) return;
  _trans_render(which);
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

// One picture at scale s around the centre of the visible area, faded to alpha a.
static void _trans_picture(int which, float s, float a, const Vec3 &lo, const Vec3 &hi) {
  float w = hi.x - lo.x, h = hi.y - lo.y;
  float cx = (lo.x + hi.x) / 2, cy = (lo.y + hi.y) / 2;
  gl_color_premul(1, 1, 1, a);
  const float u = trans.shot_u[which - 1], v = trans.shot_v[which - 1];  // drawn upside down: GL counts rows up
  gfx_tex_draw(trans.texture[which - 1], 0, v, u, -v, cx - s * w / 2, cy - s * h / 2, s * w, s * h);
}

void trans_paint() {
  if (!trans.made || trans.total == 0 || !gfx_state) return;
  float rotation = gfx_state->rotation;
  gfx_state->rotation = 0;
  gfx_ortho();
  gfx_clear();
  float t = 1.0f - (float)trans.remaining / (float)trans.total;
  Vec3 lo, hi;
  unproject_screen_corners(gfx_state->rotation, &lo, &hi);
  // Until the new screen is taken (the frame after the old one was), only the old picture shows.
  const float shown = trans.new_captured ? t : 0;
  if (trans.mode == 1) {
    _trans_picture(1, 1 + 2 * t, 1 - shown, lo, hi);
    if (trans.new_captured) _trans_picture(2, 0.5f + t / 2, t, lo, hi);
  } else if (trans.mode == 4) {
    _trans_picture(1, 1 - t / 2, 1 - shown, lo, hi);
    if (trans.new_captured) _trans_picture(2, 2 - t, t, lo, hi);
  } else if (trans.mode == 2) {
    _trans_picture(1, 1, 1, lo, hi);
    if (trans.new_captured) _trans_picture(2, 1, t, lo, hi);
  }
  trans.old_fresh = false;
  glColor4f(1, 1, 1, 1);
  gfx_state->rotation = rotation;
}
