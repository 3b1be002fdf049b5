// Windows built from templates: where every control lands in pixels, what
// each control kind becomes, data exchange by id, and rendering to a picture.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iterator>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include "SampleDlg.h"
#include "support/TempDir.h"
#include "ui/qt/DialogRenderer.h"
#include "ui/qt/DialogUnits.h"
#include "ui/qt/QtControlFactory.h"
#include "ui/qt/QtDialogHost.h"

namespace pelican::test {
namespace {

using namespace pelican::ui;
using S = CSampleDlg;

TEST(DialogUnitsTest, ConvertsLikeThePlatformsMulDiv) {
    // Half the width of 26 letters, rounded up.
    EXPECT_EQ(CDialogUnits::BaseXFromLettersWidth(353), 7);  // DejaVu Sans 8 pt at 96 dpi
    EXPECT_EQ(CDialogUnits::BaseXFromLettersWidth(312), 6);
    EXPECT_EQ(CDialogUnits::BaseXFromLettersWidth(286), 6);  // 11 per letter rounds up to 6
    const CDialogUnits units(7, 13);
    EXPECT_EQ(units.X(50), 88);   // 87.5: halves go away from zero
    EXPECT_EQ(units.X(-50), -88);
    EXPECT_EQ(units.Y(14), 23);   // 22.75
    EXPECT_EQ(units.Y(138), 224);  // 224.25
    EXPECT_EQ(units.Rect(24, 138, 50, 14), QRect(42, 224, 88, 23));
    EXPECT_EQ(units.Size(186, 93), QSize(326, 151));
    EXPECT_EQ(CDialogUnits::MulDiv(5, 3, 0), -1);
    EXPECT_EQ(CDialogUnits::MulDiv(1, 3, -2), -2);
}

TEST(DialogUnitsTest, TemplateFontIsReplacedByAnInstalledSansSerif) {
    const QFont font = CDialogUnits::TemplateFont("MS Sans Serif", 8);
    EXPECT_EQ(QFontInfo(font).family(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(font.pointSize(), 8);
}

class QtDialogHostTest : public ::testing::Test {
protected:
    CSampleDlg m_dlg;
    CQtDialogHost m_host{m_dlg, nullptr};
};

TEST_F(QtDialogHostTest, EveryControlSitsAtItsConvertedRectangle) {
    // DejaVu Sans 8 pt: its 52 letters give a horizontal base of 7 (not its
    // average character width), its line a vertical base of 13.
    EXPECT_EQ(QFontInfo(m_host.font()).family(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(m_host.Units().BaseX(), 7);
    EXPECT_EQ(m_host.Units().BaseY(), 13);
    EXPECT_NE(QFontMetrics(m_host.font(), &m_host).averageCharWidth(), 7);
    EXPECT_EQ(m_host.size(), QSize(350, 254));
    // The template's rectangles in pixels on those bases (x * 7 / 4,
    // y * 13 / 8, halves away from zero), worked out by hand.
    const QRect expected[] = {
        {14, 13, 35, 33},   {63, 20, 273, 16},  {14, 52, 161, 72},  {25, 72, 140, 16},  {25, 94, 140, 16},
        {186, 52, 151, 72}, {196, 73, 39, 13},  {238, 70, 88, 98},  {196, 98, 39, 13},  {238, 94, 88, 98},
        {14, 133, 210, 16}, {14, 159, 35, 13},  {53, 156, 123, 20}, {186, 156, 151, 20}, {14, 185, 322, 16},
        {14, 205, 322, 13}, {0, 219, 350, 2},   {42, 224, 88, 23},  {140, 224, 88, 23}, {238, 224, 88, 23},
    };
    const DialogTemplate& tmpl = m_dlg.Template();
    ASSERT_EQ(tmpl.controls.size(), std::size(expected));
    ASSERT_EQ(m_host.ControlAt(tmpl.controls.size()), nullptr);
    for (size_t i = 0; i < tmpl.controls.size(); ++i) {
        const ControlTemplate& c = tmpl.controls[i];
        QWidget* widget = m_host.ControlAt(i);
        ASSERT_NE(widget, nullptr);
        SCOPED_TRACE("control " + std::to_string(i) + " \"" + c.caption + "\"");
        const QRect actual = widget->geometry();
        EXPECT_EQ(actual.topLeft(), expected[i].topLeft());
        switch (c.kind) {
            case ControlKind::ComboBox:
            case ControlKind::ComboList:
                // The template's height includes the dropped list.
                EXPECT_EQ(actual.width(), expected[i].width());
                EXPECT_EQ(actual.height(), widget->sizeHint().height());
                EXPECT_LT(actual.height(), expected[i].height());
                break;
            case ControlKind::Icon: EXPECT_EQ(actual.size(), QSize(32, 32)); break;
            default: EXPECT_EQ(actual, expected[i]);
        }
    }
}

TEST_F(QtDialogHostTest, ControlKindsBecomeTheMatchingWidgets) {
    const DialogTemplate& tmpl = m_dlg.Template();
    for (size_t i = 0; i < tmpl.controls.size(); ++i) {
        QWidget* w = m_host.ControlAt(i);
        SCOPED_TRACE(i);
        switch (tmpl.controls[i].kind) {
            case ControlKind::Static: EXPECT_NE(qobject_cast<QLabel*>(w), nullptr); break;
            case ControlKind::Edit: EXPECT_NE(qobject_cast<QLineEdit*>(w), nullptr); break;
            case ControlKind::Button: {
                auto* button = qobject_cast<QPushButton*>(w);
                ASSERT_NE(button, nullptr);
                EXPECT_FALSE(button->autoDefault());
                EXPECT_EQ(button->isDefault(), tmpl.controls[i].id == IDOK);
                break;
            }
            case ControlKind::GroupBox: EXPECT_NE(qobject_cast<QGroupBox*>(w), nullptr); break;
            case ControlKind::Radio: EXPECT_NE(qobject_cast<QRadioButton*>(w), nullptr); break;
            case ControlKind::CheckBox: EXPECT_NE(qobject_cast<QCheckBox*>(w), nullptr); break;
            case ControlKind::ComboBox:
            case ControlKind::ComboList: {
                auto* combo = qobject_cast<QComboBox*>(w);
                ASSERT_NE(combo, nullptr);
                EXPECT_EQ(combo->isEditable(), tmpl.controls[i].kind == ControlKind::ComboBox);
                EXPECT_EQ(combo->count(), static_cast<int>(tmpl.controls[i].items.size()));
                break;
            }
            case ControlKind::Etched: {
                auto* line = qobject_cast<QFrame*>(w);
                ASSERT_NE(line, nullptr);
                EXPECT_EQ(line->frameShape(), QFrame::HLine);
                EXPECT_EQ(line->frameShadow(), QFrame::Sunken);
                break;
            }
            case ControlKind::Progress: EXPECT_NE(qobject_cast<QProgressBar*>(w), nullptr); break;
            case ControlKind::Icon: {
                auto* icon = qobject_cast<QLabel*>(w);
                ASSERT_NE(icon, nullptr);
                EXPECT_FALSE(icon->pixmap().isNull());
                break;
            }
        }
    }
    EXPECT_TRUE(qobject_cast<QLineEdit*>(m_host.Control(S::kFile))->isReadOnly());
    EXPECT_FALSE(qobject_cast<QLineEdit*>(m_host.Control(S::kId))->isReadOnly());
    // A label's mnemonic leads to the next control that takes the focus; a
    // kNoPrefix label shows its '&'.
    EXPECT_EQ(qobject_cast<QLabel*>(m_host.ControlAt(1))->buddy(), m_host.Control(S::kTargetFlash));
    EXPECT_EQ(qobject_cast<QLabel*>(m_host.ControlAt(6))->buddy(), m_host.Control(S::kPort));
    EXPECT_EQ(qobject_cast<QLabel*>(m_host.Control(S::kNote))->text(), QStringLiteral("Save & exit"));
    EXPECT_EQ(qobject_cast<QLabel*>(m_host.Control(S::kNote))->buddy(), nullptr);
    EXPECT_EQ(CQtControlFactory::WithoutMnemonics(QStringLiteral("&Load && go&")), QStringLiteral("Load & go"));
    EXPECT_EQ(m_host.windowTitle(), QStringLiteral("Connection"));
}

TEST_F(QtDialogHostTest, DataExchangeReachesEveryKindById) {
    m_host.Attach();
    EXPECT_EQ(m_dlg.Host(), &m_host);
    m_dlg.OnInitDialog();
    EXPECT_EQ(m_host.GetText(S::kFile), "sample.mot");
    EXPECT_EQ(m_host.GetText(S::kPort), "COM1");
    EXPECT_EQ(qobject_cast<QComboBox*>(m_host.Control(S::kRate))->currentIndex(), 1);
    EXPECT_EQ(m_host.GetCheck(S::kTargetFlash), 1);
    EXPECT_EQ(m_host.GetText(S::kNote), "Save & exit");
    EXPECT_EQ(m_host.GetText(S::kRefer), "&Refer...");
    EXPECT_EQ(m_host.GetText(4711), "");

    // Radio groups are exclusive within themselves, and a group may be left
    // with nothing checked.
    qobject_cast<QAbstractButton*>(m_host.Control(S::kTargetBoot))->click();
    EXPECT_EQ(m_host.GetCheck(S::kTargetFlash), 0);
    EXPECT_EQ(m_host.GetCheck(S::kTargetBoot), 1);
    m_dlg.m_target = -1;
    m_dlg.UpdateData(false);
    EXPECT_EQ(m_host.GetCheck(S::kTargetFlash) + m_host.GetCheck(S::kTargetBoot), 0);
    m_dlg.UpdateData(true);
    EXPECT_EQ(m_dlg.m_target, -1);

    // A drop-down list selects an entry; text it does not hold changes nothing.
    m_host.SetText(S::kRate, "576");
    EXPECT_EQ(m_host.GetText(S::kRate), "57600");
    m_host.SetText(S::kRate, "1234");
    EXPECT_EQ(m_host.GetText(S::kRate), "57600");
    m_host.SetText(S::kPort, "/dev/ttyS7");  // any text in a combo box with edit field
    EXPECT_EQ(m_host.GetText(S::kPort), "/dev/ttyS7");

    // Progress: an empty range shows an empty bar (not Qt's busy bar), and
    // positions stop at the ends.
    auto* bar = qobject_cast<QProgressBar*>(m_host.Control(S::kBar));
    EXPECT_EQ(bar->value(), 65);
    m_host.SetPos(S::kBar, 500);
    EXPECT_EQ(bar->value(), 130);
    m_host.SetPos(S::kBar, -3);
    EXPECT_EQ(bar->value(), 0);
    m_host.SetRange(S::kBar, 0, 0);
    m_host.SetPos(S::kBar, 0);
    EXPECT_LT(bar->minimum(), bar->maximum());
    EXPECT_EQ(bar->value(), bar->minimum());

    // The whole window: controls refuse input; each control's own state
    // comes back when the window is enabled again.
    m_host.EnableControl(S::kRefer, false);
    m_host.EnableWindow(false);
    EXPECT_FALSE(m_host.IsWindowEnabled());
    EXPECT_FALSE(m_host.Control(IDOK)->isEnabled());
    m_host.EnableWindow(true);
    EXPECT_TRUE(m_host.IsWindowEnabled());
    EXPECT_TRUE(m_host.Control(IDOK)->isEnabled());
    EXPECT_FALSE(m_host.Control(S::kRefer)->isEnabled());

    m_host.SetTitle("Other");
    EXPECT_EQ(m_host.windowTitle(), QStringLiteral("Other"));
    m_host.Detach();
    EXPECT_EQ(m_dlg.Host(), nullptr);
}

TEST(DialogRendererTest, WritesAPictureOfTheWindowWithText) {
    CTempDir dir;
    CSampleDlg dlg;
    dlg.m_id = "C0010";
    const std::string path = dir.File("sample.png");
    ASSERT_TRUE(RenderDialogToPng(dlg, path));
    EXPECT_EQ(dlg.Host(), nullptr);

    QImage image(QString::fromStdString(path));
    ASSERT_FALSE(image.isNull());
    CQtDialogHost host(dlg, nullptr);
    EXPECT_EQ(image.size(), host.size());
    // Glyphs: dark pixels inside the first label's rectangle.
    const QRect label = host.ControlAt(1)->geometry();
    int dark = 0;
    for (int y = label.top(); y <= label.bottom(); ++y)
        for (int x = label.left(); x <= label.right(); ++x)
            if (QColor(image.pixel(x, y)).lightness() < 100) ++dark;
    EXPECT_GT(dark, 50);
}

}  // namespace
}  // namespace pelican::test
