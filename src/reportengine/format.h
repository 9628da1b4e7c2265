// The report engine's names for the program's value formatting (format/values.h).
#pragma once

#include "format/values.h"

namespace reportengine {

using format::formatValue;
using format::isNumber;
using format::plainText;
using format::toNumber;

} // namespace reportengine
