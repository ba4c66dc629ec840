// Planet painting: planets drawn from their style records as lit, textured, turning spheres.
#include "vantor_planet_paint.h"
#include "vantor_planet_paint_internal.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>

#include "kez_gfx-tex.h"
#include "kez_gfx.h"
#include "kez_log.h"
#include "vantor_batch.h"
#include "vantor_host.h"
#include "vantor_paint.h"
#include "vantor_world.h"

// The image handle of a style's texture name (a mod's record need not end its text).
static int style_sprite(const char (&texture)[16]) {
  char name[sizeof(texture)];
  vantor_text_copy(name, sizeof(name), texture);
  return gfx_img_load(name);
}

// ---- Sphere meshes ----

static PlanetMesh planet_meshes[PLANET_MESH_LEVELS];
static bool planet_meshes_built;

void planet_paint_init() {
  if (planet_meshes_built) return;
  planet_meshes_built = true;
  for (int k = 0; k < PLANET_MESH_LEVELS; k++) {
    const int faces = 50 + 78 * k / 15;
    LOG_PRINTF("planet_paint_init: %d = %d faces\n", k, faces);
    planet_mesh_build(k, faces);
  }
}

// Appends vertex (i, j) of a sphere of n bands and m segments, its position pushed out by e.
static void mesh_vertex(PlanetMesh &mesh, int i, int j, int n, int m, float e) {
  const float theta = VANTOR_PI * i / n, phi = 2 * VANTOR_PI * j / m;
  const float x = std::sin(theta) * std::cos(phi), y = std::cos(theta), z = std::sin(theta) * std::sin(phi);
  mesh.xyz.insert(mesh.xyz.end(), {x * e, y * e, z * e});
  mesh.uv.insert(mesh.uv.end(), {(float)j / m, (float)i / n});
  mesh.normal.insert(mesh.normal.end(), {x, y, z});  // already of unit length
}

static void mesh_triangle(PlanetMesh &mesh, const int (&corners)[3][2], int n, int m, float e) {
  for (const auto &ij : corners) mesh_vertex(mesh, ij[0], ij[1], n, m, e);
  mesh.triangles++;
}

void planet_mesh_build(int level, int faces) {
  if (level < 0 || level >= PLANET_MESH_LEVELS) return;
  PlanetMesh &mesh = planet_meshes[level];
  mesh = PlanetMesh();
  const int n = faces >= 2 ? (int)std::sqrt(faces * 0.5) : 0;  // latitude bands
  if (n < 1) return;
  const int m = 2 * n;  // longitude segments
  // Vertices pushed out so that the faceted sphere encloses the unit sphere.
  const float e = 1 / std::cos(2 * VANTOR_PI / (4 * n + 2));
  for (int i = 0; i < n; i++) {
    for (int j = 0; j < m; j++) {
      // The pole bands get one triangle per segment: the other would be degenerate.
      if (i != 0) mesh_triangle(mesh, {{i + 1, j}, {i, j}, {i, j + 1}}, n, m, e);
      if (i + 1 != n) mesh_triangle(mesh, {{i, j + 1}, {i + 1, j + 1}, {i + 1, j}}, n, m, e);
    }
  }
}

// The detail level of a sphere of size p, and a built mesh (null for a level outside 0..15); open
// to the tests.
int _planet_mesh_level(float p) {
  const float q = p * 16 / 8192;
  if (!(q > 0)) return 0;  // NaN too
  return q < 15 ? (int)q : 15;
}

const PlanetMesh *_planet_mesh(int level) {
  return level >= 0 && level < PLANET_MESH_LEVELS ? &planet_meshes[level] : nullptr;
}

void planet_mesh_draw(float p) {
  const PlanetMesh &mesh = *_planet_mesh(_planet_mesh_level(p));  // a level of 0..15 always has one
  if (!mesh.triangles) return;
  glNormalPointer(GL_FLOAT, 0, mesh.normal.data());
  glTexCoordPointer(2, GL_FLOAT, 0, mesh.uv.data());
  glVertexPointer(3, GL_FLOAT, 0, mesh.xyz.data());
  gfx_draw_arrays(GL_TRIANGLES, 0, 3 * mesh.triangles);
}

// ---- Sphere painting ----

// The last glGetError value each checkpoint of planets_paint_spheres saw: a steady error is logged once.
static int sphere_gl_errors[4];

static void sphere_gl_check(int point) {
  const int e = (int)glGetError();
  if (e == sphere_gl_errors[point]) return;
  log_printf(__FILE__, __LINE__, "planets_paint_spheres", "glGetError() -> %d\n", e);
  sphere_gl_errors[point] = e;
}

// A fleet that may light nearby planets, and its pull on the planet being drawn.
struct FleetLight {
  float x, y;
  uint32_t color;
  uint32_t ships;
  float influence;
};

