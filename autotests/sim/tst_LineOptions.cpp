// The command-line description of the controllers on the substitute's line
// and of the modules behind them.

#include "sim/LineOptions.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace ct::sim;

struct FormCase {
    const char* value;
    bool accepted;
};

class ControllerForms : public ::testing::TestWithParam<FormCase> {};
class G6Forms : public ::testing::TestWithParam<FormCase> {};
class G4Forms : public ::testing::TestWithParam<FormCase> {};

TEST_P(ControllerForms, addController_form_acceptedOrRefused)
{
    LineOptions options;
    EXPECT_EQ(options.AddController(GetParam().value), GetParam().accepted) << GetParam().value;
}

TEST_P(G6Forms, addG6_form_acceptedOrRefused)
{
    LineOptions options;
    EXPECT_EQ(options.AddG6(GetParam().value), GetParam().accepted) << GetParam().value;
}

TEST_P(G4Forms, addG4_form_acceptedOrRefused)
{
    LineOptions options;
    EXPECT_EQ(options.AddG4(GetParam().value), GetParam().accepted) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(Forms, ControllerForms,
                         ::testing::Values(FormCase{"0002,22220002", true},
                                           FormCase{"0002,22220002,KX420NT4-SG4", true},
                                           FormCase{"0002,22220002,KX420,0600", true},
                                           FormCase{"0002", false},                     // no serial number
                                           FormCase{"002,22220002", false},             // ID of 3
                                           FormCase{"0002,2222000", false},             // serial of 7
                                           FormCase{"0002,22220002,", false},           // empty model
                                           FormCase{"0002,22220002,KX420NT4-SG4X", false},  // model of 13
                                           FormCase{"0002,22220002,KX420,06000", false},    // version of 5
                                           FormCase{"0002,22220002,KX420,0600,x", false},
                                           FormCase{"0002,2222\t002", false}));

INSTANTIATE_TEST_SUITE_P(Forms, G6Forms,
                         ::testing::Values(FormCase{"1,6A000001", true},
                                           FormCase{"0,6A000001,41,A,3", true},
                                           FormCase{"8,6A000001,FFFF,ffff,0", true},
                                           FormCase{"#1:2,6A000001", true},
                                           FormCase{"0002:2,6A000001", true},
                                           FormCase{"none", true},
                                           FormCase{"#0:none", true},
                                           FormCase{"9,6A000001", false},          // IDs 0 to 8
                                           FormCase{"1,6A00001", false},           // serial of 7
                                           FormCase{"1,6A000001,41,A", false},     // a word missing
                                           FormCase{"1,6A000001,10000,A,3", false},  // five hex digits
                                           FormCase{"1,6A000001,4G,A,3", false},
                                           FormCase{"#x:1,6A000001", false},
                                           FormCase{"02:1,6A000001", false},       // neither #N nor an ID
                                           FormCase{"", false}));

INSTANTIATE_TEST_SUITE_P(Forms, G4Forms,
                         ::testing::Values(FormCase{"H,1,4H000001", true},
                                           FormCase{"E,0,4E000001", true},
                                           FormCase{"#2:A,9,4A000001", true},
                                           FormCase{"0002:none", true},
                                           FormCase{"X,1,4X000001", false},        // no type X
                                           FormCase{"h,1,4H000001", false},        // letters as the tool sends them
                                           FormCase{"HI,1,4H000001", false},
                                           FormCase{"H,10,4H000001", false},       // one digit
                                           FormCase{"H,1", false},
                                           FormCase{"H,1,4H0000012", false}));

ControllerConfig First()
{
    ControllerConfig c;
    c.id = "0001";
    c.serial = "11110001";
    return c;
}

TEST(LineOptions, build_nothingAdded_theFirstWithDefaultModules)
{
    const auto line = LineOptions().Build(First());
    ASSERT_TRUE(line);
    ASSERT_EQ(line->size(), 1U);
    EXPECT_EQ((*line)[0].serial, "11110001");
    EXPECT_EQ((*line)[0].g6Modules.size(), ControllerConfig{}.g6Modules.size());
    EXPECT_EQ((*line)[0].g4Modules.size(), ControllerConfig{}.g4Modules.size());
}

TEST(LineOptions, build_controllersInOrderWithTheirFields)
{
    LineOptions options;
    ASSERT_TRUE(options.AddController("0002,22220002,KX420,0600"));
    ASSERT_TRUE(options.AddController("0003,33330003"));
    const auto line = options.Build(First());
    ASSERT_TRUE(line);
    ASSERT_EQ(line->size(), 3U);
    EXPECT_EQ((*line)[0].id, "0001");
    EXPECT_EQ((*line)[1].id, "0002");
    EXPECT_EQ((*line)[1].serial, "22220002");
    EXPECT_EQ((*line)[1].model, "KX420");
    EXPECT_EQ((*line)[1].version, "0600");
    EXPECT_EQ((*line)[2].serial, "33330003");
    EXPECT_EQ((*line)[2].model, ControllerConfig{}.model);
}

TEST(LineOptions, build_modulesPlacedByIndexIdOrDefault_replacingTheDefaults)
{
    LineOptions options;
    // Named before the controller is described.
    ASSERT_TRUE(options.AddG6("0003:4,6C000004,70,14,1"));
    ASSERT_TRUE(options.AddController("0002,22220002"));
    ASSERT_TRUE(options.AddController("0003,33330003"));
    ASSERT_TRUE(options.AddG6("2,6A000002"));
    ASSERT_TRUE(options.AddG6("#0:3,6A000003"));
    ASSERT_TRUE(options.AddG4("#1:J,7,4J000007"));
    ASSERT_TRUE(options.AddG4("#2:none"));
    const auto line = options.Build(First());
    ASSERT_TRUE(line);
    ASSERT_EQ(line->size(), 3U);

    const auto& first = (*line)[0];
    ASSERT_EQ(first.g6Modules.size(), 2U);
    EXPECT_EQ(first.g6Modules[0].id, 2);
    EXPECT_EQ(first.g6Modules[0].serial, "6A000002");
    EXPECT_EQ(first.g6Modules[0].cardType, G6Module{}.cardType);
    EXPECT_EQ(first.g6Modules[1].serial, "6A000003");
    EXPECT_EQ(first.g4Modules.size(), ControllerConfig{}.g4Modules.size());

    const auto& second = (*line)[1];
    EXPECT_EQ(second.g6Modules.size(), ControllerConfig{}.g6Modules.size());
    ASSERT_EQ(second.g4Modules.size(), 1U);
    EXPECT_EQ(second.g4Modules[0].type, 'J');
    EXPECT_EQ(second.g4Modules[0].id, 7);
    EXPECT_EQ(second.g4Modules[0].serial, "4J000007");

    const auto& third = (*line)[2];
    ASSERT_EQ(third.g6Modules.size(), 1U);
    EXPECT_EQ(third.g6Modules[0].id, 4);
    EXPECT_EQ(third.g6Modules[0].cardType, 0x0070);
    EXPECT_EQ(third.g6Modules[0].delay, 0x0014);
    EXPECT_EQ(third.g6Modules[0].mode, 0x0001);
    EXPECT_TRUE(third.g4Modules.empty());
}

TEST(LineOptions, build_noneThenModule_onlyThatModule)
{
    LineOptions options;
    ASSERT_TRUE(options.AddG4("none"));
    ASSERT_TRUE(options.AddG4("B,2,4B000002"));
    const auto line = options.Build(First());
    ASSERT_TRUE(line);
    ASSERT_EQ((*line)[0].g4Modules.size(), 1U);
    EXPECT_EQ((*line)[0].g4Modules[0].type, 'B');
}

TEST(LineOptions, build_moduleForAControllerNotThere_refusedWithReason)
{
    const struct {
        const char* g6;
        const char* reason;
    } cases[] = {{"#1:1,6A000001", "#1"}, {"0009:1,6A000001", "0009"}};
    for (const auto& c : cases) {
        LineOptions options;
        ASSERT_TRUE(options.AddG6(c.g6));
        std::string error;
        EXPECT_FALSE(options.Build(First(), &error)) << c.g6;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
}

}  // namespace
