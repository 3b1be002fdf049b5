#include "commands/PageRetry.h"

#include "link/Exchange.h"
#include "link/ReadTimeoutGuard.h"
#include "ui/Messages.h"

namespace pelican {

bool CPageRetry::Enabled() {
    const CRetryBudget* budget = m_host.Retries();
    return budget != nullptr && budget->Limit() > 0;
}

unsigned CPageRetry::ReadLimit(unsigned atLeast) {
    const CRetryBudget* budget = m_host.Retries();
    const unsigned reads = budget != nullptr ? budget->Limit() + 1 : 1;
    return reads > atLeast ? reads : atLeast;
}

bool CPageRetry::Left() {
    const CRetryBudget* budget = m_host.Retries();
    return budget != nullptr && budget->Left() > 0;
}

bool CPageRetry::Take(RetryNote note) {
    CRetryBudget* budget = m_host.Retries();
    return budget != nullptr && budget->Take(std::move(note));
}

void CPageRetry::Tell(const RetryNote& note) {
    if (const CRetryBudget* budget = m_host.Retries()) budget->Tell(note);
}

bool CPageRetry::Resume(RetryNote note) {
    for (;;) {
        // The recovery gave up (its "Set baudrate" was cancelled): there is
        // no link to go on with.
        if (!m_host.LinkReady()) return false;
        if (!Take(note)) return false;
        ReadResult why = ReadResult::Ok;
        switch (PassIdAgain(why)) {
            case IdAgain::Passed: return true;
            case IdAgain::Refused: return false;
            case IdAgain::Lost: break;
        }
        // The ID check's own status did not come and its recovery ran.
        note = Note("ID check", std::nullopt, Failure(why), "check the ID again");
    }
}

CPageRetry::IdAgain CPageRetry::PassIdAgain(ReadResult& why) {
    // The Orca/W boot loader takes its download without an ID exchange.
    if (m_host.Target() != 0) return IdAgain::Passed;
    CDeviceId* device = m_host.DeviceId();
    // Without an ID to give, only a board that kept its ID check (one that
    // was not reset) can go on.
    if (device == nullptr || !device->Known()) return m_host.IdChecked() ? IdAgain::Passed : IdAgain::Refused;
    CSerialComm& port = m_host.Port();
    // Inside a page loop the short per-page time-out may be in force.
    CReadTimeoutGuard standing(port, protocol::kTimeoutStanding);
    // The ID it holds now: FF after an erase, the file's once the page with
    // the ID locations is programmed; that page may have been taken just
    // before the failure, so its ID is the second to try.
    for (const CDeviceId::Id& id : device->Candidates()) {
        port.PurgeInput();
        uint8_t status[2] = {0, 0};
        why = CheckId(port, device->McuType(), id.data(), status);
        if (why != ReadResult::Ok) {
            m_host.RecoverLink();
            return IdAgain::Lost;
        }
        if (protocol::IdStateOf(status[1]) == protocol::IdState::Passed) {
            device->Passed(device->McuType(), id);
            m_host.IdChecked() = 1;
            return IdAgain::Passed;
        }
    }
    m_host.IdChecked() = 0;
    ui::MessageBox(ui::IDS_NOT_MATCH_ID, ui::Icon::Exclamation);
    return IdAgain::Refused;
}

RetryNote CPageRetry::Note(const std::string& exchange, std::optional<uint32_t> address, const std::string& failed,
                           const std::string& next) {
    RetryNote note;
    note.exchange = exchange;
    note.hasAddress = address.has_value();
    note.address = address.value_or(0);
    note.failed = failed;
    note.next = next;
    return note;
}

const char* CPageRetry::Failure(ReadResult why) {
    switch (why) {
        case ReadResult::TimedOut: return "no reply";
        case ReadResult::LineError: return "line error";
        case ReadResult::PortGone: return "port failed";
        case ReadResult::Ok: break;
    }
    return "wrong reply";
}

}  // namespace pelican
