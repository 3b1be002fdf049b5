#include "link/IoController.h"

namespace pelican {

CIoController::CIoController(std::unique_ptr<ISerialDevice> device)
    : m_device(std::move(device)) {}

CIoController::~CIoController() {
    CIoController::Close();
}

int CIoController::Open(const std::string& name) {
    // A second Open must not lose track of the device that is already open.
    if (IsOpen()) return 0;
    if (!m_device->Open(name)) {
        m_hPort = kInvalidHandle;
        return 0;
    }
    m_hPort = m_device->Handle();
    m_portName = name;
    return 1;
}

int CIoController::Close() {
    if (!CIoController::IsOpen()) return 1;
    if (!m_device->Close()) return 0;
    m_hPort = kInvalidHandle;
    m_portName.clear();
    return 1;
}

int CIoController::IsOpen() const {
    return m_hPort != kInvalidHandle ? 1 : 0;
}

}  // namespace pelican