// Reused every frame: no allocation once it has grown to the match's fleet count.
static std::vector<FleetLight> fleet_lights;

static void light_set(GLenum light, GLenum what, float r, float g, float b) {
  const GLfloat v[4] = {r, g, b, 1};
  glLightfv(light, what, v);
}

// The light's colour `what` from 0xRRGGBB, each channel times k / 255.
static void light_color(GLenum light, GLenum what, uint32_t c, float k) {
  light_set(light, what, (c >> 16 & 0xFF) * k / 255, (c >> 8 & 0xFF) * k / 255, (c & 0xFF) * k / 255);
}

static void spheres_gl_begin() {
  glEnableClientState(GL_NORMAL_ARRAY);
  glEnable(GL_LIGHTING);
  glEnable(GL_NORMALIZE);
  glEnable(GL_CULL_FACE);
  glEnable(GL_COLOR_MATERIAL);
  glFrontFace(GL_CCW);
  glCullFace(GL_BACK);
  glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
}

// The key lights placed from the UI size in screen units, so that every planet is lit from the same
// side wherever the match's world lies; every light starts dark and there is no global ambient, so
// only a style's own values light a sphere.
static void spheres_lights_init() {
  const float w = (float)vantor_ui_width(), h = (float)vantor_ui_height();
  const GLfloat key[3][4] = {{2 * w, -h, -1.5f * h, 1}, {2 * w, -h, 1.75f * h, 1}, {-w, 2 * h, 1.75f * h, 1}};
  glPushMatrix();
  glLoadIdentity();
  for (int i = 0; i < 3; i++) glLightfv(GL_LIGHT0 + i, GL_POSITION, key[i]);
  glPopMatrix();
  for (int i = 0; i < 8; i++) {
    glEnable(GL_LIGHT0 + i);
    light_set(GL_LIGHT0 + i, GL_AMBIENT, 0, 0, 0);
    light_set(GL_LIGHT0 + i, GL_DIFFUSE, 0, 0, 0);
    light_set(GL_LIGHT0 + i, GL_SPECULAR, 0, 0, 0);
  }
  const GLfloat none[4] = {0, 0, 0, 1};
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none);
}

static void spheres_gl_end() {
  glDisable(GL_COLOR_MATERIAL);
  glDisable(GL_NORMALIZE);
  glDisable(GL_LIGHTING);
  glDisable(GL_CULL_FACE);
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  glDisableClientState(GL_NORMAL_ARRAY);
  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glColor4f(1, 1, 1, 1);
}

static void fleet_lights_collect(const World *world) {
  fleet_lights.clear();
  for (const Item &item : world->items) {
    if (item.in_use && item.has_fleet) {
      fleet_lights.push_back({item.position_x, item.position_y, item.render_color, item.fleet_live, 0});
    }
  }
}

// Lights 4..7: the four fleets that pull hardest on the planet when `on`, else dark.
static void fleet_lights_set(const Item &planet, bool on) {
  int lit = 0;
  if (on) {
    for (FleetLight &f : fleet_lights) {
      const float dx = f.x - planet.position_x, dy = f.y - planet.position_y;
      const float influence = f.ships * 1000.0f / (dx * dx + dy * dy);
      // A fleet right on the planet pulls without bound (full light); an empty one there (0 / 0) or
      // one at a NaN position not at all: a NaN would break the sort's ordering.
      f.influence = influence >= 0 ? influence : 0;
    }
    lit = std::min(4, (int)fleet_lights.size());
    std::partial_sort(fleet_lights.begin(), fleet_lights.begin() + lit, fleet_lights.end(),
                      [](const FleetLight &a, const FleetLight &b) { return a.influence > b.influence; });
  }
  for (int i = 0; i < 4; i++) {
    const GLenum light = GL_LIGHT4 + i;
    if (i >= lit) {
      light_set(light, GL_DIFFUSE, 0, 0, 0);
      continue;
    }
    const FleetLight &f = fleet_lights[i];
    light_color(light, GL_DIFFUSE, f.color, std::min(1.0f, f.influence * 0.5f));
    const GLfloat position[4] = {f.x, f.y, 100, 1};
    glLightfv(light, GL_POSITION, position);
  }
}

// Lights 0 and 2 in colour c, light 1 in grey 170, all times k / 255; dark when not on.
static void key_lights_set(uint32_t c, float k, bool on) {
  if (!on) k = 0;
  light_color(GL_LIGHT0, GL_DIFFUSE, c, k);
  light_set(GL_LIGHT1, GL_DIFFUSE, 170 * k / 255, 170 * k / 255, 170 * k / 255);
  light_color(GL_LIGHT2, GL_DIFFUSE, c, k);
}

