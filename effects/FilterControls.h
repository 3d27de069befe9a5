// What the effect chain reads of the filters dialog: its check boxes and the
// positions of its up-down controls, as they stand.
#pragma once

namespace effects {

class FilterControls {
  public:
    virtual ~FilterControls() = default;
    virtual bool EnableReverb() const = 0;
    virtual int SignalUpDown() const = 0; // 0..100
    virtual int DelayUpDown() const = 0;  // ms
    virtual bool EnableNorm() const = 0;
    virtual int AmpLevelUpDown() const = 0; // 1..10
};

} // namespace effects
