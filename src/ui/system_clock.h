// The wall clock in local time.
#pragma once

#include "ui/reservation.h"

namespace tapwell::ui {

class SystemClock : public Clock {
 public:
  LocalDateTime now() const override;
};

}  // namespace tapwell::ui
