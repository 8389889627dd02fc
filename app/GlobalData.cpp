#include "app/GlobalData.h"
