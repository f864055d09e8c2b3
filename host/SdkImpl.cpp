// The SDK's wrapper classes, implemented on the simulated host and world.
#include "Host.h"
#include "bakkesmod/wrappers/GameEvent/ServerWrapper.h"
#include "bakkesmod/wrappers/GameObject/BallWrapper.h"
#include "bakkesmod/wrappers/GameObject/CarComponent/BoostWrapper.h"
#include "bakkesmod/wrappers/GameObject/CarWrapper.h"
#include "bakkesmod/wrappers/SettingsWrapper.h"
#include "bakkesmod/wrappers/canvaswrapper.h"
#include "bakkesmod/wrappers/cvarmanagerwrapper.h"

#include <algorithm>

namespace {

sim::PluginContext& ContextOf(uintptr_t context) {
    return *reinterpret_cast<sim::PluginContext*>(context);
}

template <typename T> T* ObjectAt(uintptr_t address) {
    auto* object = reinterpret_cast<sim::Object*>(address);
    return object && object->alive ? dynamic_cast<T*>(object) : nullptr;
}

sim::Actor& ActorAt(uintptr_t address) {
    auto* actor = ObjectAt<sim::Actor>(address);
    if (!actor) {
        throw std::runtime_error("use of a null actor wrapper");
    }
    return *actor;
}

sim::Car& CarAt(uintptr_t address) {
    auto* car = ObjectAt<sim::Car>(address);
    if (!car) {
        throw std::runtime_error("use of a null vehicle wrapper");
    }
    return *car;
}

sim::Car& BoostOwnerAt(uintptr_t address) {
    auto* boost = ObjectAt<sim::BoostComponent>(address);
    if (!boost) {
        throw std::runtime_error("use of a null boost wrapper");
    }
    return *boost->car;
}

sim::Variable& VariableAt(uintptr_t address) {
    if (!address) {
        throw std::runtime_error("use of a null variable wrapper");
    }
    return *reinterpret_cast<sim::Variable*>(address);
}

sim::Canvas& CanvasAt(uintptr_t address) {
    return *reinterpret_cast<sim::Canvas*>(address);
}

// The game's functions belong to the game thread; from the render thread they
// are refused and reported, and the caller gets a false handle or nothing.
bool Refused(const char* function) {
    auto* host = sim::Host::Current();
    return host && host->RefusedOnRenderThread(function);
}

std::string ValueOf(uintptr_t address) {
    return sim::Host::Current()->GetConsole().ValueOf(VariableAt(address));
}

} // namespace

// Objects.

ObjectWrapper::operator bool() const {
    // A null handle is false without asking the game.
    if (memory_address == 0 || Refused("ObjectWrapper::operator bool")) {
        return false;
    }
    return ObjectAt<sim::Object>(memory_address) != nullptr;
}

Vector ActorWrapper::GetLocation() {
    if (Refused("ActorWrapper::GetLocation")) {
        return {};
    }
    return ActorAt(memory_address).location;
}
void ActorWrapper::SetLocation(Vector location) {
    if (Refused("ActorWrapper::SetLocation")) {
        return;
    }
    ActorAt(memory_address).location = location;
}
Rotator ActorWrapper::GetRotation() {
    if (Refused("ActorWrapper::GetRotation")) {
        return {};
    }
    return ActorAt(memory_address).rotation;
}
void ActorWrapper::SetRotation(Rotator rotation) {
    if (Refused("ActorWrapper::SetRotation")) {
        return;
    }
    ActorAt(memory_address).rotation = rotation;
}
Vector ActorWrapper::GetVelocity() {
    if (Refused("ActorWrapper::GetVelocity")) {
        return {};
    }
    return ActorAt(memory_address).velocity;
}
void ActorWrapper::SetVelocity(Vector velocity) {
    if (Refused("ActorWrapper::SetVelocity")) {
        return;
    }
    ActorAt(memory_address).velocity = velocity;
}
Vector ActorWrapper::GetAngularVelocity() {
    if (Refused("ActorWrapper::GetAngularVelocity")) {
        return {};
    }
    return ActorAt(memory_address).angularVelocity;
}

