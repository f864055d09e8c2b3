#pragma once

// Host SDK classes are shared between the host and every plugin: their type
// information must be one and the same across library boundaries.
#if defined(_WIN32)
#define BAKKESMOD_SDK_API
#else
#define BAKKESMOD_SDK_API __attribute__((visibility("default")))
#endif
