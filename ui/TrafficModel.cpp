#include "ui/TrafficModel.h"

#include "fields/CFormat.h"
#include "ui/Text.h"

namespace {

constexpr const char* kHeaders[] = {"时间", "方向", "从站", "功能码", "长度", "CRC", "往返", "结果", "含义", "字节"};
static_assert(std::size(kHeaders) == CTrafficModel::ColumnCount);

std::string Cell(const traffic::Record& record, int column) {
  switch (column) {
    case CTrafficModel::Time:
      return traffic::ClockTime(record.wallMicros);
    case CTrafficModel::Direction:
      return lang::Tr(traffic::DirectionText(record.direction));
    case CTrafficModel::Slave:
      return std::to_string(record.slave);
    case CTrafficModel::Function:
      return fields::CFormat("%02X", record.function);
    case CTrafficModel::Length:
      return std::to_string(record.bytes.size());
    case CTrafficModel::Crc:
      return lang::Tr(record.crcGood ? "正确" : "错误");
    case CTrafficModel::RoundTrip:
      return traffic::RoundTripColumn(record);
    case CTrafficModel::Result:
      return lang::Tr(traffic::ResultColumn(record));
    case CTrafficModel::Meaning:
      return record.meaning;
    case CTrafficModel::Bytes:
      return traffic::HexColumn(record);
    default:
      return {};
  }
}

}  // namespace

CTrafficModel::CTrafficModel(std::shared_ptr<const FrameLog> log, QObject* parent)
    : QAbstractTableModel(parent), m_view(std::move(log)) {}

void CTrafficModel::DropGone() {
  if (const size_t gone = m_view.Gone()) {
    beginRemoveRows({}, 0, static_cast<int>(gone) - 1);
    m_view.Forget(gone);
    endRemoveRows();
  }
}

void CTrafficModel::Refresh(int batches) {
  DropGone();
  for (int i = 0; i < batches; ++i) {
    const traffic::LogView::Taken taken = m_view.Read();
    if (!taken.rows.empty()) {
      const int first = rowCount();
      beginInsertRows({}, first, first + static_cast<int>(taken.rows.size()) - 1);
      m_view.Take(taken);
      endInsertRows();
    }
    if (!taken.more) break;
  }
}

void CTrafficModel::SetFilter(const traffic::Filter& filter) {
  beginResetModel();
  m_view.SetFilter(filter);
  endResetModel();
}

int CTrafficModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_view.Size());
}

int CTrafficModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant CTrafficModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  if (role != Qt::DisplayRole && !(role == Qt::ToolTipRole && index.column() == Meaning)) return {};
  const traffic::Record record = RecordAt(index.row());
  if (record.sequence == 0) return {};  // its frame went; the row goes at the next refresh
  if (role == Qt::DisplayRole) return ToQString(Cell(record, index.column()));
  if (role == Qt::ToolTipRole && index.column() == Meaning) return ToQString(record.meaning);
  return {};
}

QVariant CTrafficModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= ColumnCount) return {};
  return Tr(kHeaders[section]);
}

void CTrafficModel::Renamed() {
  m_view.Redescribe();
  emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
  if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1), {Qt::DisplayRole});
}
