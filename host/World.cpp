#include "World.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace sim {
namespace {

// The flag bits follow the seven floats.
constexpr size_t FlagWordOffset = 7 * sizeof(float);

constexpr float TickSeconds = 1.0f / 120.0f;
constexpr float FloorZ = 17.0f;
constexpr float BallRadius = 92.75f;
constexpr float Gravity = -650.0f;
constexpr float RotationUnitsPerRadian = 32768.0f / 3.14159265f;
constexpr float JumpSpeed = 292.0f;
constexpr float FlipSpeed = 500.0f;
constexpr int SecondJumpTicks = 150; // 1.25 s after leaving the ground by a jump
// About 33 on the gauge a second, spent in equal parts each tick.
constexpr float BoostPerTick = 0.33f / 120.0f;
// How strongly the ball's spin bends its flight, and the part of the slip
// between ball and floor that one contact takes away.
constexpr float Magnus = 0.03f;
constexpr float FloorGrip = 0.2f;

// Extents as the game reports them; the first is the float with bits 0x427103C7.
constexpr CarKind CarKinds[] = {
    {"octane", 60.2536888f}, {"dominus", 65.2133942f}, {"breakout", 66.9961777f},
    {"plank", 65.6598892f},  {"hybrid", 64.7595978f},  {"merc", 61.6101151f},
};

float Radians(int32_t units) {
    return static_cast<float>(units) / RotationUnitsPerRadian;
}

// A ball left spinning turns on for hours: the units wrap as the game's do.
int32_t Turn(int32_t units, float radiansPerSecond) {
    const auto step =
        static_cast<int32_t>(std::lround(radiansPerSecond * TickSeconds * RotationUnitsPerRadian));
    return static_cast<int32_t>(static_cast<uint32_t>(units) + static_cast<uint32_t>(step));
}

} // namespace

uint32_t FlagWord(const ControllerInput& input) {
    uint32_t word = 0;
    std::memcpy(&word, reinterpret_cast<const unsigned char*>(&input) + FlagWordOffset,
                sizeof word);
    return word;
}

void SetFlagWord(ControllerInput& input, uint32_t word) {
    std::memcpy(reinterpret_cast<unsigned char*>(&input) + FlagWordOffset, &word, sizeof word);
}

std::optional<CarKind> FindCarKind(const std::string& name) {
    for (const auto& kind : CarKinds) {
        if (name == kind.name) {
            return kind;
        }
    }
    return std::nullopt;
}

World::World() {
    SetGame(true);
    SetLocalCar(CarKinds[0].extentX);
    SetBall(true);
}

template <typename T> T* World::Make() {
    objects_.push_back(std::make_unique<T>());
    return static_cast<T*>(objects_.back().get());
}

void World::Kill(Object* object) {
    if (object) {
        object->alive = false;
    }
}

Car* World::MakeCar(float extentX) {
    Car* car = Make<Car>();
    car->extentX = extentX;
    car->boostComponent = Make<BoostComponent>();
    car->boostComponent->car = car;
    return car;
}

void World::KillCar(Car* car) {
    if (car) {
        Kill(car->boostComponent);
        Kill(car);
    }
}

void World::SetGame(bool present) {
    if (present && !game_) {
        game_ = Make<GameState>();
    } else if (!present && game_) {
        Kill(game_);
        game_ = nullptr;
    }
}

void World::SetLocalCar(std::optional<float> extentX) {
    KillCar(car_);
    car_ = nullptr;
    if (extentX) {
        car_ = MakeCar(*extentX);
        car_->location = {0.0f, -4608.0f, FloorZ};
        car_->rotation = {0, 16384, 0};
    }
}

void World::SetOtherCar(bool present) {
    if (present && !otherCar_) {
        otherCar_ = MakeCar(CarKinds[1].extentX);
        otherCar_->location = {0.0f, 4608.0f, FloorZ};
        otherCar_->rotation = {0, -16384, 0};
    } else if (!present && otherCar_) {
        KillCar(otherCar_);
        otherCar_ = nullptr;
    }
}

