#include "Host.h"
#include "Session.h"
#include "Ui.h"
#include "bakkesmod/plugin/bakkesmodplugin.h"
#include "bakkesmod/wrappers/GameObject/BallWrapper.h"
#include "bakkesmod/wrappers/GameObject/CarComponent/BoostWrapper.h"
#include "bakkesmod/wrappers/GameObject/CarWrapper.h"

#include <gtest/gtest.h>
#include <imgui.h>

#include <cstring>
#include <stdexcept>

namespace {

class HostGameTest : public ::testing::Test {
protected:
    HostGameTest() : host(std::filesystem::temp_directory_path()) {}
    sim::Host host;
};

TEST_F(HostGameTest, TimersRunInDueOrderThenInOrderSet) {
    std::string order;
    host.AddHostTimer(0.2, [&] { order += "c"; });
    host.AddHostTimer(0.1, [&] { order += "a"; });
    host.AddHostTimer(0.1, [&] { order += "b"; });
    host.Wait(0.15);
    EXPECT_EQ(order, "ab");
    host.Wait(0.05);
    EXPECT_EQ(order, "abc");
}

TEST_F(HostGameTest, TickLengthIsDividedByTheGameSpeed) {
    int fired = 0;
    host.AddHostTimer(0.2, [&] { ++fired; });
    host.Tick(23, {});
    EXPECT_EQ(fired, 0);
    host.Tick(1, {});
    EXPECT_EQ(fired, 1);

    host.RunLine("sv_soccar_gamespeed 2");
    const double start = host.Clock();
    host.Tick(12, {});
    EXPECT_NEAR(host.Clock() - start, 0.05, 1e-12);
}

TEST_F(HostGameTest, PausedGameRunsNoTicks) {
    host.RunLine("sv_soccar_gamespeed 0");
    host.Tick(5, {});
    EXPECT_EQ(host.TickCount(), 0u);
    EXPECT_EQ(host.Errors().size(), 1u);
}

TEST_F(HostGameTest, ExecuteQueueRunsInOrderBeforeTheNextTick) {
    std::string order;
    host.AddExecute(sim::HostOwner, [&] { order += "1"; });
    host.AddExecute(sim::HostOwner, [&] {
        order += "2";
        host.AddExecute(sim::HostOwner, [&] { order += "3"; });
    });
    EXPECT_EQ(order, "");
    host.Tick(1, {});
    EXPECT_EQ(order, "12");
    host.Tick(1, {});
    EXPECT_EQ(order, "123");
}

TEST_F(HostGameTest, HooksRunInRegistrationOrderAndSeeTheirPhase) {
    std::string order;
    host.Hook(1, sim::Events::Destroyed, true, [&](std::string) { order += "post"; });
    host.Hook(1, sim::Events::Destroyed, false, [&](std::string) { order += "pre1,"; });
    host.Hook(1, sim::Events::Destroyed, false, [&](std::string) { order += "pre2,"; });
    host.DestroyGameEvent();
    EXPECT_EQ(order, "pre1,pre2,");
}

TEST_F(HostGameTest, InputHookWritesTakeEffect) {
    ControllerInput seen{};
    host.HookWithCaller(1, sim::Events::SetVehicleInput, [&](uintptr_t, void* params, std::string) {
        std::memcpy(&seen, params, sizeof seen);
        static_cast<ControllerInput*>(params)->Throttle = -1.0f;
    });
    ControllerInput live;
    live.Throttle = 0.25f;
    host.Tick(1, live);
    EXPECT_EQ(seen.Throttle, 0.25f);
    EXPECT_EQ(host.GetWorld().LocalCar()->lastInput.Throttle, -1.0f);
}

TEST_F(HostGameTest, ExceptionOfACallbackIsReportedAndTheSessionGoesOn) {
    host.AddHostTimer(0, [] { throw std::runtime_error("boom"); });
    host.Wait(0);
    ASSERT_EQ(host.Errors().size(), 1u);
    EXPECT_EQ(host.Errors()[0], "exception escaped a plugin callback: boom");
    host.Tick(1, {});
    EXPECT_EQ(host.TickCount(), 1u);
}

// Runs 240 ticks of varied input from the kickoff and returns every state.
std::vector<std::string> Drive(sim::Host& host, float steer) {
    host.GetWorld().PlaceAtKickoff();
    std::vector<std::string> states;
    for (int i = 0; i < 240; ++i) {
        ControllerInput input;
        input.Throttle = 1.0f;
        input.Steer = i > 60 ? steer : 0.0f;
        input.Pitch = i > 130 ? 0.5f : 0.0f;
        input.Jump = i == 120;
        input.ActivateBoost = i > 30 && i < 90;
        host.Tick(1, input);
        states.push_back(sim::Session::StateLine("car", host.GetWorld().LocalCar()) +
                         sim::Session::StateLine("ball", host.GetWorld().GetBall()));
    }
    return states;
}

TEST_F(HostGameTest, PhysicsIsDeterministicAndFollowsInputs) {
    auto first = Drive(host, 0.5f);
    auto second = Drive(host, 0.5f);
    auto other = Drive(host, -0.5f);
    EXPECT_EQ(first, second);
    EXPECT_NE(first.back(), other.back());
    EXPECT_NE(first[100], first[0]);
}

TEST_F(HostGameTest, EveryControlChangesTheCarsMotion) {
    auto after = [&](ControllerInput input) {
        host.GetWorld().PlaceAtKickoff();
        host.GetWorld().LocalCar()->location.Z = 300.0f; // in the air for the air controls
        host.Tick(3, input);
        return sim::Session::StateLine("car", host.GetWorld().LocalCar());
    };
    const std::string idle = after({});
    float ControllerInput::*floats[] = {
        &ControllerInput::Steer, &ControllerInput::Pitch,        &ControllerInput::Yaw,
        &ControllerInput::Roll,  &ControllerInput::DodgeForward, &ControllerInput::DodgeStrafe};
    for (auto field : floats) {
        ControllerInput input;
        input.*field = 1.0f;
        EXPECT_NE(after(input), idle);
    }
    ControllerInput boost, holdingBoost, jumped;
    boost.ActivateBoost = 1;
    holdingBoost.HoldingBoost = 1;
    jumped.Jumped = 1;
    for (const auto& input : {boost, holdingBoost, jumped}) {
        EXPECT_NE(after(input), idle) << sim::FlagWord(input);
    }
}

TEST_F(HostGameTest, BoostIsSpentAtAThirdOfATankASecondAndAnEmptyTankPushesNot) {
    sim::Car& car = *host.GetWorld().LocalCar();
    EXPECT_EQ(car.boost, sim::KickoffBoost);
    ControllerInput boost;
    boost.ActivateBoost = 1;
    host.Tick(60, boost);
    EXPECT_NEAR(car.boost, 0.165f, 1e-4f);
    host.Tick(70, boost);
    EXPECT_EQ(car.boost, 0.0f);
    const float speed = car.velocity.Y;
    host.Tick(10, boost);
    EXPECT_EQ(car.velocity.Y, speed);
    host.GetWorld().PlaceAtKickoff();
    EXPECT_EQ(car.boost, sim::KickoffBoost);
}

// Steps of held buttons: a jump needs a press from the ground, the second one
// a press within 1.25 s of it; landing clears both flags.
TEST_F(HostGameTest, JumpsNeedPressesAndTheSecondOneComesInTime) {
    struct Step {
        int ticks;
        bool jump;
        float flipForward = 0.0f;
    };
    struct Case {
        const char* name;
        float startZ;
        std::vector<Step> steps;
        bool jumped, doubleJumped, flipped;
    };
    const Case cases[] = {
        {"press on the ground", 17, {{1, true}}, true, false, false},
        {"held, no second press", 17, {{1, true}, {30, true}}, true, false, false},
        {"press in the air without a jump", 300, {{1, true}}, false, false, false},
        {"second jump in time", 17, {{1, true}, {30, false}, {1, true}}, true, true, false},
        {"flip in time", 17, {{1, true}, {30, false}, {1, true, 1.0f}}, true, true, true},
        {"second press too late", 2000, {{151, false}, {1, true}}, true, false, false},
        {"landed", 17, {{1, true}, {120, false}}, false, false, false},
    };
    for (const auto& c : cases) {
        host.GetWorld().PlaceAtKickoff();
        sim::Car& car = *host.GetWorld().LocalCar();
        car.lastInput = {};
        car.location.Z = c.startZ;
        if (c.startZ > 1000) { // a jump so high that the car is in the air for long
            car.jumped = true;
            car.ticksSinceJump = 0;
        }
        for (const auto& step : c.steps) {
            ControllerInput input;
            input.Jump = step.jump;
            input.DodgeForward = step.flipForward;
            host.Tick(step.ticks, input);
        }
        EXPECT_EQ(car.jumped, c.jumped) << c.name;
        EXPECT_EQ(car.doubleJumped, c.doubleJumped) << c.name;
        EXPECT_EQ(car.velocity.Y > 400.0f, c.flipped) << c.name;
    }
}

// Spin about Z bends a ball flying along X towards +Y; spin about Y on a ball
// dropped straight down bends it towards -X in the air, but the floor's grip
// sends it off towards +X. Spin turns the ball.
TEST_F(HostGameTest, BallSpinBendsItsFlightAndItsBounceAndTurnsIt) {
    struct Case {
        Vector velocity, spin;
        float Vector::*bent;
    };
    const Case cases[] = {{{1000, 0, 0}, {0, 0, 6}, &Vector::Y},
                          {{0, 0, -500}, {0, 6, 0}, &Vector::X}};
    for (const auto& c : cases) {
        sim::Ball& ball = *host.GetWorld().GetBall();
        for (const Vector spin : {Vector{}, c.spin}) {
            host.GetWorld().PlaceAtKickoff();
            ball.location.Z = 300;
            ball.velocity = c.velocity;
            ball.angularVelocity = spin;
            host.Tick(60, {});
            EXPECT_EQ(ball.velocity.*c.bent > 50.0f, spin.Y + spin.Z != 0.0f);
            EXPECT_EQ(ball.rotation.Pitch + ball.rotation.Yaw != 0, spin.Y + spin.Z != 0.0f);
        }
    }
}

// The flag word is the game's: Handbrake is bit 0 up to Jumped at bit 4, and
// bits the game sets beyond them travel along.
TEST_F(HostGameTest, FlagWordHoldsTheBitFieldsInTheirOrder) {
    ControllerInput input;
    input.Handbrake = 1;
    input.HoldingBoost = 1;
    EXPECT_EQ(sim::FlagWord(input), 0x9u);
    sim::SetFlagWord(input, 0x80000016u);
    EXPECT_EQ(input.Handbrake, 0u);
    EXPECT_EQ(input.Jump, 1u);
    EXPECT_EQ(input.ActivateBoost, 1u);
    EXPECT_EQ(input.Jumped, 1u);
    EXPECT_EQ(sim::FlagWord(input), 0x80000016u);
}

TEST_F(HostGameTest, TakenAwayObjectsTestFalseThroughTheirWrappers) {
    auto* car = host.GetWorld().LocalCar();
    CarWrapper wrapper(reinterpret_cast<uintptr_t>(car));
    EXPECT_TRUE(static_cast<bool>(wrapper));
    wrapper.SetbJumped(1);
    wrapper.SetbDoubleJumped(1);
    BoostWrapper boost = wrapper.GetBoostComponent();
    boost.SetCurrentBoostAmount(0.5f);
    EXPECT_EQ(wrapper.GetbJumped() + wrapper.GetbDoubleJumped(), 2u);
    EXPECT_EQ(car->jumped && car->doubleJumped && car->boost == 0.5f, true);
    EXPECT_EQ(boost.GetCurrentBoostAmount(), 0.5f);
    BallWrapper ball(reinterpret_cast<uintptr_t>(host.GetWorld().GetBall()));
    ball.SetRotation({1, 2, 3});
    ball.SetAngularVelocity({4, 5, 6}, false);
    EXPECT_EQ(ball.GetRotation().Roll + ball.GetAngularVelocity().Z, 9.0f);
    host.GetWorld().SetLocalCar(std::nullopt);
    EXPECT_FALSE(static_cast<bool>(wrapper));
    EXPECT_FALSE(static_cast<bool>(boost));
    EXPECT_THROW(boost.GetCurrentBoostAmount(), std::runtime_error);
}

TEST_F(HostGameTest, RefusesAPluginOfAnotherApiVersion) {
    BakkesMod::Plugin::PluginInfo info{94, "", "X", "X", "1", 1, nullptr, nullptr};
    EXPECT_FALSE(host.LoadPlugin(info));
    ASSERT_EQ(host.Errors().size(), 1u);
    EXPECT_EQ(host.Errors()[0], "plugin API version 94 is not supported (host API version 95)");
}

// A page that can fail half-way through its drawing, with a tab bar, an ID,
// a tree node, a group and a dimmed text colour still open.
class FailingPage : public BakkesMod::Plugin::BakkesModPlugin,
                    public BakkesMod::Plugin::PluginSettingsWindow {
public:
    static inline bool fail = false;

    void RenderSettings() override {
        if (!ImGui::BeginTabBar("tabs")) {
            return;
        }
        if (ImGui::BeginTabItem("First")) {
            ImGui::Text("Above");
            ImGui::PushStyleColor(ImGuiCol_Text, IM_COL32(255, 255, 255, 100));
            ImGui::PushID("inner");
            ImGui::SetNextItemOpen(true);
            if (ImGui::TreeNode("Node")) {
                ImGui::BeginGroup();
                ImGui::Text("Inside");
                if (fail) {
                    throw std::runtime_error("page failed");
                }
                ImGui::EndGroup();
                ImGui::TreePop();
            }
            ImGui::PopID();
            ImGui::PopStyleColor();
            ImGui::EndTabItem();
        }
        ImGui::EndTabBar();
    }
    std::string GetPluginName() override { return "Failing"; }
    void SetImGuiContext(uintptr_t context) override {
        ImGui::SetCurrentContext(reinterpret_cast<ImGuiContext*>(context));
    }
};

std::shared_ptr<BakkesMod::Plugin::BakkesModPlugin> failingPageOwner;

TEST_F(HostGameTest, APageThatFailsHalfWayIsReportedAndDrawnWholeNextFrame) {
    const BakkesMod::Plugin::PluginInfo info{BAKKESMOD_PLUGIN_API_VERSION,
                                             "",
                                             "FailingPage",
                                             "Failing",
                                             "1",
                                             1,
                                             [] {
                                                 failingPageOwner = std::make_shared<FailingPage>();
                                                 return reinterpret_cast<uintptr_t>(
                                                     &failingPageOwner);
                                             },
                                             [] {
                                                 failingPageOwner.reset();
                                             }};
    FailingPage::fail = false;
    ASSERT_TRUE(host.LoadPlugin(info));
    sim::Ui& ui = host.GetUi();
    const auto whole = sim::Ui::Lines(ui.Show());
    ASSERT_NE(std::find(whole.begin(), whole.end(), "ui: Inside [disabled]"), whole.end());

    FailingPage::fail = true;
    ui.Frame();
    ASSERT_EQ(host.Errors().size(), 1u);
    EXPECT_EQ(host.Errors()[0], "exception escaped a plugin callback: page failed");

    // What the failed frame left open was closed with its window: the page's
    // own texts keep their look.
    FailingPage::fail = false;
    EXPECT_EQ(sim::Ui::Lines(ui.Show()), whole);
    EXPECT_EQ(host.Errors().size(), 1u);
    host.UnloadPlugin();
}

} // namespace
