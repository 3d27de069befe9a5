#include "ID3v2.h"

#include <memory>
#include <optional>

#include "tags/ID3v2Fields.h"
#include "tags/ID3v2Frames.h"
#include "tags/ID3v2Header.h"
#include "tags/ID3v2Save.h"
#include "tags/TagFile.h"
#include "tags/TagText.h"

using namespace id3v2;
using tagtext::Trim;

namespace {

// Overwrites the old block, which has the new one's size; on failure the
// old bytes go back.
bool WriteInPlace(const std::string& fileName, const std::string& block) {
    try {
        TagFileStream file(fileName, FileMode::ReadWrite);
        std::string old(block.size(), '\0');
        file.ReadBuffer(old.data(), static_cast<int64_t>(old.size()));
        try {
            file.Seek(0, soFromBeginning);
            file.WriteString(block);
            file.Flush();
        } catch (const EFileError&) {
            file.Seek(0, soFromBeginning);
            file.WriteString(old);
            return false;
        }
        return true;
    } catch (const EFileError&) {
        return false;
    }
}

} // namespace

TID3v2::TID3v2() {
    ResetData();
}

void TID3v2::ResetData() {
    Exists = false;
    VersionID = 0;
    Size = 0;
    Track = 0;
    for (std::string* text : {&Title, &Artist, &Album, &TrackString, &Year, &Genre, &Comment, &Composer,
                              &Encoder, &Copyright, &Language, &Link, &AudioSizeText})
        text->clear();
}

bool TID3v2::ReadFromFile(const std::string& FileName) {
    ResetData();
    try {
        TagFileStream file(FileName, FileMode::ReadOnly | FileMode::ShareDenyWrite);
        return ReadFromStream(file);
    } catch (const EFileError&) {
        return false;
    }
}

bool TID3v2::ReadFromStream(TagStream& File) {
    ResetData();
    TagInfo tag;
    try {
        if (!ReadHeader(File, tag)) return false;
    } catch (const EFileError&) {
        return false;
    }
    if (!tag.HasBlock()) return true;
    Exists = true;
    VersionID = tag.Version;
    Size = BlockSize(tag);
    if (!HasFrames(tag, Size)) return true;
    try {
        std::unique_ptr<BlockBody> body = OpenBody(File, VersionID, tag.Flags, Size, false);
        Derive(*this, ScanFrames(*body, VersionID, tag.Flags, nullptr));
    } catch (const EFileError&) {
        // A block that cannot be read shows no frames.
    }
    return true;
}

bool TID3v2::SaveToFile(const std::string& FileName) {
    const std::optional<NewBlock> block = BuildBlock(*this, FileName);
    if (!block || !WideFileExists(FileName) || !WideFileSetAttr(FileName, 0)) return false;
    return block->inPlace ? WriteInPlace(FileName, block->bytes) : RebuildFile(FileName, block->bytes, block->oldSize);
}

bool TID3v2::RemoveFromFile(const std::string& FileName) {
    TagInfo tag;
    try {
        TagFileStream file(FileName, FileMode::ReadOnly | FileMode::ShareDenyWrite);
        if (!ReadHeader(file, tag) || !tag.HasBlock()) return false;
    } catch (const EFileError&) {
        return false;
    }
    if (!WideFileExists(FileName) || !WideFileSetAttr(FileName, 0)) return false;
    // A block claiming more than the file holds cannot be told from the audio.
    const int32_t size = BlockSize(tag);
    return size > 0 && RebuildFile(FileName, std::string(), size);
}

void TID3v2::FSetTitle(const std::string& Value) {
    Title = Trim(Value);
}

void TID3v2::FSetArtist(const std::string& Value) {
    Artist = Trim(Value);
}

void TID3v2::FSetAlbum(const std::string& Value) {
    Album = Trim(Value);
}

void TID3v2::FSetYear(const std::string& Value) {
    Year = Trim(Value);
}

void TID3v2::FSetGenre(const std::string& Value) {
    Genre = Trim(Value);
}

void TID3v2::FSetComment(const std::string& Value) {
    Comment = Trim(Value);
}

void TID3v2::FSetComposer(const std::string& Value) {
    Composer = Trim(Value);
}

void TID3v2::FSetEncoder(const std::string& Value) {
    Encoder = Trim(Value);
}

void TID3v2::FSetCopyright(const std::string& Value) {
    Copyright = Trim(Value);
}

void TID3v2::FSetLanguage(const std::string& Value) {
    Language = Trim(Value);
}

void TID3v2::FSetLink(const std::string& Value) {
    Link = Trim(Value);
}
