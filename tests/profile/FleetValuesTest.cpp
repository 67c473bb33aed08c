// Per-device values: CSV as spreadsheets write it, read strictly; templates in profiles; a
// values file laid over a profile for each device.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Csv.h"
#include "DeviceValues.h"
#include "Profile.h"
#include "ProfileTemplate.h"

namespace qk {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::vector<std::vector<std::string>> Fields(const CsvText& csv) {
    std::vector<std::vector<std::string>> fields;
    for (const CsvRecord& record : csv.records) {
        fields.push_back(record.fields);
    }
    return fields;
}

TEST(CsvTest, WhatSpreadsheetsWriteIsRead) {
    const std::pair<std::string_view, std::vector<std::vector<std::string>>> cases[] = {
        {"a,b\nc,d\n", {{"a", "b"}, {"c", "d"}}},
        {"a,b\r\nc,d", {{"a", "b"}, {"c", "d"}}},  // CR LF, no final line end
        {"\xEF\xBB\xBF"
         "a,b\r\n",
         {{"a", "b"}}},                                             // Excel's byte order mark
        {"\"x,y\",\"say \"\"hi\"\"\"\n", {{"x,y", "say \"hi\""}}},  // quotes, doubled inside
        {"\"two\nlines\",z\n", {{"two\nlines", "z"}}},
        {"a,,\n\n\n,b,\n", {{"a", "", ""}, {"", "b", ""}}},  // blank lines passed over
        {"", {}},
    };
    for (const auto& [text, fields] : cases) {
        const CsvText csv = ReadCsv(text);
        EXPECT_TRUE(csv.ok()) << text << ": " << csv.problem;
        EXPECT_EQ(Fields(csv), fields) << text;
    }
    const CsvText lines = ReadCsv("a\n\"b\nc\"\nd\n");
    ASSERT_EQ(lines.records.size(), 3u);
    EXPECT_EQ(lines.records[2].line, 4);  // the record after a two-line field
}

TEST(CsvTest, DamagedFilesAreRefusedWithThePlace) {
    const std::pair<std::string_view, std::string> cases[] = {
        {"a,b\nc,\"d\n", "line 2: the quoted field 2 that starts here is never closed"},
        {"a,b\nc,d\"e\n", "line 2: field 2 has a quote but does not start with one"},
        {"a,\"b\"c\n", "line 1: field 2 goes on after its closing quote"},
        {"a\rb,c\n", "line 1: field 1 holds a carriage return that ends no line"},
    };
    for (const auto& [text, problem] : cases) {
        EXPECT_THAT(ReadCsv(text).problem, HasSubstr(problem)) << text;
    }
}

TEST(CsvTest, LinesAreQuotedOnlyWhereTheyHaveToBeAndReadBack) {
    const std::vector<std::string> fields = {"plain", "a,b", "say \"hi\"", " padded", "", "中文"};
    EXPECT_EQ(CsvLine(fields), "plain,\"a,b\",\"say \"\"hi\"\"\",\" padded\",,中文\r\n");
    EXPECT_EQ(Fields(ReadCsv(CsvLine(fields))), std::vector<std::vector<std::string>>{fields});
}

TEST(ProfileTemplateTest, NamesAreFoundAndExpandedAndEscapesStayAsWritten) {
    std::string error;
    EXPECT_THAT(*TemplateNames("SITE-${id}-${destPort}", error), ElementsAre("id", "destPort"));
    EXPECT_TRUE(TemplateNames("no template, \\${id} is literal, \\\\${x}? no: x", error)->size() ==
                1);  // "\\" is a backslash, so the "${x}" after it counts
    EXPECT_FALSE(TemplateNames("${id", error));
    EXPECT_THAT(error, HasSubstr("without its \"}\""));
    EXPECT_FALSE(TemplateNames("a${}b", error));

    const TemplateValues values = {{"id", "QK\\xFF1"}, {"destPort", "6001"}};
    EXPECT_EQ(ExpandTemplate("S-${id}:${destPort} \\${id}", values), "S-QK\\xFF1:6001 \\${id}");
    EXPECT_EQ(EscapeTemplate("a${b} \\x24{c} \\\\${d}"), "a\\${b} \\x24{c} \\\\\\${d}");
}

TEST(ProfileTemplateTest, AProfileKeepsTemplatesUntilADeviceIsKnown) {
    const ProfileContents profile = ReadProfile(
        "registerData=SITE-${id}\n"
        "heartbeatData=HB \\${id}\n"     // literal
        "dnsServer=${registerEnable}\n"  // a --values cell
        "destAddress=${colour}\n"        // names nothing a device has
        "destPort=${id\n");
    EXPECT_THAT(profile.problems,
                ElementsAre(HasSubstr("line 4: destAddress: ${colour} names nothing"),
                            HasSubstr("line 5: destPort: \"${\" without its \"}\"")));
    ASSERT_EQ(profile.settings.size(), 1u);
    EXPECT_EQ(profile.settings[0].value, "HB ${id}");
    ASSERT_EQ(profile.templates.size(), 2u);

    const ProfileContents device = profile.Expanded({{"id", "QK4520-000007"}});
    EXPECT_EQ(device.settings.size(), 2u);
    EXPECT_EQ(device.settings.back().value, "SITE-QK4520-000007");
    EXPECT_THAT(device.problems,
                testing::Contains(HasSubstr("line 3: dnsServer: ${registerEnable} has no value")));

    // An expansion is checked as any value: too long for this device's ID.
    const ProfileContents longId =
        ReadProfile("registerData=SITE-${id}\n").Expanded({{"id", std::string(40, 'x')}});
    EXPECT_EQ(longId.beyondLimits.size(), 1u);
}

TEST(ProfileTemplateTest, ASavedValueWithADollarBraceReadsBackAsItWas) {
    const Parameter& data = ParameterOf(ParameterId::HeartbeatData);
    const std::string text = WriteProfile({{&data, "pay ${x} \\"}}, {});
    EXPECT_THAT(text, HasSubstr("heartbeatData=pay \\${x} \\\\\n"));
    const ProfileContents back = ReadProfile(text);
    ASSERT_TRUE(back.ok());
    EXPECT_TRUE(back.templates.empty());
    EXPECT_EQ(back.settings.at(0).value, "pay ${x} \\");
}

TEST(DeviceValuesTest, EachRowGivesItsDeviceItsCellsOverTheProfile) {
    const ValuesFile file = ReadValues(
        "id,registerData,destPort,protocol,port,result\n"
        "QK-1,SITE-A,6001, udp ,/dev/ttyUSB0,ok\n"
        "QK-2,,,,,\n"
        "\\x3DQK-3,\"SITE,C\",,,,\n",
        "fleet.csv");
    ASSERT_TRUE(file.ok()) << file.problems.front();
    ASSERT_EQ(file.rows.size(), 3u);
    EXPECT_NE(file.Find("=QK-3"), nullptr);  // a formula's "=" escaped as an inventory writes it
    EXPECT_EQ(file.Find("QK-4"), nullptr);

    const ProfileContents profile =
        ReadProfile("destPort=5000\nheartbeatData=HB-${id}-${registerData}\n");
    const ProfileContents one = DeviceProfile(profile, "QK-1", file.Find("QK-1"));
    ASSERT_TRUE(one.ok());
    std::vector<std::string> values;
    for (const Setting& setting : one.settings) {
        values.push_back(std::string(setting.parameter->name) + "=" + setting.value);
    }
    EXPECT_THAT(values, ElementsAre("destPort=6001", "protocol=UDP", "heartbeatData=HB-QK-1-SITE-A",
                                    "registerData=SITE-A"));
    // No registerData cell for QK-2: the template cannot be filled, and says so.
    EXPECT_THAT(DeviceProfile(profile, "QK-2", file.Find("QK-2")).problems,
                ElementsAre(HasSubstr("${registerData} has no value for this device")));
}

TEST(DeviceValuesTest, AWrongFileIsRefusedWholeWithEveryProblem) {
    const std::pair<std::string, std::string> cases[] = {
        {"device,destPort\nQK-1,6001\n", "line 1: the first column must be the device ID"},
        {"id,colour\nQK-1,red\n", "line 1: column 2 'colour' is no parameter"},
        {"id,destPort,destPort\nQK-1,1,2\n", "line 1: column 3 'destPort' again (first column 2)"},
        {"id,id\nQK-1,QK-1\n", "line 1: column 2 'id' is no parameter"},
        {"id,destPort\nQK-1,6001,7\n", "line 2: 3 fields, the header has 2"},
        {"id,destPort\nQK-1\n", "line 2: 1 fields, the header has 2"},
        {"id,destPort\nQK-1,1\nQK-1,2\n", "line 3: the device ID 'QK-1' again (first on line 2)"},
        {"id,destPort\n,1\n", "line 2: the device ID is empty"},
        {"id,destPort\nQK-1,abc\n", ""},  // beyond the limits: decided per device, below
        {"id,heartbeat\nQK-1,2\n", "line 2: heartbeat must be one of 30s, 45s, 60s, got '2'"},
        {"id,destAddress\nQK-1,a\\nb\n", "line 2: destAddress: a value cannot hold a line break"},
        {"id,destPort\n", "the file has a header but no device's row"},
        {"", "the file is empty"},
        {"id,destPort\nQK-1,\"6001\n",
         "line 2: the quoted field 2 that starts here is never closed"},
        {std::string(kMaxValuesBytes + 1, 'x'), "more than a values file holds"},
    };
    for (const auto& [text, problem] : cases) {
        const ValuesFile file = ReadValues(text, "fleet.csv");
        if (problem.empty()) {
            EXPECT_TRUE(file.ok());
            continue;
        }
        ASSERT_FALSE(file.ok()) << text;
        EXPECT_THAT(file.problems.front(), HasSubstr(problem)) << text;
    }
    // A port beyond the limits goes only to a device that holds it already.
    const ValuesFile beyond = ReadValues("id,destPort\nQK-1,70000\n", "fleet.csv");
    const ProfileContents device = DeviceProfile({}, "QK-1", beyond.Find("QK-1"));
    ReportedValues holds, other;
    holds.Note(ParameterId::DestPort, "70000");
    other.Note(ParameterId::DestPort, "5000");
    EXPECT_TRUE(device.RefusedBy(holds).empty());
    EXPECT_THAT(
        device.RefusedBy(other),
        ElementsAre(HasSubstr("fleet.csv line 2: destPort must be a port from 1 to 65535")));
}

TEST(DeviceValuesTest, SpreadsheetFormulasAreDisarmedAndNumbersKept) {
    EXPECT_EQ(SpreadsheetSafe("=HYPERLINK(\"x\")"), "\\x3DHYPERLINK(\"x\")");
    EXPECT_EQ(SpreadsheetSafe("@SUM(A1)"), "\\x40SUM(A1)");
    EXPECT_EQ(SpreadsheetSafe("-5"), "-5");
    EXPECT_EQ(SpreadsheetSafe("+3.30"), "+3.30");
    EXPECT_EQ(SpreadsheetSafe("-x"), "\\x2Dx");
    EXPECT_EQ(SpreadsheetSafe("SITE=1"), "SITE=1");
}

}  // namespace
}  // namespace qk
