#include "ui/qt/DialogUnits.h"

#include <cstdint>

#include <QFontDatabase>
#include <QFontMetrics>

namespace pelican::ui {

namespace {
// Installed with fonts-dejavu-core; close in size to the templates' face.
const char* const kSubstituteFace = "DejaVu Sans";
}  // namespace

CDialogUnits::CDialogUnits(int baseX, int baseY) : m_baseX(baseX), m_baseY(baseY) {}

CDialogUnits CDialogUnits::FromFont(const QFont& font, const QPaintDevice* device) {
    const QFontMetrics metrics = device != nullptr ? QFontMetrics(font, device) : QFontMetrics(font);
    const int width = metrics.horizontalAdvance(QString::fromLatin1(kLetters));
    return CDialogUnits(BaseXFromLettersWidth(width), metrics.height());
}

int CDialogUnits::BaseXFromLettersWidth(int lettersWidth) {
    return (lettersWidth / 26 + 1) / 2;
}

QFont CDialogUnits::TemplateFont(const std::string& face, int pointSize) {
    QString family = QString::fromStdString(face);
    if (family.isEmpty() || !QFontDatabase::hasFamily(family)) {
        family = QFontDatabase::hasFamily(QString::fromLatin1(kSubstituteFace))
                     ? QString::fromLatin1(kSubstituteFace)
                     : QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    }
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(pointSize > 0 ? pointSize : 8);
    return font;
}

int CDialogUnits::MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) return -1;
    int64_t product = static_cast<int64_t>(number) * numerator;
    int64_t divisor = denominator;
    if (divisor < 0) {
        divisor = -divisor;
        product = -product;
    }
    const int64_t half = divisor / 2;
    const int64_t rounded = product >= 0 ? (product + half) / divisor : -((-product + half) / divisor);
    return static_cast<int>(rounded);
}

}  // namespace pelican::ui
