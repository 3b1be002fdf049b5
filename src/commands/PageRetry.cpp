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
    CRetryBudget* budget = m_host.Retries();
    if (budget != nullptr) budget->m_strayWrite = false;
    for (;;) {
        // The recovery gave up (its "Set baudrate" was cancelled): there is
        // no link to go on with.
        if (!m_host.LinkReady()) return false;
        // A board nobody reset may still be inside the frame the failure
        // cut, reading what came after it as page data or commands: a job
        // that goes on then may program what nobody sent.
        if (!m_host.BoardReset()) return false;
        if (!Take(note)) return false;
        ReadResult why = ReadResult::Ok;
        switch (LookAfterRecovery(why)) {
            case After::Passed: return true;
            case After::Refused: return false;
            case After::Lost: break;
        }
        // A status read or the ID check's own status did not come, and its
        // recovery ran.
        note = Note("status after the recovery", std::nullopt, Failure(why), "recover again");
    }
}

bool CPageRetry::StrayWrite() {
    const CRetryBudget* budget = m_host.Retries();
    return budget != nullptr && budget->m_strayWrite;
}

CPageRetry::After CPageRetry::LookAfterRecovery(ReadResult& why) {
    CSerialComm& port = m_host.Port();
    // Inside a page loop the short per-page time-out may be in force.
    CReadTimeoutGuard standing(port, protocol::kTimeoutStanding);
    // Before anything clears it, the status tells whether the board wrote
    // flash since the failure: a reset board starts with its failure bits
    // clear, and one that went on reading the cut frame's rest may have
    // programmed or erased what nobody asked for.
    port.PurgeInput();
    uint8_t status[2] = {0, 0};
    why = ReadStatus(port, status);
    if (why != ReadResult::Ok) {
        m_host.RecoverLink();
        return After::Lost;
    }
    if (protocol::ProgramFailed(status[0]) || protocol::EraseFailed(status[0])) {
        if (CRetryBudget* budget = m_host.Retries()) budget->m_strayWrite = true;
        RetryNote found = Note("status after the recovery", std::nullopt,
                               protocol::EraseFailed(status[0]) ? "erase failure bit set" : "program failure bit set",
                               "the flash may hold what was not sent");
        found.kind = RetryNote::Kind::Found;
        Tell(found);
        return After::Refused;
    }
    // The Orca/W boot loader takes its download without an ID exchange.
    if (m_host.Target() != 0) return After::Passed;
    // A board that kept its ID check needs no ID: every ID frame sent is
    // one more the boot loader counts.
    if (protocol::IdStateOf(status[1]) == protocol::IdState::Passed) {
        m_host.IdChecked() = 1;
        return After::Passed;
    }
    return PassIdAgain(why);
}

CPageRetry::After CPageRetry::PassIdAgain(ReadResult& why) {
    CDeviceId* device = m_host.DeviceId();
    // Without an ID to give, a board that lost its ID check cannot go on.
    if (device == nullptr || !device->Known()) {
        m_host.IdChecked() = 0;
        return After::Refused;
    }
    CSerialComm& port = m_host.Port();
    CReadTimeoutGuard standing(port, protocol::kTimeoutStanding);
    for (const CDeviceId::Id& id : device->Candidates()) {
        port.PurgeInput();
        uint8_t status[2] = {0, 0};
        why = CheckId(port, device->McuType(), id.data(), status);
        if (why != ReadResult::Ok) {
            m_host.RecoverLink();
            return After::Lost;
        }
        if (protocol::IdStateOf(status[1]) == protocol::IdState::Passed) {
            device->Passed(device->McuType(), id);
            m_host.IdChecked() = 1;
            return After::Passed;
        }
    }
    m_host.IdChecked() = 0;
    ui::MessageBox(m_host.Ui(), ui::IDS_NOT_MATCH_ID, ui::Icon::Exclamation);
    return After::Refused;
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
