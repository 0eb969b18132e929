// The rows of "通讯记录": the frames of the window's frame log that a filter
// lets through, as a table model over the log's view. The log and the view
// live outside Qt (link/, traffic/); this only shows them, describing the
// rows the table asks for.
#pragma once

#include <QAbstractTableModel>
#include <memory>

#include "traffic/LogView.h"

class CTrafficModel : public QAbstractTableModel {
 public:
  enum Column { Time, Direction, Slave, Function, Length, Crc, RoundTrip, Result, Meaning, Bytes, ColumnCount };

  explicit CTrafficModel(std::shared_ptr<const FrameLog> log, QObject* parent = nullptr);

  // Rows whose frames the log dropped leave from the top; then up to
  // `batches` reads of the frames the log gained, and those the filter
  // lets through come at the bottom.
  void Refresh(int batches);
  // Only the rows whose frames the log dropped go (a paused table).
  void DropGone();
  void SetFilter(const traffic::Filter& filter);
  // The headers and the cells the model words itself, in the language now
  // in use: the views ask for them again.
  void Renamed();
  const traffic::LogView& View() const { return m_view; }
  // Sequence 0 for a row whose frame the log dropped since the last refresh.
  traffic::Record RecordAt(int row) const { return m_view.At(static_cast<size_t>(row)); }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  traffic::LogView m_view;
};
