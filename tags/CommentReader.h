// A Vorbis comment read piece by piece where it lies in a file (a FLAC
// metadata block, an Opus tags packet spread over Ogg pages): a long comment
// whose name is not wanted, such as an embedded picture, is skipped by its
// length and never read.
#pragma once

#include <cstdint>
#include <string>

#include "tags/TagAccess.h"

class TagStream;

namespace vorbiscomment {

// Bytes one after another; false, with nothing taken, past the end.
class Source {
  public:
    virtual ~Source() = default;
    virtual bool Read(size_t Count, std::string& Out) = 0;
    virtual bool Skip(uint64_t Count) = 0;
};

// The bytes of a file from Start to End, which must lie within the file.
class FileRegion : public Source {
  public:
    FileRegion(TagStream& Stream, int64_t Start, int64_t End)
        : stream_(Stream), at_(Start), end_(End) {}
    bool Read(size_t Count, std::string& Out) override;
    bool Skip(uint64_t Count) override;

  private:
    TagStream& stream_;
    int64_t at_;
    int64_t end_;
};

// The fields of the comment that starts at the source with its vendor
// length: Title, Artist (else PERFORMER), Album, Year (DATE), Track
// (TRACKNUMBER before any "/"), Genre, Comment (else DESCRIPTION). A later
// comment of a name replaces an earlier one; the walk ends where the source
// does, whatever the counts claim.
TTagNames ReadFields(Source& Comment);

} // namespace vorbiscomment
