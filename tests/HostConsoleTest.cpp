#include "Host.h"

#include <gtest/gtest.h>

namespace {

class HostConsoleTest : public ::testing::Test {
protected:
    HostConsoleTest() : host(std::filesystem::temp_directory_path()) {}

    sim::Variable& Register(const std::string& name, const std::string& value) {
        return host.GetConsole().Register(sim::Variable{
            .name = name, .defaultValue = value, .description = "", .value = {}, .listeners = {}});
    }

    sim::Host host;
};

TEST_F(HostConsoleTest, SplitsStatementsOutsideQuotes) {
    EXPECT_EQ(sim::Console::SplitStatements("a 1; b \"x;y\";c"),
              (std::vector<std::string>{"a 1", " b \"x;y\"", "c"}));
}

TEST_F(HostConsoleTest, QuotesGroupWords) {
    EXPECT_EQ(sim::Console::Tokenize("say \"hello world\"  \"\" end"),
              (std::vector<std::string>{"say", "hello world", "", "end"}));
}

TEST_F(HostConsoleTest, NameWithValueSetsAndNameAlonePrints) {
    Register("v", "1");
    host.RunLine("v 2.5; v");
    EXPECT_EQ(host.Transcript().back(), "v = 2.5");
}

TEST_F(HostConsoleTest, UnknownNameIsAnError) {
    host.RunLine("nothing_here 1; v_missing");
    ASSERT_EQ(host.Errors().size(), 2u);
    EXPECT_EQ(host.Errors()[0], "unknown command or variable 'nothing_here'");
}

TEST_F(HostConsoleTest, CommandGetsArgumentsWithItsNameFirst) {
    std::vector<std::string> seen;
    host.AddHostCommand("cmd", [&](const std::vector<std::string>& args) { seen = args; });
    host.RunLine("cmd a \"b c\"");
    EXPECT_EQ(seen, (std::vector<std::string>{"cmd", "a", "b c"}));
}

TEST_F(HostConsoleTest, NamesKeepTheirRegistrationOrder) {
    auto& console = host.GetConsole();
    const auto before = console.VariableNames();
    Register("zeta", "1");
    Register("alpha", "1");
    Register("zeta", "2"); // registered again: stays where it was
    auto names = console.VariableNames();
    names.erase(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(before.size()));
    EXPECT_EQ(names, (std::vector<std::string>{"zeta", "alpha"}));
    console.RemoveVariable("zeta");
    EXPECT_EQ(console.VariableNames().back(), "alpha");
    EXPECT_EQ(console.VariableNames().size(), before.size() + 1);

    const size_t commands = console.CommandNames().size();
    auto command = [](const char* name) {
        sim::Command made;
        made.name = name;
        made.owner = 7;
        return made;
    };
    console.AddCommand(command("mine_b"));
    console.AddCommand(command("mine_a"));
    console.AddCommand(command("mine_b"));
    ASSERT_EQ(console.CommandNames().size(), commands + 2);
    EXPECT_EQ(console.CommandNames()[commands], "mine_b");
    EXPECT_EQ(console.CommandNames()[commands + 1], "mine_a");
    console.DropOwner(7);
    EXPECT_EQ(console.CommandNames().size(), commands);
}

TEST_F(HostConsoleTest, ValueViews) {
    auto& v = Register("v", "0.75");
    EXPECT_FLOAT_EQ(sim::ParseFloat(v.value), 0.75f);
    EXPECT_EQ(sim::ParseInt("42"), 42);
    EXPECT_TRUE(sim::ParseBool("1"));
    EXPECT_FALSE(sim::ParseBool("0"));
    EXPECT_EQ(sim::FloatText(0.1f), "0.1");
}

TEST_F(HostConsoleTest, ChangeListenersGetTheOldValueAfterTheChange) {
    auto& v = Register("v", "1");
    std::vector<std::string> seen;
    v.listeners.push_back({1, [&](const std::string& old) {
                               seen.push_back(old + "->" + v.value);
                           }});
    host.RunLine("v 2; v 3");
    EXPECT_EQ(seen, (std::vector<std::string>{"1->2", "2->3"}));
}

TEST_F(HostConsoleTest, DroppingAnOwnerRemovesItsListenersAndCommands) {
    auto& v = Register("v", "1");
    int calls = 0;
    v.listeners.push_back({7, [&](const std::string&) {
                               ++calls;
                           }});
    host.GetConsole().AddCommand(sim::Command{
        .name = "c", .description = "", .owner = 7, .run = [&](std::vector<std::string>) {
            ++calls;
        }});
    host.GetConsole().DropOwner(7);
    host.RunLine("v 2");
    host.RunLine("c");
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(host.Errors().size(), 1u);
    EXPECT_EQ(v.value, "2");
}

TEST_F(HostConsoleTest, GameSpeedIsTheGamesVariable) {
    EXPECT_EQ(host.GameSpeed(), 1.0f);
    host.RunLine("sv_soccar_gamespeed 0.5");
    EXPECT_EQ(host.GameSpeed(), 0.5f);
}

} // namespace