void ActorWrapper::SetAngularVelocity(Vector angularVelocity, bool addToCurrent) {
    if (Refused("ActorWrapper::SetAngularVelocity")) {
        return;
    }
    auto& actor = ActorAt(memory_address);
    if (addToCurrent) {
        actor.angularVelocity.X += angularVelocity.X;
        actor.angularVelocity.Y += angularVelocity.Y;
        actor.angularVelocity.Z += angularVelocity.Z;
    } else {
        actor.angularVelocity = angularVelocity;
    }
}

Vector VehicleWrapper::GetLocalCollisionExtent() {
    if (Refused("VehicleWrapper::GetLocalCollisionExtent")) {
        return {};
    }
    return Vector{CarAt(memory_address).extentX, 42.0f, 18.0f};
}

unsigned long VehicleWrapper::GetbJumped() {
    if (Refused("VehicleWrapper::GetbJumped")) {
        return 0;
    }
    return CarAt(memory_address).jumped ? 1 : 0;
}
void VehicleWrapper::SetbJumped(unsigned long newbJumped) {
    if (Refused("VehicleWrapper::SetbJumped")) {
        return;
    }
    CarAt(memory_address).jumped = newbJumped != 0;
}
unsigned long VehicleWrapper::GetbDoubleJumped() {
    if (Refused("VehicleWrapper::GetbDoubleJumped")) {
        return 0;
    }
    return CarAt(memory_address).doubleJumped ? 1 : 0;
}
void VehicleWrapper::SetbDoubleJumped(unsigned long newbDoubleJumped) {
    if (Refused("VehicleWrapper::SetbDoubleJumped")) {
        return;
    }
    CarAt(memory_address).doubleJumped = newbDoubleJumped != 0;
}

BoostWrapper VehicleWrapper::GetBoostComponent() {
    if (Refused("VehicleWrapper::GetBoostComponent")) {
        return BoostWrapper(0);
    }
    auto* car = ObjectAt<sim::Car>(memory_address);
    return BoostWrapper(car ? reinterpret_cast<uintptr_t>(car->boostComponent) : 0);
}

float BoostWrapper::GetCurrentBoostAmount() {
    if (Refused("BoostWrapper::GetCurrentBoostAmount")) {
        return 0.0f;
    }
    return BoostOwnerAt(memory_address).boost;
}
// The tank holds from empty to full, whatever is asked.
void BoostWrapper::SetCurrentBoostAmount(float newCurrentBoostAmount) {
    if (Refused("BoostWrapper::SetCurrentBoostAmount")) {
        return;
    }
    BoostOwnerAt(memory_address).boost = std::clamp(newCurrentBoostAmount, 0.0f, 1.0f);
}

BallWrapper ServerWrapper::GetBall() {
    if (Refused("ServerWrapper::GetBall")) {
        return BallWrapper(0);
    }
    auto* host = sim::Host::Current();
    if (!ObjectAt<sim::GameState>(memory_address) || !host) {
        return BallWrapper(0);
    }
    return BallWrapper(reinterpret_cast<uintptr_t>(host->GetWorld().GetBall()));
}

GamepadSettings SettingsWrapper::GetGamepadSettings() {
    if (Refused("SettingsWrapper::GetGamepadSettings")) {
        return {};
    }
    auto* settings = ObjectAt<sim::Settings>(memory_address);
    return settings ? settings->gamepad : GamepadSettings{};
}

// Canvas.

Vector2 CanvasWrapper::GetSize() {
    return CanvasAt(memory_address).screen;
}

// The bytes arrive as char; each is a colour value from 0 to 255.
void CanvasWrapper::SetColor(char Red, char Green, char Blue, char Alpha) {
    auto& canvas = CanvasAt(memory_address);
    canvas.color[0] = static_cast<unsigned char>(Red);
    canvas.color[1] = static_cast<unsigned char>(Green);
    canvas.color[2] = static_cast<unsigned char>(Blue);
    canvas.color[3] = static_cast<unsigned char>(Alpha);
}

void CanvasWrapper::SetPosition(Vector2F position) {
    CanvasAt(memory_address).position = position;
}

