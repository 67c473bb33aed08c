// The JSON contract's pieces: numbers only where the text is one, every byte kept, and the
// documented schema typed as the parameter table types each setting.
#include <gtest/gtest.h>

#include <fstream>

#include "JsonOutput.h"

namespace qk::cli {
namespace {

TEST(JsonOutputTest, DeviceTextBecomesANumberOnlyWhereItIsWrittenAsOne) {
    const std::pair<std::string, std::string> cases[] = {
        {"25", "25"},
        {"-5", "-5"},
        {"0", "0"},
        {"3.30", "3.3"},
        {"007", "\"007\""},
        {"3.", "\"3.\""},
        {"12.3.4", "\"12.3.4\""},
        {"", "\"\""},
        {"1e5", "\"1e5\""},
        {"+1", "\"+1\""},
        {".5", "\".5\""},
        {"99999999999999999999", "\"99999999999999999999\""},
    };
    for (const auto& [text, json] : cases) {
        EXPECT_EQ(NumberOrText(text).dump(), json) << text;
    }
    const Parameter& port = *FindParameterByName("destPort");
    EXPECT_EQ(SettingValue(port, "5000").dump(), "5000");
    EXPECT_EQ(SettingValue(port, "abc").dump(), "\"abc\"");
    EXPECT_EQ(SettingValue(*FindParameterByName("heartbeat"), "2").dump(), "\"45s\"");
    // GBK and a byte that is no character, then a path that is no UTF-8: escaped, valid.
    EXPECT_EQ(JsonLine({{"t", DeviceText("\xD7\xA2\xFF")}, {"p", SystemText("/dev/\xFF")}}),
              "{\"t\":\"\xE6\xB3\xA8\\\\xFF\",\"p\":\"/dev/\\\\xFF\"}\n");
}

TEST(JsonOutputTest, TheSchemaTypesEverySettingAsTheTableDoes) {
    std::ifstream file(QK_JSON_SCHEMA);
    ASSERT_TRUE(file) << QK_JSON_SCHEMA;
    const auto schema = nlohmann::json::parse(file);
    const auto& properties = schema.at("definitions").at("settings").at("properties");
    EXPECT_EQ(properties.size(), SettableParameters().size());
    for (const Parameter* parameter : SettableParameters()) {
        SCOPED_TRACE(parameter->name);
        const auto types = properties.at(std::string(parameter->name)).at("type");
        const bool number = std::ranges::find(types, "number") != types.end();
        EXPECT_EQ(number, parameter->json == JsonType::Number);
    }
}

}  // namespace
}  // namespace qk::cli
