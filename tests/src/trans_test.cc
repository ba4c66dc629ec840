// Screen transitions: the step count, which captures start or restart one, and when the pictures are taken.
#include "trans.h"

#include <gtest/gtest.h>

#include "vantor_paint_gl.h"

namespace {

int frames_until_done(float dt) {
  int frames = 0;
  while (trans_running() && frames < 1000) {
    trans_step(dt);
    frames++;
  }
  return frames;
}

}  // namespace

TEST(Transition, lasts_fifteen_frames_at_sixty_per_second) {
  trans_capture(1, 2, nullptr);
  EXPECT_TRUE(trans_running());
  EXPECT_EQ(frames_until_done(1.0f / 60), 15);
}

TEST(Transition, two_steps_pass_per_frame_at_thirty_per_second) {
  trans_capture(1, 1, nullptr);
  EXPECT_EQ(frames_until_done(1.0f / 30), 8);
}

TEST(Transition, a_second_capture_restarts_the_count) {
  trans_capture(1, 2, nullptr);
  trans_step(10.0f / 60);
  trans_capture(1, 4, nullptr);
  EXPECT_EQ(frames_until_done(1.0f / 60), 15);
}

TEST(Transition, mode_zero_ends_any_transition) {
  trans_capture(1, 2, nullptr);
  trans_capture(1, 0, nullptr);
  EXPECT_FALSE(trans_running());
}

TEST(Transition, nothing_is_made_or_drawn_without_a_gl_context) {
  trans_init(nullptr);
  EXPECT_EQ(trans_framebuffer(1), 0u);
  trans_paint();
}

// With a window: a screen change takes the old screen's picture in the frame of the change and the new
// one in the next frame, never both captures and the blend in one frame.
class TransitionGl : public PaintGlTest {
 protected:
  void TearDown() override {
    trans_capture(1, 0, nullptr);
    trans_forget();
    PaintGlTest::TearDown();
  }
};

TEST_F(TransitionGl, the_new_picture_is_taken_the_frame_after_the_old_one) {
  trans_init(nullptr);  // the first picture: the splash, then a cross-fade
  ASSERT_TRUE(trans_running());
  EXPECT_FALSE(trans_new_due()) << "the old picture was taken in this frame";
  trans_paint();
  EXPECT_TRUE(trans_new_due());
  trans_capture(2, -1, nullptr);
  EXPECT_FALSE(trans_new_due());
  trans_capture(1, 2, nullptr);  // a change on a screen that has not been drawn again: no new picture
  trans_paint();
  EXPECT_TRUE(trans_new_due()) << "a new transition needs a new picture";
}
