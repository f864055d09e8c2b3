#include "runs/TasFile.h"

bool HasForbiddenCharacter(const std::string& name) {
    return name.find_first_of("\\/:*?\"<>|.") != std::string::npos;
}

bool IsValidTasName(const std::string& name) {
    return !name.empty() && !HasForbiddenCharacter(name);
}

TasReadResult ReadTas(Tas& tas, std::istream& stream, const std::string& name) {
    // Parse aside: a file that fails to load must not cost the run in memory.
    TasData fresh;
    TasReadResult result = ReadTasData(stream, fresh);
    switch (result.outcome) {
    case ReadOutcome::Rejected:
        tas.Name.clear();
        break;
    case ReadOutcome::TooLarge:
        break;
    case ReadOutcome::Loaded:
    case ReadOutcome::CutShort:
        tas.Reset();
        tas.Name = name;
        tas.Data = std::move(fresh);
        break;
    }
    return result;
}
