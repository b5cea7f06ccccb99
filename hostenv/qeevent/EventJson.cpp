#include "EventJson.h"

#include "JsonText.h"

namespace qeevent {

std::string EventToJsonLine(int id, const std::vector<QeCapturedPair>& pairs) {
    std::string out = "{\"id\":" + std::to_string(id) + ",\"pairs\":[";
    bool first = true;
    for (const auto& pair : pairs) {
        out += first ? "[" : ",[";
        first = false;
        hostenv::AppendJsonQuoted(out, pair.key);
        out += ',';
        if (pair.isInt) {
            out += pair.value;
        } else {
            hostenv::AppendJsonQuoted(out, pair.value);
        }
        out += ']';
    }
    out += "]}";
    return out;
}

} // namespace qeevent
