#include "runs/files/BranchFolder.h"

// Placeholder: the branch folder is being written.
std::filesystem::path BranchFolderPath(const std::filesystem::path& runFolder,
                                       const std::string& run) {
    return runFolder / "branches" / run;
}
const char* BranchNameProblem(const std::filesystem::path&, const std::string&,
                              const std::string&) {
    return nullptr;
}
BranchListing ReadBranches(const std::filesystem::path&, const std::string&) { return {}; }
void SaveBranch(const std::filesystem::path&, const std::string&, const std::string&,
                const TasData&) {}
std::optional<std::string> DeleteBranch(const std::filesystem::path&, const std::string&,
                                        const std::string&) {
    return std::nullopt;
}
std::vector<std::string> MoveBranches(const std::filesystem::path&, const std::string&,
                                      const std::string&) {
    return {};
}
std::optional<std::string> DeleteBranches(const std::filesystem::path&, const std::string&) {
    return std::nullopt;
}
