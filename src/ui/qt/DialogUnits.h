#pragma once
// Dialog units: templates give positions and sizes relative to their font, so
// the same template keeps its proportions whatever font the system provides.
// One horizontal unit is a quarter of the font's average letter width, one
// vertical unit an eighth of its height, rounded the way the original
// platform's MulDiv rounds.
#include <string>

#include <QFont>
#include <QRect>
#include <QSize>

class QPaintDevice;

namespace pelican::ui {

class CDialogUnits {
public:
    // The 52 letters whose average width is the horizontal base.
    static constexpr const char* kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

    CDialogUnits(int baseX, int baseY);

    // Bases measured on the font as it is actually rendered (on device, or
    // on the default screen when none is given).
    static CDialogUnits FromFont(const QFont& font, const QPaintDevice* device = nullptr);
    // The horizontal base from the advance width of kLetters: half the width
    // of 26 letters, rounded up, as the original platform computes it.
    static int BaseXFromLettersWidth(int lettersWidth);
    // The font a template names, at its point size. Faces this system lacks
    // ("MS Sans Serif" on Linux) are replaced by an installed sans-serif face.
    static QFont TemplateFont(const std::string& face, int pointSize);
    // number * numerator / denominator, rounded to nearest, halves away from
    // zero; -1 for a zero denominator.
    static int MulDiv(int number, int numerator, int denominator);

    int BaseX() const { return m_baseX; }
    int BaseY() const { return m_baseY; }
    int X(int units) const { return MulDiv(units, m_baseX, 4); }
    int Y(int units) const { return MulDiv(units, m_baseY, 8); }
    // Each of the four values is converted on its own, as controls are
    // placed when a template is created.
    QRect Rect(int x, int y, int cx, int cy) const { return QRect(X(x), Y(y), X(cx), Y(cy)); }
    QSize Size(int cx, int cy) const { return QSize(X(cx), Y(cy)); }

private:
    int m_baseX;
    int m_baseY;
};

}  // namespace pelican::ui