void World::SetBall(bool present) {
    if (present && !ball_) {
        ball_ = Make<Ball>();
        ball_->location = {0.0f, 0.0f, BallRadius};
    } else if (!present && ball_) {
        Kill(ball_);
        ball_ = nullptr;
    }
}

void World::PlaceAtKickoff() {
    if (car_) {
        car_->location = {0.0f, -4608.0f, FloorZ};
        car_->rotation = {0, 16384, 0};
        car_->velocity = {};
        car_->angularVelocity = {};
        car_->boost = KickoffBoost;
        car_->jumped = false;
        car_->doubleJumped = false;
        car_->ticksSinceJump = 0;
    }
    if (ball_) {
        ball_->location = {0.0f, 0.0f, BallRadius};
        ball_->rotation = {};
        ball_->velocity = {};
        ball_->angularVelocity = {};
    }
}

// Everything the next tick depends on is in the car's fields, so placing a car
// at a state and feeding it inputs always gives the same path. A jump and a
// flip need a press: the button down now and up on the car's last tick.
void World::StepCar(Car& car, const ControllerInput& input) {
    const bool onGround = car.location.Z <= FloorZ;
    const bool jumpPressed = input.Jump && !car.lastInput.Jump;
    car.lastInput = input;
    const float yaw = Radians(car.rotation.Yaw);
    const float pitch = Radians(car.rotation.Pitch);
    const Vector forward{std::cos(yaw) * std::cos(pitch), std::sin(yaw) * std::cos(pitch),
                         std::sin(pitch)};
    const Vector right{-std::sin(yaw), std::cos(yaw), 0.0f};

    float push = 0.0f;
    if (onGround) {
        push += input.Throttle * 1600.0f;
    }
    if (input.ActivateBoost && car.boost > 0.0f) {
        push += 991.666f;
        car.boost = std::max(0.0f, car.boost - BoostPerTick);
    }
    if (input.HoldingBoost) {
        push += 16.0f;
    }
    car.velocity.X += forward.X * push * TickSeconds;
    car.velocity.Y += forward.Y * push * TickSeconds;
    car.velocity.Z += forward.Z * push * TickSeconds;

    // Flips push along and across the car; the sideways part also tilts it.
    car.velocity.X +=
        (forward.X * input.DodgeForward + right.X * input.DodgeStrafe) * 500.0f * TickSeconds;
    car.velocity.Y +=
        (forward.Y * input.DodgeForward + right.Y * input.DodgeStrafe) * 500.0f * TickSeconds;

    if (car.jumped) {
        ++car.ticksSinceJump;
    }
    if (jumpPressed && onGround && !car.jumped) {
        car.velocity.Z += JumpSpeed;
        car.jumped = true;
        car.ticksSinceJump = 0;
    } else if (jumpPressed && !onGround && car.jumped && !car.doubleJumped &&
               car.ticksSinceJump <= SecondJumpTicks) {
        car.doubleJumped = true;
        const float along = input.DodgeForward;
        const float across = input.DodgeStrafe;
        const float length = std::sqrt(along * along + across * across);
        if (length > 0.0f) {
            // A flip: one kick the way the stick points, and the car tips over.
            car.velocity.X += (forward.X * along + right.X * across) / length * FlipSpeed;
            car.velocity.Y += (forward.Y * along + right.Y * across) / length * FlipSpeed;
            car.angularVelocity.Y += along / length * 5.5f;
            car.angularVelocity.X += across / length * 5.5f;
        } else {
            car.velocity.Z += JumpSpeed;
        }
    }
    if (input.Jumped) {
        car.velocity.Z += 4.0f;
    }
    car.velocity.Z += Gravity * TickSeconds;

    const float grip = input.Handbrake ? 0.999f : 0.98f;
    if (onGround) {
        const float sideways = car.velocity.X * right.X + car.velocity.Y * right.Y;
        car.velocity.X -= right.X * sideways * (1.0f - grip);
        car.velocity.Y -= right.Y * sideways * (1.0f - grip);
        car.angularVelocity.Z = input.Steer * 2.5f;
    } else {
        car.angularVelocity.Z += (input.Yaw + input.Steer * 0.5f) * 9.0f * TickSeconds;
    }
    car.angularVelocity.Y += input.Pitch * 12.0f * TickSeconds;
    car.angularVelocity.X += (input.Roll + input.DodgeStrafe) * 12.0f * TickSeconds;

    car.location.X += car.velocity.X * TickSeconds;
    car.location.Y += car.velocity.Y * TickSeconds;
    car.location.Z += car.velocity.Z * TickSeconds;
    if (car.location.Z < FloorZ) {
        car.location.Z = FloorZ;
        car.velocity.Z = 0.0f;
        car.angularVelocity.X = 0.0f;
        car.angularVelocity.Y = 0.0f;
        car.rotation.Pitch = 0;
        car.rotation.Roll = 0;
        car.jumped = false;
        car.doubleJumped = false;
        car.ticksSinceJump = 0;
    }
    car.rotation.Yaw = Turn(car.rotation.Yaw, car.angularVelocity.Z);
    car.rotation.Pitch = Turn(car.rotation.Pitch, car.angularVelocity.Y);
    car.rotation.Roll = Turn(car.rotation.Roll, car.angularVelocity.X);
}

