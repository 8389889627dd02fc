#include "app/Storage.h"
