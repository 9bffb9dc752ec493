// SPDX-License-Identifier: GPL-3.0-or-later
// SQLite's file access with every write, truncation, sync and deletion
// counted as a write operation of the program (file_calls::BeforeWriteOperation), so that
// the tests can fail the event store's writes, or kill the process at any of
// them, exactly as they do for the player files.
#pragma once

namespace varnokel {

// The name of the SQLite VFS that counts; registered on the first call.
const char* CountedSqliteVfs();

}  // namespace varnokel
