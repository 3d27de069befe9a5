// What the effect chain reads of the filters dialog: its check boxes and the
// positions of its up-down controls, as they stand.
#pragma once

namespace effects {

class FilterControls {
  public:
    virtual ~FilterControls() = default;
    virtual bool reverbEnabled() const = 0;
    virtual int signalPosition() const = 0; // 0..100
    virtual int delayPosition() const = 0;  // ms
    virtual bool normalizeEnabled() const = 0;
    virtual int ampLevelPosition() const = 0; // 1..10
};

} // namespace effects
