#include "ui/system_clock.h"

#include <QDateTime>

namespace tapwell::ui {

LocalDateTime SystemClock::now() const {
  const QDateTime t = QDateTime::currentDateTime();
  const QDate d = t.date();
  const QTime h = t.time();
  return {d.year(), d.month(), d.day(), h.hour(), h.minute(), h.second(), h.msec()};
}

}  // namespace tapwell::ui
