#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

// Who registered something: 0 is the host itself, every loaded plugin gets
// its own number so that its registrations can be dropped when it unloads.
using OwnerId = int;
constexpr OwnerId HostOwner = 0;

struct Variable {
    std::string name;
    std::string defaultValue;
    std::string description;
    bool searchable = true;
    bool hasMin = false;
    float min = 0;
    bool hasMax = false;
    float max = 0;
    bool saveToConfig = true;
    std::string value; // read and written through the Console: the page reads it

    struct Listener {
        OwnerId owner;
        std::function<void(const std::string& oldValue)> onChange;
    };
    std::vector<Listener> listeners;
};

struct Command {
    std::string name;
    std::string description;
    unsigned char permissions = 0;
    OwnerId owner = HostOwner;
    std::function<void(std::vector<std::string>)> run;
};

// Host console: variables kept as text, commands, and the parsing of console
// lines. Lines it prints go to the print function given at construction.
// Finding a variable and reading its value are safe from the render thread;
// everything else belongs to the game thread.
class Console {
public:
    struct Output {
        std::function<void(const std::string&)> printValue; // "NAME = VALUE"
        std::function<void(const std::string&)> error;
        // Wraps every call into plugin code so that its exceptions stay here.
        std::function<void(const std::function<void()>&)> guard;
    };
    explicit Console(Output output) : output_(std::move(output)) {}

    Variable& Register(Variable variable);
    Variable* FindVariable(const std::string& name);
    // Takes a variable away, as a host without it would be. Its handles go stale.
    void RemoveVariable(const std::string& name);
    void SetValue(Variable& variable, const std::string& text);
    std::string ValueOf(const Variable& variable);

    void AddCommand(Command command);
    bool HasCommand(const std::string& name) const;
    // Names in the order they were first registered; a variable stays
    // registered when its owner goes, as the host keeps it.
    std::vector<std::string> VariableNames();
    const std::vector<std::string>& CommandNames() const { return commandOrder_; }

    // Statements separated by ';': "name value" sets, "name" prints, a command
    // runs with its arguments. Quotes group words.
    void Run(const std::string& line);

    void DropOwner(OwnerId owner);

    static std::vector<std::string> SplitStatements(const std::string& line);
    static std::vector<std::string> Tokenize(const std::string& statement);

private:
    void RunStatement(const std::vector<std::string>& words);

    Output output_;
    std::mutex mutex_; // the variables' map and their values
    std::map<std::string, std::unique_ptr<Variable>> variables_;
    std::map<std::string, Command> commands_;
    std::vector<std::string> variableOrder_;
    std::vector<std::string> commandOrder_;
    std::vector<std::unique_ptr<Variable>> removed_;
};

// Views of a variable's text, as the host's variable handles give them.
bool ParseBool(const std::string& text);
int ParseInt(const std::string& text);
float ParseFloat(const std::string& text);
std::string FloatText(float value);

} // namespace sim
