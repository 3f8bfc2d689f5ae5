// The frame monitor's rows: what the window's link did on the line (frames
// sent and received, skipped bytes, time-outs, the link opened and closed),
// each stamped with the milliseconds since the monitor opened, in a bounded
// ring of at most Capacity rows; the oldest rows go first.
//
// The link reports through ILinkTrace, synchronously, in the middle of its
// transactions: a report only queues the row (a time stamp and a copy of the
// bytes). Queued rows reach the table with Flush, which the window runs on a
// timer; while paused, rows stay queued (the queue is bounded the same way)
// and come in at the next flush after Resume. Row texts are made when the
// view asks for them, in the current language of the catalogue.
#pragma once

#include "app/Catalogue.h"
#include "link/Link.h"

#include <QAbstractTableModel>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

namespace ct::link {
class IClock;
}

namespace ct::app {

enum class FrameEvent : std::uint8_t { Opened, OpenFailed, Closed, Sent, Received, Skipped, TimedOut };
enum class FrameCheck : std::uint8_t { None, Good, BadCheck, TimeOut, Resynchronised };

struct FrameRecord {
    std::uint64_t ms = 0;
    FrameEvent event = FrameEvent::Sent;
    FrameCheck check = FrameCheck::None;
    // The bytes on the line; for an open, the link it names.
    std::string bytes;
};

class FrameMonitorModel final : public QAbstractTableModel, public link::ILinkTrace {
    Q_OBJECT
public:
    // The check before the bytes, so that it shows however long they are.
    enum Column { ColTime, ColDirection, ColCheck, ColText, ColHex, ColumnCount };
    // Well over 10,000 frames: a Connect is 8 rows for 6 frames.
    static constexpr std::size_t DefaultCapacity = 20000;

    FrameMonitorModel(const Catalogue& catalogue, link::IClock& clock, std::size_t capacity = DefaultCapacity,
                      QObject* parent = nullptr);

    void SetLanguage(int language);
    // Queued rows into the table, unless paused.
    void Flush();
    void SetPaused(bool paused) { paused_ = paused; }
    bool Paused() const { return paused_; }
    // Empties the table and the queue; the time still counts from the opening.
    void Clear();
    std::size_t Queued() const { return queue_.size(); }
    const FrameRecord& Record(int row) const { return rows_[static_cast<std::size_t>(row)]; }
    // A row's five texts joined by tabs (control bytes are escaped, so no
    // text holds a tab); row -1 gives the column titles.
    QString RowLine(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // link::ILinkTrace
    void LinkOpened(const link::LinkSettings& settings, bool opened) override;
    void LinkClosed() override;
    void FrameSent(std::string_view frame) override;
    void FrameReceived(std::string_view skipped, std::string_view frame, bool checkPassed) override;
    void TimedOut(std::uint32_t limitMs, bool countsSilence, std::string_view received) override;

private:
    void Queue(FrameEvent event, FrameCheck check, std::string_view bytes);
    QString Text(int row, int column) const;

    const Catalogue& catalogue_;
    link::IClock& clock_;
    std::size_t capacity_;
    int language_ = LangEnglish;
    bool paused_ = false;
    // The clock wraps at 2^32 ms: the time since the opening is summed from
    // its steps.
    std::uint32_t lastReading_;
    std::uint64_t elapsed_ = 0;
    std::deque<FrameRecord> queue_;
    std::deque<FrameRecord> rows_;
};

}  // namespace ct::app
