// The printer sub-module's own resources: its file version and its string table.
#pragma once
#include "ModuleResources.h"
#include "prennik_resource.h"

using subsupport::GetModuleVersionNumber;
using subsupport::LoadModuleString;
