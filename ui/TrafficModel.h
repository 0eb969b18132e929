// The rows of "通讯记录": the records a filter lets through, as a table
// model over the window's bounded store. The store and the filtered view
// live outside Qt (traffic/); this only shows them.
#pragma once

#include <QAbstractTableModel>

#include "traffic/RecordStore.h"

class CTrafficModel : public QAbstractTableModel {
 public:
  enum Column { Time, Direction, Slave, Function, Length, Crc, RoundTrip, Result, Meaning, Bytes, ColumnCount };

  explicit CTrafficModel(QObject* parent = nullptr);

  // Takes new records into the store and shows those the filter lets
  // through; the oldest beyond the store's bound go.
  void Append(std::vector<traffic::Record>& records);
  void SetFilter(const traffic::Filter& filter);
  const traffic::RecordStore& Store() const { return m_store; }
  const traffic::FilteredView& View() const { return m_view; }
  const traffic::Record& RecordAt(int row) const { return m_store.At(m_view.At(static_cast<size_t>(row))); }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  traffic::RecordStore m_store;
  traffic::FilteredView m_view;
};
