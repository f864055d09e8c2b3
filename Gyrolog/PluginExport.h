#pragma once

// The one place that knows how a plugin library exports its entry points.
#if defined(_WIN32)
#define GYROLOG_EXPORT extern "C" __declspec(dllexport)
#else
#define GYROLOG_EXPORT extern "C" __attribute__((visibility("default")))
#endif
