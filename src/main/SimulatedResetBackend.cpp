#include "SimulatedResetBackend.h"

#include "ui/Messages.h"

namespace pelican {

int CSimulatedResetBackend::MessageBox(const std::string& caption, const std::string& text, ui::Icon icon) {
    const int result = m_inner.MessageBox(caption, text, icon);
    if (ui::IsPushResetText(text)) m_reset();
    return result;
}

}  // namespace pelican
