#include "app/PageBuilder.h"

#include "app/Fonts.h"
#include "app/Widgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

namespace ct::app::layout {

const QString SansSerif = QStringLiteral("MS Sans Serif");
const QString ArialBlack = QStringLiteral("Arial Black");
const QString ArialNarrow = QStringLiteral("Arial Narrow");

QColor ButtonFace()
{
    return QApplication::palette().color(QPalette::Button);
}

QColor Highlight()
{
    return QApplication::palette().color(QPalette::Highlight);
}

QFont ButtonFont()
{
    return OwnFont(SansSerif, 19, true);
}

QStringList IdItems(int first)
{
    QStringList items;
    for (int id = first; id <= 8; ++id)
        items << QString::number(id);
    return items;
}

namespace {

void ApplyFont(QWidget* control, Font font)
{
    switch (font) {
    case Font::Window: break;
    case Font::Button: control->setFont(ButtonFont()); break;
    case Font::Digital: control->setFont(OwnFont(ArialBlack, 19)); break;
    }
}

// Builds one row; the overloads are picked by the row's kind.
struct RowBuilder {
    TfrmModule& window;
    QWidget* parent;

    void operator()(const LabelRow& row) const
    {
        QLabel* label = MakeControl(window, row.slot, parent, row.rect);
        label->setText(QString::fromUtf8(row.caption));
        label->setAlignment(row.alignment | Qt::AlignVCenter);
        ApplyFont(label, row.font);
    }

    void operator()(const ButtonRow& row) const
    {
        QPushButton* button = MakeControl(window, row.slot, parent, row.rect);
        button->setText(QString::fromUtf8(row.caption));
        ApplyFont(button, row.font);
        QObject::connect(button, &QPushButton::clicked, &window, row.click);
    }

    void operator()(const EditRow& row) const
    {
        QLineEdit* edit = MakeControl(window, row.slot, parent, row.rect);
        LimitTypedLength(edit, row.limit);
        edit->setText(QString::fromUtf8(row.text));
    }

    void operator()(const ReplyRow& row) const
    {
        QLineEdit* edit = MakeControl(window, row.slot, parent, row.rect);
        LimitTypedLength(edit, 0);
        edit->setReadOnly(true);
        SetBackground(edit, QPalette::Base, SkyBlue);
    }

    void operator()(const CheckRow& row) const
    {
        QCheckBox* box = MakeControl(window, row.slot, parent, row.rect);
        box->setText(QString::fromUtf8(row.caption));
        box->setChecked(row.checked);
        ApplyFont(box, row.font);
    }

    void operator()(const RadioRow& row) const
    {
        QRadioButton* button = MakeControl(window, row.slot, parent, row.rect);
        button->setText(QString::fromUtf8(row.caption));
        button->setChecked(row.checked);
    }

    void operator()(const PanelRow& row) const
    {
        MakePanel(window, row.slot, parent, row.rect, QString::fromUtf8(row.caption), row.look);
    }

    void operator()(const LampRow& row) const { MakeLamp(window, row.slot, parent, row.rect, White); }

    void operator()(const ComboRow& row) const { BuildCombo(window, parent, row, new QComboBox); }
};

}  // namespace

void BuildCombo(TfrmModule& window, QWidget* parent, const ComboRow& row, QComboBox* combo)
{
    combo->setParent(parent);
    combo->setObjectName(QLatin1String(row.slot.name));
    combo->setGeometry(row.rect);
    window.*row.slot.member = combo;
    combo->setEditable(row.editable);
    if (row.editable) {
        combo->setInsertPolicy(QComboBox::NoInsert);
        LimitTypedLength(combo->lineEdit(), 0);
    }
    combo->addItems(row.items);
    combo->setCurrentIndex(row.selected);
}

void BuildControls(TfrmModule& window, QWidget* parent, std::initializer_list<Row> rows)
{
    const RowBuilder builder{window, parent};
    for (const Row& row : rows)
        std::visit(builder, row);
}

QWidget* MakePage(TfrmModule& window, Slot<QWidget> slot, QTabWidget* pages, const char* caption)
{
    auto* page = new QWidget;
    page->setObjectName(QLatin1String(slot.name));
    pages->addTab(page, QString::fromUtf8(caption));
    window.*slot.member = page;
    return page;
}

QGroupBox* MakeGroup(TfrmModule& window, Slot<QGroupBox> slot, QWidget* parent, const QRect& rect,
                     const char* title)
{
    auto* box = new GroupBox(parent);
    box->setObjectName(QLatin1String(slot.name));
    box->setGeometry(rect);
    box->setTitle(QString::fromUtf8(title));
    window.*slot.member = box;
    return box;
}

QLabel* MakePanel(TfrmModule& window, Slot<QLabel> slot, QWidget* parent, const QRect& rect,
                  const QString& caption, const PanelLook& look)
{
    QLabel* panel = MakeControl(window, slot, parent, rect);
    panel->setFrameStyle(QFrame::Panel | (look.bevel == Bevel::Raised ? QFrame::Raised : QFrame::Sunken));
    panel->setLineWidth(1);
    panel->setAlignment(Qt::AlignCenter);
    panel->setText(caption);
    panel->setFont(look.font);
    SetColours(panel, look.background, look.foreground);
    return panel;
}

Lamp* MakeLamp(TfrmModule& window, Slot<Lamp> slot, QWidget* parent, const QRect& rect, const QColor& colour)
{
    Lamp* lamp = MakeControl(window, slot, parent, rect);
    lamp->setColour(colour);
    return lamp;
}

void SetColours(QWidget* widget, const QColor& background, const QColor& foreground)
{
    // Every colour group gets them: the controls keep their colours while the
    // window is blocked.
    QPalette palette = widget->palette();
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button})
        palette.setColor(role, background);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, foreground);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void SetBackground(QWidget* widget, QPalette::ColorRole role, const QColor& background)
{
    QPalette palette = widget->palette();
    palette.setColor(role, background);
    widget->setPalette(palette);
}

void SetTabText(QTabWidget* tabs, QWidget* page, const QString& text)
{
    tabs->setTabText(tabs->indexOf(page), text);
}

}  // namespace ct::app::layout
