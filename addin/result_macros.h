// The result macros live in the Windows layer; this name stays for the type-info dispatch
// header until that header moves there too.
#pragma once

#include "win32util/result_macros.h"
