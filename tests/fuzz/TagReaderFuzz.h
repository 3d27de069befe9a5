// What every read-only tag reader must keep on any file: it leaves the file
// as it was, gives the same fields twice and only well-formed UTF-8.
#pragma once

#include <string>

#include "platform/CodePage.h"
#include "tags/TagAccess.h"
#include "tests/fuzz/FuzzFile.h"

namespace fuzzfile {

inline void CheckReader(const std::string& bytes, bool (*read)(const std::string&, TTagNames&)) {
    const std::string path = Path("tagged");
    Write(path, bytes);
    TTagNames first, second;
    const bool read1 = read(path, first);
    Check(read1 == read(path, second) && first == second, "a read gives the same fields twice");
    Check(Read(path) == bytes, "reading leaves the file as it was");
    for (const std::string* field : {&first.Title, &first.Artist, &first.Album, &first.Year,
                                     &first.Track, &first.Genre, &first.Comment})
        Check(platform::IsValidUtf8(*field), "fields are UTF-8");
}

} // namespace fuzzfile
