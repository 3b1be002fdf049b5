#include "image/IdFile.h"

#include <fstream>

#include "sys/Text.h"

namespace pelican {
namespace {

// Reads one line without its terminator; a CR before the LF goes too.
bool NextLine(std::ifstream& in, std::string& line) {
    if (!std::getline(in, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

}  // namespace

bool CIdFile::PathFor(const std::string& programPath, std::string& idPath) {
    if (EndsWith(programPath, ".mot") || EndsWith(programPath, ".btp")) {
        idPath = programPath.substr(0, programPath.size() - 4) + ".id";
        return true;
    }
    if (EndsWith(programPath, ".hex") || EndsWith(programPath, ".bin")) {
        idPath = programPath.substr(0, programPath.size() - 4) + ".id";
        return true;
    }
    if (EndsWith(programPath, ".ihex")) {
        idPath = programPath.substr(0, programPath.size() - 5) + ".id";
        return true;
    }
    if (EndsWith(programPath, ".s")) {
        idPath = programPath.substr(0, programPath.size() - 2) + ".id";
        return true;
    }
    return false;
}

const std::array<const char*, 7>& CIdFile::Addresses(int mcuType) {
    static const std::array<const char*, 7> kOrcaSP = {"FFFDF", "FFFE3", "FFFEB", "FFFEF",
                                                       "FFFF3", "FFFF7", "FFFFB"};
    static const std::array<const char*, 7> kOrcaW = {"FFFFDF", "FFFFE3", "FFFFEB", "FFFFEF",
                                                      "FFFFF3", "FFFFF7", "FFFFFB"};
    return mcuType == 1 ? kOrcaW : kOrcaSP;
}

bool CIdFile::NamesOrcaW(const std::string& idPath, bool& opened) {
    std::ifstream in(idPath, std::ios::binary);
    opened = in.is_open();
    bool orcaW = false;
    std::string line;
    while (opened && NextLine(in, line)) {
        if (line.compare(0, 6, "FFFFDF") == 0) orcaW = true;
    }
    return orcaW;
}

bool CIdFile::Fill(const std::string& idPath, int mcuType, Fields& fields) {
    std::ifstream in(idPath, std::ios::binary);
    if (!in.is_open()) return false;
    const auto& addresses = Addresses(mcuType);
    const size_t width = mcuType == 1 ? 6 : 5;
    std::string line;
    while (NextLine(in, line)) {
        if (line.size() < width) continue;
        for (size_t i = 0; i < addresses.size(); ++i) {
            if (line.compare(0, width, addresses[i]) == 0) fields[i] = line.substr(line.size() - 2);
        }
    }
    return true;
}

}  // namespace pelican
