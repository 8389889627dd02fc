#include "sandbox/Sandbox.h"

#include <httplib.h>

void SandboxRoutes::registerStorage(httplib::Server &, Sandbox::State &) {}
