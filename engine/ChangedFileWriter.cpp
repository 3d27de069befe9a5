#include "engine/ChangedFileWriter.h"

#include <cstdio>

#include "platform/FileSize.h"
#include "platform/TextFile.h"

bool ChangedFileWriter::Write(const std::string& Path, const std::string& Content) {
    auto last = lastWritten_.find(Path);
    // The size check notices a file that was replaced or removed behind our back.
    if (last != lastWritten_.end() && last->second == Content &&
        platform::FileSize(Path) == Content.size())
        return true;
    if (!platform::WriteFileAtomic(Path, Content)) {
        lastWritten_.erase(Path);
        return false;
    }
    lastWritten_[Path] = Content;
    bytesWritten_ += Content.size();
    ++writeCount_;
    return true;
}

void ChangedFileWriter::Remove(const std::string& Path) {
    lastWritten_.erase(Path);
    std::remove(Path.c_str());
}
