#pragma once

#define BAKKESMOD_PLUGIN_API_VERSION 95

// Bits of PluginInfo::pluginType: the game modes a plugin is meant for.
enum PLUGINTYPE {
    PLUGINTYPE_FREEPLAY = 0x01,
    PLUGINTYPE_CUSTOM_TRAINING = 0x02,
    PLUGINTYPE_SPECTATOR = 0x04,
    PLUGINTYPE_BOTAI = 0x08,
    PLUGINTYPE_REPLAY = 0x10,
    PLUGINTYPE_THREADED = 0x20,
    PLUGINTYPE_THREADEDUNLOAD = 0x40
};

// A plugin exports its entry points and the base classes it implements, and
// imports the wrappers from the host's library. On Linux the simulated host
// and the plugin share these classes' type information instead.
#if defined(_WIN32)
#define BAKKESMOD_PLUGIN_EXPORT __declspec(dllexport)
#define BAKKESMOD_PLUGIN_IMPORT __declspec(dllimport)
#else
#define BAKKESMOD_PLUGIN_EXPORT __attribute__((visibility("default")))
#define BAKKESMOD_PLUGIN_IMPORT __attribute__((visibility("default")))
#endif
