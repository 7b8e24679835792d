// The desktop services the model asks for live in the common library, shared with the
// toolbox that implements them.
#pragma once

#include "marktally/common/platform.h"
