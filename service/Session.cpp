#include "service/Session.h"
