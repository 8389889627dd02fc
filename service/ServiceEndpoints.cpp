#include "service/ServiceEndpoints.h"
