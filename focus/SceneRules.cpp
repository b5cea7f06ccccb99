#include "focus/SceneRules.h"

#include <algorithm>
#include <cctype>

namespace KelvaneCenter {

std::string LowerAscii(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

bool CoversMonitor(const RECT& window, const RECT& monitor) {
    return window.left <= monitor.left && window.top <= monitor.top && window.right >= monitor.right &&
           window.bottom >= monitor.bottom;
}

bool ApplyJudgement(MonitorScenes& scenes, std::string& sceneProcess, std::uint64_t monitor, bool active,
                    const std::string& name) {
    if (active) {
        sceneProcess = name;
        for (auto& entry : scenes) {
            entry.second = false;
        }
        scenes[monitor] = true;
        return true;
    }
    scenes[monitor] = false;
    const bool elsewhere =
        std::any_of(scenes.begin(), scenes.end(), [](const MonitorScenes::value_type& entry) { return entry.second; });
    if (!elsewhere) {
        sceneProcess.clear();
    }
    return elsewhere;
}

bool SkipForeEvent(const MonitorScenes& scenes, const std::string& sceneProcess, std::uint64_t monitor,
                   const std::string& name) {
    if (sceneProcess.empty() || name == sceneProcess) {
        return false;
    }
    const auto found = scenes.find(monitor);
    return found != scenes.end() && found->second;
}

} // namespace KelvaneCenter
