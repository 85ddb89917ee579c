// flexherd-info [--json] FILE...: describes skin, herd and camera keys files, and what the import
// makes of model files, for users and scripts.
// Exit status 1 when any file failed to load, 2 on bad usage, 0 otherwise.
#include "SkinSummary.h"

#include <cstring>
#include <iostream>
#include <vector>

int main(int argc, char** argv)
{
    bool json = false;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--json") == 0)
            json = true;
        else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::cout << "usage: flexherd-info [--json] FILE...\n";
            return 0;
        } else
            files.emplace_back(argv[i]);
    }
    if (files.empty()) {
        std::cerr << "usage: flexherd-info [--json] FILE...\n";
        return 2;
    }
    bool anyFailed = false;
    for (const std::string& file : files) {
        const nlohmann::ordered_json report = describeFile(file);
        anyFailed = anyFailed || report.contains("error");
        if (json)
            std::cout << report.dump() << '\n';
        else
            printFileReport(std::cout, report);
    }
    return anyFailed ? 1 : 0;
}
