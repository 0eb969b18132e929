// The controls of one dialog by their control id, so that binding tables,
// handlers and tests name a control by the same number.
#pragma once

#include <QPointer>
#include <QWidget>
#include <map>

class ControlMap {
 public:
  void Add(int id, QWidget* control) { controls_[id] = control; }

  // nullptr when no control has this id (or it is gone).
  QWidget* Get(int id) const {
    const auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second.data();
  }

  // nullptr also when the control is not a T.
  template <class T>
  T* As(int id) const {
    return qobject_cast<T*>(Get(id));
  }

 private:
  std::map<int, QPointer<QWidget>> controls_;
};
