// Basic types of the class model: the common length-prefixed strings.
#pragma once

#include "marktally/common/str.h"
