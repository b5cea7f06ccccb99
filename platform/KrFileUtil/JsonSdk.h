#pragma once

// The maker's file-utility library (KrFileUtil.dll): JSON builder.

#include <string>
#include <utility>
#include <vector>

#include "KrFileUtil/KrFileUtilApi.h"

class KRFILEUTIL_API JsonSdk {
public:
    // Ordered narrow pairs to one JSON object. Escapes '"', '\\' and control
    // characters; every other byte passes through unchanged (values may be GBK).
    std::string VectorToJson(const std::vector<std::pair<std::string, std::string>>& pairs);
};
