#include "decoding/Json.h"
