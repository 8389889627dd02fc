#include "app/LoginForm.h"
