#include "runs/KeyframePlacement.h"
#include "bakkesmod/wrappers/GameObject/CarComponent/BoostWrapper.h"

Keyframe KeyframeNow(CarWrapper& car, BallWrapper ball, uint64_t frame, const TraceEntry& entry) {
    Keyframe keyframe;
    keyframe.Frame = frame;
    keyframe.CarLocation = entry.CarLocation;
    keyframe.CarRotation = entry.CarRotation;
    keyframe.CarVelocity = entry.CarVelocity;
    keyframe.CarAngularVelocity = entry.CarAngularVelocity;
    if (BoostWrapper boost = car.GetBoostComponent()) {
        keyframe.Boost = boost.GetCurrentBoostAmount();
    }
    keyframe.Jumped = car.GetbJumped() != 0 ? 1 : 0;
    keyframe.DoubleJumped = car.GetbDoubleJumped() != 0 ? 1 : 0;
    if (entry.HasBall && ball) {
        keyframe.BallLocation = entry.BallLocation;
        keyframe.BallRotation = ball.GetRotation();
        keyframe.BallVelocity = entry.BallVelocity;
        keyframe.BallAngularVelocity = ball.GetAngularVelocity();
        keyframe.HasBall = 1;
    }
    return keyframe;
}

void PlaceKeyframe(CarWrapper& car, BallWrapper ball, const Keyframe& keyframe) {
    car.SetLocation(keyframe.CarLocation);
    car.SetRotation(keyframe.CarRotation);
    car.SetVelocity(keyframe.CarVelocity);
    car.SetAngularVelocity(keyframe.CarAngularVelocity, false);
    if (BoostWrapper boost = car.GetBoostComponent()) {
        boost.SetCurrentBoostAmount(keyframe.Boost);
    }
    car.SetbJumped(keyframe.Jumped);
    car.SetbDoubleJumped(keyframe.DoubleJumped);
    if (keyframe.HasBall && ball) {
        ball.SetLocation(keyframe.BallLocation);
        ball.SetRotation(keyframe.BallRotation);
        ball.SetVelocity(keyframe.BallVelocity);
        ball.SetAngularVelocity(keyframe.BallAngularVelocity, false);
    }
}
