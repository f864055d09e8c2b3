// Record a run, replay it untouched, then correct its tail: the whole cycle
// through the host's console, ticks and teleports.
#include "PluginHarness.h"

#include <cstring>

namespace {

// The car's and the ball's whole state after one tick, and the input used.
struct TickRecord {
    unsigned char bytes[2 * 4 * 12 + sizeof(ControllerInput)];

    bool operator==(const TickRecord& other) const {
        return std::memcmp(bytes, other.bytes, sizeof bytes) == 0;
    }
};

class EndToEndTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        host.OnLocalTick = [this](uint64_t, const ControllerInput& used) {
            TickRecord record{};
            unsigned char* at = record.bytes;
            for (const sim::Actor* actor : {static_cast<const sim::Actor*>(World().LocalCar()),
                                            static_cast<const sim::Actor*>(World().GetBall())}) {
                for (const void* field : {static_cast<const void*>(&actor->location),
                                          static_cast<const void*>(&actor->rotation),
                                          static_cast<const void*>(&actor->velocity),
                                          static_cast<const void*>(&actor->angularVelocity)}) {
                    std::memcpy(at, field, 12);
                    at += 12;
                }
            }
            std::memcpy(at, &used, sizeof used);
            session.push_back(record);
        };
    }

    // The live controls of recorded tick i: varied, with jumps and boost.
    static VehicleInput Player(int i) {
        VehicleInput input;
        input.Throttle = i < 200 ? 1.0f : -0.5f;
        input.Steer = static_cast<float>((i % 50) - 25) / 25.0f;
        input.Pitch = i > 60 && i < 90 ? 0.8f : 0.0f;
        input.Roll = i > 70 && i < 80 ? -1.0f : 0.0f;
        input.Flags = (i % 90 == 40 ? VehicleInputFlag::Jump : 0) |
                      (i > 100 && i < 140 ? VehicleInputFlag::ActivateBoost : 0);
        return input;
    }

    // Start the loaded run and let the 0.2 s of placements pass on real ticks.
    void Start() {
        host.RunLine("tas_start");
        Tick(24);
        ASSERT_EQ(Run().State, TasState::Replaying);
        session.clear();
    }

    std::vector<TickRecord> session;
};

TEST_F(EndToEndTest, ReplayReproducesTheRecordingAndTakesANewTail) {
    World().GetBall()->velocity = {300, 200, 800};
    CaptureRun("e2e");
    host.RunLine("tas_checkthrottle 0; tas_checksteer 0; tas_checkjump 0; tas_recordspeed 0.5");

    // Record: the run has no inputs, so the first tick takes over.
    Start();
    for (int i = 0; i < 300; ++i) {
        Tick(1, Player(i));
        if (i == 149) {
            host.Teleport({500, -1000, 17});
        }
    }
    ASSERT_EQ(Run().State, TasState::Recording);
    host.RunLine("tas_stop; tas_update");
    ASSERT_EQ(Run().Data.Inputs.size(), 300u);
    ASSERT_EQ(Run().Data.TeleportFrames, std::vector<uint64_t>{150});
    const std::vector<TickRecord> recorded = session;

    // Replay untouched: every tick equals the recording bit for bit.
    Start();
    for (int i = 0; i < 300; ++i) {
        Tick(1);
        if (i == 149) {
            host.Teleport({500, -1000, 17});
        }
    }
    ASSERT_EQ(session.size(), recorded.size());
    for (size_t i = 0; i < recorded.size(); ++i) {
        ASSERT_TRUE(session[i] == recorded[i]) << "replay left the recording at tick " << i;
    }

    // Take over with boost at frame 220 and record a different tail.
    Start();
    for (int i = 0; i < 220; ++i) {
        Tick(1);
        if (i == 149) {
            host.Teleport({500, -1000, 17});
        }
    }
    for (int i = 0; i < 80; ++i) {
        VehicleInput tail;
        tail.Steer = 0.3f;
        tail.Flags = VehicleInputFlag::ActivateBoost;
        Tick(1, tail);
    }
    ASSERT_EQ(Run().CurrentFrame, 220u);
    host.RunLine("tas_stopandupdate");
    ASSERT_EQ(Run().Data.Inputs.size(), 300u);
    const std::vector<TickRecord> corrected = session;
    EXPECT_FALSE(corrected[250] == recorded[250]);

    // The corrected run follows the old one up to the take-over, then the tail.
    Start();
    for (int i = 0; i < 300; ++i) {
        Tick(1);
        if (i == 149) {
            host.Teleport({500, -1000, 17});
        }
    }
    ASSERT_EQ(session.size(), 300u);
    for (size_t i = 0; i < 300; ++i) {
        ASSERT_TRUE(session[i] == (i < 220 ? recorded[i] : corrected[i])) << "tick " << i;
    }
    EXPECT_EQ(Run().State, TasState::Replaying);
    Tick(1);
    EXPECT_EQ(Run().State, TasState::Recording); // ran out on the tick after the last input
}

} // namespace
