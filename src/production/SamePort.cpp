#include "production/SamePort.h"

#include "link/PortLock.h"
#include "link/PortSelector.h"

namespace pelican {

std::string SamePortError(const std::vector<std::string>& ports, const PortSurvey& survey) {
    // The name as shown (with the device a usb: or serial: name reached),
    // and the device: the port lock's name, links resolved.
    std::vector<std::pair<std::string, std::string>> seen;
    for (const std::string& port : ports) {
        CPortSelector selector;
        std::string error;
        if (!CPortSelector::Parse(port, selector, error)) continue;  // the command line has told it
        std::string path;
        std::string why;
        if (!selector.Resolve(survey, path, why)) continue;
        const std::string shown = selector.IsName() ? port : port + " (" + path + ")";
        const std::string device = PortLockName(path);
        for (const auto& [earlier, earlierDevice] : seen) {
            if (earlierDevice != device) continue;
            return (earlier == shown ? "the port " + port + " is given twice"
                                     : earlier + " and " + shown + " are the same port") +
                   ": each board needs a port of its own";
        }
        seen.emplace_back(shown, device);
    }
    return std::string();
}

}  // namespace pelican
