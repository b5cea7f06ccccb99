#pragma once

// The focus-scene decisions that need no desktop: the full-screen rectangle
// test, the per-monitor scene state and the foreground skip rule.

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace KelvaneCenter {

// Per monitor (the HMONITOR's value): a focus scene is active on it. At most one entry is true.
using MonitorScenes = std::map<std::uint64_t, bool>;

inline std::uint64_t MonitorKey(HMONITOR monitor) {
    return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(monitor));
}

// Byte by byte with the runtime's tolower, as image names are compared.
std::string LowerAscii(std::string text);

bool Contains(const std::vector<std::string>& names, const std::string& name);

// The window reaches or passes every edge of the monitor (signed comparison).
bool CoversMonitor(const RECT& window, const RECT& monitor);

// Records one judgement on `monitor`: an active one makes that monitor the only
// scene and `name` its owner; an inactive one ends the scene there. Returns
// whether a scene is active anywhere afterwards (the flag passed on); the
// owner is emptied when none is.
bool ApplyJudgement(MonitorScenes& scenes, std::string& sceneProcess, std::uint64_t monitor, bool active,
                    const std::string& name);

// A foreground or location event of `name` on `monitor` is not judged while
// another process's scene is active on that monitor.
bool SkipForeEvent(const MonitorScenes& scenes, const std::string& sceneProcess, std::uint64_t monitor,
                   const std::string& name);

} // namespace KelvaneCenter