// Binds the sprite's texture with a texture matrix that maps the mesh's 0..1 onto the sprite's
// rectangle of it (textures are padded, sprites may be atlas frames); false when it cannot be drawn.
static bool sphere_texture(int sprite) {
  uint32_t gl;
  float uv[4];
  if (!sprite_batch_uv(sprite, &gl, uv)) return false;
  glBindTexture(GL_TEXTURE_2D, gl);
  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();
  glTranslatef(uv[0], uv[1], 0);
  glScalef(uv[2] - uv[0], uv[3] - uv[1], 1);
  glMatrixMode(GL_MODELVIEW);
  return true;
}

// Moves the model matrix onto the planet and scales the unit sphere to its radius.
static void sphere_place(const Item &planet) {
  glTranslatef(planet.position_x, planet.position_y, 0);
  glScalef(planet.planet_r, planet.planet_r, planet.planet_r);
}

// A fixed tilt from the planet's seed and a spin about z whose speed and sense also come from it.
// Degrees are reduced in double: a synced seed times 113 would lose every fraction in a float.
static void sphere_spin(const Item &planet, uint32_t flags, float time) {
  const double s = (double)planet.planet_seed * (flags & PLANET_FAST_SPIN ? 3 : 1);
  const double rate = (1 + std::fmod(s, 43) / 100) * (std::fmod(s, 2) == 1 ? 1 : -1);
  const double t = std::isfinite(time) ? time : 0;
  glRotatef((float)std::fmod(s * 37, 360), 0, 1, 0);
  glRotatef((float)std::fmod(s * 113, 360), 1, 0, 0);
  glRotatef((float)std::fmod(s * 73 + rate * t * 60 / 3, 360), 0, 0, 1);
}

// The inner sphere: untextured white in the second colour's ambient light under the key lights.
static void sphere_inner_paint(const Item &planet, const PlanetStyleSphere &style, uint32_t c, float k, float scale) {
  light_color(GL_LIGHT3, GL_AMBIENT, style.color2, 1);
  key_lights_set(c, k, true);
  if (!sphere_texture(gfx_img_load("white"))) return;
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_CULL_FACE);
  glPushMatrix();
  sphere_place(planet);
  const float r = planet.planet_r * scale;
  planet_mesh_draw(VANTOR_PI * r * r);
  glPopMatrix();
}

static void sphere_style_paint(const Item &planet, const PlanetStyleSphere &style, float scale, float time) {
  const uint32_t flags = style.flags, c = color_remap(style.color);
  // A synced or modded intensity may be anything: what is not a finite number lights nothing.
  const float k = std::isfinite(style.intensity) ? style.intensity : 0;
  glColor4f(1, 1, 1, 1);
  fleet_lights_set(planet, flags & PLANET_FLEET_LIGHTS);
  if (flags & PLANET_INNER) sphere_inner_paint(planet, style, c, k, scale);
  light_color(GL_LIGHT3, GL_AMBIENT, c, flags & PLANET_AMBIENT ? k : 0);
  key_lights_set(c, k, flags & PLANET_KEY_LIGHTS);
  glBlendFunc(GL_ONE, flags & PLANET_BLEND_ADD ? GL_ONE : GL_ONE_MINUS_SRC_ALPHA);
  if (flags & PLANET_NO_CULL) {
    glDisable(GL_CULL_FACE);
  } else {
    glEnable(GL_CULL_FACE);
  }
  if (!sphere_texture(style_sprite(style.texture))) return;
  glPushMatrix();
  sphere_place(planet);
  sphere_spin(planet, flags, time);
  planet_mesh_draw(4 * VANTOR_PI * planet.planet_r * planet.planet_r * scale);
  glPopMatrix();
}

void planets_paint_spheres(const World *world, float scale) {
  planet_paint_init();
  spheres_gl_begin();
  sphere_gl_check(0);
  spheres_lights_init();
  sphere_gl_check(1);
  fleet_lights_collect(world);
  for (const Item &planet : world->items) {
    // A radius that is not a positive number has no sphere to draw.
    if (!planet.in_use || !planet.has_planet || !(planet.planet_r > 0) || !std::isfinite(planet.planet_r)) continue;
    for (const PlanetStyleSphere &style : planet.planet_style) {
      if (style.flags) sphere_style_paint(planet, style, scale, world->time);
    }
  }
  sphere_gl_check(2);
  spheres_gl_end();
  sphere_gl_check(3);
}

void planet_overlays_paint(const World *world) {
  for (const Item &planet : world->items) {
    if (!planet.in_use || !planet.has_planet) continue;
    const float size = planet.planet_r * 0.98f;
    for (const PlanetStyleOverlay &overlay : planet.planet_overlay) {
      if (!overlay.enabled) continue;
      sprite_batch_quad(style_sprite(overlay.texture), color_remap(overlay.color), 255, GL_ONE_MINUS_SRC_ALPHA,
                        planet.position_x, planet.position_y, 4 * size, 4 * size, 2 * size, 2 * size, 1, 0);
    }
  }
  tri_batch_flush();
}
