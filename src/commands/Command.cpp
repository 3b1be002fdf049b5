#include "commands/Command.h"

#include "link/Exchange.h"
#include "sys/Text.h"

namespace pelican {

Outcome CCommand::CheckStatus(CSerialComm& port, Checked operation, ReadResult* why,
                              const std::function<void()>& readEnded) {
    uint8_t status[2] = {0, 0};
    const ReadResult read = ReadStatus(port, status);
    if (readEnded) readEnded();
    if (why != nullptr) *why = read;
    if (read != ReadResult::Ok) {
        m_host.RecoverLink();
        return Outcome::LinkLost;
    }
    const bool failed = operation == Checked::Erase ? protocol::EraseFailed(status[0])
                                                    : protocol::ProgramFailed(status[0]);
    return failed ? Outcome::Failed : Outcome::Done;
}

int CCommand::HexDigitValue(char c) {
    const int value = HexDigit(c);
    return value < 0 ? 0 : value;
}

}  // namespace pelican
