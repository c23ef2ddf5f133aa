#include "OPOSEvent.h"

std::atomic<long> COPOSEvent::s_live{0};
