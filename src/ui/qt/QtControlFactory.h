#pragma once
// Creates the Qt widget for one control of a dialog template and places it
// where the original platform would: each control at its converted dialog-unit
// rectangle, except where that platform sizes a control itself.
#include <string>

#include <QRect>
#include <QString>

#include "ui/DialogTemplate.h"
#include "ui/qt/DialogUnits.h"

class QLabel;
class QWidget;

namespace pelican::ui {

class CQtControlFactory {
public:
    // Controls are created as children of parent and take its font.
    CQtControlFactory(QWidget* parent, const CDialogUnits& units);

    QWidget* Create(const ControlTemplate& control) const;

    // The pixel rectangle of a control. Drop-down combo boxes keep their
    // closed height (the template's height includes the dropped list), icons
    // are 32 by 32, and etched lines are at least 2 pixels high so they show.
    QRect Geometry(const ControlTemplate& control, const QWidget* widget) const;

    // The text a label shows when '&' marks a mnemonic but nothing takes the
    // focus for it: "&&" shows one '&', a single '&' is not shown.
    static QString WithoutMnemonics(const QString& text);
    // Shows raw text on a label: as it is with kNoPrefix, otherwise with '&'
    // read as a mnemonic marker (by Qt when the label has a buddy).
    static void SetLabelText(QLabel& label, const std::string& raw, uint32_t style);

    static constexpr int kIconSize = 32;

private:
    QWidget* m_parent;
    CDialogUnits m_units;
};

}  // namespace pelican::ui
