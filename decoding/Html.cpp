#include "decoding/Html.h"
