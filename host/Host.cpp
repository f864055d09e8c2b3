#include "Host.h"
#include "RenderThread.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <iostream>
#include <stdexcept>

namespace sim {
namespace {

Host* currentHost = nullptr;

constexpr double TickSeconds = 1.0 / 120.0;
// Timers due within this of the clock count as due: delays arrive as floats
// (0.2f is a little over 0.2) and sums of tick lengths carry rounding, neither
// of which may push a timer one tick late. A tick is 8333 microseconds.
constexpr double ClockSlack = 1e-6;

} // namespace

Host::Host(std::filesystem::path dataFolder)
    : dataFolder_(std::move(dataFolder)),
      console_(Console::Output{
          [this](const std::string& line) { Print(line); },
          [this](const std::string& text) { Error(text); },
          [this](const std::function<void()>& call) { Guard(call); },
      }) {
    currentHost = this;
    lastFrame_.screen = screen;
    ui_ = std::make_unique<Ui>(*this);
    console_.Register(Variable{.name = "sv_soccar_gamespeed",
                               .defaultValue = "1",
                               .description = "Game speed",
                               .saveToConfig = false,
                               .value = {},
                               .listeners = {}});
}

Host::~Host() {
    UnloadPlugin();
    ui_.reset();
    if (currentHost == this) {
        currentHost = nullptr;
    }
}

Host* Host::Current() {
    return currentHost;
}

void Host::ClearRecords() {
    std::lock_guard lock(recordsMutex_);
    transcript_.clear();
    toasts_.clear();
    logs_.clear();
    executed_.clear();
    errors_.clear();
}

void Host::Print(const std::string& line) {
    std::lock_guard lock(recordsMutex_);
    PrintLocked(line);
}

void Host::PrintLocked(const std::string& line) {
    transcript_.push_back(line);
    if (Output) {
        Output(line);
    }
}

void Host::Log(const std::string& text) {
    std::lock_guard lock(recordsMutex_);
    logs_.push_back(text);
    PrintLocked("log: " + text);
}

void Host::Exec(const std::string& command, bool log) {
    {
        std::lock_guard lock(recordsMutex_);
        executed_.push_back(command);
        if (log) {
            PrintLocked("exec: " + command);
        }
    }
    console_.Run(command);
}

void Host::Error(const std::string& text) {
    std::lock_guard lock(recordsMutex_);
    errors_.push_back(text);
    PrintLocked("error: " + text);
}

void Host::AddToast(ToastRecord toast) {
    std::lock_guard lock(recordsMutex_);
    PrintLocked("toast " + std::to_string(toast.type) + ": " + toast.title + ": " + toast.text);
    toasts_.push_back(std::move(toast));
}

bool Host::RefusedOnRenderThread(const char* function) {
    if (!RenderThread::IsCurrent()) {
        return false;
    }
    Error(std::string("game function ") + function + " called from the render thread");
    return true;
}

void Host::Guard(const std::function<void()>& call) {
    try {
        call();
    } catch (const std::exception& e) {
        Error(std::string("exception escaped a plugin callback: ") + e.what());
    } catch (...) {
        Error("exception escaped a plugin callback");
    }
}

bool Host::LoadPluginLibrary(const std::filesystem::path& path) {
    if (record_) {
        Error("a plugin is loaded already");
        return false;
    }
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        Error(std::string("cannot load plugin library: ") + dlerror());
        return false;
    }
    auto* record = static_cast<const BakkesMod::Plugin::PluginInfo*>(dlsym(library, "exports"));
    if (!record) {
        Error("plugin library " + path.string() + " has no exports record");
        dlclose(library);
        return false;
    }
    library_ = library;
    if (!LoadPlugin(*record)) {
        dlclose(library_);
        library_ = nullptr;
        return false;
    }
    return true;
}

bool Host::LoadPlugin(const BakkesMod::Plugin::PluginInfo& info) {
    if (record_) {
        Error("a plugin is loaded already");
        return false;
    }
    if (info.apiBuildVersion != BAKKESMOD_PLUGIN_API_VERSION) {
        Error("plugin API version " + std::to_string(info.apiBuildVersion) +
              " is not supported (host API version " +
              std::to_string(BAKKESMOD_PLUGIN_API_VERSION) + ")");
        return false;
    }
    if (!info.initializeFunc || !info.delFunc) {
        Error("plugin record lacks its factory or teardown");
        return false;
    }
    uintptr_t ownerAddress = 0;
    Guard([&] { ownerAddress = info.initializeFunc(); });
    owner_ = reinterpret_cast<std::shared_ptr<BakkesMod::Plugin::BakkesModPlugin>*>(ownerAddress);
    if (!owner_ || !*owner_) {
        Error("plugin factory returned no plugin");
        owner_ = nullptr;
        return false;
    }
    record_ = &info;
    auto context = std::make_unique<PluginContext>(
        PluginContext{this, static_cast<OwnerId>(contexts_.size() + 1)});
    loadedOwner_ = context->owner;
    auto address = reinterpret_cast<uintptr_t>(context.get());
    contexts_.push_back(std::move(context));

    auto& plugin = **owner_;
    plugin.cvarManager = std::make_shared<CVarManagerWrapper>(address);
    plugin.gameWrapper = std::make_shared<GameWrapper>(address);
    Guard([&] { plugin.onLoad(); });
    if (auto* page = SettingsWindow()) {
        ui_->HandContextTo(*page);
    }
    return true;
}