void CanvasWrapper::DrawString(std::string text, float xScale, float yScale, bool dropShadow,
                               bool wrapText) {
    auto& canvas = CanvasAt(memory_address);
    sim::CanvasString drawn{std::move(text),
                            canvas.position,
                            xScale,
                            yScale,
                            dropShadow,
                            wrapText,
                            {canvas.color[0], canvas.color[1], canvas.color[2], canvas.color[3]}};
    canvas.strings.push_back(std::move(drawn));
}

// Console variables.

std::string CVarWrapper::getCVarName() {
    return VariableAt(memory_address).name;
}
std::string CVarWrapper::getDescription() {
    return VariableAt(memory_address).description;
}
std::string CVarWrapper::getStringValue() {
    return ValueOf(memory_address);
}
int CVarWrapper::getIntValue() {
    return sim::ParseInt(ValueOf(memory_address));
}
float CVarWrapper::getFloatValue() {
    return sim::ParseFloat(ValueOf(memory_address));
}
bool CVarWrapper::getBoolValue() {
    return sim::ParseBool(ValueOf(memory_address));
}

void CVarWrapper::setValue(std::string value) {
    if (Refused("CVarWrapper::setValue")) {
        return;
    }
    sim::Host::Current()->GetConsole().SetValue(VariableAt(memory_address), value);
}
void CVarWrapper::setValue(int value) {
    setValue(std::to_string(value));
}
void CVarWrapper::setValue(float value) {
    setValue(sim::FloatText(value));
}

void CVarWrapper::bindTo(std::shared_ptr<bool> target) {
    if (Refused("CVarWrapper::bindTo")) {
        return;
    }
    auto& variable = VariableAt(memory_address);
    auto& console = sim::Host::Current()->GetConsole();
    *target = sim::ParseBool(console.ValueOf(variable));
    variable.listeners.push_back(
        {static_cast<sim::OwnerId>(owner_), [target, &variable, &console](const std::string&) {
             *target = sim::ParseBool(console.ValueOf(variable));
         }});
}

void CVarWrapper::addOnValueChanged(std::function<void(std::string, CVarWrapper)> callback) {
    if (Refused("CVarWrapper::addOnValueChanged")) {
        return;
    }
    auto& variable = VariableAt(memory_address);
    CVarWrapper self = *this;
    variable.listeners.push_back(
        {static_cast<sim::OwnerId>(owner_), [callback, self](const std::string& oldValue) {
             callback(oldValue, self);
         }});
}

// Console manager.

CVarWrapper CVarManagerWrapper::registerCvar(std::string name, std::string defaultValue,
                                             std::string desc, bool searchAble, bool hasMin,
                                             float min, bool hasMax, float max, bool saveToCfg) {
    if (Refused("CVarManagerWrapper::registerCvar")) {
        return CVarWrapper(0, 0);
    }
    auto& context = ContextOf(context_);
    auto& variable = context.host->GetConsole().Register(sim::Variable{
        .name = std::move(name),
        .defaultValue = std::move(defaultValue),
        .description = std::move(desc),
        .searchable = searchAble,
        .hasMin = hasMin,
        .min = min,
        .hasMax = hasMax,
        .max = max,
        .saveToConfig = saveToCfg,
        .value = {},
        .listeners = {},
    });
    return CVarWrapper(reinterpret_cast<uintptr_t>(&variable),
                       static_cast<uintptr_t>(context.owner));
}

CVarWrapper CVarManagerWrapper::getCvar(std::string name) {
    auto& context = ContextOf(context_);
    auto* variable = context.host->GetConsole().FindVariable(name);
    return CVarWrapper(reinterpret_cast<uintptr_t>(variable),
                       static_cast<uintptr_t>(context.owner));
}

void CVarManagerWrapper::registerNotifier(std::string name,
                                          std::function<void(std::vector<std::string>)> callback,
                                          std::string description, unsigned char permissions) {
    if (Refused("CVarManagerWrapper::registerNotifier")) {
        return;
    }
    auto& context = ContextOf(context_);
    context.host->GetConsole().AddCommand(sim::Command{
        .name = std::move(name),
        .description = std::move(description),
        .permissions = permissions,
        .owner = context.owner,
        .run = std::move(callback),
    });
}

