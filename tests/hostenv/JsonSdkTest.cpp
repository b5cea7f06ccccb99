#include <gtest/gtest.h>

#include "KrFileUtil/JsonSdk.h"

TEST(JsonSdk, PairsKeepTheirOrder) {
    JsonSdk json;
    EXPECT_EQ(json.VectorToJson({}), "{}");
    EXPECT_EQ(json.VectorToJson({{"b", "2"}, {"a", "1"}}), "{\"b\":\"2\",\"a\":\"1\"}");
}

TEST(JsonSdk, EscapesQuotesBackslashesAndControlCharactersOnly) {
    JsonSdk json;
    EXPECT_EQ(json.VectorToJson({{"k\"", "C:\\a\"b\n\t\x01"}}), "{\"k\\\"\":\"C:\\\\a\\\"b\\n\\t\\u0001\"}");
    // GBK and UTF-8 bytes pass through untouched, byte for byte.
    const std::string gbk = "\xCE\xB4\xD6\xAA\xC0\xE0\xD0\xCD";
    EXPECT_EQ(json.VectorToJson({{"windowLocation", gbk}}), "{\"windowLocation\":\"" + gbk + "\"}");
    const std::string del = "\x7f";
    EXPECT_EQ(json.VectorToJson({{"x", del}}), "{\"x\":\"\x7f\"}");
}
