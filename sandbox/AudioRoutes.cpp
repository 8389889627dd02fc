#include "sandbox/Sandbox.h"

#include <httplib.h>

void SandboxRoutes::registerAudio(httplib::Server &, Sandbox::State &) {}
