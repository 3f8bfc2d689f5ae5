#include "app/Widgets.h"

#include <QLineEdit>
#include <qdrawutil.h>
#include <QStylePainter>
#include <QTabBar>
#include <QValidator>

#include <algorithm>
#include <limits>

namespace ct::app {

void RefilledComboBox::showPopup()
{
    if (items) {
        const QString shown = currentText();
        clear();
        addItems(items());
        setCurrentIndex(findText(shown, Qt::MatchExactly));
        setEditText(shown);
    }
    QComboBox::showPopup();
}

int GroupBox::FrameTop() const
{
    return CaptionHeight() / 2;
}

int GroupBox::CaptionHeight() const
{
    // Chinese text falls back to a font with a taller line than the window
    // font's own; the caption's real height counts every font it uses.
    return std::max(fontMetrics().height(), fontMetrics().size(Qt::TextSingleLine, title()).height());
}

void GroupBox::paintEvent(QPaintEvent*)
{
    // The stock group box puts its frame below a caption line of its own,
    // which runs the line through controls placed near the top of the box.
    // The style's own group-box frame adds a caption margin of its own, so the
    // frame is the classic etched line, drawn here.
    QStylePainter painter(this);
    qDrawShadeRect(&painter, rect().adjusted(0, FrameTop(), 0, 0), palette(), true, 1, 0);

    const QString caption = title();
    if (caption.isEmpty())
        return;
    const QRect area = CaptionArea();
    painter.fillRect(area, palette().brush(backgroundRole()));
    painter.drawItemText(area, Qt::AlignCenter, palette(), isEnabled(), caption, QPalette::WindowText);
}

QRect GroupBox::CaptionArea() const
{
    if (title().isEmpty())
        return {};
    constexpr int Indent = 8;
    constexpr int Padding = 2;
    const QFontMetrics metrics = fontMetrics();
    const int width = std::min(metrics.horizontalAdvance(title()) + 2 * Padding, this->width() - 2 * Indent);
    return {Indent, 0, std::max(width, 0), CaptionHeight()};
}

void HidePage(QTabWidget* pages, QWidget* page)
{
    const int index = pages->indexOf(page);
    pages->setTabVisible(index, false);
    // The tab bar's own stepping (wheel, Ctrl+Tab, arrow keys) skips disabled
    // tabs but not hidden ones. Only the tab is disabled: the page and its
    // buttons keep working for the program.
    pages->tabBar()->setTabEnabled(index, false);
}

void ShowPage(QTabWidget* pages, QWidget* page)
{
    const int index = pages->indexOf(page);
    pages->tabBar()->setTabEnabled(index, true);
    pages->setTabVisible(index, true);
}

namespace {

bool TakesTab(const QWidget* widget)
{
    return (widget->focusPolicy() & Qt::TabFocus) != 0 && qobject_cast<const QTabWidget*>(widget) == nullptr;
}

bool HoldsTabStop(const QWidget* widget)
{
    if (TakesTab(widget))
        return true;
    const QList<QWidget*> inside = widget->findChildren<QWidget*>();
    return std::any_of(inside.begin(), inside.end(), [](const QWidget* w) { return TakesTab(w); });
}

void AppendInScreenOrder(QWidget* container, QList<QWidget*>& order)
{
    if (auto* tabs = qobject_cast<QTabWidget*>(container)) {
        // The page control itself is the stop that hands the focus to its tab
        // bar; left where it was made, Tab would come back to it from the end
        // of a page. Tab passes over the controls of the pages not shown.
        order << tabs;
        for (int i = 0; i < tabs->count(); ++i)
            AppendInScreenOrder(tabs->widget(i), order);
        return;
    }
    QList<QWidget*> units;
    for (QObject* child : container->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget != nullptr && !widget->isWindow() && HoldsTabStop(widget))
            units << widget;
    }
    std::stable_sort(units.begin(), units.end(),
                     [](const QWidget* a, const QWidget* b) { return a->y() < b->y(); });
    // A control joins the row of the one above it when it starts above that
    // one's middle: controls of a row differ by a few pixels in their tops,
    // while the next row may overlap the lower edge of a tall button.
    for (qsizetype first = 0; first < units.size();) {
        const QRect anchor = units[first]->geometry();
        qsizetype end = first + 1;
        while (end < units.size() && units[end]->y() < anchor.center().y())
            ++end;
        std::stable_sort(units.begin() + first, units.begin() + end,
                         [](const QWidget* a, const QWidget* b) { return a->x() < b->x(); });
        for (qsizetype i = first; i < end; ++i) {
            if (TakesTab(units[i]))
                order << units[i];
            else
                AppendInScreenOrder(units[i], order);
        }
        first = end;
    }
}

}  // namespace

void OrderTabsByScreen(QWidget* root)
{
    QList<QWidget*> order;
    AppendInScreenOrder(root, order);
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

namespace {

class TypedLength final : public QValidator {
public:
    TypedLength(QLineEdit* edit, int limit) : QValidator(edit), limit_(limit), length_(edit->text().size())
    {
        connect(edit, &QLineEdit::textChanged, this, [this](const QString& text) { length_ = text.size(); });
    }

    // Lets the program's next text through whole.
    void Bypass(bool on) { bypass_ = on; }

    State validate(QString& input, int& pos) const override
    {
        // QLineEdit runs the program's setText through the validator too.
        if (bypass_)
            return Acceptable;
        // What the user adds may not take the text past the limit, or past
        // its length before the edit when the program put in a longer text.
        const qsizetype allowed = std::max<qsizetype>(limit_, length_);
        const qsizetype excess = input.size() - allowed;
        if (excess > 0) {
            // The new characters end at the cursor: the tail of what was just
            // typed or pasted is dropped, as a full field drops it.
            const qsizetype from = std::max<qsizetype>(pos - excess, 0);
            input.remove(from, excess);
            pos = static_cast<int>(from);
        }
        return Acceptable;
    }

private:
    int limit_;
    qsizetype length_;
    bool bypass_ = false;
};

}  // namespace

void LimitTypedLength(QLineEdit* edit, int limit)
{
    // QLineEdit's own limit also cuts what the program sets.
    edit->setMaxLength(std::numeric_limits<int>::max());
    if (limit > 0)
        edit->setValidator(new TypedLength(edit, limit));
}

void SetFieldText(QLineEdit* edit, const QString& text)
{
    // The validator is always ours: nothing else sets one on these fields.
    auto* limit = const_cast<TypedLength*>(dynamic_cast<const TypedLength*>(edit->validator()));
    if (limit != nullptr)
        limit->Bypass(true);
    edit->setText(text);
    if (limit != nullptr)
        limit->Bypass(false);
}

std::string ToBytes(const QString& text)
{
    const QByteArray bytes = text.toLatin1();
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

QString FromBytes(const std::string& bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace ct::app
