#include "app/DataReset.h"
