#include "net/Http.h"
