// The window's own control kinds, where Qt's stock widgets draw or behave
// differently from the classic desktop controls the layout was drawn with:
// - GroupBox draws its frame line through the middle of its caption, so that
//   controls placed from the top of the box clear it;
// - RefilledComboBox lists what is there when it opens, not what was there
//   at start-up;
// - the keyboard's order follows the screen, not the order of creation;
// - a hidden page is out of reach of every keyboard and mouse path;
// - LimitTypedLength caps what the user types into an edit field while text
//   put in by the program (a stored setting) is kept whole.
#pragma once

#include <QComboBox>
#include <QGroupBox>
#include <QTabWidget>

#include <functional>
#include <string>

class QLineEdit;

namespace ct::app {

class GroupBox final : public QGroupBox {
    Q_OBJECT
public:
    using QGroupBox::QGroupBox;

    // The row of the frame's top line: half the caption's height.
    int FrameTop() const;
    // Where the caption is painted, over the frame's top line.
    QRect CaptionArea() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int CaptionHeight() const;
};

// A drop-down whose items are asked for anew each time its list opens; the
// text it shows stays as it was.
class RefilledComboBox final : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    std::function<QStringList()> items;

    void showPopup() override;
};

// Hides a page's tab for good: neither the wheel over the tab bar, nor
// Ctrl+Tab, nor the arrow keys step onto it; only the program can make the
// page current.
void HidePage(QTabWidget* pages, QWidget* page);
// Brings a hidden page's tab back within reach.
void ShowPage(QTabWidget* pages, QWidget* page);

// Gives Tab the screen's order among the controls inside `root`: rows from
// top to bottom, left to right within a row, the controls of a group box or
// page together where the box or page stands; a page control's tab bar
// before its pages.
void OrderTabsByScreen(QWidget* root);

// At most `limit` characters (0: any number) may be typed or pasted into
// `edit`. A longer text that the program puts in with SetFieldText stays
// whole; the user may shorten it but not lengthen it.
void LimitTypedLength(QLineEdit* edit, int limit);
// The program's text into an edit field, whole, whatever its typed limit.
// (QLineEdit::setText would cut it to the limit.)
void SetFieldText(QLineEdit* edit, const QString& text);

// The link carries 8-bit text: one byte per character both ways.
std::string ToBytes(const QString& text);
QString FromBytes(const std::string& bytes);

}  // namespace ct::app
