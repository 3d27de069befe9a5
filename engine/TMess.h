// The table of interface texts loaded from the language file: 64 slots,
// numbered 0 to 63 across the groups in declaration order.
#pragma once

#include <array>
#include <string>

class TMess {
  public:
    static constexpr int kCount = 64;

    std::array<std::string, 25> Main;      // 0-24: status words, prompts, message boxes
    std::array<std::string, 21> TagEditor; // 25-45
    std::array<std::string, 8> Filters;    // 46-53
    std::string ProgressCaption;           // 54
    std::array<std::string, 3> UrlDialog;  // 55-57
    std::array<std::string, 4> RadioDialog; // 58-61
    std::array<std::string, 2> StreamStatus; // 62-63: buffering, reconnecting

    // Slot N; an index outside 0..63 reads as an empty text.
    const std::string& operator[](int N) const;
    // Slot N for writing; a text stored outside 0..63 is discarded.
    std::string& Slot(int N);

  private:
    std::string* Find(int N);
    std::string discarded_;
};
