#pragma once

#include "bakkesmod/wrappers/wrapperstructs.h"

#include <cstdint>

#include <deque>
#include <memory>
#include <optional>
#include <string>

namespace sim {

// Every game object a wrapper can point at. Objects are never freed while the
// host lives, so a stale wrapper stays safe and merely tests false.
struct Object {
    virtual ~Object() = default;
    bool alive = true;
};

struct Actor : Object {
    Vector location;
    Rotator rotation;
    Vector velocity;
    Vector angularVelocity;
};

struct BoostComponent;

// A full tank is 1; a car starts a round with a third of one.
constexpr float KickoffBoost = 0.33f;

struct Car : Actor {
    float extentX = 0;
    ControllerInput lastInput; // the input the car used on its last tick
    float boost = KickoffBoost;
    bool jumped = false;       // left the ground by a jump
    bool doubleJumped = false; // used the second jump or a flip since
    int ticksSinceJump = 0;    // the window for the second jump; the game lets no one set it
    BoostComponent* boostComponent = nullptr;
};

// The car's boost as the game's own object, so a handle to it goes stale with
// its car; the amount itself stays in the car the physics steps.
struct BoostComponent : Object {
    Car* car = nullptr;
};

struct Ball : Actor {};

struct GameState : Object {};

struct Settings : Object {
    GamepadSettings gamepad;
};

// The 32-bit word that holds the input's flag bits, the way the game stores
// it: bit 0 Handbrake up to bit 4 Jumped, and whatever else the game sets.
uint32_t FlagWord(const ControllerInput& input);
void SetFlagWord(ControllerInput& input, uint32_t word);

// The six hitbox families and the X extent the game reports for each.
struct CarKind {
    const char* name;
    float extentX;
};
std::optional<CarKind> FindCarKind(const std::string& name);

// The simulated game: which objects exist and how they move. The model is
// simple and deterministic: the same state and inputs give the same bits.
class World {
public:
    World();

    bool freeplay = true;
    Settings settings;

    bool HasGame() const { return game_ != nullptr; }
    void SetGame(bool present);
    GameState* Game() const { return game_; }

    Car* LocalCar() const { return car_; }
    Car* OtherCar() const { return otherCar_; }
    Ball* GetBall() const { return ball_; }

    void SetLocalCar(std::optional<float> extentX); // nullopt removes it
    void SetOtherCar(bool present);
    void SetBall(bool present);
    void PlaceAtKickoff();

    static void StepCar(Car& car, const ControllerInput& input);
    static void StepBall(Ball& ball);

private:
    template <typename T> T* Make();
    Car* MakeCar(float extentX);
    static void Kill(Object* object);
    static void KillCar(Car* car);

    std::deque<std::unique_ptr<Object>> objects_;
    GameState* game_ = nullptr;
    Car* car_ = nullptr;
    Car* otherCar_ = nullptr;
    Ball* ball_ = nullptr;
};

} // namespace sim
