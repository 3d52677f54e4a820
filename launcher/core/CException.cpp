#include "CException.h"

void throwWin32Error(std::uint32_t code) {
    throw new CException(code);
}
