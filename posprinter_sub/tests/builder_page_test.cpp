#include "builder_support.h"
