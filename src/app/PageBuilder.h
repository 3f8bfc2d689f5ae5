// How the window's controls are made: each control is created under its
// member's name (member and objectName alike) at its rectangle, with its
// caption, font, list and handler. A page lists its controls as a table of
// rows, in the layout's order, and BuildControls creates them (the keyboard's
// order follows the screen, OrderTabsByScreen in Widgets.h):
//
//     BuildControls(*this, box, {
//         LabelRow{CT_SLOT(lblSetCtrlID), {328, 72, 65, 25}, "Set ID:"},
//         EditRow{CT_SLOT(edCtrlBySN), {216, 24, 81, 24}, "16030001", 8},
//         ButtonRow{CT_SLOT(btnGetCtrlID), {328, 16, 321, 41}, "Get S/N or ID",
//                   &TfrmModule::btnGetCtrlIDClick},
//     });
//
// Controls with a look of their own (panels, lamps, the memo) are made with
// the single helpers below.
#pragma once

#include "app/Lamp.h"
#include "app/Module.h"

#include <QColor>
#include <QFont>
#include <QGroupBox>
#include <QPalette>
#include <QRect>
#include <QStringList>

#include <initializer_list>
#include <type_traits>
#include <variant>

namespace ct::app::layout {

// Font families as the layout names them (mapped to installed fonts).
extern const QString SansSerif;
extern const QString ArialBlack;
extern const QString ArialNarrow;

// The system colours of the layout. Button face and highlight follow the
// desktop's palette; active caption and grey text have no palette role and
// take the classic desktop values.
QColor ButtonFace();
QColor Highlight();
inline const QColor ActiveCaption{10, 36, 106};
inline const QColor GreyText{128, 128, 128};
inline const QColor SkyBlue{0xA6, 0xCA, 0xF0};
inline const QColor Red{Qt::red};
inline const QColor Yellow{Qt::yellow};
inline const QColor White{Qt::white};

// The fonts controls keep whatever the language: `Window` takes the
// language's font, `Button` is bold 19-pixel "MS Sans Serif", `Digital` the
// 19-pixel "Arial Black" of the input and output captions.
enum class Font { Window, Button, Digital };
QFont ButtonFont();

// The module ID lists: "0" to "8", or "1" to "8".
QStringList IdItems(int first);

// A control member of the window and its name.
template <class W>
struct Slot {
    W* TfrmModule::*member;
    const char* name;
};
#define CT_SLOT(m) \
    ::ct::app::layout::Slot<std::remove_pointer_t<decltype(::ct::app::TfrmModule::m)>> { &::ct::app::TfrmModule::m, #m }

using Handler = void (TfrmModule::*)();

struct LabelRow {
    Slot<QLabel> slot;
    QRect rect;
    const char* caption;
    Font font = Font::Window;
    Qt::Alignment alignment = Qt::AlignLeft;
};
struct ButtonRow {
    Slot<QPushButton> slot;
    QRect rect;
    const char* caption;
    Handler click;
    Font font = Font::Button;
};
// An edit field; a limit caps only what the user types (0: none).
struct EditRow {
    Slot<QLineEdit> slot;
    QRect rect;
    const char* text;
    int limit = 0;
};
// A read-only reply field on a sky-blue ground.
struct ReplyRow {
    Slot<QLineEdit> slot;
    QRect rect;
};
struct CheckRow {
    Slot<QCheckBox> slot;
    QRect rect;
    const char* caption;
    bool checked = false;
    Font font = Font::Window;
};
struct RadioRow {
    Slot<QRadioButton> slot;
    QRect rect;
    const char* caption;
    bool checked = false;
};
// A drop-down; a fixed list accepts only its items, an editable one keeps
// what is typed as its text without adding it to the list.
struct ComboRow {
    Slot<QComboBox> slot;
    QRect rect;
    QStringList items;
    int selected;
    bool editable = false;
};

enum class Bevel { Raised, Lowered };
struct PanelLook {
    Bevel bevel;
    QColor background;
    QColor foreground;
    QFont font;
};
// A panel: centred text on a coloured ground, in a bevelled frame.
struct PanelRow {
    Slot<QLabel> slot;
    QRect rect;
    const char* caption;
    PanelLook look;
};
// A lamp, white (off) until its state is shown.
struct LampRow {
    Slot<Lamp> slot;
    QRect rect;
};

using Row = std::variant<LabelRow, ButtonRow, EditRow, ReplyRow, CheckRow, RadioRow, ComboRow, PanelRow, LampRow>;

void BuildControls(TfrmModule& window, QWidget* parent, std::initializer_list<Row> rows);
// A drop-down of a kind of its own, made by the caller, set up as its row says.
void BuildCombo(TfrmModule& window, QWidget* parent, const ComboRow& row, QComboBox* combo);

// --- Single controls ---------------------------------------------------------

QWidget* MakePage(TfrmModule& window, Slot<QWidget> slot, QTabWidget* pages, const char* caption);
QGroupBox* MakeGroup(TfrmModule& window, Slot<QGroupBox> slot, QWidget* parent, const QRect& rect,
                     const char* title);

QLabel* MakePanel(TfrmModule& window, Slot<QLabel> slot, QWidget* parent, const QRect& rect,
                  const QString& caption, const PanelLook& look);

Lamp* MakeLamp(TfrmModule& window, Slot<Lamp> slot, QWidget* parent, const QRect& rect, const QColor& colour);

// Background and text colour of one control, kept whatever the window's
// palette becomes.
void SetColours(QWidget* widget, const QColor& background, const QColor& foreground);
void SetBackground(QWidget* widget, QPalette::ColorRole role, const QColor& background);

void SetTabText(QTabWidget* tabs, QWidget* page, const QString& text);

// Creates a plain control under its member's name at its rectangle.
template <class W>
W* MakeControl(TfrmModule& window, Slot<W> slot, QWidget* parent, const QRect& rect)
{
    W* control = new W(parent);
    control->setObjectName(QLatin1String(slot.name));
    control->setGeometry(rect);
    window.*slot.member = control;
    return control;
}

}  // namespace ct::app::layout
