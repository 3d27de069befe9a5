// Audio CD track paths: a drive root (the device or image path and "/"),
// "Track", the number in at least two digits, ".cda".
#pragma once

#include <string>

std::string CdTrackPath(const std::string& Root, int Number);
// 0 when the path names no CD track.
int CdTrackNumber(const std::string& Path);
// The drive of a track path, without the "/".
std::string CdTrackDrive(const std::string& Path);
// Whether the disc in the track's drive has the track.
bool CdTrackPresent(const std::string& Path);
// The row text of a track: "Performer - Title (mm:ss)" from the disc's own
// text, else "Track01 (mm:ss)".
std::string CdTrackDisplayText(const std::string& Path);
