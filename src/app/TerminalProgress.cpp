#include "app/TerminalProgress.h"

#include <memory>
#include <ostream>

std::function<bool(int done, int total)> terminalProgress(std::ostream& out, std::string title)
{
    // Shared so that copies of the function (std::function copies its target) agree.
    auto lastPercent = std::make_shared<long long>(-1);
    return [&out, title = std::move(title), lastPercent](int done, int total) {
        const long long percent = total > 0 ? 100LL * done / total : 100;
        if (percent != *lastPercent || done >= total) {
            *lastPercent = percent;
            out << '\r' << title << ": frame " << done << " of " << total;
            if (done >= total) out << '\n';
            out << std::flush;
        }
        return true;
    };
}