void CVarManagerWrapper::executeCommand(std::string command, bool log) {
    if (Refused("CVarManagerWrapper::executeCommand")) {
        return;
    }
    ContextOf(context_).host->Exec(command, log);
}

void CVarManagerWrapper::log(std::string text) {
    ContextOf(context_).host->Log(text);
}

// Game.

bool GameWrapper::IsInFreeplay() {
    if (Refused("GameWrapper::IsInFreeplay")) {
        return false;
    }
    auto& world = ContextOf(context_).host->GetWorld();
    return world.HasGame() && world.freeplay;
}

CarWrapper GameWrapper::GetLocalCar() {
    if (Refused("GameWrapper::GetLocalCar")) {
        return CarWrapper(0);
    }
    return CarWrapper(reinterpret_cast<uintptr_t>(ContextOf(context_).host->GetWorld().LocalCar()));
}

ServerWrapper GameWrapper::GetCurrentGameState() {
    if (Refused("GameWrapper::GetCurrentGameState")) {
        return ServerWrapper(0);
    }
    return ServerWrapper(reinterpret_cast<uintptr_t>(ContextOf(context_).host->GetWorld().Game()));
}

SettingsWrapper GameWrapper::GetSettings() {
    if (Refused("GameWrapper::GetSettings")) {
        return SettingsWrapper(0);
    }
    return SettingsWrapper(
        reinterpret_cast<uintptr_t>(&ContextOf(context_).host->GetWorld().settings));
}

std::filesystem::path GameWrapper::GetDataFolder() {
    return ContextOf(context_).host->DataFolder();
}

Vector2 GameWrapper::GetScreenSize() {
    if (Refused("GameWrapper::GetScreenSize")) {
        return {};
    }
    return ContextOf(context_).host->screen;
}

void GameWrapper::HookEvent(std::string eventName, std::function<void(std::string)> callback) {
    if (Refused("GameWrapper::HookEvent")) {
        return;
    }
    auto& context = ContextOf(context_);
    context.host->Hook(context.owner, eventName, false, std::move(callback));
}

void GameWrapper::HookEventPost(std::string eventName, std::function<void(std::string)> callback) {
    if (Refused("GameWrapper::HookEventPost")) {
        return;
    }
    auto& context = ContextOf(context_);
    context.host->Hook(context.owner, eventName, true, std::move(callback));
}

void GameWrapper::HookEventWithCallerAddress(
    std::string eventName, std::function<void(uintptr_t, void*, std::string)> callback) {
    if (Refused("GameWrapper::HookEventWithCaller")) {
        return;
    }
    auto& context = ContextOf(context_);
    context.host->HookWithCaller(context.owner, eventName, std::move(callback));
}

void GameWrapper::SetTimeout(std::function<void(GameWrapper*)> callback, float seconds) {
    if (Refused("GameWrapper::SetTimeout")) {
        return;
    }
    auto& context = ContextOf(context_);
    context.host->AddTimer(context.owner, seconds, [callback, this] { callback(this); });
}

void GameWrapper::Execute(std::function<void(GameWrapper*)> callback) {
    auto& context = ContextOf(context_);
    context.host->AddExecute(context.owner, [callback, this] { callback(this); });
}

void GameWrapper::RegisterDrawable(std::function<void(CanvasWrapper)> callback) {
    if (Refused("GameWrapper::RegisterDrawable")) {
        return;
    }
    auto& context = ContextOf(context_);
    context.host->AddDrawable(context.owner, std::move(callback));
}

void GameWrapper::UnregisterDrawables() {
    if (Refused("GameWrapper::UnregisterDrawables")) {
        return;
    }
    auto& context = ContextOf(context_);
    context.host->RemoveDrawables(context.owner);
}

void GameWrapper::Toast(std::string title, std::string text, std::string texture, float timeout,
                        uint8_t toastType, float width, float height) {
    ContextOf(context_).host->AddToast(sim::ToastRecord{
        std::move(title), std::move(text), std::move(texture), timeout, toastType, width, height});
}
