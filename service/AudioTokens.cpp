#include "service/VKontakteWorks.h"
