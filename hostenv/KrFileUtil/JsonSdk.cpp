#include "KrFileUtil/JsonSdk.h"

#include "JsonText.h"

std::string JsonSdk::VectorToJson(const std::vector<std::pair<std::string, std::string>>& pairs) {
    std::string out = "{";
    bool first = true;
    for (const auto& pair : pairs) {
        if (!first) {
            out += ',';
        }
        first = false;
        hostenv::AppendJsonQuoted(out, pair.first);
        out += ':';
        hostenv::AppendJsonQuoted(out, pair.second);
    }
    out += '}';
    return out;
}
