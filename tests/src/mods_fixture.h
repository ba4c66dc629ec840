// The fixture of the mod runtime tests: a Game of the test's own and a mod started from a private folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "data_override.h"
#include "game.h"
#include "mods_api.h"
#include "mods_start.h"

// A game whose mod file lies in a private data folder.
class ModsRun : public DataOverrideTest {
 protected:
  void SetUp() override {
    override_open("mods-run");
    g.reset(new Game());
    snprintf(g->mod_file, sizeof g->mod_file, "%s/main.lua", folder.c_str());
  }
  void TearDown() override {
    mods_stop(g.get());
    g.reset();
    override_close();
  }
  void start(const char *lua, std::vector<const char *> args = {"vantor"}) {
    file("main.lua", lua);
    argv = args;
    g->argv = const_cast<char **>(argv.data());
    g->argc = (int)argv.size();
    mods_start(g.get());
  }
  std::string param(const char *key) { return g->mods->param_get(key).str(); }

  std::unique_ptr<Game> g;
  std::vector<const char *> argv;
};
