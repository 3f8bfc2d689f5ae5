#include "app/FrameMonitorModel.h"

#include "link/Clock.h"
#include "link/FrameCodec.h"

#include <QFontDatabase>

namespace ct::app {

namespace {

QString Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (!out.empty())
            out += ' ';
        out += digits[b >> 4];
        out += digits[b & 0x0F];
    }
    return QString::fromLatin1(out.data(), static_cast<int>(out.size()));
}

std::string Where(const link::LinkSettings& settings)
{
    return settings.LinkType == link::LinkTypeCom ? settings.ComPortName + " " + settings.ComBaudRate
                                                  : "TCP " + settings.NetIP + ":" + settings.NetPort;
}

}  // namespace

FrameMonitorModel::FrameMonitorModel(const Catalogue& catalogue, link::IClock& clock, std::size_t capacity,
                                     QObject* parent)
    : QAbstractTableModel(parent),
      catalogue_(catalogue),
      clock_(clock),
      capacity_(capacity > 0 ? capacity : 1),
      lastReading_(clock.NowMs())
{
}

void FrameMonitorModel::SetLanguage(int language)
{
    language_ = language;
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
    if (!rows_.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

void FrameMonitorModel::Queue(FrameEvent event, FrameCheck check, std::string_view bytes)
{
    const std::uint32_t now = clock_.NowMs();
    elapsed_ += link::ElapsedMs(lastReading_, now);
    lastReading_ = now;
    if (queue_.size() == capacity_)
        queue_.pop_front();
    queue_.push_back(FrameRecord{elapsed_, event, check, std::string(bytes)});
}

void FrameMonitorModel::Flush()
{
    if (paused_ || queue_.empty())
        return;
    const std::size_t incoming = queue_.size();
    if (incoming >= capacity_ || rows_.empty()) {
        // Nothing of the table stays (or there was none): one reset is
        // cheaper for the view than removing and inserting row by row.
        beginResetModel();
        rows_.clear();
        rows_.swap(queue_);
        endResetModel();
        return;
    }
    const std::size_t room = capacity_ - rows_.size();
    if (incoming > room) {
        const int drop = static_cast<int>(incoming - room);
        beginRemoveRows(QModelIndex(), 0, drop - 1);
        rows_.erase(rows_.begin(), rows_.begin() + drop);
        endRemoveRows();
    }
    const int first = rowCount();
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(incoming) - 1);
    for (FrameRecord& record : queue_)
        rows_.push_back(std::move(record));
    queue_.clear();
    endInsertRows();
}

void FrameMonitorModel::Clear()
{
    beginResetModel();
    rows_.clear();
    queue_.clear();
    endResetModel();
}

int FrameMonitorModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int FrameMonitorModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString FrameMonitorModel::Text(int row, int column) const
{
    const auto text = [this](int entry) { return catalogue_.text(entry, language_); };
    if (row < 0) {
        static const int titles[ColumnCount] = {txt::MonitorTime, txt::MonitorDirection, txt::MonitorCheck,
                                                txt::MonitorText, txt::MonitorHex};
        return text(titles[column]);
    }
    const FrameRecord& r = Record(row);
    switch (column) {
    case ColTime:
        return QString::number(r.ms);
    case ColDirection:
        switch (r.event) {
        case FrameEvent::Sent: return text(txt::MonitorSent);
        case FrameEvent::Received:
        case FrameEvent::Skipped:
        case FrameEvent::TimedOut: return text(txt::MonitorReceived);
        default: return text(txt::MonitorLink);
        }
    case ColText: {
        const QString escaped = QString::fromStdString(link::EscapeBytes(r.bytes));
        switch (r.event) {
        case FrameEvent::Opened: return text(txt::MonitorOpened).arg(escaped);
        case FrameEvent::OpenFailed: return text(txt::MonitorCannotOpen).arg(escaped);
        case FrameEvent::Closed: return text(txt::MonitorClosed);
        default: return escaped;
        }
    }
    case ColHex:
        return r.event == FrameEvent::Opened || r.event == FrameEvent::OpenFailed ? QString() : Hex(r.bytes);
    case ColCheck:
        switch (r.check) {
        case FrameCheck::Good: return text(txt::MonitorGood);
        case FrameCheck::BadCheck: return text(txt::MonitorBadCheck);
        case FrameCheck::TimeOut: return text(txt::MonitorTimeOut);
        case FrameCheck::Resynchronised: return text(txt::MonitorResynchronised);
        case FrameCheck::None: return QString();
        }
    }
    return QString();
}

QString FrameMonitorModel::RowLine(int row) const
{
    QStringList texts;
    for (int column = 0; column < ColumnCount; ++column)
        texts << Text(row, column);
    return texts.join(QLatin1Char('\t'));
}

QVariant FrameMonitorModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    if (role == Qt::DisplayRole)
        return Text(index.row(), index.column());
    if (role == Qt::TextAlignmentRole && index.column() == ColTime)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::FontRole && (index.column() == ColText || index.column() == ColHex))
        return QFontDatabase::systemFont(QFontDatabase::FixedFont);
    return QVariant();
}

QVariant FrameMonitorModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return QVariant();
    return Text(-1, section);
}

void FrameMonitorModel::LinkOpened(const link::LinkSettings& settings, bool opened)
{
    Queue(opened ? FrameEvent::Opened : FrameEvent::OpenFailed, FrameCheck::None, Where(settings));
}

void FrameMonitorModel::LinkClosed()
{
    Queue(FrameEvent::Closed, FrameCheck::None, {});
}

void FrameMonitorModel::FrameSent(std::string_view frame)
{
    Queue(FrameEvent::Sent, FrameCheck::None, frame);
}

void FrameMonitorModel::FrameReceived(std::string_view skipped, std::string_view frame, bool checkPassed)
{
    // The bytes the assembler dropped to find the frame's start come first,
    // on a row of their own, so that both keep their exact bytes.
    if (!skipped.empty())
        Queue(FrameEvent::Skipped, FrameCheck::Resynchronised, skipped);
    Queue(FrameEvent::Received, checkPassed ? FrameCheck::Good : FrameCheck::BadCheck, frame);
}

void FrameMonitorModel::TimedOut(std::uint32_t, bool, std::string_view received)
{
    Queue(FrameEvent::TimedOut, FrameCheck::TimeOut, received);
}

}  // namespace ct::app