void World::StepBall(Ball& ball) {
    const Vector w = ball.angularVelocity;
    const Vector v = ball.velocity;
    ball.velocity.X += Magnus * (w.Y * v.Z - w.Z * v.Y) * TickSeconds;
    ball.velocity.Y += Magnus * (w.Z * v.X - w.X * v.Z) * TickSeconds;
    ball.velocity.Z += Magnus * (w.X * v.Y - w.Y * v.X) * TickSeconds;
    ball.velocity.Z += Gravity * TickSeconds;
    ball.location.X += ball.velocity.X * TickSeconds;
    ball.location.Y += ball.velocity.Y * TickSeconds;
    ball.location.Z += ball.velocity.Z * TickSeconds;
    if (ball.location.Z < BallRadius) {
        ball.location.Z = BallRadius;
        ball.velocity.Z = -ball.velocity.Z * 0.6f;
        // The floor grips the ball where it touches: part of the slip there
        // goes, shared between the ball's speed and its spin as a solid
        // sphere shares it.
        const float slipX = ball.velocity.X - BallRadius * ball.angularVelocity.Y;
        const float slipY = ball.velocity.Y + BallRadius * ball.angularVelocity.X;
        ball.velocity.X -= FloorGrip * slipX;
        ball.velocity.Y -= FloorGrip * slipY;
        ball.angularVelocity.Y += 2.5f * FloorGrip * slipX / BallRadius;
        ball.angularVelocity.X -= 2.5f * FloorGrip * slipY / BallRadius;
        ball.velocity.X *= 0.95f;
        ball.velocity.Y *= 0.95f;
    }
    const float walls[2] = {4096.0f - BallRadius, 5120.0f - BallRadius};
    float* position[2] = {&ball.location.X, &ball.location.Y};
    float* speed[2] = {&ball.velocity.X, &ball.velocity.Y};
    for (int axis = 0; axis < 2; ++axis) {
        if (std::fabs(*position[axis]) > walls[axis]) {
            *position[axis] = std::copysign(walls[axis], *position[axis]);
            *speed[axis] = -*speed[axis] * 0.6f;
        }
    }
    ball.rotation.Yaw = Turn(ball.rotation.Yaw, ball.angularVelocity.Z);
    ball.rotation.Pitch = Turn(ball.rotation.Pitch, ball.angularVelocity.Y);
    ball.rotation.Roll = Turn(ball.rotation.Roll, ball.angularVelocity.X);
}

} // namespace sim
