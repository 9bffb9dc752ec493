// SPDX-License-Identifier: GPL-3.0-or-later
// "buffer.no": the nine database notes kept from one run to the next.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace varnokel {

inline constexpr int kNoteCount = 9;
using DatabaseNotes = std::array<std::string, kNoteCount>;

// Reads a state file by the reading rule: the whole file, cut at a NUL byte,
// split by SplitLines. Throws FileError(kOpen) naming the file.
std::vector<std::string> ReadStateFileLines(const std::filesystem::path& file);

// Lines 1..9 of "buffer.no" become notes 1..9; missing lines leave notes empty.
DatabaseNotes ReadDatabaseNotes(const std::filesystem::path& file);

// The file's bytes: each note followed by CR LF (nine empty notes = 18 bytes).
std::string FormatDatabaseNotes(const DatabaseNotes& notes);

// Replaces "buffer.no" atomically. Throws FileError(kCreate) naming the file.
void WriteDatabaseNotes(const std::filesystem::path& file, const DatabaseNotes& notes);

}  // namespace varnokel
