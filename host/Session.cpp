#include "Session.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <istream>
#include <tuple>

namespace sim {
namespace {

bool ParseNumber(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end && *end == '\0';
}

bool ParseFlag(const std::string& text, bool& value) {
    if (text == "0" || text == "1") {
        value = text == "1";
        return true;
    }
    return false;
}

} // namespace

Session::Session(Host& host, std::filesystem::path pluginPath)
    : host_(host), pluginPath_(std::move(pluginPath)) {
    RegisterCommands();
}

bool Session::LoadPlugin() {
    return host_.LoadPluginLibrary(pluginPath_);
}

void Session::Run(std::istream& lines, bool prompt) {
    std::string line;
    for (;;) {
        if (prompt) {
            std::cout << "gyrolog-sim> " << std::flush;
        }
        if (!std::getline(lines, line)) {
            break;
        }
        RunLine(line);
    }
}

void Session::RunLine(const std::string& line) {
    const auto start = line.find_first_not_of(" \t\r");
    if (start == std::string::npos) {
        return;
    }
    host_.Print("> " + line);
    if (line[start] == '#') {
        return;
    }
    host_.RunLine(line);
}

std::string Session::FormatFloat(float value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    return text;
}

std::string Session::TraceLine(uint64_t tick, const ControllerInput& input) {
    char flags[16];
    std::snprintf(flags, sizeof flags, "0x%X", FlagWord(input));
    return "tick " + std::to_string(tick) + ": throttle=" + FormatFloat(input.Throttle) +
           " steer=" + FormatFloat(input.Steer) + " pitch=" + FormatFloat(input.Pitch) +
           " yaw=" + FormatFloat(input.Yaw) + " roll=" + FormatFloat(input.Roll) +
           " flipforward=" + FormatFloat(input.DodgeForward) +
           " flipsideways=" + FormatFloat(input.DodgeStrafe) + " flags=" + flags;
}

std::string Session::StateLine(const char* what, const Actor* actor) {
    if (!actor) {
        return std::string(what) + ": none";
    }
    auto vector = [](const Vector& v) {
        return FormatFloat(v.X) + " " + FormatFloat(v.Y) + " " + FormatFloat(v.Z);
    };
    const auto& r = actor->rotation;
    std::string line = std::string(what) + ": location=" + vector(actor->location) +
                       " rotation=" + std::to_string(r.Pitch) + " " + std::to_string(r.Yaw) + " " +
                       std::to_string(r.Roll) + " velocity=" + vector(actor->velocity) +
                       " angularvelocity=" + vector(actor->angularVelocity);
    // New fields go at the end: scripts read the ones before by position.
    if (const auto* car = dynamic_cast<const Car*>(actor)) {
        line += " boost=" + FormatFloat(car->boost * 100.0f) +
                " jumped=" + std::to_string(car->jumped ? 1 : 0) +
                " doublejumped=" + std::to_string(car->doubleJumped ? 1 : 0);
    }
    return line;
}

void Session::Command(const std::string& name, size_t minArgs, size_t maxArgs, const char* usage,
                      std::function<void(const std::vector<std::string>&)> run) {
    host_.AddHostCommand(
        name, [this, name, minArgs, maxArgs, usage, run](const std::vector<std::string>& words) {
            const size_t args = words.size() - 1;
            if (args < minArgs || args > maxArgs) {
                host_.Error("usage: " + name + " " + usage);
                return;
            }
            run(words);
        });
}

bool Session::ParseControls(const std::vector<std::string>& args, size_t from,
                            ControllerInput& input) {
    struct FloatControl {
        const char* name;
        float ControllerInput::*field;
    };
    static const FloatControl floats[] = {
        {"throttle", &ControllerInput::Throttle},
        {"steer", &ControllerInput::Steer},
        {"pitch", &ControllerInput::Pitch},
        {"yaw", &ControllerInput::Yaw},
        {"roll", &ControllerInput::Roll},
        {"flipforward", &ControllerInput::DodgeForward},
        {"flipsideways", &ControllerInput::DodgeStrafe},
    };
    struct FlagControl {
        const char* name;
        uint32_t bit;
    };
    // Bits of the flag word, in the order of the input's bit-fields.
    static const FlagControl flags[] = {
        {"handbrake", 1u << 0}, {"jump", 1u << 1},     {"boost", 1u << 2},
        {"boostheld", 1u << 3}, {"jumpheld", 1u << 4},
    };
    for (size_t i = from; i < args.size(); ++i) {
        const auto equals = args[i].find('=');
        const std::string key = args[i].substr(0, equals);
        const std::string value = equals == std::string::npos ? "1" : args[i].substr(equals + 1);
        bool known = false;
        for (const auto& control : floats) {
            if (key == control.name) {
                input.*control.field = std::strtof(value.c_str(), nullptr);
                known = true;
            }
        }
        for (const auto& control : flags) {
            bool on = false;
            if (key == control.name) {
                if (!ParseFlag(value, on)) {
                    host_.Error("flag " + key + " takes 0 or 1");
                    return false;
                }
                const uint32_t word = FlagWord(input);
                SetFlagWord(input, on ? (word | control.bit) : (word & ~control.bit));
                known = true;
            }
        }
        if (key == "flags") {
            SetFlagWord(input, static_cast<uint32_t>(std::strtoul(value.c_str(), nullptr, 0)));
            known = true;
        }
        if (!known) {
            host_.Error("unknown control '" + key + "'");
            return false;
        }
    }
    return true;
}

void Session::RegisterCommands() {
    World& world = host_.GetWorld();
    auto onOff = [this](const std::string& name, std::function<void(bool)> set) {
        Command(name, 1, 1, "0|1", [this, name, set](const std::vector<std::string>& words) {
            bool on = false;
            if (!ParseFlag(words[1], on)) {
                host_.Error("usage: " + name + " 0|1");
                return;
            }
            set(on);
        });
    };
    onOff("sim_freeplay", [&world](bool on) { world.freeplay = on; });
    onOff("sim_game", [&world](bool on) { world.SetGame(on); });
    onOff("sim_othercar", [&world](bool on) { world.SetOtherCar(on); });
    onOff("sim_ball", [&world](bool on) { world.SetBall(on); });
    onOff("sim_trace", [this](bool on) {
        if (on) {
            host_.OnLocalTick = [this](uint64_t tick, const ControllerInput& used) {
                host_.Print(TraceLine(tick, used));
            };
        } else {
            host_.OnLocalTick = nullptr;
        }
    });

    Command("sim_car", 1, 2, "octane|dominus|breakout|plank|hybrid|merc|none | extent X",
            [this, &world](const std::vector<std::string>& words) {
                double extent = 0;
                if (words[1] == "none" && words.size() == 2) {
                    world.SetLocalCar(std::nullopt);
                } else if (auto kind = FindCarKind(words[1]); kind && words.size() == 2) {
                    world.SetLocalCar(kind->extentX);
                } else if (words[1] == "extent" && words.size() == 3 &&
                           ParseNumber(words[2], extent)) {
                    if (Car* car = world.LocalCar()) {
                        car->extentX = std::strtof(words[2].c_str(), nullptr);
                    } else {
                        world.SetLocalCar(std::strtof(words[2].c_str(), nullptr));
                    }
                } else {
                    host_.Error("usage: sim_car octane|dominus|breakout|plank|hybrid|merc|none | "
                                "extent X");
                }
            });

    Command("sim_sensitivity", 2, 2, "STEER AIR", [&world](const std::vector<std::string>& words) {
        world.settings.gamepad.SteeringSensitivity = std::strtof(words[1].c_str(), nullptr);
        world.settings.gamepad.AirControlSensitivity = std::strtof(words[2].c_str(), nullptr);
    });

    Command("sim_screen", 2, 2, "WIDTH HEIGHT", [this](const std::vector<std::string>& words) {
        host_.screen = Vector2{std::atoi(words[1].c_str()), std::atoi(words[2].c_str())};
    });

    Command("sim_tick", 1, 64, "N [control=value ...]",
            [this](const std::vector<std::string>& words) {
                double count = 0;
                if (!ParseNumber(words[1], count) || count < 0) {
                    host_.Error("usage: sim_tick N [control=value ...]");
                    return;
                }
                ControllerInput live;
                if (ParseControls(words, 2, live)) {
                    host_.Tick(static_cast<int>(count), live);
                }
            });

    Command("sim_teleport", 3, 3, "X Y Z", [this](const std::vector<std::string>& words) {
        host_.Teleport(Vector{std::strtof(words[1].c_str(), nullptr),
                              std::strtof(words[2].c_str(), nullptr),
                              std::strtof(words[3].c_str(), nullptr)});
    });
    Command("sim_boost", 1, 1, "AMOUNT", [this, &world](const std::vector<std::string>& words) {
        double gauge = 0;
        if (!ParseNumber(words[1], gauge) || !(gauge >= 0 && gauge <= 100)) {
            host_.Error("usage: sim_boost AMOUNT (0 to 100 on the gauge)");
            return;
        }
        if (Car* car = world.LocalCar()) {
            car->boost = static_cast<float>(gauge) / 100.0f;
        } else {
            host_.Error("no car to fill");
        }
    });
    Command("sim_ballspin", 3, 3, "X Y Z", [this, &world](const std::vector<std::string>& words) {
        double spin[3] = {};
        for (int axis = 0; axis < 3; ++axis) {
            if (!ParseNumber(words[1 + axis], spin[axis])) {
                host_.Error("usage: sim_ballspin X Y Z");
                return;
            }
        }
        if (Ball* ball = world.GetBall()) {
            ball->angularVelocity = Vector{static_cast<float>(spin[0]), static_cast<float>(spin[1]),
                                           static_cast<float>(spin[2])};
        } else {
            host_.Error("no ball to spin");
        }
    });
    Command("sim_nudge", 3, 3, "DX DY DZ", [this](const std::vector<std::string>& words) {
        double offset[3] = {};
        for (int axis = 0; axis < 3; ++axis) {
            if (!ParseNumber(words[1 + axis], offset[axis])) {
                host_.Error("usage: sim_nudge DX DY DZ");
                return;
            }
        }
        host_.Nudge(Vector{static_cast<float>(offset[0]), static_cast<float>(offset[1]),
                           static_cast<float>(offset[2])});
    });
    Command("sim_path", 1, 3, "NAME | off | clear | part A B",
            [this](const std::vector<std::string>& words) {
                if (words[1] == "part" && words.size() == 4) {
                    PrintParting(words[2], words[3]);
                } else if (words.size() != 2 || words[1] == "part") {
                    host_.Error("usage: sim_path NAME | off | clear | part A B");
                } else if (words[1] == "off") {
                    host_.StopMarking();
                } else if (words[1] == "clear") {
                    host_.ClearPaths();
                } else {
                    host_.MarkPath(words[1]);
                }
            });
    Command("sim_roundstart", 0, 0, "",
            [this](const std::vector<std::string>&) { host_.RoundStart(); });
    Command("sim_destroy", 0, 0, "",
            [this](const std::vector<std::string>&) { host_.DestroyGameEvent(); });
    Command("sim_wait", 1, 1, "SECONDS", [this](const std::vector<std::string>& words) {
        double seconds = 0;
        if (!ParseNumber(words[1], seconds) || seconds < 0) {
            host_.Error("usage: sim_wait SECONDS");
            return;
        }
        host_.Wait(seconds);
    });
    Command("sim_after", 2, 2, "SECONDS \"LINE\"", [this](const std::vector<std::string>& words) {
        double seconds = 0;
        if (!ParseNumber(words[1], seconds) || seconds < 0) {
            host_.Error("usage: sim_after SECONDS \"LINE\"");
            return;
        }
        const std::string line = words[2];
        host_.AddHostTimer(seconds, [this, line] { host_.RunLine(line); });
    });

    Command("sim_state", 0, 0, "", [this, &world](const std::vector<std::string>&) {
        host_.Print(StateLine("car", world.LocalCar()));
        host_.Print(StateLine("ball", world.GetBall()));
        host_.Print("speed: " + FormatFloat(host_.GameSpeed()));
    });
    Command("sim_canvas", 0, 0, "", [this](const std::vector<std::string>&) {
        for (const auto& drawn : host_.DrawCanvas()) {
            host_.Print("canvas: \"" + drawn.text + "\" at " + FormatFloat(drawn.position.X) + " " +
                        FormatFloat(drawn.position.Y) + " scale " + FormatFloat(drawn.xScale) +
                        " " + FormatFloat(drawn.yScale) + " color " +
                        std::to_string(drawn.color[0]) + " " + std::to_string(drawn.color[1]) +
                        " " + std::to_string(drawn.color[2]) + " " +
                        std::to_string(drawn.color[3]));
        }
    });
    Command("sim_unload", 0, 0, "", [this](const std::vector<std::string>&) {
        if (!host_.Plugin()) {
            host_.Error("no plugin is loaded");
            return;
        }
        host_.UnloadPlugin();
    });
    Command("sim_load", 0, 0, "", [this](const std::vector<std::string>&) { LoadPlugin(); });
    Command("sim_crash", 0, 0, "", [](const std::vector<std::string>&) { Host::Crash(); });
    RegisterUiCommands();
}

void Session::PrintParting(const std::string& a, const std::string& b) {
    const Host::MarkedPath* first = nullptr;
    const Host::MarkedPath* second = nullptr;
    for (const auto& path : host_.Paths()) {
        first = path.name == a ? &path : first;
        second = path.name == b ? &path : second;
    }
    if (!first || !second) {
        host_.Error("no marked path \"" + (first ? b : a) + "\"");
        return;
    }
    const auto part = PartingPoint(first->points, second->points, PartTolerance);
    if (!part) {
        host_.Print("path: " + b + " follows " + a + " for " +
                    std::to_string(std::min(first->points.size(), second->points.size())) +
                    " points");
        return;
    }
    const Vector& p = first->points[*part];
    const Vector& q = second->points[*part];
    const float away = std::sqrt((p.X - q.X) * (p.X - q.X) + (p.Y - q.Y) * (p.Y - q.Y) +
                                 (p.Z - q.Z) * (p.Z - q.Z));
    host_.Print("path: " + b + " parts from " + a + " at point " + std::to_string(*part) + ", " +
                FormatFloat(away) + " uu away");
}

void Session::RegisterUiCommands() {
    auto report = [this](const std::string& error) {
        if (!error.empty()) {
            host_.Error(error);
        }
    };
    auto index = [this](const std::vector<std::string>& words, size_t at, int& value) {
        double number = 0;
        if (words.size() <= at) {
            value = 0;
            return true;
        }
        if (!ParseNumber(words[at], number) || number < 0) {
            host_.Error("the index must be a whole number from 0");
            return false;
        }
        value = static_cast<int>(number);
        return true;
    };
    Command("sim_ui_frame", 0, 1, "[N]", [this](const std::vector<std::string>& words) {
        double count = 1;
        if (words.size() == 2 && (!ParseNumber(words[1], count) || count < 0)) {
            host_.Error("usage: sim_ui_frame [N]");
            return;
        }
        host_.GetUi().Frame(static_cast<int>(count));
    });
    Command("sim_ui_show", 0, 0, "", [this](const std::vector<std::string>&) {
        for (const auto& line : Ui::Lines(host_.GetUi().Show())) {
            host_.Print(line);
        }
    });
    // The commands that find a shown text and act on it.
    using TextAction = std::string (Ui::*)(const std::string&, int);
    const std::tuple<const char*, const char*, TextAction> textCommands[] = {
        {"sim_ui_click", "TEXT [K]", &Ui::Click},
        {"sim_ui_hover", "TEXT [K]", &Ui::Hover},
        {"sim_ui_edit", "LABEL [K]", &Ui::Edit},
    };
    for (auto [name, usage, textAction] : textCommands) {
        Command(name, 1, 2, usage,
                [this, report, index, action = textAction](const std::vector<std::string>& words) {
                    int k = 0;
                    if (index(words, 2, k)) {
                        report((host_.GetUi().*action)(words[1], k));
                    }
                });
    }
    // A frame number as the Inputs table shows it.
    auto frameNumber = [](const std::string& word, std::string& frame) {
        double number = 0;
        if (!ParseNumber(word, number) || number < 0 || number != std::floor(number)) {
            return false;
        }
        frame = std::to_string(static_cast<uint64_t>(number));
        return true;
    };
    Command("sim_ui_cell", 2, 2, "FRAME COLUMN",
            [this, report, frameNumber](const std::vector<std::string>& words) {
                std::string frame;
                if (!frameNumber(words[1], frame)) {
                    host_.Error("usage: sim_ui_cell FRAME COLUMN");
                    return;
                }
                report(host_.GetUi().ClickCell(frame, words[2]));
            });
    Command("sim_ui_paint", 3, 3, "FRAME1 FRAME2 COLUMN",
            [this, report, frameNumber](const std::vector<std::string>& words) {
                std::string from;
                std::string to;
                if (!frameNumber(words[1], from) || !frameNumber(words[2], to)) {
                    host_.Error("usage: sim_ui_paint FRAME1 FRAME2 COLUMN");
                    return;
                }
                report(host_.GetUi().Paint(from, to, words[3]));
            });
    Command("sim_ui_type", 1, 1, "TEXT",
            [this](const std::vector<std::string>& words) { host_.GetUi().Type(words[1]); });
    // Characters by number, for those a console line cannot hold (the double
    // quote ends a quoted word).
    Command("sim_ui_char", 1, 64, "U+HEX ...", [this](const std::vector<std::string>& words) {
        std::vector<unsigned int> codepoints;
        for (size_t i = 1; i < words.size(); ++i) {
            char* end = nullptr;
            const unsigned long codepoint =
                words[i].starts_with("U+") ? std::strtoul(words[i].c_str() + 2, &end, 16) : 0;
            if (!end || *end != '\0' || words[i].size() == 2 || codepoint == 0 ||
                codepoint > 0x10FFFF) {
                host_.Error("usage: sim_ui_char U+HEX ...");
                return;
            }
            codepoints.push_back(static_cast<unsigned int>(codepoint));
        }
        host_.GetUi().TypeCodepoints(codepoints);
    });
    Command("sim_ui_scroll", 2, 2, "WINDOW LINES",
            [this, report](const std::vector<std::string>& words) {
                double lines = 0;
                if (!ParseNumber(words[2], lines)) {
                    host_.Error("usage: sim_ui_scroll WINDOW LINES");
                    return;
                }
                report(host_.GetUi().Scroll(words[1], static_cast<float>(lines)));
            });
    Command("sim_ui_resize", 3, 3, "WINDOW W H",
            [this, report](const std::vector<std::string>& words) {
                double width = 0;
                double height = 0;
                if (!ParseNumber(words[2], width) || !ParseNumber(words[3], height) || width < 1 ||
                    height < 1) {
                    host_.Error("usage: sim_ui_resize WINDOW W H");
                    return;
                }
                report(host_.GetUi().Resize(words[1], static_cast<float>(width),
                                            static_cast<float>(height)));
            });
    Command("sim_ui_key", 1, 1,
            "enter|escape|backspace|tab|up|down|pageup|pagedown|home|end|delete|insert|a..z",
            [this, report](const std::vector<std::string>& words) {
                report(host_.GetUi().Key(words[1]));
            });
    Command("sim_ui_hold", 2, 2, "ctrl|shift 0|1", [this](const std::vector<std::string>& words) {
        bool on = false;
        if ((words[1] != "ctrl" && words[1] != "shift") || !ParseFlag(words[2], on)) {
            host_.Error("usage: sim_ui_hold ctrl|shift 0|1");
            return;
        }
        if (words[1] == "ctrl") {
            host_.GetUi().HoldCtrl(on);
        } else {
            host_.GetUi().HoldShift(on);
        }
    });
    Command("sim_screenshot", 1, 1, "FILE", [this, report](const std::vector<std::string>& words) {
        report(host_.GetUi().Screenshot(words[1]));
    });
}

} // namespace sim
