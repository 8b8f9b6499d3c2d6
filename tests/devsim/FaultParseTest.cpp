// The fault script grammar: what it accepts, how it reads back, and what it
// rejects with a reason.
#include "devsim/Fault.h"

#include <gtest/gtest.h>

#include <string>

using devsim::Fault;

namespace {

TEST(DevsimFaultParse, AcceptedRulesReadBackNormalised) {
    struct Row {
        const char* rule;
        const char* text;
        Fault::Action action;
    };
    const Row rows[] = {
        {"NV_FILE_EXIST=nak", "NV_FILE_EXIST=nak", Fault::Action::Nak},
        {"wake_up_dut@1-3=Silent", "WAKE_UP_DUT@1-3=silent", Fault::Action::Silent},
        {" CREATE_NV_FILE_DATA_PACKET @ 2 = repeat ", "CREATE_NV_FILE_DATA_PACKET@2=repeat",
         Fault::Action::Repeat},
        {"*@2,5-=word:0x0F80", "*@2,5-=word:0x0F80", Fault::Action::Word},
        {"0x1300=status:16", "GET_NV_FILE_HANDLE=status:16", Fault::Action::Status},
        {"0x7777@1=nak", "0x7777@1=nak", Fault::Action::Nak},
        {"READ_NV_FILE_DATA_PACKET=packet:-2", "READ_NV_FILE_DATA_PACKET=packet:-2",
         Fault::Action::PacketNumber},
        {"GET_NV_FILE_INFO_LIST_DATA_PACKET=packet:300",
         "GET_NV_FILE_INFO_LIST_DATA_PACKET=packet:300", Fault::Action::PacketNumber},
        {"GET_NV_FILE_HANDLE=wrongcode", "GET_NV_FILE_HANDLE=wrongcode", Fault::Action::WrongCode},
        {"GET_NV_FILE_HANDLE=wrongcode:0x1305", "GET_NV_FILE_HANDLE=wrongcode:0x1305",
         Fault::Action::WrongCode},
        {"*=truncate", "*=truncate:1", Fault::Action::Truncate},
        {"*=extra:4", "*=extra:4", Fault::Action::Extra},
        {"READ_NV_FILE@*=hangup", "READ_NV_FILE=hangup", Fault::Action::HangUp},
        {"*=delay:1500", "*=delay:1500", Fault::Action::Delay},
        {"*=baud:9600", "*=baud:9600", Fault::Action::Baud},
        {"NV_FILE_EXIST_EX=badsum", "NV_FILE_EXIST_EX=badsum", Fault::Action::BadChecksum},
        {"CREATE_NV_FILE_STORE_FILE=flip", "CREATE_NV_FILE_STORE_FILE=flip:0", Fault::Action::Flip},
        {"*@2=flip:99", "*@2=flip:99", Fault::Action::Flip},
        {"READ_NV_FILE_DATA_PACKET@1=flip:7", "READ_NV_FILE_DATA_PACKET@1=flip:7",
         Fault::Action::Flip},
    };
    for (const Row& row : rows) {
        std::string error;
        const auto fault = Fault::parse(row.rule, &error);
        ASSERT_TRUE(fault.has_value()) << row.rule << ": " << error;
        EXPECT_EQ(fault->toText(), row.text) << row.rule;
        EXPECT_EQ(fault->action(), row.action) << row.rule;
        // The normalised text parses to the same rule.
        EXPECT_EQ(Fault::parse(fault->toText())->toText(), row.text) << row.rule;
    }
}

TEST(DevsimFaultParse, RejectedRulesSayWhy) {
    struct Row {
        const char* rule;
        const char* reason; // a piece of the error text
    };
    const Row rows[] = {
        {"NV_FILE_EXIST", "expected TARGET"},
        {"NO_SUCH_COMMAND=nak", "unknown command"},
        {"NV_FILE_EXIST=explode", "unknown action"},
        {"NV_FILE_EXIST@0=nak", "bad occurrence"},
        {"NV_FILE_EXIST@3-2=nak", "bad occurrence"},
        {"NV_FILE_EXIST@=nak", "nothing after @"},
        {"NV_FILE_EXIST=nak:3", "takes no argument"},
        {"NV_FILE_EXIST=status", "needs an argument"},
        {"NV_FILE_EXIST=status:256", "bad argument"},
        {"NV_FILE_EXIST=word:0x10000", "bad argument"},
        {"NV_FILE_EXIST=extra:0", "bad argument"},
        {"NV_FILE_EXIST=baud:0", "bad argument"},
        {"0x12345=nak", "bad command code"},
        {"WAKE_UP_DUT=status:3", "has no status byte"},
        {"READ_NV_FILE_TERMINATE_READ=badsum", "no reply frame"},
        {"NV_FILE_EXIST=packet:+1", "no data-packet request"},
        {"READ_NV_FILE_DATA_PACKET=repeat", "only CREATE_NV_FILE_DATA_PACKET"},
        {"CREATE_NV_FILE=flip", "only CREATE_NV_FILE_STORE_FILE and READ_NV_FILE_DATA_PACKET"},
        {"CREATE_NV_FILE_STORE_FILE=flip:65535", "bad argument"},
    };
    for (const Row& row : rows) {
        std::string error;
        EXPECT_FALSE(Fault::parse(row.rule, &error).has_value()) << row.rule;
        EXPECT_NE(error.find(row.reason), std::string::npos) << row.rule << " gave: " << error;
    }
}

TEST(DevsimFaultParse, OccurrenceRanges) {
    const auto fault = Fault::parse("NV_FILE_EXIST@2,5-6,9-=nak");
    ASSERT_TRUE(fault.has_value());
    std::string hits;
    for (uint64_t n = 1; n <= 10; ++n) {
        hits += fault->hits(n) ? 'x' : '.';
    }
    EXPECT_EQ(hits, ".x..xx..xx");
}

} // namespace
