// The parameter table: every row complete and consistent with the command table, so that a
// new parameter cannot be half added; and the rules every front end's validation reads.
#include <gtest/gtest.h>

#include <set>

#include "CommandTable.h"
#include "Parameters.h"
#include "RecordSettings.h"
#include "ResponseParser.h"

namespace qk {
namespace {

int FieldsSet(const RecordField& field) {
    return (field.text != nullptr) + (field.advancedText != nullptr) + (field.position != nullptr) +
           (field.advancedInteger != nullptr);
}

TEST(ParametersTest, EveryRowIsCompleteAndNoNameOrKeyIsTaken) {
    const CommandTable commands;
    std::set<std::string_view> names, keys;
    std::size_t index = 0;
    for (const Parameter& parameter : Parameters()) {
        SCOPED_TRACE(parameter.name);
        EXPECT_EQ(static_cast<std::size_t>(parameter.id), index++);
        EXPECT_TRUE(names.insert(parameter.name).second);
        EXPECT_TRUE(keys.insert(parameter.answerKey).second);
        EXPECT_FALSE(parameter.caption.empty());
        EXPECT_TRUE(commands.Text(parameter.command).starts_with("QK+"));
        const bool listed =
            parameter.kind == ValueKind::ListText || parameter.kind == ValueKind::ListDigit;
        EXPECT_EQ(listed, !parameter.list.empty());
        EXPECT_EQ(parameter.kind == ValueKind::ListDigit, parameter.digitBase != '\0');
        EXPECT_EQ(parameter.kind == ValueKind::Text, parameter.maxBytes > 0);
        const bool statusText =
            parameter.id == ParameterId::Status || parameter.id == ParameterId::Version;
        EXPECT_EQ(FieldsSet(parameter.field), statusText ? 0 : 1);
        if (parameter.settable()) {
            EXPECT_NE(parameter.group, ParameterGroup::Unqueried);
        }
    }
    EXPECT_EQ(index, kParameterCount);
}

// The orders the device has always been sent.
TEST(ParametersTest, QueryAndSetOrdersAreTheWindows) {
    std::string queried, settable;
    for (const Parameter* parameter : QueriedParameters()) {
        queried += std::string(parameter->answerKey) + " ";
    }
    for (const Parameter* parameter : SettableParameters()) {
        settable += std::string(parameter->answerKey) + " ";
    }
    EXPECT_EQ(queried,
              "STAT ID VER BAUD PIPADD PPORT PROTOCOL WORKTYPE HEARTIME HEARTDAT PDNS DATAB "
              "CHECKB REGEN ENROL ");
    EXPECT_EQ(settable,
              "BAUD PIPADD PPORT PROTOCOL WORKTYPE HEARTIME HEARTDAT PDNS DATAB CHECKB REGEN "
              "ENROL ");
    EXPECT_EQ(SettableNames(),
              "deviceBaud, destAddress, destPort, protocol, workType, heartbeat, heartbeatData, "
              "dnsServer, dataBits, parity, registerEnable, registerData");
}

TEST(ParametersTest, LimitsAndWhatTheDeviceReportedDecideWhatIsSent) {
    const Parameter& port = ParameterOf(ParameterId::DestPort);
    const Parameter& registration = ParameterOf(ParameterId::RegisterData);
    const Parameter& heartbeat = ParameterOf(ParameterId::Heartbeat);
    for (const char* bad : {"", "0", "65536", "70000", "abc", "5 0"}) {
        EXPECT_EQ(LimitProblem(port, bad), "must be a port from 1 to 65535") << bad;
    }
    EXPECT_EQ(LimitProblem(port, "65535"), "");
    EXPECT_EQ(LimitProblem(registration, std::string(41, 'x')), "is 41 bytes in GBK, at most 40");
    EXPECT_EQ(LimitProblem(heartbeat, "3"), "");
    EXPECT_EQ(LimitProblem(heartbeat, "4"), "must be one of 30s, 45s, 60s");
    EXPECT_EQ(WireProblem(std::string("a\0b", 3)), "holds a line break or zero byte");

    DeviceState state;
    std::string why;
    state.destPort = "70000";
    EXPECT_FALSE(SendableValue(port, state, why));
    EXPECT_EQ(why, "must be a port from 1 to 65535");
    state.reported.Note(ParameterId::DestPort, "70000");
    EXPECT_EQ(SendableValue(port, state, why), "70000");
    state.destPort = "70001";  // edited: no longer the device's own
    EXPECT_FALSE(SendableValue(port, state, why));
    // An answer that never came whole: what the device holds is unknown, and the record's
    // value is not written over it, until a whole answer comes.
    const Parameter& registration2 = ParameterOf(ParameterId::RegisterData);
    NullDeviceView view;
    ResponseParser parser(state, view);
    state.advanced.registerData = "old";
    parser.HandleBlock("+ENROL:" + std::string(3000, 'x'));
    EXPECT_FALSE(SendableValue(registration2, state, why));
    EXPECT_EQ(why, "the device's value came cut short, and is not written over");
    parser.HandleBlock("+ENROL:new\r\n");
    EXPECT_EQ(SendableValue(registration2, state, why), "new");
    state.destPort = "70000\r\n";  // never, whoever reported it
    state.reported.Note(ParameterId::DestPort, "70000\r\n");
    EXPECT_FALSE(SendableValue(port, state, why));
    EXPECT_EQ(why, "holds a line break or zero byte");
}

TEST(ParametersTest, ReportedValuesAreCountedAndForgotten) {
    ReportedValues reported;
    EXPECT_FALSE(reported.Has(ParameterId::DestPort));
    reported.Note(ParameterId::DestPort, "");
    reported.Note(ParameterId::DestPort, "5000");
    EXPECT_EQ(*reported.Find(ParameterId::DestPort), "5000");
    EXPECT_EQ(reported.Count(ParameterId::DestPort), 2u);
    reported.Clear();
    EXPECT_EQ(
        std::pair(reported.Find(ParameterId::DestPort), reported.Count(ParameterId::DestPort)),
        std::pair(static_cast<const std::string*>(nullptr), 0u));
}

}  // namespace
}  // namespace qk
