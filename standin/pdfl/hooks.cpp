#include "hooks.h"

namespace pdfl {

namespace {

// Set once, when the testing library loads, before any call.
Hooks* installed = nullptr;

}  // namespace

Hooks& CurrentHooks() {
  static Hooks defaults;
  return installed ? *installed : defaults;
}

void InstallHooks(Hooks* hooks) {
  installed = hooks;
}

}  // namespace pdfl
