#include "Console.h"

#include <charconv>
#include <cstdlib>
#include <utility>

namespace sim {

Variable& Console::Register(Variable variable) {
    std::lock_guard lock(mutex_);
    auto found = variables_.find(variable.name);
    if (found != variables_.end()) {
        return *found->second;
    }
    variable.value = variable.defaultValue;
    auto name = variable.name;
    variableOrder_.push_back(name);
    auto& slot = variables_[name];
    slot = std::make_unique<Variable>(std::move(variable));
    return *slot;
}

Variable* Console::FindVariable(const std::string& name) {
    std::lock_guard lock(mutex_);
    auto found = variables_.find(name);
    return found == variables_.end() ? nullptr : found->second.get();
}

void Console::RemoveVariable(const std::string& name) {
    // Kept alive for handles still held; only the name stops resolving.
    std::lock_guard lock(mutex_);
    auto found = variables_.find(name);
    if (found != variables_.end()) {
        removed_.push_back(std::move(found->second));
        variables_.erase(found);
        std::erase(variableOrder_, name);
    }
}

void Console::SetValue(Variable& variable, const std::string& text) {
    std::string oldValue;
    {
        std::lock_guard lock(mutex_);
        oldValue = std::exchange(variable.value, text);
    }
    // A listener may register or drop listeners; call the ones present now.
    auto listeners = variable.listeners;
    for (auto& listener : listeners) {
        output_.guard([&] { listener.onChange(oldValue); });
    }
}

std::string Console::ValueOf(const Variable& variable) {
    std::lock_guard lock(mutex_);
    return variable.value;
}

void Console::AddCommand(Command command) {
    auto name = command.name;
    if (commands_.count(name) == 0) {
        commandOrder_.push_back(name);
    }
    commands_[name] = std::move(command);
}

std::vector<std::string> Console::VariableNames() {
    std::lock_guard lock(mutex_);
    return variableOrder_;
}

bool Console::HasCommand(const std::string& name) const {
    return commands_.count(name) != 0;
}

void Console::Run(const std::string& line) {
    for (auto& statement : SplitStatements(line)) {
        auto words = Tokenize(statement);
        if (!words.empty()) {
            RunStatement(words);
        }
    }
}

void Console::RunStatement(const std::vector<std::string>& words) {
    const std::string& name = words[0];
    if (auto command = commands_.find(name); command != commands_.end()) {
        auto run = command->second.run; // the command may unregister itself
        output_.guard([&] { run(words); });
        return;
    }
    if (auto* variable = FindVariable(name)) {
        if (words.size() == 1) {
            output_.printValue(name + " = " + ValueOf(*variable));
        } else {
            SetValue(*variable, words[1]);
        }
        return;
    }
    output_.error("unknown command or variable '" + name + "'");
}

void Console::DropOwner(OwnerId owner) {
    std::lock_guard lock(mutex_); // the map; listeners are the game thread's alone
    for (auto& [name, variable] : variables_) {
        std::erase_if(variable->listeners,
                      [owner](const Variable::Listener& l) { return l.owner == owner; });
    }
    std::erase_if(commands_, [owner](const auto& entry) { return entry.second.owner == owner; });
    std::erase_if(commandOrder_, [this](const std::string& name) { return !HasCommand(name); });
}

std::vector<std::string> Console::SplitStatements(const std::string& line) {
    std::vector<std::string> statements(1);
    bool quoted = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
        }
        if (c == ';' && !quoted) {
            statements.emplace_back();
        } else {
            statements.back() += c;
        }
    }
    return statements;
}

std::vector<std::string> Console::Tokenize(const std::string& statement) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false;
    bool inWord = false;
    for (char c : statement) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((c == ' ' || c == '\t' || c == '\r' || c == '\n') && !quoted) {
            if (inWord) {
                words.push_back(word);
                word.clear();
                inWord = false;
            }
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) {
        words.push_back(word);
    }
    return words;
}

bool ParseBool(const std::string& text) {
    if (text == "true") {
        return true;
    }
    return ParseFloat(text) != 0.0f;
}

int ParseInt(const std::string& text) {
    return static_cast<int>(std::strtol(text.c_str(), nullptr, 10));
}

float ParseFloat(const std::string& text) {
    return std::strtof(text.c_str(), nullptr);
}

std::string FloatText(float value) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

} // namespace sim