void Host::Crash() {
    std::cout.flush();
    std::_Exit(3);
}

void Host::UnloadPlugin() {
    if (!record_) {
        return;
    }
    ui_->StopFreeRunning(); // the page is not drawn while its plugin goes
    Guard([&] { (**owner_).onUnload(); });
    // Callbacks hold code of the plugin's library: drop them before it closes.
    DropOwner(loadedOwner_);
    (**owner_).cvarManager.reset();
    (**owner_).gameWrapper.reset();
    Guard([&] { record_->delFunc(); });
    record_ = nullptr;
    owner_ = nullptr;
    loadedOwner_ = HostOwner;
    if (library_) {
        dlclose(library_);
        library_ = nullptr;
    }
}

BakkesMod::Plugin::BakkesModPlugin* Host::Plugin() const {
    return owner_ ? owner_->get() : nullptr;
}

BakkesMod::Plugin::PluginSettingsWindow* Host::SettingsWindow() const {
    return dynamic_cast<BakkesMod::Plugin::PluginSettingsWindow*>(Plugin());
}

void Host::DropOwner(OwnerId owner) {
    console_.DropOwner(owner);
    for (auto& [event, entries] : hooks_) {
        std::erase_if(entries, [owner](const HookEntry& e) { return e.owner == owner; });
    }
    std::erase_if(timers_, [owner](const Timer& t) { return t.owner == owner; });
    {
        std::lock_guard lock(executeMutex_);
        std::erase_if(executeQueue_, [owner](const Queued& q) { return q.owner == owner; });
    }
    RemoveDrawables(owner);
}

void Host::RunLine(const std::string& line) {
    console_.Run(line);
}

void Host::AddHostCommand(const std::string& name,
                          std::function<void(const std::vector<std::string>&)> run) {
    console_.AddCommand(Command{.name = name,
                                .description = "simulated host command",
                                .permissions = 0,
                                .owner = HostOwner,
                                .run = [run](std::vector<std::string> args) {
                                    run(args);
                                }});
}

float Host::GameSpeed() {
    auto* speed = console_.FindVariable("sv_soccar_gamespeed");
    return speed ? ParseFloat(speed->value) : 1.0f;
}

void Host::Hook(OwnerId owner, const std::string& event, bool post,
                std::function<void(std::string)> run) {
    hooks_[event].push_back(HookEntry{owner, post, std::move(run), nullptr});
}

void Host::HookWithCaller(OwnerId owner, const std::string& event,
                          std::function<void(uintptr_t, void*, std::string)> run) {
    hooks_[event].push_back(HookEntry{owner, false, nullptr, std::move(run)});
}

void Host::AddTimer(OwnerId owner, double seconds, std::function<void()> run) {
    timers_.push_back(Timer{clock_ + seconds, timerOrder_++, owner, std::move(run)});
}

void Host::AddHostTimer(double seconds, std::function<void()> run) {
    AddTimer(HostOwner, seconds, std::move(run));
}

void Host::AddExecute(OwnerId owner, std::function<void()> run) {
    std::lock_guard lock(executeMutex_);
    executeQueue_.push_back(Queued{owner, std::move(run)});
}

void Host::AddDrawable(OwnerId owner, std::function<void(CanvasWrapper)> run) {
    drawables_.push_back(Drawable{owner, std::move(run)});
}

void Host::RemoveDrawables(OwnerId owner) {
    std::erase_if(drawables_, [owner](const Drawable& d) { return d.owner == owner; });
}

void Host::RunExecuteQueue() {
    // Functions queued while the queue runs wait for the next turn.
    std::vector<Queued> queue;
    {
        std::lock_guard lock(executeMutex_);
        queue.swap(executeQueue_);
    }
    for (auto& queued : queue) {
        Guard(queued.run);
    }
}

void Host::FireEvent(const std::string& event, bool post) {
    auto found = hooks_.find(event);
    if (found == hooks_.end()) {
        return;
    }
    auto entries = found->second;
    for (auto& entry : entries) {
        if (entry.run && entry.post == post) {
            Guard([&] { entry.run(event); });
        }
    }
}

void Host::FireVehicleInput(Car& car, ControllerInput& input) {
    auto found = hooks_.find(Events::SetVehicleInput);
    if (found == hooks_.end()) {
        return;
    }
    // The game's parameter block is larger than the input at its front.
    unsigned char params[48] = {};
    std::memcpy(params, &input, sizeof input);
    auto entries = found->second;
    for (auto& entry : entries) {
        if (entry.runWithCaller) {
            Guard([&] {
                entry.runWithCaller(reinterpret_cast<uintptr_t>(&car), params,
                                    Events::SetVehicleInput);
            });
        } else if (entry.run && !entry.post) {
            Guard([&] { entry.run(Events::SetVehicleInput); });
        }
    }
    std::memcpy(&input, params, sizeof input);
}

