// Textures, images and sprite atlases: names become files, files become GL textures, textures are
// handed out as handles, evicted when idle beyond the memory budget and reloaded when their files change.
//
// A name is searched with scale and device variants ("@2x", "~desktop") and the extensions ".tga",
// ".png", ".jpg", ".kez", the override folder before the data folder. A texture whose file has a
// sprite atlas beside it (same name, ".json") also registers the atlas frames as images.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kez_gfx.h"

// What an upload made: the GL name (0 = none) and the image and padded texture sizes.
struct GfxUpload {
  uint32_t gl;
  int32_t image_w, image_h;
  int32_t tex_w, tex_h;
};

// Texture handle of a name, loading it on first request; 0 when not found (remembered).
int gfx_tex_load(const char *name);
// Marks a texture used now, reloading it first when it was evicted; nothing for 0.
void gfx_tex_touch(int handle);
// Loads the texture's file again (a file that does not decode leaves GL name 0 and zero sizes).
void gfx_tex_reload(int handle);
// Deletes the GL texture and takes its bytes off the budget.
void gfx_tex_unload(int handle);
// Reloads textures and atlases whose files changed (at most once a second; called every frame).
void gfx_reload();
// Image handle of a name (an atlas frame or a whole texture), marking its texture used; 0 when not found.
int gfx_img_load(const char *name);
// Creates or rewrites the image of that name; its handle, 0 without a state or name.
int gfx_img_add(const char *name, int texture, float sx, float sy, float sw, float sh, float trim_x, float trim_y,
                float full_w, float full_h);
// Registers the frames of a sprite-atlas JSON file as images of the texture; a malformed file adds none.
void gfx_atlas_load(const char *path, int texture);
// The record of a handle; null for 0, out-of-range handles and without a state.
GfxTexture *gfx_tex_get(int handle);
GfxImage *gfx_img_get(int handle);

// Decodes an image file (or takes what the preload worker decoded of it) and uploads it; all zero when the
// file is missing or does not decode.
GfxUpload driver_tex_load(const char *path);

// Decoding ahead, so that a page or a match opening later finds its textures ready: a worker thread
// decodes the files of these texture names (found as gfx_tex_load finds them; names already known are
// skipped), replacing any earlier list.
void gfx_tex_preload(const std::vector<std::string> &names);
// Uploads the texture of one name whose file the worker has decoded, if any: called once a frame.
void gfx_tex_preload_step();
// Stops the worker and drops what it decoded and nobody took.
void gfx_tex_preload_stop();
// Uploads w x h RGBA pixels (premultiplied and, on small devices, halved in place); all zero for no pixels.
GfxUpload driver_tex_upload(unsigned char *rgba, int w, int h);

// The candidate name whose data file opens, trying the name itself (when it has an extension) and then
// with each of the four extensions appended; empty when none opens.
std::string gfx_find_ext(const std::string &name);
// The data file name for an image name, by scale and device variants; empty when none opens.
std::string _gfx_find(const std::string &name);
// Unloads the longest-idle textures (idle 300 s or more) while the memory in use exceeds the budget.
void _gfx_tex_recycle();
