// Writes whole text files atomically and skips a write when the file still
// holds exactly what this writer last put there (autosave, config.cfg).
#pragma once

#include <cstdint>
#include <map>
#include <string>

class ChangedFileWriter {
  public:
    // True when the file holds Content afterwards.
    bool Write(const std::string& Path, const std::string& Content);
    void Remove(const std::string& Path);

    uint64_t BytesWritten() const { return bytesWritten_; }
    uint64_t WriteCount() const { return writeCount_; }

  private:
    std::map<std::string, std::string> lastWritten_;
    uint64_t bytesWritten_ = 0;
    uint64_t writeCount_ = 0;
};
