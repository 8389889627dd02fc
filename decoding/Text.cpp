#include "decoding/Text.h"
