#pragma once

#include <cstdint>

// The host's toast types, as the host numbers them.
enum class ToastKind : uint8_t { Info = 0, Success = 1, Warning = 2, Error = 3 };