void Host::Tick(int count, const ControllerInput& live) {
    for (int i = 0; i < count; ++i) {
        const float speed = GameSpeed();
        if (!(speed > 0.0f)) {
            Error("game paused at speed " + FloatText(speed) + ": no ticks run");
            return;
        }
        RunExecuteQueue();
        ++tickCount_;
        if (marking_ >= 0 && world_.LocalCar()) {
            paths_[marking_].points.push_back(world_.LocalCar()->location);
        }
        ControllerInput used = live;
        if (Car* car = world_.LocalCar()) {
            FireVehicleInput(*car, used);
        }
        ControllerInput otherUsed{};
        otherUsed.Throttle = 1.0f;
        if (Car* other = world_.OtherCar()) {
            FireVehicleInput(*other, otherUsed);
        }
        // Hooks may have taken objects away; move what is still there.
        if (Car* car = world_.LocalCar()) {
            World::StepCar(*car, used);
        }
        if (Car* other = world_.OtherCar()) {
            World::StepCar(*other, otherUsed);
        }
        if (Ball* ball = world_.GetBall()) {
            World::StepBall(*ball);
        }
        if (Car* car = world_.LocalCar()) {
            trail_.Add(car->location);
        }
        if (world_.LocalCar() && OnLocalTick) {
            OnLocalTick(tickCount_, used);
        }
        AdvanceClockTo(clock_ + TickSeconds / speed);
    }
}

bool Host::Teleport(const Vector& location) {
    Car* car = world_.LocalCar();
    if (!car) {
        Error("no car to teleport");
        return false;
    }
    car->location = location;
    car->velocity = {};
    car->angularVelocity = {};
    FireEvent(Events::Teleport, true);
    return true;
}

void Host::MarkPath(const std::string& name) {
    std::erase_if(paths_, [&](const MarkedPath& path) { return path.name == name; });
    paths_.push_back(MarkedPath{name, {}});
    marking_ = static_cast<int>(paths_.size()) - 1;
}

void Host::ClearPaths() {
    paths_.clear();
    marking_ = -1;
}

bool Host::Nudge(const Vector& offset) {
    Car* car = world_.LocalCar();
    if (!car) {
        Error("no car to nudge");
        return false;
    }
    car->location.X += offset.X;
    car->location.Y += offset.Y;
    car->location.Z += offset.Z;
    return true;
}

bool Host::RoundStart() {
    if (!world_.HasGame()) {
        Error("no game to start a round in");
        return false;
    }
    world_.PlaceAtKickoff();
    FireEvent(Events::StartRound, true);
    return true;
}

void Host::DestroyGameEvent() {
    FireEvent(Events::Destroyed, false);
    world_.SetGame(false);
}

void Host::Wait(double seconds) {
    RunExecuteQueue();
    AdvanceClockTo(clock_ + seconds);
}

void Host::AdvanceClockTo(double target) {
    for (;;) {
        auto next = std::min_element(timers_.begin(), timers_.end(), [](auto& a, auto& b) {
            return a.due != b.due ? a.due < b.due : a.order < b.order;
        });
        if (next == timers_.end() || next->due > target + ClockSlack) {
            break;
        }
        clock_ = std::max(clock_, next->due);
        auto run = std::move(next->run);
        timers_.erase(next);
        Guard(run);
    }
    clock_ = std::max(clock_, target);
}

std::vector<CanvasString> Host::DrawCanvas() {
    Canvas canvas;
    canvas.screen = screen;
    auto drawables = drawables_;
    for (auto& drawable : drawables) {
        Guard([&] { drawable.run(CanvasWrapper(reinterpret_cast<uintptr_t>(&canvas))); });
    }
    return canvas.strings;
}

// The car's recent path, the marked paths in the order they were begun, and
// where the last marked path leaves the first.
FieldScene Host::LookAtField() const {
    std::vector<FieldPath> paths{trail_.Path(TrailColor)};
    for (size_t i = 0; i < paths_.size(); ++i) {
        paths.push_back(FieldPath{paths_[i].points, PathColors[i % std::size(PathColors)]});
    }
    std::vector<FieldMark> marks;
    if (paths_.size() >= 2) {
        const auto& first = paths_.front().points;
        const auto& last = paths_.back().points;
        if (auto part = PartingPoint(first, last, PartTolerance)) {
            marks.push_back(
                FieldMark{last[*part], "parts at frame " + std::to_string(*part), PartColor});
        }
    }
    return LookAt(world_, std::move(paths), std::move(marks));
}

GameFrame Host::RunGameFrame() {
    RunExecuteQueue();
    GameFrame frame{screen, DrawCanvas(), LookAtField()};
    std::lock_guard lock(lastFrameMutex_);
    lastFrame_ = frame;
    return frame;
}

GameFrame Host::LastGameFrame() {
    std::lock_guard lock(lastFrameMutex_);
    return lastFrame_;
}

} // namespace sim
